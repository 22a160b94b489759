#include "resultfiles.h"

#include <cmath>
#include <cstdio>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmfstatements.h"
#include "suiterun.h"

namespace vdln::suite {

namespace {

const SetSpec& indSet() {
    static const SetSpec s{"IND", {kIndustries.begin(), kIndustries.end()}};
    return s;
}
const SetSpec& varSet() {
    static const SetSpec s{"VAR", {kVarNames.begin(), kVarNames.end()}};
    return s;
}

std::vector<float> toFloats(const Components& c) { return std::vector<float>(c.begin(), c.end()); }

Result<const HeaderSpec*> needReals(const std::vector<HeaderSpec>& hs, const std::string& name, size_t size,
                                    const std::string& path) {
    const HeaderSpec* h = findHeader(hs, name);
    if (!h || h->isStrings)
        return Result<const HeaderSpec*>::fail("Header " + name + " is missing from file " + path + ".");
    if (h->values.size() != size)
        return Result<const HeaderSpec*>::fail("Header " + name + " of file " + path + " has " +
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

std::string variableHeaderDescription(int v) { return kVarNames[v] + " " + kVarDescriptions[v]; }

std::string componentList(const std::vector<int>& components) {
    std::string s;
    for (int c : components) s += (s.empty() ? "" : " ") + componentName(c);
    return s;
}

Status writeSolutionFile(const std::string& path, const SolutionData& sol) {
    std::vector<HeaderSpec> hs;
    hs.push_back(HeaderSpec::text("STEM", "Verbal description of the simulation",
                                  {sol.description.empty() ? std::string(" ") : sol.description}));
    hs.push_back(HeaderSpec::text("YEAR", "Calendar year of the simulation", {std::to_string(sol.year)}));
    hs.push_back(HeaderSpec::text("METH", "Solution method", {sol.method.empty() ? std::string(" ") : sol.method}));
    hs.push_back(HeaderSpec::text("VARS", "Variables of the model", {kVarNames.begin(), kVarNames.end()}));
    for (int v = 0; v < kNumVars; ++v) {
        std::vector<float> vals;
        for (int i = 0; i < kNumInd; ++i) vals.push_back(static_cast<float>(sol.values[componentOf(v, i)]));
        hs.push_back(HeaderSpec::reals(variableHeaderName(v), variableHeaderDescription(v), {indSet()}, vals));
    }
    Components flags{};
    for (int c = 0; c < kNumComponents; ++c) flags[c] = sol.exogenous[c] ? 1 : 0;
    hs.push_back(HeaderSpec::reals("EXOG", "Exogenous components (1) and endogenous ones (0)", {indSet(), varSet()},
                                   toFloats(flags)));
    hs.push_back(HeaderSpec::reals("SHCK", "Shocks given to the exogenous components", {indSet(), varSet()},
                                   toFloats(sol.shocks)));
    return writeHeaderFile(path, "growth", hs);
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
    const HeaderSpec* stem = findHeader(*hs, "STEM");
    const HeaderSpec* year = findHeader(*hs, "YEAR");
    const HeaderSpec* meth = findHeader(*hs, "METH");
    if (!year || !year->isStrings || year->strings.empty())
        return Result<SolutionData>::fail("File " + path + " is not a solution file of the growth model (no YEAR header).");
    if (stem && stem->isStrings && !stem->strings.empty()) sol.description = trim(stem->strings[0]);
    if (meth && meth->isStrings && !meth->strings.empty()) sol.method = trim(meth->strings[0]);
    sol.year = static_cast<int>(parseInt(trim(year->strings[0])).value_or(0));
    for (int v = 0; v < kNumVars; ++v) {
        auto h = needReals(*hs, variableHeaderName(v), kNumInd, path);
        if (!h) return h.status();
        for (int i = 0; i < kNumInd; ++i) sol.values[componentOf(v, i)] = h.value()->values[i];
    }
    auto ex = needReals(*hs, "EXOG", kNumComponents, path);
    if (!ex) return ex.status();
    auto sh = needReals(*hs, "SHCK", kNumComponents, path);
    if (!sh) return sh.status();
    for (int c = 0; c < kNumComponents; ++c) {
        sol.exogenous[c] = ex.value()->values[c] != 0;
        sol.shocks[c] = sh.value()->values[c];
    }
    return sol;
}

Status writePerYearResults(const std::string& path, const std::string& programName, const SolutionData& sol) {
    std::vector<HeaderSpec> hs;
    hs.push_back(HeaderSpec::text("YEAR", "Calendar year of the results", {std::to_string(sol.year)}));
    for (int v = 0; v < kNumVars; ++v) {
        std::vector<float> vals;
        for (int i = 0; i < kNumInd; ++i) vals.push_back(static_cast<float>(sol.values[componentOf(v, i)]));
        hs.push_back(HeaderSpec::reals(variableHeaderName(v), variableHeaderDescription(v), {indSet()}, vals));
    }
    return writeHeaderFile(path, programName, hs);
}

Status writeMultiYearResults(const std::string& path, const std::string& programName, const MultiYearResults& r) {
    SetSpec years{"YEAR", {}};
    for (int y : r.years) years.elements.push_back("Y" + std::to_string(y));
    std::vector<HeaderSpec> hs;
    std::vector<std::string> yearTexts;
    for (int y : r.years) yearTexts.push_back(std::to_string(y));
    hs.push_back(HeaderSpec::text("YEAR", "Calendar years of the results", yearTexts));
    for (int v = 0; v < kNumVars && v < static_cast<int>(r.values.size()); ++v) {
        std::vector<float> vals;
        for (const auto& perYear : r.values[v])
            for (int i = 0; i < kNumInd; ++i) vals.push_back(static_cast<float>(perYear[i]));
        hs.push_back(HeaderSpec::reals(variableHeaderName(v), variableHeaderDescription(v), {indSet(), years}, vals));
    }
    return writeHeaderFile(path, programName, hs);
}

Result<MultiYearResults> readResults(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs) return Result<MultiYearResults>::fail("Cannot read results file " + path + ": " + hs.message());
    MultiYearResults r;
    const HeaderSpec* year = findHeader(*hs, "YEAR");
    if (year && year->isStrings) {
        for (const auto& s : year->strings) {
            auto y = parseInt(trim(s));
            if (!y) return Result<MultiYearResults>::fail("Bad year \"" + trim(s) + "\" in results file " + path + ".");
            r.years.push_back(static_cast<int>(*y));
        }
    }
    if (r.years.empty()) r.years.push_back(0);
    const size_t ny = r.years.size();
    r.values.assign(kNumVars, std::vector<std::array<double, kNumInd>>(ny));
    std::vector<bool> found(kNumVars, false);
    for (const auto& h : *hs) {
        if (h.isStrings) continue;
        const int v = variableIndex(firstWord(h.description));
        if (v < 0 || found[v]) continue;
        if (h.values.size() != kNumInd * ny)
            return Result<MultiYearResults>::fail("Header " + h.name + " (variable " + kVarNames[v] + ") of file " +
                                                  path + " has " + std::to_string(h.values.size()) +
                                                  " values; expected " + std::to_string(kNumInd * ny) + ".");
        for (size_t y = 0; y < ny; ++y)
            for (int i = 0; i < kNumInd; ++i) r.values[v][y][i] = h.values[y * kNumInd + i];
        found[v] = true;
    }
    for (int v = 0; v < kNumVars; ++v)
        if (!found[v])
            return Result<MultiYearResults>::fail("Results file " + path + " has no header for variable " +
                                                  kVarNames[v] + ".");
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
            if (r < t.values.size() && c < t.values[r].size() && t.values[r][c]) line += formatReal(*t.values[r][c]);
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
        if (t.columns.empty()) return Result<CsvTable>::fail("CSV file " + path + " does not start with \"Variable,\".");
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
                return Result<CsvTable>::fail("Malformed number \"" + cells[c] + "\" in line " + std::to_string(n) +
                                              " of CSV file " + path + ".");
            vals.push_back(*d);
        }
        t.rows.push_back(cells[0]);
        t.values.push_back(std::move(vals));
    }
    if (t.columns.empty()) return Result<CsvTable>::fail("CSV file " + path + " is empty.");
    return t;
}

Result<std::vector<int>> readMapFile(const std::string& path) {
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
        const int v = variableIndex(toks[0]);
        if (v < 0) return Result<std::vector<int>>::fail("Unknown variable \"" + toks[0] + "\"" + where);
        if (toks.size() == 1) {
            for (int i = 0; i < kNumInd; ++i) comps.push_back(componentOf(v, i));
        } else if (toks.size() == 4 && toks[1] == "(" && toks[3] == ")") {
            const int i = industryIndex(unquote(toks[2]));
            if (i < 0) return Result<std::vector<int>>::fail("Unknown industry \"" + unquote(toks[2]) + "\"" + where);
            comps.push_back(componentOf(v, i));
        } else {
            return Result<std::vector<int>>::fail("Cannot read \"" + line + "\"" + where);
        }
    }
    return comps;
}

Status writeExogenousMap(const std::string& path, const Flags& exo) {
    std::vector<std::string> lines;
    for (int v = 0; v < kNumVars; ++v) {
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

Status writeEnvironmentFile(const std::string& path, const Flags& exo, const std::string& auxiliary) {
    Components flags{};
    for (int c = 0; c < kNumComponents; ++c) flags[c] = exo[c] ? 1 : 0;
    std::vector<HeaderSpec> hs;
    hs.push_back(HeaderSpec::text("AUXF", "Auxiliary files of the model", {auxiliary.empty() ? " " : auxiliary}));
    hs.push_back(HeaderSpec::text("VARS", "Variables of the model", {kVarNames.begin(), kVarNames.end()}));
    hs.push_back(HeaderSpec::reals("EXOG", "Exogenous components (1) and endogenous ones (0)", {indSet(), varSet()},
                                   toFloats(flags)));
    return writeHeaderFile(path, "growth", hs);
}

Result<Flags> readEnvironmentFile(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs) return Result<Flags>::fail("Cannot read environment file " + path + ": " + hs.message());
    auto ex = needReals(*hs, "EXOG", kNumComponents, path);
    if (!ex) return ex.status();
    Flags f{};
    for (int c = 0; c < kNumComponents; ++c) f[c] = ex.value()->values[c] != 0;
    return f;
}

Result<std::string> auxiliaryStamp(const std::string& path) {
    auto hs = readHeaderFile(path);
    if (!hs) return Result<std::string>::fail("Cannot read auxiliary file " + path + ": " + hs.message());
    const HeaderSpec* d = findHeader(*hs, "DTXT");
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

std::vector<std::string> modelInformationLines(const Flags& exo, bool withFiles) {
    std::vector<std::string> L;
    if (withFiles) {
        L.push_back("#FILES");
        L.push_back("Logical name         dir   upd  typ  actual");
        auto fileLine = [&](const std::string& name, const std::string& dir, char upd, const std::string& type) {
            return fixed(name, 20) + "  " + fixed(dir, 3) + "    " + std::string(1, upd) + "  " + fixed(type, 3);
        };
        L.push_back(fileLine("BASEDATA", "in", 'y', "har"));
        L.push_back("Base data: capital, investment, output and employment");
        L.push_back(fileLine("PARAMS", "in", 'n', "har"));
        L.push_back("Parameters: capital share and depreciation rate");
        L.push_back(fileLine("SUMMARY", "out", 'n', "txt"));
        L.push_back("Summary table of the levels of the year");
        L.push_back(fileLine("(solution)", "out", 'y', "sl4"));
    }
    L.push_back("#TABFILE");
    L.push_back("growth.tab");
    L.push_back("#TMDATE");
    L.push_back(std::string(kGrowthModelStamp));
    L.push_back("#STIFILE");
    L.push_back("growth.sti");
    L.push_back("#SETS");
    L.push_back(num(1, 6));
    L.push_back(num(1, 6) + fixed("IND", 12) + num(kNumInd, 6) + "  k Industries");
    for (const auto& ind : kIndustries) L.push_back(ind);
    L.push_back("#VARIABLES");
    L.push_back(num(kNumVars, 6));
    for (int v = 0; v < kNumVars; ++v) {
        std::vector<int> exoComps;
        for (int i = 0; i < kNumInd; ++i)
            if (exo[componentOf(v, i)]) exoComps.push_back(i + 1);
        const char status = exoComps.size() == kNumInd ? 'X' : exoComps.empty() ? 'N' : 'x';
        L.push_back(num(v + 1, 6) + fixed(kVarNames[v], 15) + num(kNumInd, 6) + num(1, 6) + " " + status + " " +
                    kVarDescriptions[v] + " (percentage change)");
        L.push_back(num(1, 6));
        if (status == 'x') {
            L.push_back(num(static_cast<long>(exoComps.size()), 10));
            for (int c : exoComps) L.push_back(num(c, 10) + num(c, 10));
            L.push_back(num(0, 10) + num(0, 10));
        }
    }
    L.push_back("#VCSTAT");
    L.push_back(std::string(kNumVars, 'c'));
    L.push_back("#VCTP");
    L.push_back(std::string(kNumVars, 'p'));
    L.push_back("#EQUATIONS");
    L.push_back(num(2, 6));
    L.push_back(num(1, 6) + fixed("E1", 20) + num(kNumInd, 6) + num(1, 6) + " Output: technology, capital, labour, tax");
    L.push_back(num(1, 6));
    L.push_back(num(2, 6) + fixed("E2", 20) + num(kNumInd, 6) + num(1, 6) + " Capital growth from investment");
    L.push_back(num(1, 6));
    L.push_back("#COEFFICIENTS");
    L.push_back(num(6, 6));
    const char* coeffs[][2] = {{"CAPS", "Capital stock"}, {"INVS", "Investment"}, {"OUTP", "Output"},
                               {"LABR", "Employment"}};
    int n = 0;
    for (const auto& c : coeffs) {
        L.push_back(num(++n, 6) + fixed(c[0], 12) + num(1, 6) + " r c c " + c[1]);
        L.push_back(num(1, 6));
    }
    L.push_back(num(++n, 6) + fixed("ALPH", 12) + num(0, 6) + " r c c Capital share");
    L.push_back(num(++n, 6) + fixed("DEPR", 12) + num(0, 6) + " r c c Depreciation rate");
    L.push_back("#VBDSC");
    L.push_back(num(2, 6));
    L.push_back("GROWTH: a three-industry model of output growth");
    L.push_back("with capital accumulation and a tax on output.");
    L.push_back("#SVVER");
    L.push_back("80000");
    L.push_back("#PRVER");
    L.push_back("79000");
    return L;
}

}  // namespace vdln::suite
