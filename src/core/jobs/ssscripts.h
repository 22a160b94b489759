#pragma once
/// The stored-input scripts of spreadsheet steps and conversion parts: the
/// answers the suite's conversion, accumulation, deviation and combining
/// programs read, one per line, and the solution-sequence files.  The names
/// of the files every part reads, writes and logs to come from `partFiles`,
/// so that the scripts, the launch and the engine's checks always agree.

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
    std::string programDir;    ///< where the suite's conversion programs are
    std::string modelProgram;  ///< the model program

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
std::string accumulatedName(const ScriptContext& c, JobKind kind, PartKind part, int run, int first,
                            int last);

/// The files of one part of a step (all full paths).
struct PartFiles {
    std::string program;    ///< the program the part runs (the model program or a suite program)
    std::string dir;        ///< directory the part runs in
    std::string stdinFile;  ///< the stored input
    std::string logFile;
    std::string reportFile;
    std::string outputFile;  ///< its existence proves success
    std::string stepLogFile;
};

/// The files of any part of a step: the program it runs, the folder it runs
/// in (`slotDir`, the slot's folder; the Temporary Directory for "sol"),
/// its stored input and the log and report named after it, the output
/// whose existence proves success and the step's log.  The stored inputs
/// are the ones the writers of this file and `WriteRunBat` write.  Fails
/// for a part that no step has.
Result<PartFiles> partFiles(const ScriptContext& c, const StepChoice& part, const std::string& slotDir);

/// Writes the "csv" or "sssol" script of a run; returns its path.
Result<std::string> writeCsvScript(const ScriptContext& c, JobKind kind, int run);

/// Writes the accumulation scripts of an "aggrex" or "cumsol" step of a run
/// (one per part: "yony", "cum", "py" as applicable), the deviation scripts
/// when the run is the policy run with deviations, and, for "aggrex", the
/// solution-sequence files.  Returns the paths written.
Result<std::vector<std::string>> writeAccumulationScripts(const ScriptContext& c, JobKind kind, int run);

/// Writes the "sol" script of a finished simulation; returns its path.
Result<std::string> writeSolScript(const ScriptContext& c, int year, int run);
/// Writes the "solpol" script of a BOT step; returns its path.
Result<std::string> writeSolpolScript(const ScriptContext& c, int year);

}  // namespace vdln
