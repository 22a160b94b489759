#pragma once
/// The files the suite programs pass to each other: the solution file
/// (".sl4"), SOL-format results (".sol", ".rsl"), per-year and accumulated
/// CSV tables, results map files, environment files (".en4") and the Model
/// Information layout (".min", ".sli").

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "growthmodel.h"
#include "harstore.h"

namespace vdln::suite {

/// What a solve of a demonstration model leaves in its solution file.
struct SolutionData {
    const ModelDescription* desc = &growthModel();  ///< the model (from the file's "VARS" header)
    std::string description;                        ///< the command file's verbal description
    int year = 0;                                   ///< calendar year (0 when not known)
    Components values{};                            ///< the results (percentage changes)
    Flags exogenous{};                              ///< the closure
    Components shocks{};                            ///< the shock of each exogenous component
    std::string method;                             ///< the solution method as text
};

/// Header name of variable v (0-based) in solution and SOL-format files:
/// its position as four digits ("0001" for x).
std::string variableHeaderName(int v);
/// Description of variable v's header: its name, a blank and its description.
std::string variableHeaderDescription(const ModelDescription& desc, int v);

/// The model a file's "VARS" header names (5 names growth, 15 growthre);
/// without the header, growth.  Fails naming the file when the list is of
/// neither model.
Result<const ModelDescription*> modelOfHeaders(const std::vector<HeaderDef>& headers,
                                               const std::string& path);

Status writeSolutionFile(const std::string& path, const SolutionData& solution);
Result<SolutionData> readSolutionFile(const std::string& path);
/// The solution file a stored input names (".sl4" added when missing,
/// found as `existingInput` finds inputs), read.
Result<SolutionData> readNamedSolution(const std::string& name);

/// SOL-format results of one year: "YEAR", "VARS" and one real header over
/// IND per variable.
Status writePerYearResults(const std::string& path, const std::string& programName,
                           const SolutionData& solution);

/// SOL-format results over several years: per variable an array over IND
/// and the years (set "YEAR", elements "Y" + year).
struct MultiYearResults {
    const ModelDescription* desc = &growthModel();
    std::vector<int> years;
    /// values[v][y][i]: variable v, year index y, industry i.
    std::vector<std::vector<std::array<double, kNumInd>>> values;
};
Status writeMultiYearResults(const std::string& path, const std::string& programName,
                             const MultiYearResults& r);

/// Reads SOL-format results (one year or several); variables are found by
/// the first word of their headers' descriptions.  A one-year file gives
/// one year (its "YEAR" header, 0 when absent).
Result<MultiYearResults> readResults(const std::string& path);

/// A spreadsheet table: "Variable,<col>,..." then one row per component.
struct CsvTable {
    std::vector<std::string> columns;                        ///< the column titles after "Variable" (years)
    std::vector<std::string> rows;                           ///< component names, "x(AGR)"
    std::vector<std::vector<std::optional<double>>> values;  ///< [row][column]; empty cell = nullopt
};
Status writeCsvTable(const std::string& path, const CsvTable& table);
Result<CsvTable> readCsvTable(const std::string& path);

/// Reads a results map file: one variable ("x") or component ("t(MAN)",
/// "t(\"MAN\")") per line; blank lines and lines starting with "!" are
/// skipped.  Returns the components in file order.
Result<std::vector<int>> readMapFile(const ModelDescription& desc, const std::string& path);
/// Writes the exogenous components as a map: a whole variable when all its
/// components are exogenous, else one line per component.
Status writeExogenousMap(const ModelDescription& desc, const std::string& path, const Flags& exogenous);

/// Environment file: the closure of a model run.
Status writeEnvironmentFile(const ModelDescription& desc, const std::string& path, const Flags& exogenous,
                            const std::string& auxiliary);
struct EnvironmentData {
    const ModelDescription* desc = &growthModel();
    Flags exogenous{};
};
Result<EnvironmentData> readEnvironmentFile(const std::string& path);

/// The lines of a Model Information file for the model with the given
/// closure status.  `withFiles` adds the logical-files section.
std::vector<std::string> modelInformationLines(const ModelDescription& desc, const Flags& exogenous,
                                               bool withFiles);

/// The 40-character stamp of the "DTXT" header of an auxiliary file, or a
/// failure when the file or header is missing.
Result<std::string> auxiliaryStamp(const std::string& path);

/// Whether a table row ("d_f(AGR)", "x") holds an ordinary change of the
/// model (accumulated by adding, compared by subtracting) rather than a
/// percentage change (compounded, compared in percent).
bool isOrdinaryChangeRow(const ModelDescription& desc, const std::string& row);

/// Status "ok"/"error" helpers for messages: "x(AGR)" list of components.
std::string componentList(const ModelDescription& desc, const std::vector<int>& components);

}  // namespace vdln::suite
