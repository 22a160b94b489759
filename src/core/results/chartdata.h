#pragma once
/// The data of the results charts: the multi-year spreadsheet tables the
/// spreadsheet jobs write ("Variable,<year>,..." and one row per component,
/// "x(AGR),<value>,..."), and the series a chart draws from them: the Base,
/// Rerun and Policy lines of chosen components year-on-year or cumulative,
/// or the Policy's deviations as bars, over every simulated year.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

/// One spreadsheet table.  An empty cell reads as NaN.
struct ResultsTable {
    std::string file;
    std::vector<int> years;
    std::vector<std::string> rows;            ///< "x(AGR)"
    std::vector<std::vector<double>> values;  ///< values[row][column]

    std::optional<std::size_t> rowIndex(const std::string& row) const;
    /// The value of a row in a year; NaN when the table has no such cell.
    double value(const std::string& row, int year) const;
};

/// Reads a table.  Fails naming the file and the line when the header is
/// not "<label>,<year>,..." with increasing years, a row has more cells than
/// the header, or a cell is not a number.
Result<ResultsTable> readResultsTable(const std::string& file);

/// "x(AGR)" -> {"x", "AGR"}; a name without brackets has no component.
std::pair<std::string, std::string> splitRowName(const std::string& row);

/// The spreadsheet files of an application, by run (index 1..3) and style,
/// and the Policy's deviations.
struct ChartSources {
    std::vector<int> years;                 ///< every simulated year, in order
    std::array<std::string, 4> yearOnYear;  ///< "" for a run that is not part of the application
    std::array<std::string, 4> cumulative;
    std::string deviationsYearOnYear;
    std::string deviationsCumulative;
    std::string comparisonRunName = "Rerun";  ///< what the deviations compare the Policy with
};

/// The files the spreadsheet jobs write over each run's whole range, in the
/// Working Directory (the Rerun left out in no-rerun mode).
ChartSources chartSourcesFor(const TSimRecord& rec, int firstPolicyYear, bool noRerun);

enum class ChartMode { Lines, DeviationBars };

struct ChartRequest {
    ChartMode mode = ChartMode::Lines;
    bool cumulative = false;
    std::array<bool, 4> runs{false, true, true, true};  ///< lines of runs 1..3
    std::vector<std::string> rows;                      ///< chosen components; empty: all
};

struct ChartSeries {
    std::string name;  ///< "Base x(AGR)", or "x(AGR)" for deviations
    int run = 0;       ///< 1..3; 0 for deviations
    std::string row;
    std::vector<double> values;  ///< one per chart year; NaN where the run has no value
};

struct ChartData {
    ChartMode mode = ChartMode::Lines;
    std::string title;
    std::string valueTitle;
    std::vector<int> years;
    std::vector<ChartSeries> series;
    std::vector<std::string> missingFiles;  ///< files of chosen runs that do not exist
};

/// The components found in the files a request would read, in file order
/// without duplicates.
std::vector<std::string> chartRowNames(const ChartSources& sources, const ChartRequest& request);

/// Builds the series.  Files of chosen runs that do not exist are listed in
/// `missingFiles`; fails when none of the files exists ("There are no
/// results to chart. Missing:" and the files) or a file cannot be read.
Result<ChartData> buildChartData(const ChartSources& sources, const ChartRequest& request);

}  // namespace vdln
