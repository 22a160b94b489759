#include "results/chartdata.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "model/filenames.h"

namespace vdln {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string unquoted(std::string s) {
    s = trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

}  // namespace

std::optional<std::size_t> ResultsTable::rowIndex(const std::string& row) const {
    for (size_t k = 0; k < rows.size(); ++k)
        if (iequals(rows[k], row)) return k;
    return std::nullopt;
}

double ResultsTable::value(const std::string& row, int year) const {
    auto r = rowIndex(row);
    if (!r) return kNaN;
    auto it = std::find(years.begin(), years.end(), year);
    if (it == years.end()) return kNaN;
    const auto c = static_cast<size_t>(it - years.begin());
    return c < values[*r].size() ? values[*r][c] : kNaN;
}

Result<ResultsTable> readResultsTable(const std::string& file) {
    auto lines = readTextLines(file);
    if (!lines) return lines.status();
    ResultsTable t;
    t.file = file;
    auto bad = [&](size_t line, const std::string& what) {
        return Result<ResultsTable>::fail("File " + file + ", line " + std::to_string(line + 1) + ": " +
                                          what);
    };
    size_t k = 0;
    while (k < lines->size() && trim((*lines)[k]).empty()) ++k;
    if (k == lines->size()) return Result<ResultsTable>::fail("File " + file + " holds no table");
    const auto head = split((*lines)[k], ',');
    for (size_t c = 1; c < head.size(); ++c) {
        auto y = parseInt(unquoted(head[c]));
        if (!y) return bad(k, "\"" + head[c] + "\" is not a year");
        if (!t.years.empty() && *y <= t.years.back()) return bad(k, "the years are not in increasing order");
        t.years.push_back(static_cast<int>(*y));
    }
    if (t.years.empty()) return bad(k, "the header names no years");
    for (++k; k < lines->size(); ++k) {
        if (trim((*lines)[k]).empty()) continue;
        const auto cells = split((*lines)[k], ',');
        if (cells.size() > head.size()) return bad(k, "more cells than years");
        std::vector<double> row(t.years.size(), kNaN);
        for (size_t c = 1; c < cells.size(); ++c) {
            const std::string cell = trim(cells[c]);
            if (cell.empty()) continue;
            auto v = parseDouble(cell);
            if (!v) return bad(k, "\"" + cell + "\" is not a number");
            row[c - 1] = *v;
        }
        t.rows.push_back(unquoted(cells[0]));
        t.values.push_back(std::move(row));
    }
    return t;
}

std::pair<std::string, std::string> splitRowName(const std::string& row) {
    const auto open = row.find('(');
    if (open == std::string::npos || row.back() != ')') return {row, ""};
    return {row.substr(0, open), row.substr(open + 1, row.size() - open - 2)};
}

ChartSources chartSourcesFor(const TSimRecord& rec, int firstPolicyYear, bool noRerun) {
    ChartSources s;
    const int n = std::clamp(rec.NumYears, 0, kMaxYears);
    for (int i = 1; i <= n; ++i) s.years.push_back(rec.Years[i]);
    const int fpy = std::max(1, firstPolicyYear);
    auto file = [&](int run, ResultsKind job, const char* type) {
        const int f0 = run == kRunBase ? 1 : fpy;
        return JoinPath(rec.WorkDir, SpreadsheetCsvName(rec, run, f0, n, f0, noRerun, job, type));
    };
    for (int r = 1; r <= 3; ++r) {
        if (r == kRunRerun && noRerun) continue;
        s.yearOnYear[static_cast<size_t>(r)] = file(r, ResultsKind::Spreadsheet, "yony");
        s.cumulative[static_cast<size_t>(r)] = file(r, ResultsKind::Spreadsheet, "cum");
    }
    s.deviationsYearOnYear = file(kRunPolicy, ResultsKind::Deviations, "yony");
    s.deviationsCumulative = file(kRunPolicy, ResultsKind::Deviations, "cum");
    s.comparisonRunName = noRerun ? "Base" : "Rerun";
    return s;
}

namespace {

// The files a request reads, with their runs (0: deviations).
std::vector<std::pair<int, std::string>> requestFiles(const ChartSources& s, const ChartRequest& req) {
    std::vector<std::pair<int, std::string>> files;
    if (req.mode == ChartMode::DeviationBars) {
        files.emplace_back(0, req.cumulative ? s.deviationsCumulative : s.deviationsYearOnYear);
        return files;
    }
    for (int r = 1; r <= 3; ++r) {
        const std::string& f = (req.cumulative ? s.cumulative : s.yearOnYear)[static_cast<size_t>(r)];
        if (req.runs[static_cast<size_t>(r)] && !f.empty()) files.emplace_back(r, f);
    }
    return files;
}

}  // namespace

std::vector<std::string> chartRowNames(const ChartSources& sources, const ChartRequest& request) {
    std::vector<std::string> rows;
    for (const auto& [run, file] : requestFiles(sources, request)) {
        if (!fileExists(file)) continue;
        auto t = readResultsTable(file);
        if (!t) continue;  // the chart itself reports the unreadable file
        for (const auto& r : t->rows)
            if (std::find(rows.begin(), rows.end(), r) == rows.end()) rows.push_back(r);
    }
    return rows;
}

Result<ChartData> buildChartData(const ChartSources& sources, const ChartRequest& request) {
    ChartData d;
    d.mode = request.mode;
    d.years = sources.years;
    const char* style = request.cumulative ? "Cumulative" : "Year-on-year";
    if (request.mode == ChartMode::DeviationBars) {
        d.title = std::string(style) + " deviations of the Policy from the " + sources.comparisonRunName;
        d.valueTitle = "% deviation";
    } else {
        d.title = std::string(style) + " results";
        d.valueTitle =
            request.cumulative ? "% change since the start of the run" : "% change on the previous year";
    }
    std::vector<std::pair<int, ResultsTable>> tables;
    for (const auto& [run, file] : requestFiles(sources, request)) {
        if (!fileExists(file)) {
            d.missingFiles.push_back(file);
            continue;
        }
        auto t = readResultsTable(file);
        if (!t) return t.status();
        tables.emplace_back(run, std::move(*t));
    }
    if (tables.empty()) {
        std::vector<std::string> lines{"There are no results to chart. Missing:"};
        for (const auto& f : d.missingFiles) lines.push_back("  " + f);
        return Result<ChartData>::fail(joinCrLf(lines));
    }
    std::vector<std::string> rows = request.rows;
    if (rows.empty())
        for (const auto& [run, t] : tables)
            for (const auto& r : t.rows)
                if (std::find(rows.begin(), rows.end(), r) == rows.end()) rows.push_back(r);
    for (const std::string& row : rows) {
        for (const auto& [run, t] : tables) {
            if (!t.rowIndex(row)) continue;
            ChartSeries s;
            s.run = run;
            s.row = row;
            s.name = run == 0 ? row : runName(run) + " " + row;
            for (int y : d.years) s.values.push_back(t.value(row, y));
            d.series.push_back(std::move(s));
        }
    }
    return d;
}

}  // namespace vdln
