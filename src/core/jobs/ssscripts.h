#pragma once
/// The stored-input scripts of spreadsheet steps and conversion parts: the
/// answers the suite's conversion, accumulation, deviation and combining
/// programs read, one per line, and the solution-sequence files.  The names
/// of the files a part reads, writes and logs to come from `partFiles`, so
/// that the scripts and the engine's checks always agree.

#include <string>
#include <vector>

#include "base/result.h"
#include "model/simrecord.h"
#include "plan/plan.h"

namespace vdln {

/// Options read from the main window when a script is written.
struct ScriptOptions {
    bool subtotals = false;           ///< "Accumulate Subtotals Results"
    bool arithmeticNotFatal = false;  ///< "Arithmetic problems not fatal for spreadsheet jobs"
    bool abbreviated = false;         ///< "Do Abbreviated SS Jobs"
    bool yearOnYearDiffs = false;     ///< "Make Year-on-Year Differences SS"
    std::string mapFile;              ///< "Results Map File"
};

/// Everything a script writer needs.
struct ScriptContext {
    const TSimRecord& rec;
    const TBigJobDetails& job;
    bool noRerun = false;
    int firstPolicyYear = 1;
    std::string tempDir;
    ScriptOptions opt;

    /// The first simulation of a run (1 for the Base, the policy start otherwise).
    int firstRunOf(int run) const { return run == 1 ? 1 : firstPolicyYear; }
};

/// The per-year temporary CSV and SOL-format files of a run's year.
std::string perYearCsvFile(const ScriptContext& c, int year, int run);
std::string perYearRslFile(const ScriptContext& c, int year, int run);
/// The year's solution file name without its extension.
std::string solutionStem(const ScriptContext& c, int year, int run);

/// The years a run's "csv" and "sssol" steps cover: its spreadsheet range and
/// its "py" range, in increasing order.
std::vector<int> spreadsheetYears(const ScriptContext& c, int run);

/// The accumulated-results name (no folder) of a spreadsheet part: `kind`
/// "aggrex", "cumsol", "divero" or "devsol"; `part` "yony" or "cum".
std::string accumulatedName(const ScriptContext& c, const std::string& kind, const std::string& part, int run,
                            int first, int last);

/// The files of one part of a step (all full paths).
struct PartFiles {
    std::string program;    ///< suite program file name ("" for the model program)
    std::string dir;        ///< directory the part runs in
    std::string stdinFile;  ///< the stored input
    std::string logFile;
    std::string reportFile;
    std::string outputFile;  ///< its existence proves success
    std::string stepLogFile;
};

/// The files of a spreadsheet or conversion part ("sim"/"sol", "bot" parts
/// other than "env", "csv", "sssol", "aggrex", "cumsol", "divero",
/// "devsol"); `slotDir` is the slot's directory.  Fails for the parts that
/// run the model program and for unknown parts.
Result<PartFiles> partFiles(const ScriptContext& c, const StepChoice& part, const std::string& slotDir);

/// Writes the "csv" or "sssol" script of a run; returns its path.
Result<std::string> writeCsvScript(const ScriptContext& c, const std::string& kind, int run);

/// Writes the accumulation scripts of an "aggrex" or "cumsol" step of a run
/// (one per part: "yony", "cum", "py" as applicable), the deviation scripts
/// when the run is the policy run with deviations, and, for "aggrex", the
/// solution-sequence files.  Returns the paths written.
Result<std::vector<std::string>> writeAccumulationScripts(const ScriptContext& c, const std::string& kind,
                                                          int run);

/// Writes the "sol" script of a finished simulation; returns its path.
Result<std::string> writeSolScript(const ScriptContext& c, int year, int run);
/// Writes the "solpol" script of a BOT step; returns its path.
Result<std::string> writeSolpolScript(const ScriptContext& c, int year);

}  // namespace vdln
