// growth.exe: the model program of the demonstration models.  It solves the
// model for the closure and shocks of a command file, checks closures, saves
// environment files and answers the release check.  Run under the name
// "growthre" (a copy of this program) it solves the forward-looking model
// "growthre", which also reads and updates the expectation files ROREXT,
// ITER and EXTRA.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "formats/harfile.h"
#include "lib/cmfstatements.h"
#include "lib/growthmodel.h"
#include "lib/harstore.h"
#include "lib/resultfiles.h"
#include "lib/suiterun.h"
#include "results/acclogwriter.h"

using namespace vdln;
using namespace vdln::suite;

namespace {

/// One "shock" or "ashock" statement, resolved to components and values.
struct ShockDef {
    bool additive = false;
    std::vector<int> components;
    std::vector<double> values;
    std::string text;
};

/// What a command file asks for.
struct CommandFile {
    const ModelDescription* desc = &growthModel();
    std::string path;
    std::string auxiliary;
    std::string solutionFile;
    bool udc = false;
    MethodChoice method;
    std::string verbal;
    std::map<std::string, std::string> files;  // logical name (upper) -> actual
    std::vector<std::string> logicalOrder;  // logical names of "file" and "updated file", in statement order
    std::map<std::string, std::string> updated;              // logical name (upper) -> updated actual
    std::array<std::optional<bool>, kMaxComponents> status;  // true exogenous
    std::vector<ShockDef> shocks;
    std::string saveEnvironment;
    bool nds = false, nwr = false, neq = false, nas = false;
};

std::string where(const CmfStatement& st, const std::string& cmf) {
    return " (line " + std::to_string(st.line) + " of " + cmf + ")";
}

Status badStatement(const CmfStatement& st, const std::string& cmf, const std::string& why) {
    return Status::fail(why + " in statement \"" + statementText(st).substr(0, 80) + "\"" + where(st, cmf) +
                        ".");
}

/// Parses "name" or "name(elem)" starting at token `pos`; advances `pos`.
Result<std::vector<int>> parseItem(const ModelDescription& desc, const std::vector<std::string>& t,
                                   size_t& pos) {
    if (pos >= t.size()) return Result<std::vector<int>>::fail("A variable is missing");
    const int v = desc.variableIndex(t[pos]);
    if (v < 0) return Result<std::vector<int>>::fail("Unknown variable \"" + t[pos] + "\"");
    ++pos;
    if (pos < t.size() && t[pos] == "(") {
        if (pos + 2 >= t.size() || t[pos + 2] != ")")
            return Result<std::vector<int>>::fail("Cannot read the element of variable \"" +
                                                  desc.varNames[v] + "\"");
        const std::string elem = unquote(t[pos + 1]);
        const int i = industryIndex(elem);
        if (i < 0) return Result<std::vector<int>>::fail("Unknown element \"" + elem + "\" of set IND");
        pos += 3;
        return std::vector<int>{componentOf(v, i)};
    }
    std::vector<int> all;
    all.reserve(kNumInd);
    for (int i = 0; i < kNumInd; ++i) all.push_back(componentOf(v, i));
    return all;
}

Result<double> parseNumber(const std::string& text) {
    auto d = parseDouble(text);
    if (!d || !std::isfinite(*d)) return Result<double>::fail("Malformed number \"" + text + "\"");
    return *d;
}

/// "keyword ... = value": the tokens after "=", checking the words before it.
Result<std::vector<std::string>> afterEquals(const CmfStatement& st, const std::vector<std::string>& words) {
    const auto& t = st.tokens;
    if (t.size() < words.size() + 2) return Result<std::vector<std::string>>::fail("Incomplete statement");
    for (size_t k = 0; k < words.size(); ++k)
        if (!iequals(t[k], words[k])) return Result<std::vector<std::string>>::fail("Unknown statement");
    if (t[words.size()] != "=") return Result<std::vector<std::string>>::fail("Expected \"=\"");
    return std::vector<std::string>(t.begin() + static_cast<long>(words.size()) + 1, t.end());
}

Result<bool> yesNo(const std::vector<std::string>& v) {
    if (v.size() == 1 && iequals(v[0], "yes")) return true;
    if (v.size() == 1 && iequals(v[0], "no")) return false;
    return Result<bool>::fail("Expected \"yes\" or \"no\"");
}

Result<int> oneInt(const std::vector<std::string>& v) {
    if (v.size() != 1) return Result<int>::fail("Expected one whole number");
    auto n = parseInt(v[0]);
    if (!n || *n < 0 || *n > 100000) return Result<int>::fail("Malformed number \"" + v[0] + "\"");
    return static_cast<int>(*n);
}

std::string keywordOf(const std::string& token) {
    std::string w = toLower(token);
    if (w.rfind("exo", 0) == 0) return "exogenous";
    if (w.rfind("endo", 0) == 0) return "endogenous";
    if (w.rfind("sho", 0) == 0) return "shock";
    if (w.rfind("ash", 0) == 0) return "ashock";
    return w;
}

/// Reads the values of a shock statement (tokens after "=").
Result<std::vector<double>> shockValues(const std::vector<std::string>& v, size_t count) {
    if (v.empty()) return Result<std::vector<double>>::fail("No shock value");
    if (iequals(v[0], "uniform")) {
        if (v.size() != 2) return Result<std::vector<double>>::fail("Expected one value after \"uniform\"");
        auto d = parseNumber(v[1]);
        if (!d) return d.status();
        return std::vector<double>(count, d.value());
    }
    if (iequals(v[0], "file")) {
        if (v.size() < 4 || !iequals(v[2], "header"))
            return Result<std::vector<double>>::fail("Expected: file \"<name>\" header \"<name>\"");
        if (v.size() > 4) {
            if (iequals(v[4], "slice"))
                return Result<std::vector<double>>::fail(
                    "Shocks read by slice are not supported by this model");
            return Result<std::vector<double>>::fail("Unexpected \"" + v[4] + "\" after the header name");
        }
        auto path = existingInput(unquote(v[1]), "Shock file");
        if (!path) return path.status();
        auto hs = readHeaderFile(path.value());
        if (!hs)
            return Result<std::vector<double>>::fail("Cannot read shock file " + unquote(v[1]) + ": " +
                                                     hs.message());
        const HeaderDef* h = findHeader(hs.value(), unquote(v[3]));
        if (!h || h->isStrings)
            return Result<std::vector<double>>::fail("Shock file " + unquote(v[1]) +
                                                     " has no real header \"" + unquote(v[3]) + "\"");
        if (h->values.size() != count)
            return Result<std::vector<double>>::fail(
                "Header \"" + unquote(v[3]) + "\" of shock file " + unquote(v[1]) + " has " +
                std::to_string(h->values.size()) + " values but " + std::to_string(count) + " are shocked");
        return std::vector<double>(h->values.begin(), h->values.end());
    }
    if (v.size() != count)
        return Result<std::vector<double>>::fail(std::to_string(v.size()) + " shock values given for " +
                                                 std::to_string(count) + " components");
    std::vector<double> out;
    for (const auto& s : v) {
        auto d = parseNumber(s);
        if (!d) return d.status();
        out.push_back(d.value());
    }
    return out;
}

Status applyClosureItems(CommandFile& cf, const CmfStatement& st, size_t pos, bool exogenous) {
    if (pos >= st.tokens.size()) return badStatement(st, cf.path, "No variable named");
    while (pos < st.tokens.size()) {
        auto item = parseItem(*cf.desc, st.tokens, pos);
        if (!item) return badStatement(st, cf.path, item.message());
        for (int c : item.value()) {
            if (cf.status[c] && *cf.status[c] != exogenous)
                return badStatement(st, cf.path,
                                    "Component " + cf.desc->componentName(c) + " is already " +
                                        (exogenous ? "endogenous" : "exogenous"));
            cf.status[c] = exogenous;
        }
    }
    return Status::ok();
}

Status interpret(CommandFile& cf, const CmfStatement& st) {
    const auto& t = st.tokens;
    const std::string kw = keywordOf(t[0]);
    auto fail = [&](const std::string& why) { return badStatement(st, cf.path, why); };
    auto valueOf = [&](const std::vector<std::string>& words) { return afterEquals(st, words); };

    if (kw == "exogenous" || kw == "endogenous") return applyClosureItems(cf, st, 1, kw == "exogenous");
    if (kw == "rest") {
        if (t.size() != 2) return fail("Expected \"rest exogenous\" or \"rest endogenous\"");
        const std::string what = keywordOf(t[1]);
        if (what != "exogenous" && what != "endogenous")
            return fail("Expected \"rest exogenous\" or \"rest endogenous\"");
        for (int c = 0; c < cf.desc->numComponents(); ++c)
            if (!cf.status[c]) cf.status[c] = what == "exogenous";
        return Status::ok();
    }
    if (kw == "swap") {
        size_t pos = 1;
        auto left = parseItem(*cf.desc, t, pos);
        if (!left) return fail(left.message());
        if (pos >= t.size() || t[pos] != "=") return fail("Expected \"=\" between the swapped variables");
        ++pos;
        auto right = parseItem(*cf.desc, t, pos);
        if (!right) return fail(right.message());
        if (pos != t.size()) return fail("Unexpected text after the swapped variables");
        if (left->size() != right->size())
            return fail("The swapped variables have different numbers of components");
        for (int c : left.value())
            if (!cf.status[c] || !*cf.status[c])
                return fail("Component " + cf.desc->componentName(c) + " is not exogenous");
        for (int c : right.value())
            if (cf.status[c] && *cf.status[c])
                return fail("Component " + cf.desc->componentName(c) + " is not endogenous");
        for (int c : left.value()) cf.status[c] = false;
        for (int c : right.value()) cf.status[c] = true;
        return Status::ok();
    }
    if (kw == "shock" || kw == "ashock") {
        size_t pos = 1;
        auto item = parseItem(*cf.desc, t, pos);
        if (!item) return fail(item.message());
        if (pos >= t.size() || t[pos] != "=") return fail("Expected \"=\" after the shocked variable");
        std::vector<std::string> rest(t.begin() + static_cast<long>(pos) + 1, t.end());
        auto vals = shockValues(rest, item->size());
        if (!vals) return fail(vals.message());
        cf.shocks.push_back({kw == "ashock", item.value(), vals.value(), statementText(st)});
        return Status::ok();
    }
    if (kw == "file") {
        if (t.size() != 4 || t[2] != "=") return fail("Expected \"file <logical name> = <file name>\"");
        cf.files[toUpper(t[1])] = unquote(t[3]);
        cf.logicalOrder.push_back(toUpper(t[1]));
        return Status::ok();
    }
    if (kw == "updated") {
        if (t.size() != 5 || !iequals(t[1], "file") || t[3] != "=")
            return fail("Expected \"updated file <logical name> = <file name>\"");
        cf.updated[toUpper(t[2])] = unquote(t[4]);
        cf.logicalOrder.push_back(toUpper(t[2]));
        return Status::ok();
    }
    if (kw == "auxiliary") {
        auto v = valueOf({"auxiliary", "files"});
        if (!v || v->size() != 1) return fail(v ? "Expected one name" : v.message());
        cf.auxiliary = unquote(v.value()[0]);
        return Status::ok();
    }
    if (kw == "solution") {
        auto v = valueOf({"solution", "file"});
        if (!v || v->size() != 1) return fail(v ? "Expected one name" : v.message());
        cf.solutionFile = unquote(v.value()[0]);
        return Status::ok();
    }
    if (kw == "udc") {
        auto v = valueOf({"udc", "file"});
        if (!v) return fail(v.message());
        auto b = yesNo(v.value());
        if (!b) return fail(b.message());
        cf.udc = b.value();
        return Status::ok();
    }
    if (kw == "auto_shocks") {
        auto v = valueOf({"auto_shocks"});
        if (!v) return fail(v.message());
        auto b = yesNo(v.value());
        return b ? Status::ok() : fail(b.message());
    }
    if (kw == "method") {
        auto v = valueOf({"method"});
        if (!v || v->size() != 1) return fail(v ? "Expected one method name" : v.message());
        const std::string m = toLower(v.value()[0]);
        if (m == "johansen")
            cf.method.method = 1;
        else if (m == "euler")
            cf.method.method = 2;
        else if (m == "gragg")
            cf.method.method = 3;
        else if (m == "midpoint")
            cf.method.method = 4;
        else
            return fail("Unknown solution method \"" + v.value()[0] + "\"");
        return Status::ok();
    }
    if (kw == "steps") {
        auto v = valueOf({"steps"});
        if (!v || v->empty() || v->size() > 3)
            return fail(v ? "Expected one to three step counts" : v.message());
        cf.method.steps.clear();
        for (const auto& s : v.value()) {
            auto n = parseInt(s);
            if (!n || *n < 1 || *n > 999) return fail("Malformed step count \"" + s + "\"");
            cf.method.steps.push_back(static_cast<int>(*n));
        }
        for (size_t k = 1; k < cf.method.steps.size(); ++k)
            if (cf.method.steps[k] <= cf.method.steps[k - 1]) return fail("Step counts must increase");
        return Status::ok();
    }
    if (kw == "subintervals") {
        auto v = valueOf({"subintervals"});
        if (!v) return fail(v.message());
        auto n = oneInt(v.value());
        if (!n || n.value() < 1) return fail(n ? "At least one subinterval is needed" : n.message());
        cf.method.subintervals = n.value();
        return Status::ok();
    }
    if (kw == "automatic") {
        auto v = valueOf({"automatic", "accuracy"});
        if (!v) return fail(v.message());
        auto b = yesNo(v.value());
        if (!b) return fail(b.message());
        cf.method.autoAccuracy = b.value();
        return Status::ok();
    }
    if (kw == "accuracy" && t.size() >= 2) {
        const std::string what = toLower(t[1]);
        auto v = valueOf({"accuracy", what});
        if (!v) return fail(v.message());
        if (what == "figures" || what == "percent") {
            auto n = oneInt(v.value());
            if (!n) return fail(n.message());
            if (what == "figures")
                cf.method.accuracyFigures = n.value();
            else
                cf.method.accuracyPercent = n.value();
            return Status::ok();
        }
        if (what == "criterion") {
            if (v->size() != 1 || (!iequals(v.value()[0], "data") && !iequals(v.value()[0], "solution") &&
                                   !iequals(v.value()[0], "both")))
                return fail("Expected Data, Solution or Both");
            return Status::ok();
        }
        return fail("Unknown statement");
    }
    if (kw == "minimum" && t.size() >= 3) {
        const std::string what = toLower(t[2]);
        auto v = valueOf({"minimum", "subinterval", what});
        if (!v || v->size() != 1) return fail(v ? "Expected one value" : v.message());
        if (what == "length") {
            auto d = parseNumber(v.value()[0]);
            return d ? Status::ok() : fail(d.message());
        }
        if (what == "fails") {
            if (iequals(v.value()[0], "stop"))
                cf.method.failStop = true;
            else if (iequals(v.value()[0], "continue"))
                cf.method.failStop = false;
            else
                return fail("Expected \"stop\" or \"continue\"");
            return Status::ok();
        }
        return fail("Unknown statement");
    }
    if (kw == "verbal") {
        auto v = valueOf({"verbal", "description"});
        if (!v) return fail(v.message());
        cf.verbal.clear();
        for (const auto& w : v.value()) cf.verbal += (cf.verbal.empty() ? "" : " ") + w;
        return Status::ok();
    }
    if (kw == "intermediate") {
        auto v = valueOf({"intermediate", "extra", "data"});
        return v ? Status::ok() : fail(v.message());
    }
    if (kw == "save") {
        if (t.size() != 4 || !iequals(t[1], "environment") || !iequals(t[2], "file"))
            return fail("Expected \"save environment file <name>\"");
        cf.saveEnvironment = unquote(t[3]);
        return Status::ok();
    }
    if (kw == "nds" || kw == "nwr" || kw == "neq" || kw == "nas") {
        auto v = valueOf({kw});
        if (!v) return fail(v.message());
        auto b = yesNo(v.value());
        if (!b) return fail(b.message());
        (kw == "nds" ? cf.nds : kw == "nwr" ? cf.nwr : kw == "neq" ? cf.neq : cf.nas) = b.value();
        return Status::ok();
    }
    if (kw == "range") {
        auto v = valueOf({"range", "test", "initial", "values"});
        if (!v) return fail(v.message());
        auto b = yesNo(v.value());
        return b ? Status::ok() : fail(b.message());
    }
    return Status::fail("Unknown statement \"" + statementText(st).substr(0, 80) + "\"" + where(st, cf.path) +
                        ".");
}

/// The input file of a logical name, found without regard to letter case.
Result<std::string> logicalInput(const CommandFile& cf, const std::string& logical) {
    auto it = cf.files.find(logical);
    if (it == cf.files.end())
        return Result<std::string>::fail("The command file has no \"file " + logical + " = ...\" statement.");
    return existingInput(it->second, "File " + logical + ": data file");
}

/// A real header of a data file that must hold `count` values (one value:
/// any header of one real, such as ALPH stored without sets).
Result<std::vector<double>> realValues(const std::vector<HeaderDef>& hs, const char* name, size_t count,
                                       const std::string& what, const std::string& path) {
    const HeaderDef* h = findHeader(hs, name);
    if (!h || h->isStrings || h->values.size() != count)
        return Result<std::vector<double>>::fail(std::string("Header ") + name + " (" + what +
                                                 ") is missing from " + path + ".");
    return std::vector<double>(h->values.begin(), h->values.end());
}

Result<GrowthData> readData(const CommandFile& cf, SuiteLog& log) {
    GrowthData d;
    auto base = logicalInput(cf, "BASEDATA");
    if (!base) return base.status();
    auto params = logicalInput(cf, "PARAMS");
    if (!params) return params.status();
    log.line("Reading BASEDATA from " + base.value());
    auto bh = readHeaderFile(base.value());
    if (!bh)
        return Result<GrowthData>::fail("Cannot read BASEDATA file " + base.value() + ": " + bh.message());
    std::array<std::array<double, kNumInd>*, 4> targets{&d.CAPS, &d.INVS, &d.OUTP, &d.LABR};
    const char* names[] = {"CAPS", "INVS", "OUTP", "LABR"};
    for (int k = 0; k < 4; ++k) {
        auto v = realValues(bh.value(), names[k], kNumInd, "3 reals over IND", base.value());
        if (!v) return v.status();
        for (int i = 0; i < kNumInd; ++i) (*targets[k])[i] = v.value()[i];
    }
    log.line("Reading PARAMS from " + params.value());
    auto ph = readHeaderFile(params.value());
    if (!ph)
        return Result<GrowthData>::fail("Cannot read PARAMS file " + params.value() + ": " + ph.message());
    std::vector<std::pair<const char*, double*>> scalars{{"ALPH", &d.ALPH}, {"DEPR", &d.DEPR}};
    if (cf.desc->forwardLooking) scalars.push_back({"BETA", &d.BETA});
    for (const auto& [name, target] : scalars) {
        auto v = realValues(ph.value(), name, 1, "one real", params.value());
        if (!v) return v.status();
        *target = v.value()[0];
    }
    if (cf.desc->forwardLooking) {
        auto v = realValues(ph.value(), "RNRM", kNumInd, "3 reals over IND", params.value());
        if (!v) return v.status();
        for (int i = 0; i < kNumInd; ++i) d.RNRM[i] = v.value()[i];
    }
    for (int i = 0; i < kNumInd; ++i)
        d.EXPR[i] = d.CAPS[i] != 0 ? d.RNOW(i) : 0;  // static until told otherwise
    return d;
}

/// The expectation files of one growthre year, kept whole so that the
/// updated files copy every header through.
struct Expectations {
    std::string rorextPath, iterPath, extraPath;
    HarFile rorext, iter, extra;
    int itno = 0, year = 0, horizon = 0, columns = 0;
    bool forward = false;  ///< expectations from RORG (else static)
};

/// The real header `name` of a file read whole, or null when missing or not real.
HarHeader* realHeader(HarFile& f, const char* name) {
    HarHeader* h = f.find(name);
    return h && h->HeadType == "RE" && h->HeadMat.allocated() ? h : nullptr;
}

/// The one value of a header such as ITNO or HORZ, rounded to a whole number.
Result<int> oneWhole(HarFile& f, const char* name, const std::string& path) {
    HarHeader* h = realHeader(f, name);
    if (!h || h->HeadMat.size() != 1)
        return Result<int>::fail(std::string("Header ") + name + " (one real) is missing from " + path + ".");
    const double v = h->HeadMat.Root()[0];
    if (!std::isfinite(v) || std::fabs(v) > 1e6)
        return Result<int>::fail(std::string("Header ") + name + " of " + path + " holds " + formatReal(v) +
                                 ", which is not a usable whole number.");
    return static_cast<int>(std::lround(v));
}

Result<HarFile> readWhole(const CommandFile& cf, const std::string& logical, std::string& path,
                          SuiteLog& log) {
    auto found = logicalInput(cf, logical);
    if (!found) return found.status();
    path = found.value();
    log.line("Reading " + logical + " from " + path);
    auto f = ReadHarFile(path);
    if (!f) return Result<HarFile>::fail("Cannot read " + logical + " file " + path + ": " + f.message());
    return std::move(f.value());
}

/// Reads ROREXT, ITER and EXTRA and sets the expected rates of return:
/// EXPR = ADRE*RORG(YEAR+1) + (1 - ADRE)*RNOW from the second iteration on,
/// before the last year of the horizon and while RORG has that column;
/// otherwise the static expectation RNOW.
Result<Expectations> readExpectations(const CommandFile& cf, GrowthData& d, SuiteLog& log) {
    Expectations e;
    auto rorext = readWhole(cf, "ROREXT", e.rorextPath, log);
    if (!rorext) return rorext.status();
    e.rorext = std::move(rorext.value());
    auto iter = readWhole(cf, "ITER", e.iterPath, log);
    if (!iter) return iter.status();
    e.iter = std::move(iter.value());
    auto extra = readWhole(cf, "EXTRA", e.extraPath, log);
    if (!extra) return extra.status();
    e.extra = std::move(extra.value());

    HarHeader* adre = realHeader(e.rorext, "ADRE");
    if (!adre || adre->HeadMat.size() != kNumInd || adre->dims[0] != kNumInd)
        return Result<Expectations>::fail("Header ADRE (3 reals over IND) is missing from " + e.rorextPath +
                                          ".");
    HarHeader* rorg = realHeader(e.rorext, "RORG");
    bool rorgOk = rorg && rorg->NDim >= 1 && rorg->NDim <= 2 && rorg->dims[0] == kNumInd &&
                  rorg->HeadMat.size() >= kNumInd;
    if (!rorgOk)
        return Result<Expectations>::fail(
            "Header RORG (reals, 3 industries by at least 1 year) is missing from " + e.rorextPath + ".");
    e.columns = rorg->NDim == 2 ? static_cast<int>(rorg->dims[1]) : 1;
    auto horizon = oneWhole(e.rorext, "HORZ", e.rorextPath);
    if (!horizon) return horizon.status();
    e.horizon = horizon.value();
    auto itno = oneWhole(e.iter, "ITNO", e.iterPath);
    if (!itno) return itno.status();
    e.itno = itno.value();
    auto year = oneWhole(e.extra, "YEAR", e.extraPath);
    if (!year) return year.status();
    e.year = year.value();
    if (e.year < 1 || e.year > e.columns)
        return Result<Expectations>::fail("Year number " + std::to_string(e.year) +
                                          " of the EXTRA file lies outside the " + std::to_string(e.columns) +
                                          " years of header RORG of " + e.rorextPath + ".");

    e.forward = e.itno >= 2 && e.year < e.horizon && e.year + 1 <= e.columns;
    for (int i = 0; i < kNumInd; ++i) {
        d.ADRE[i] = adre->HeadMat.Root()[i];
        const double rnow = d.RNOW(i);
        d.EXPR[i] = e.forward
                        ? d.ADRE[i] * double(rorg->HeadMat.at(i + 1, e.year + 1)) + (1 - d.ADRE[i]) * rnow
                        : rnow;
    }
    std::string line = "Rational expectations: year number " + std::to_string(e.year) + " of horizon " +
                       std::to_string(e.horizon) + ", iteration " + std::to_string(e.itno) + ", ";
    line +=
        e.forward ? "expected returns from RORG column " + std::to_string(e.year + 1) : "static expectations";
    log.line(line);
    for (int i = 0; i < kNumInd; ++i)
        log.line("  " + kIndustries[i] + ": RNOW " + formatReal(d.RNOW(i)) + ", EXPR " +
                 formatReal(d.EXPR[i]));
    return e;
}

/// Updates the expectation files in memory: RORG column YEAR becomes the
/// realised rate of return on the year's capital (from the stored updated
/// data), ITNO steps on in the last year of the horizon, YEAR steps on.
void updateExpectations(Expectations& e, const GrowthData& updated) {
    HarHeader* rorg = realHeader(e.rorext, "RORG");
    for (int i = 0; i < kNumInd; ++i)
        rorg->HeadMat.at(i + 1, e.year) =
            static_cast<float>(updated.ALPH * updated.OUTP[i] / updated.CAPS[i] - updated.DEPR);
    if (e.year == e.horizon) realHeader(e.iter, "ITNO")->HeadMat.Root()[0] = static_cast<float>(e.itno + 1);
    realHeader(e.extra, "YEAR")->HeadMat.Root()[0] = static_cast<float>(e.year + 1);
}

std::string nowStamp() {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tmv{};
    localtime_r(&now, &tmv);
    std::strftime(stamp, sizeof stamp, "%d/%m/%Y %H:%M:%S", &tmv);
    return stamp;
}

Status checkAuxiliary(const ModelDescription& desc, const std::string& aux) {
    if (aux.empty()) return Status::fail("The command file has no \"auxiliary files\" statement.");
    auto axs = existingInput(aux + ".axs", "Auxiliary statement file");
    if (!axs) return axs.status();
    auto axt = existingInput(aux + ".axt", "Auxiliary table file");
    if (!axt) return axt.status();
    auto s1 = auxiliaryStamp(axs.value());
    if (!s1) return s1.status();
    auto s2 = auxiliaryStamp(axt.value());
    if (!s2) return s2.status();
    if (s1.value() != s2.value()) return Status::fail("E-AX date problem");
    if (s2.value() != desc.stamp) return Status::fail("E-PG date problem");
    return Status::ok();
}

std::string methodText(const MethodChoice& m) {
    static const char* names[] = {"", "Johansen", "Euler", "Gragg", "Midpoint"};
    std::string s = names[m.method];
    s += ": ";
    if (m.method == 1) return s + "1 step";
    for (size_t k = 0; k < m.steps.size(); ++k) s += (k ? "-" : "") + std::to_string(m.steps[k]);
    s += " steps";
    if (m.steps.size() > 1) s += " extrapolation";
    if (m.subintervals > 1) s += " (" + std::to_string(m.subintervals) + " subintervals)";
    return s;
}

std::array<std::int32_t, kMaxAccFigures + 1> countsOf(const AccuracyCounts& acc) {
    std::array<std::int32_t, kMaxAccFigures + 1> c{};
    for (int f = 0; f <= kMaxAccFigures && f < 7; ++f)
        c[static_cast<size_t>(f)] = acc.counts[static_cast<size_t>(f)];
    return c;
}

/// The accuracy summaries in the log: one per subinterval, and an overall
/// one when there are several subintervals or automatic accuracy.
void logAccuracy(SuiteLog& log, const SolveOutcome& out, const MethodChoice& method) {
    auto put = [&](const std::vector<std::string>& lines) {
        for (const auto& l : lines) log.line(l);
    };
    log.line(" ");
    for (size_t s = 0; s < out.variableAccuracy.size(); ++s) {
        put(accVariablesSummaryLines(countsOf(out.variableAccuracy[s]), false));
        put(accFileDataSummaryLines(countsOf(out.dataAccuracy[s]), "BASEDATA"));
    }
    if (out.variableAccuracy.size() > 1 || method.autoAccuracy) {
        put(accVariablesSummaryLines(countsOf(out.overallVariables), true));
        put(accFileDataSummaryLines(countsOf(out.overallData), "BASEDATA"));
    }
}

int yearOf(const CommandFile& cf) {
    // The verbal description ends with the run stem, whose last four
    // characters are the calendar year; else try the solution file name.
    for (const std::string& text : {cf.verbal, nameOf(cf.solutionFile)}) {
        std::string t = trim(text);
        if (t.size() >= 4) {
            const std::string tail = t.substr(t.size() - 4);
            auto y = parseInt(tail);
            if (y && tail.find_first_not_of("0123456789") == std::string::npos) return static_cast<int>(*y);
        }
    }
    return 0;
}

std::vector<HeaderDef> dataHeaders(const GrowthData& d) {
    const SetDef ind{"IND", {kIndustries.begin(), kIndustries.end()}};
    auto arr = [](const std::array<double, kNumInd>& a) { return std::vector<float>(a.begin(), a.end()); };
    return {HeaderDef::reals("CAPS", "Capital stock", {ind}, arr(d.CAPS)),
            HeaderDef::reals("INVS", "Investment", {ind}, arr(d.INVS)),
            HeaderDef::reals("OUTP", "Output", {ind}, arr(d.OUTP)),
            HeaderDef::reals("LABR", "Employment", {ind}, arr(d.LABR))};
}

std::vector<HeaderDef> coefficientHeaders(const ModelDescription& desc, const GrowthData& d) {
    auto hs = dataHeaders(d);
    hs.push_back(HeaderDef::reals("ALPH", "Capital share", {}, {static_cast<float>(d.ALPH)}));
    hs.push_back(HeaderDef::reals("DEPR", "Depreciation rate", {}, {static_cast<float>(d.DEPR)}));
    if (desc.forwardLooking) {
        const SetDef ind{"IND", {kIndustries.begin(), kIndustries.end()}};
        auto arr = [](const std::array<double, kNumInd>& a) {
            return std::vector<float>(a.begin(), a.end());
        };
        std::array<double, kNumInd> rnow{};
        for (int i = 0; i < kNumInd; ++i) rnow[i] = d.RNOW(i);
        hs.push_back(HeaderDef::reals("BETA", "Response of investment to the expected return", {},
                                      {static_cast<float>(d.BETA)}));
        hs.push_back(HeaderDef::reals("RNRM", "Normal rate of return", {ind}, arr(d.RNRM)));
        hs.push_back(HeaderDef::reals("ADRE", "Weight of forward-looking expectations", {ind}, arr(d.ADRE)));
        hs.push_back(HeaderDef::reals("RNOW", "Rate of return at the start of the year", {ind}, arr(rnow)));
        hs.push_back(HeaderDef::reals("EXPR", "Expected rate of return for next year", {ind}, arr(d.EXPR)));
    }
    return hs;
}

/// The updated data as the file stores it: every value rounded to a 4-byte real.
GrowthData asStored(const GrowthData& d) {
    GrowthData r = d;
    for (auto* a : {&r.CAPS, &r.INVS, &r.OUTP, &r.LABR})
        for (double& v : *a) v = static_cast<float>(v);
    return r;
}

std::vector<std::string> summaryLines(const CommandFile& cf, const GrowthData& before,
                                      const GrowthData& after) {
    std::vector<std::string> L;
    L.push_back("Levels of the " + cf.desc->name + " model for " +
                (cf.verbal.empty() ? std::string("this simulation") : cf.verbal));
    L.push_back("Industry        OUTP        CAPS        INVS        LABR   (start of year -> end of year)");
    for (int i = 0; i < kNumInd; ++i) {
        char buf[200];
        std::snprintf(buf, sizeof buf, "%-4s  %10.3f  %10.3f  %10.3f  %10.3f", kIndustries[i].c_str(),
                      before.OUTP[i], before.CAPS[i], before.INVS[i], before.LABR[i]);
        L.push_back(std::string(buf) + "   start");
        std::snprintf(buf, sizeof buf, "%-4s  %10.3f  %10.3f  %10.3f  %10.3f", kIndustries[i].c_str(),
                      after.OUTP[i], after.CAPS[i], after.INVS[i], after.LABR[i]);
        L.push_back(std::string(buf) + "   end");
    }
    return L;
}

Status releaseCheck(SuiteRun& run, const ModelDescription& desc) {
    std::string aux = run.programPath;
    if (iendsWith(aux, ".exe")) aux = aux.substr(0, aux.size() - 4);
    run.log.line("Release check of " + run.programPath + " (model " + desc.name + ")");
    Status s = checkAuxiliary(desc, aux);
    if (s) run.log.line("Auxiliary files " + aux + ".axs and .axt match this program.");
    return s;
}

// Faults the end-to-end tests ask for through the environment variable
// VDLN_DEMO_FAULT (never set in normal use): "hang" never ends, "delay:<s>"
// waits <s> seconds before writing any result, "crash" dies of SIGSEGV,
// "no-output" reports success without writing the solution file.  They act
// after the command file has been read and solved, where a real program
// spends its time.
bool noSolutionFile = false;

Status testFault(SuiteLog& log) {
    const char* v = std::getenv("VDLN_DEMO_FAULT");
    const std::string fault = v ? v : "";
    if (fault.empty()) return Status::ok();
    log.line("Test fault: " + fault);
    if (fault == "hang") {
        while (true) ::pause();
    } else if (fault.rfind("delay:", 0) == 0) {
        const long long seconds = parseInt(fault.substr(6)).value_or(0);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
    } else if (fault == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    } else if (fault == "no-output") {
        noSolutionFile = true;
    }
    return Status::ok();
}

/// The logical files a model knows.
bool knownLogicalFile(const ModelDescription& desc, const std::string& logical) {
    if (logical == "BASEDATA" || logical == "PARAMS" || logical == "SUMMARY") return true;
    return desc.forwardLooking && (logical == "ROREXT" || logical == "ITER" || logical == "EXTRA");
}

Status solveCommandFile(SuiteRun& run, const ModelDescription& desc, const std::string& cmfPath) {
    SuiteLog& log = run.log;
    log.line("Model " + desc.name + ", command file: " + cmfPath);
    auto statements = readCmfStatements(cmfPath);
    if (!statements) return statements.status();
    CommandFile cf;
    cf.desc = &desc;
    cf.path = cmfPath;
    for (const auto& st : statements.value()) {
        Status s = interpret(cf, st);
        if (!s) return s;
    }
    Status aux = checkAuxiliary(desc, cf.auxiliary);
    if (!aux) return aux;
    for (const auto& logical : cf.logicalOrder)
        if (!knownLogicalFile(desc, logical))
            return Status::fail("Unknown logical file \"" + logical + "\" in " + cmfPath + ".");
    for (const auto& [logical, actual] : cf.updated)
        if (!knownLogicalFile(desc, logical) || logical == "PARAMS" || logical == "SUMMARY")
            return Status::fail("Logical file \"" + logical + "\" of " + cmfPath + " cannot be updated.");

    auto dataRead = readData(cf, log);
    if (!dataRead) return dataRead.status();
    GrowthData data = dataRead.value();
    const int nc = desc.numComponents();

    // Closure: components not named are endogenous.
    Flags exo{};
    for (int c = 0; c < nc; ++c) exo[c] = cf.status[c].value_or(false);
    Status closure = checkClosure(desc, exo, data);
    if (!closure) return closure;
    std::string exoText;
    for (int c = 0; c < nc; ++c)
        if (exo[c]) exoText += " " + desc.componentName(c);
    log.line("Closure is valid: " + std::to_string(desc.numExogenous()) + " exogenous components:" + exoText);

    // Shocks: the "shock" value (0 when none) plus every "ashock" value.
    Components shocks{};
    std::array<bool, kMaxComponents> shocked{};
    for (const auto& sh : cf.shocks) {
        for (size_t k = 0; k < sh.components.size(); ++k) {
            const int c = sh.components[k];
            if (!exo[c])
                return Status::fail("Component " + desc.componentName(c) +
                                    " is shocked but it is endogenous (statement \"" + sh.text.substr(0, 80) +
                                    "\" in " + cmfPath + ").");
            if (!sh.additive) {
                if (shocked[c])
                    return Status::fail("Component " + desc.componentName(c) +
                                        " is shocked twice (statement \"" + sh.text.substr(0, 80) + "\" in " +
                                        cmfPath + ").");
                shocked[c] = true;
            }
            shocks[c] += sh.values[k];
        }
    }
    log.line("Shocks checked: " + std::to_string(cf.shocks.size()) + " shock statements.");

    if (!cf.saveEnvironment.empty()) {
        const std::string en4 =
            iendsWith(cf.saveEnvironment, ".en4") ? cf.saveEnvironment : cf.saveEnvironment + ".en4";
        Status s = writeEnvironmentFile(desc, en4, exo, cf.auxiliary);
        if (!s) return Status::fail("Cannot write environment file " + en4 + ": " + s.message());
        log.line("Environment file saved: " + en4);
    }
    if (cf.neq) {
        log.line("Closure check finished (no solution was asked for).");
        return Status::ok();
    }

    // Everything the outputs need must be named before anything is solved.
    const bool writing = !cf.nwr;
    const std::vector<std::string> updatedFiles =
        desc.forwardLooking ? std::vector<std::string>{"BASEDATA", "ROREXT", "ITER", "EXTRA"}
                            : std::vector<std::string>{"BASEDATA"};
    std::map<std::string, std::string> updatedPath;
    std::string summaryPath;
    if (writing) {
        if (cf.solutionFile.empty())
            return Status::fail("The command file has no \"Solution file\" statement.");
        for (const auto& logical : updatedFiles) {
            auto up = cf.updated.find(logical);
            if (up == cf.updated.end())
                return Status::fail("The command file has no \"updated file " + logical +
                                    " = ...\" statement.");
            updatedPath[logical] = up->second;
        }
        auto sum = cf.files.find("SUMMARY");
        if (sum == cf.files.end())
            return Status::fail(
                "The command file has no \"file SUMMARY = ...\" statement for the output file.");
        summaryPath = sum->second;
    }

    std::optional<Expectations> expectations;
    if (desc.forwardLooking) {
        auto e = readExpectations(cf, data, log);
        if (!e) return e.status();
        expectations.emplace(std::move(e.value()));
    }

    log.line("Solution method: " + methodText(cf.method));
    auto solved = solveWithMethod(desc, exo, shocks, data, cf.method);
    if (!solved) return solved.status();
    const SolveOutcome& out = solved.value();
    const GrowthData updated = updateData(desc, data, out.result);

    log.line(" ");
    log.line("Results (" +
             std::string(desc.forwardLooking ? "percentage and ordinary changes" : "percentage changes") +
             "):");
    for (int c = 0; c < nc; ++c)
        log.line("  " + desc.componentName(c) + (exo[c] ? "  exogenous  " : "  endogenous ") +
                 formatReal(out.result[c]));
    if (out.hasAccuracy && !cf.nas) logAccuracy(log, out, cf.method);
    if (!writing) {
        log.line("No files written (nwr = yes).");
        return Status::ok();
    }

    if (Status fault = testFault(log); !fault) return fault;

    SolutionData sol;
    sol.desc = &desc;
    sol.description = cf.verbal;
    sol.year = yearOf(cf);
    sol.values = out.result;
    sol.exogenous = exo;
    sol.shocks = shocks;
    sol.method = methodText(cf.method);
    const std::string sl4 = iendsWith(cf.solutionFile, ".sl4") ? cf.solutionFile : cf.solutionFile + ".sl4";
    const std::string stem = sl4.substr(0, sl4.size() - 4);

    // The solution file is written last: it is the sign of a complete run.
    std::vector<std::string> written;
    auto undo = [&](const Status& s) {
        for (const auto& f : written) {
            Status removed = deleteFile(f);
            if (!removed) log.line("Could not remove " + f + " after the failure: " + removed.message());
        }
        return s;
    };
    auto record = [&](const std::string& file, const Status& s, const std::string& what) -> Status {
        if (!s) return undo(Status::fail("Cannot write " + what + " " + file + ": " + s.message()));
        written.push_back(file);
        log.line("Written " + what + ": " + file);
        return Status::ok();
    };
    const GrowthData stored = asStored(updated);
    Status s = record(updatedPath["BASEDATA"],
                      writeHeaderFile(updatedPath["BASEDATA"], desc.name, dataHeaders(stored)),
                      "updated data file (BASEDATA)");
    if (!s) return s;
    if (expectations) {
        updateExpectations(*expectations, stored);
        const std::string when = nowStamp();
        const std::pair<const char*, HarFile*> files[] = {{"ROREXT", &expectations->rorext},
                                                          {"ITER", &expectations->iter},
                                                          {"EXTRA", &expectations->extra}};
        for (const auto& [logical, file] : files) {
            const std::string& target = updatedPath[logical];
            s = record(target, WriteHarFile(target, desc.name, when, *file),
                       std::string("updated expectation file (") + logical + ")");
            if (!s) return s;
        }
        std::string realised;
        for (int i = 0; i < kNumInd; ++i)
            realised +=
                " " + kIndustries[i] + " " +
                formatReal(static_cast<float>(stored.ALPH * stored.OUTP[i] / stored.CAPS[i] - stored.DEPR));
        log.line("Realised rates of return written to RORG column " + std::to_string(expectations->year) +
                 ":" + realised);
    }
    s = record(summaryPath, writeLinesAtomic(summaryPath, summaryLines(cf, data, stored)),
               "output file (SUMMARY)");
    if (!s) return s;
    s = record(stem + ".slc", writeHeaderFile(stem + ".slc", desc.name, coefficientHeaders(desc, data)),
               "coefficients file");
    if (!s) return s;
    if (cf.udc) {
        s = record(stem + ".udc", writeHeaderFile(stem + ".udc", desc.name, coefficientHeaders(desc, stored)),
                   "updated coefficients file");
        if (!s) return s;
    }
    if (noSolutionFile) {
        log.line("No solution file written (VDLN_DEMO_FAULT=no-output).");
        return Status::ok();
    }
    s = record(sl4, writeSolutionFile(sl4, sol), "solution file");
    if (!s) return s;
    return Status::ok();
}

}  // namespace

int main(int argc, char** argv) {
    // The model follows the program's own file name (a copy named
    // growthre.exe solves growthre); /proc/self/exe is what the release
    // check uses too, so a link would not do.
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || self.empty()) self = argc > 0 ? argv[0] : "growth";
    const ModelDescription& desc = modelForProgram(self);
    return runSuiteProgram(argc, argv, desc.name, [&desc](SuiteRun& run, StoredInput& in) -> Status {
        run.reportKeys = {{"SVVer Large", "80000"},
                          {"Release", "8.0"},
                          {"PRVer Integer", "79000"},
                          {"Fortran Compiler", "gfortran"}};
        std::string cmf;
        while (!in.atEnd()) {
            auto a = in.next("an answer");
            if (!a) return a.status();
            const std::string word = toLower(a.value());
            if (word.empty() || word == "bat" || word == "xxxxxx") continue;
            if (word == "rpt") {
                Status s = readReportName(run, in);
                if (!s) return s;
            } else if (word == "cmf") {
                auto name = in.next("the command file name");
                if (!name) return name.status();
                if (name->empty()) return Status::fail("The command file name after \"cmf\" is blank.");
                cmf = unquote(name.value());
            } else {
                return Status::fail("Unexpected answer \"" + a.value() + "\" in line " +
                                    std::to_string(in.lineNumber()) + " of stored input " + in.path() + ".");
            }
        }
        if (cmf.empty()) return releaseCheck(run, desc);
        return solveCommandFile(run, desc, cmf);
    });
}
