#include "resultfiles.h"

#include <cmath>
#include <cstdio>
#include <tuple>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmfstatements.h"
#include "suiterun.h"

namespace vdln::suite {

namespace {

const SetDef& indSet() {
    static const SetDef s{"IND", {kIndustries.begin(), kIndustries.end()}};
    return s;
}
SetDef varSet(const ModelDescription& desc) {
    return SetDef{"VAR", desc.varNames};
}

std::vector<float> toFloats(const ModelDescription& desc, const Components& c) {
    return std::vector<float>(c.begin(), c.begin() + desc.numComponents());
}

HeaderDef varsHeader(const ModelDescription& desc) {
    return HeaderDef::text("VARS", "Variables of the model", desc.varNames);
}

Result<const HeaderDef*> needReals(const std::vector<HeaderDef>& hs, const std::string& name, size_t size,
                                   const std::string& path) {
    const HeaderDef* h = findHeader(hs, name);
    if (!h || h->isStrings)
        return Result<const HeaderDef*>::fail("Header " + name + " is missing from file " + path + ".");
    if (h->values.size() != size)
        return Result<const HeaderDef*>::fail("Header " + name + " of file " + path + " has " +
                                              std::to_string(h->values.size()) + " values; expected " +
                                              std::to_string(size) + ".");
    return h;
}

std::string firstWord(const std::string& text) {
    const std::string t = trim(text);
    const auto blank = t.find(' ');
    return blank == std::string::npos ? t : t.substr(0, blank);
}

}  // namespace

std::string variableHeaderName(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", v + 1);
    return buf;
}

std::string variableHeaderDescription(const ModelDescription& desc, int v) {
    return desc.varNames[v] + " " + desc.varDescriptions[v];
}

std::string componentList(const ModelDescription& desc, const std::vector<int>& components) {
    std::string s;
    for (int c : components) s += (s.empty() ? "" : " ") + desc.componentName(c);
    return s;
}

bool isOrdinaryChangeRow(const ModelDescription& desc, const std::string& row) {
    const std::string name = trim(row.substr(0, row.find('(')));
    const int v = desc.variableIndex(name);
    return v >= 0 && desc.varTypes[static_cast<size_t>(v)] == 'c';
}

Result<const ModelDescription*> modelOfHeaders(const std::vector<HeaderDef>& hs, const std::string& path) {
    const HeaderDef* vars = findHeader(hs, "VARS");
    if (!vars) return &growthModel();
    if (!vars->isStrings)
        return Result<const ModelDescription*>::fail("Header VARS of file " + path +
                                                     " is not a list of variable names.");
    const ModelDescription* desc = modelByVariables(vars->strings);
    if (!desc)
        return Result<const ModelDescription*>::fail(
            "File " + path + " belongs to an unknown model: its header VARS lists " +
            std::to_string(vars->strings.size()) + " variables, not those of growth (5) or growthre (15).");
    return desc;
}

Status writeSolutionFile(const std::string& path, const SolutionData& sol) {
    const ModelDescription& desc = *sol.desc;
    std::vector<HeaderDef> hs;
    hs.push_back(HeaderDef::text("STEM", "Verbal description of the simulation",
                                 {sol.description.empty() ? std::string(" ") : sol.description}));
    hs.push_back(HeaderDef::text("YEAR", "Calendar year of the simulation", {std::to_string(sol.year)}));
    hs.push_back(
        HeaderDef::text("METH", "Solution method", {sol.method.empty() ? std::string(" ") : sol.method}));
    hs.push_back(varsHeader(desc));
    for (int v = 0; v < desc.numVars(); ++v) {
        std::vector<float> vals;
        vals.reserve(kNumInd);
        for (int i = 0; i < kNumInd; ++i) vals.push_back(static_cast<float>(sol.values[componentOf(v, i)]));
        hs.push_back(
            HeaderDef::reals(variableHeaderName(v), variableHeaderDescription(desc, v), {indSet()}, vals));
    }
    Components flags{};
    for (int c = 0; c < desc.numComponents(); ++c) flags[c] = sol.exogenous[c] ? 1 : 0;
    hs.push_back(HeaderDef::reals("EXOG", "Exogenous components (1) and endogenous ones (0)",
                                  {indSet(), varSet(desc)}, toFloats(desc, flags)));
    hs.push_back(HeaderDef::reals("SHCK", "Shocks given to the exogenous components",
                                  {indSet(), varSet(desc)}, toFloats(desc, sol.shocks)));
    return writeHeaderFile(path, desc.name, hs);
}

Result<SolutionData> readNamedSolution(const std::string& name) {
    const std::string sl4Name = iendsWith(name, ".sl4") ? name : name + ".sl4";
    auto f = existingInput(sl4Name, "Solution file");
    if (!f) return f.status();
    return readSolutionFile(f.value());
}

Result<SolutionData> readSolutionFile(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs) return Result<SolutionData>::fail("Cannot read solution file " + path + ": " + hs.message());
    SolutionData sol;
    const HeaderDef* stem = findHeader(*hs, "STEM");
    const HeaderDef* year = findHeader(*hs, "YEAR");
    const HeaderDef* meth = findHeader(*hs, "METH");
    if (!year || !year->isStrings || year->strings.empty())
        return Result<SolutionData>::fail("File " + path +
                                          " is not a solution file of a model (no YEAR header).");
    if (!findHeader(*hs, "VARS"))
        return Result<SolutionData>::fail("File " + path +
                                          " is not a solution file of a model (no VARS header).");
    auto desc = modelOfHeaders(*hs, path);
    if (!desc) return desc.status();
    sol.desc = desc.value();
    const int nv = sol.desc->numVars(), nc = sol.desc->numComponents();
    if (stem && stem->isStrings && !stem->strings.empty()) sol.description = trim(stem->strings[0]);
    if (meth && meth->isStrings && !meth->strings.empty()) sol.method = trim(meth->strings[0]);
    sol.year = static_cast<int>(parseInt(trim(year->strings[0])).value_or(0));
    for (int v = 0; v < nv; ++v) {
        auto h = needReals(*hs, variableHeaderName(v), kNumInd, path);
        if (!h) return h.status();
        for (int i = 0; i < kNumInd; ++i) sol.values[componentOf(v, i)] = h.value()->values[i];
    }
    auto ex = needReals(*hs, "EXOG", static_cast<size_t>(nc), path);
    if (!ex) return ex.status();
    auto sh = needReals(*hs, "SHCK", static_cast<size_t>(nc), path);
    if (!sh) return sh.status();
    for (int c = 0; c < nc; ++c) {
        sol.exogenous[c] = ex.value()->values[c] != 0;
        sol.shocks[c] = sh.value()->values[c];
    }
    return sol;
}

Status writePerYearResults(const std::string& path, const std::string& programName, const SolutionData& sol) {
    const ModelDescription& desc = *sol.desc;
    std::vector<HeaderDef> hs;
    hs.push_back(HeaderDef::text("YEAR", "Calendar year of the results", {std::to_string(sol.year)}));
    hs.push_back(varsHeader(desc));
    for (int v = 0; v < desc.numVars(); ++v) {
        std::vector<float> vals;
        vals.reserve(kNumInd);
        for (int i = 0; i < kNumInd; ++i) vals.push_back(static_cast<float>(sol.values[componentOf(v, i)]));
        hs.push_back(
            HeaderDef::reals(variableHeaderName(v), variableHeaderDescription(desc, v), {indSet()}, vals));
    }
    return writeHeaderFile(path, programName, hs);
}

Status writeMultiYearResults(const std::string& path, const std::string& programName,
                             const MultiYearResults& r) {
    SetDef years{"YEAR", {}};
    for (int y : r.years) years.elements.push_back("Y" + std::to_string(y));
    std::vector<HeaderDef> hs;
    std::vector<std::string> yearTexts;
    for (int y : r.years) yearTexts.push_back(std::to_string(y));
    hs.push_back(HeaderDef::text("YEAR", "Calendar years of the results", yearTexts));
    const ModelDescription& desc = *r.desc;
    hs.push_back(varsHeader(desc));
    for (int v = 0; v < desc.numVars() && v < static_cast<int>(r.values.size()); ++v) {
        std::vector<float> vals;
        for (const auto& perYear : r.values[v])
            for (int i = 0; i < kNumInd; ++i) vals.push_back(static_cast<float>(perYear[i]));
        hs.push_back(HeaderDef::reals(variableHeaderName(v), variableHeaderDescription(desc, v),
                                      {indSet(), years}, vals));
    }
    return writeHeaderFile(path, programName, hs);
}

Result<MultiYearResults> readResults(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs) return Result<MultiYearResults>::fail("Cannot read results file " + path + ": " + hs.message());
    MultiYearResults r;
    auto desc = modelOfHeaders(*hs, path);
    if (!desc) return desc.status();
    r.desc = desc.value();
    const int kNumVars = r.desc->numVars();
    const HeaderDef* year = findHeader(*hs, "YEAR");
    if (year && year->isStrings) {
        for (const auto& s : year->strings) {
            auto y = parseInt(trim(s));
            if (!y)
                return Result<MultiYearResults>::fail("Bad year \"" + trim(s) + "\" in results file " + path +
                                                      ".");
            r.years.push_back(static_cast<int>(*y));
        }
    }
    if (r.years.empty()) r.years.push_back(0);
    const size_t ny = r.years.size();
    r.values.assign(kNumVars, std::vector<std::array<double, kNumInd>>(ny));
    std::vector<bool> found(kNumVars, false);
    for (const auto& h : *hs) {
        if (h.isStrings) continue;
        const int v = r.desc->variableIndex(firstWord(h.description));
        if (v < 0 || found[v]) continue;
        if (h.values.size() != kNumInd * ny)
            return Result<MultiYearResults>::fail(
                "Header " + h.name + " (variable " + r.desc->varNames[v] + ") of file " + path + " has " +
                std::to_string(h.values.size()) + " values; expected " + std::to_string(kNumInd * ny) + ".");
        for (size_t y = 0; y < ny; ++y)
            for (int i = 0; i < kNumInd; ++i) r.values[v][y][i] = h.values[y * kNumInd + i];
        found[v] = true;
    }
    for (int v = 0; v < kNumVars; ++v)
        if (!found[v])
            return Result<MultiYearResults>::fail("Results file " + path + " has no header for variable " +
                                                  r.desc->varNames[v] + ".");
    return r;
}

Status writeCsvTable(const std::string& path, const CsvTable& t) {
    std::string head = "Variable";
    for (const auto& c : t.columns) head += "," + c;
    std::vector<std::string> lines{head};
    for (size_t r = 0; r < t.rows.size(); ++r) {
        std::string line = t.rows[r];
        for (size_t c = 0; c < t.columns.size(); ++c) {
            line += ",";
            if (r < t.values.size() && c < t.values[r].size() && t.values[r][c])
                line += formatReal(*t.values[r][c]);
        }
        lines.push_back(line);
    }
    return writeLinesAtomic(path, lines);
}

Result<CsvTable> readCsvTable(const std::string& path) {
    auto found = existingInput(path, "CSV file");
    if (!found) return found.status();
    auto lines = readTextLines(found.value());
    if (!lines) return Result<CsvTable>::fail("Cannot read CSV file " + path + ".");
    CsvTable t;
    size_t n = 0;
    for (const auto& raw : lines.value()) {
        ++n;
        const std::string line = trim(raw);
        if (line.empty()) continue;
        auto cells = split(line, ',');
        for (auto& c : cells) c = trim(c);
        if (t.columns.empty() && t.rows.empty() && iequals(cells[0], "Variable")) {
            t.columns.assign(cells.begin() + 1, cells.end());
            if (t.columns.empty()) return Result<CsvTable>::fail("CSV file " + path + " has no columns.");
            continue;
        }
        if (t.columns.empty())
            return Result<CsvTable>::fail("CSV file " + path + " does not start with \"Variable,\".");
        if (cells.size() != t.columns.size() + 1)
            return Result<CsvTable>::fail("Line " + std::to_string(n) + " of CSV file " + path + " has " +
                                          std::to_string(cells.size() - 1) + " values; expected " +
                                          std::to_string(t.columns.size()) + ".");
        std::vector<std::optional<double>> vals;
        for (size_t c = 1; c < cells.size(); ++c) {
            if (cells[c].empty()) {
                vals.push_back(std::nullopt);
                continue;
            }
            auto d = parseDouble(cells[c]);
            if (!d || !std::isfinite(*d))
                return Result<CsvTable>::fail("Malformed number \"" + cells[c] + "\" in line " +
                                              std::to_string(n) + " of CSV file " + path + ".");
            vals.push_back(*d);
        }
        t.rows.push_back(cells[0]);
        t.values.push_back(std::move(vals));
    }
    if (t.columns.empty()) return Result<CsvTable>::fail("CSV file " + path + " is empty.");
    return t;
}

Result<std::vector<int>> readMapFile(const ModelDescription& desc, const std::string& path) {
    auto found = existingInput(path, "Map file");
    if (!found) return found.status();
    auto lines = readTextLines(found.value());
    if (!lines) return Result<std::vector<int>>::fail("Cannot read map file " + path + ".");
    std::vector<int> comps;
    int n = 0;
    for (const auto& raw : lines.value()) {
        ++n;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '!') continue;
        auto toks = tokenizeCmfLine(line);
        const std::string where = " in line " + std::to_string(n) + " of map file " + path + ".";
        if (toks.empty()) continue;
        const int v = desc.variableIndex(toks[0]);
        if (v < 0) return Result<std::vector<int>>::fail("Unknown variable \"" + toks[0] + "\"" + where);
        if (toks.size() == 1) {
            for (int i = 0; i < kNumInd; ++i) comps.push_back(componentOf(v, i));
        } else if (toks.size() == 4 && toks[1] == "(" && toks[3] == ")") {
            const int i = industryIndex(unquote(toks[2]));
            if (i < 0)
                return Result<std::vector<int>>::fail("Unknown industry \"" + unquote(toks[2]) + "\"" +
                                                      where);
            comps.push_back(componentOf(v, i));
        } else {
            return Result<std::vector<int>>::fail("Cannot read \"" + line + "\"" + where);
        }
    }
    return comps;
}

Status writeExogenousMap(const ModelDescription& desc, const std::string& path, const Flags& exo) {
    const auto& kVarNames = desc.varNames;
    std::vector<std::string> lines;
    for (int v = 0; v < desc.numVars(); ++v) {
        int n = 0;
        for (int i = 0; i < kNumInd; ++i) n += exo[componentOf(v, i)] ? 1 : 0;
        if (n == kNumInd) {
            lines.push_back(kVarNames[v]);
        } else {
            for (int i = 0; i < kNumInd; ++i)
                if (exo[componentOf(v, i)]) lines.push_back(kVarNames[v] + "(" + kIndustries[i] + ")");
        }
    }
    return writeLinesAtomic(path, lines);
}

Status writeEnvironmentFile(const ModelDescription& desc, const std::string& path, const Flags& exo,
                            const std::string& auxiliary) {
    Components flags{};
    for (int c = 0; c < desc.numComponents(); ++c) flags[c] = exo[c] ? 1 : 0;
    std::vector<HeaderDef> hs;
    hs.push_back(
        HeaderDef::text("AUXF", "Auxiliary files of the model", {auxiliary.empty() ? " " : auxiliary}));
    hs.push_back(varsHeader(desc));
    hs.push_back(HeaderDef::reals("EXOG", "Exogenous components (1) and endogenous ones (0)",
                                  {indSet(), varSet(desc)}, toFloats(desc, flags)));
    return writeHeaderFile(path, desc.name, hs);
}

Result<EnvironmentData> readEnvironmentFile(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs)
        return Result<EnvironmentData>::fail("Cannot read environment file " + path + ": " + hs.message());
    auto desc = modelOfHeaders(*hs, path);
    if (!desc) return desc.status();
    EnvironmentData env;
    env.desc = desc.value();
    const int nc = env.desc->numComponents();
    auto ex = needReals(*hs, "EXOG", static_cast<size_t>(nc), path);
    if (!ex) return ex.status();
    for (int c = 0; c < nc; ++c) env.exogenous[c] = ex.value()->values[c] != 0;
    return env;
}

Result<std::string> auxiliaryStamp(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs) return Result<std::string>::fail("Cannot read auxiliary file " + path + ": " + hs.message());
    const HeaderDef* d = findHeader(*hs, "DTXT");
    if (!d || !d->isStrings || d->strings.size() != 1)
        return Result<std::string>::fail("Auxiliary file " + path + " has no DTXT time stamp.");
    return trimRight(d->strings[0]);
}

namespace {

std::string fixed(const std::string& s, size_t width) {
    std::string t = s.substr(0, width);
    t.resize(width, ' ');
    return t;
}

std::string num(long v, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%*ld", width, v);
    return buf;
}

}  // namespace

std::vector<std::string> modelInformationLines(const ModelDescription& desc, const Flags& exo,
                                               bool withFiles) {
    const bool re = desc.forwardLooking;
    std::vector<std::string> L;
    if (withFiles) {
        L.push_back("#FILES");
        L.push_back("Logical name         dir   upd  typ  actual");
        auto fileLine = [&](const std::string& name, const std::string& dir, char upd,
                            const std::string& type) {
            return fixed(name, 20) + "  " + fixed(dir, 3) + "    " + std::string(1, upd) + "  " +
                   fixed(type, 3);
        };
        L.push_back(fileLine("BASEDATA", "in", 'y', "har"));
        L.push_back("Base data: capital, investment, output and employment");
        L.push_back(fileLine("PARAMS", "in", 'n', "har"));
        L.push_back(re ? "Parameters: capital share, depreciation, investment response, normal returns"
                       : "Parameters: capital share and depreciation rate");
        if (re) {
            L.push_back(fileLine("ROREXT", "in", 'y', "har"));
            L.push_back("Rates of return: expected (from the last iteration) and realised");
            L.push_back(fileLine("ITER", "in", 'y', "har"));
            L.push_back("Rational-expectations iteration number");
            L.push_back(fileLine("EXTRA", "in", 'y', "har"));
            L.push_back("Year number within the simulated horizon");
        }
        L.push_back(fileLine("SUMMARY", "out", 'n', "txt"));
        L.push_back("Summary table of the levels of the year");
        L.push_back(fileLine("(solution)", "out", 'y', "sl4"));
    }
    L.push_back("#TABFILE");
    L.push_back(desc.name + ".tab");
    L.push_back("#TMDATE");
    L.push_back(std::string(desc.stamp));
    L.push_back("#STIFILE");
    L.push_back(desc.name + ".sti");
    L.push_back("#SETS");
    L.push_back(num(1, 6));
    L.push_back(num(1, 6) + fixed("IND", 12) + num(kNumInd, 6) + "  k Industries");
    for (const auto& ind : kIndustries) L.push_back(ind);
    L.push_back("#VARIABLES");
    L.push_back(num(desc.numVars(), 6));
    for (int v = 0; v < desc.numVars(); ++v) {
        std::vector<int> exoComps;
        for (int i = 0; i < kNumInd; ++i)
            if (exo[componentOf(v, i)]) exoComps.push_back(i + 1);
        const char status = exoComps.size() == kNumInd ? 'X' : exoComps.empty() ? 'N' : 'x';
        const char* kind = desc.varTypes[v] == 'c' ? " (ordinary change)" : " (percentage change)";
        L.push_back(num(v + 1, 6) + fixed(desc.varNames[v], 15) + num(kNumInd, 6) + num(1, 6) + " " + status +
                    " " + desc.varDescriptions[v] + kind);
        L.push_back(num(1, 6));
        if (status == 'x') {
            // The count of exogenous components, then one range per component.
            L.push_back(num(static_cast<long>(exoComps.size()), 10));
            for (int c : exoComps) L.push_back(num(c, 10) + num(c, 10));
            L.push_back(num(0, 10) + num(0, 10));
        }
    }
    L.push_back("#VCSTAT");
    L.push_back(std::string(static_cast<size_t>(desc.numVars()), 'c'));
    L.push_back("#VCTP");
    L.push_back(desc.varTypes);
    L.push_back("#EQUATIONS");
    const std::vector<std::pair<std::string, std::string>> equations{
        {"E1", "Output: technology, capital, labour, tax"},
        {"E2", "Capital growth from investment"},
        {"E3", "Investment grows with output plus a shift"},
        {"E4", "Shift of investment: expectation part plus a free shifter"},
        {"E5", "Investment response to the expected rate of return"},
        {"E6", "Report: expected rate of return minus normal"},
        {"E7", "Report: static-expectation rate of return minus normal"},
        {"E8", "Report: expected minus static rate of return"}};
    L.push_back(num(desc.equationsPerIndustry, 6));
    for (int e = 0; e < desc.equationsPerIndustry; ++e) {
        L.push_back(num(e + 1, 6) + fixed(equations[e].first, 20) + num(kNumInd, 6) + num(1, 6) + " " +
                    equations[e].second);
        L.push_back(num(1, 6));
    }
    L.push_back("#COEFFICIENTS");
    // Name, number of dimensions (over IND or none), description.
    std::vector<std::tuple<std::string, int, std::string>> coeffs{
        {"CAPS", 1, "Capital stock"}, {"INVS", 1, "Investment"},    {"OUTP", 1, "Output"},
        {"LABR", 1, "Employment"},    {"ALPH", 0, "Capital share"}, {"DEPR", 0, "Depreciation rate"}};
    if (re) {
        coeffs.push_back({"BETA", 0, "Response of investment to the expected rate of return"});
        coeffs.push_back({"RNRM", 1, "Normal rate of return"});
        coeffs.push_back({"ADRE", 1, "Weight of forward-looking expectations"});
        coeffs.push_back({"RNOW", 1, "Rate of return at the start of the year"});
        coeffs.push_back({"EXPR", 1, "Expected rate of return for next year"});
    }
    L.push_back(num(static_cast<long>(coeffs.size()), 6));
    int n = 0;
    for (const auto& [name, ndim, description] : coeffs) {
        L.push_back(num(++n, 6) + fixed(name, 12) + num(ndim, 6) + " r c c " + description);
        if (ndim == 1) L.push_back(num(1, 6));
    }
    L.push_back("#VBDSC");
    L.push_back(num(2, 6));
    if (re) {
        L.push_back("GROWTHRE: the growth model with forward-looking investment:");
        L.push_back("expected returns read from ROREXT, realised ones written back.");
    } else {
        L.push_back("GROWTH: a three-industry model of output growth");
        L.push_back("with capital accumulation and a tax on output.");
    }
    L.push_back("#SVVER");
    L.push_back("80000");
    L.push_back("#PRVER");
    L.push_back("79000");
    return L;
}

}  // namespace vdln::suite
