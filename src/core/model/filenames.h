#pragma once
/// Names of every file the program derives from the simulation record: stems,
/// per-year files of a run, BOT files, generated data files, spreadsheet
/// files, record-of-runs files; the resolver that names the actual file
/// behind a logical file in a year and run; lookup by logical name.
///
/// Every builder is a pure function of the record.  Simulation index i is
/// -1..999 or `kNoYear` (-100, "no year"); run r is 1..3.  Generated names
/// are lower-cased (the name part only; the directory is kept as given, see
/// model/simrecord.h for the letter-case rules).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

/// The index meaning "no year" (the pattern row of the grid).
inline constexpr int kNoYear = -100;

/// Short stem: `SimNames[r]` + run letter + `Years[i]` ("YYYY" for kNoYear),
/// e.g. "BS1B2005".
std::string RunStem(const TSimRecord& rec, int i, int r);
/// `SimNames[r]` + run letter, e.g. "BS1B".
std::string RunPrefix(const TSimRecord& rec, int r);
/// Simulation name + last two digits of the year, e.g. "BS105" (the first
/// three and the 7th-8th characters of the short stem).
std::string FiveCharStem(const TSimRecord& rec, int i, int r);
/// The stored inputs of the parts of the BOT step of year i that run `r`
/// (the run that makes the BOT files) passes to its programs.
enum class BotStepInput {
    Environment,      ///< the model program's environment run: "env.sti"
    Map,              ///< the map part: "st2.st2"
    BotFromSolution,  ///< the BOT file from the Base solution: "st3.st3"
    BotFromResults,   ///< the BOT file from the SOL-format results: "st9.st9"
};
/// A BOT step's stored input in the folder `dir`: the five-character stem
/// of the run's year followed by the input's own ending, e.g.
/// "BR125st3.st3".
std::string BotStepInputFile(const TSimRecord& rec, int i, int r, const std::string& dir, BotStepInput which);
/// The last two digits of a year, zero-padded ("05").
std::string twoDigitYear(int year);

/// The runs a joined name is made of.
struct RunSelection {
    bool run1 = false, run2 = false, run3 = false;
    /// Runs 1..r.
    static RunSelection upTo(int r) { return {r >= 1, r >= 2, r >= 3}; }
};

/// The simulation names of the runs joined as in file names: the separator
/// between names, the run letter after each name when `AppendRunLetter` is
/// on (any naming style).
std::string joinedSimNames(const TSimRecord& rec, bool run1, bool run2, bool run3);

/// The simulation names of the selected runs (order 1, 2, 3; run 2 skipped
/// in no-rerun mode), separated by `Separator`, each followed by its run
/// letter when `AppendRunLetter` is on.  Only meaningful with long names:
/// otherwise fails with "[JoinSelectedBaseNames] Expect long file names here".
Result<std::string> JoinSelectedBaseNames(const TSimRecord& rec, RunSelection runs, bool noRerun);

/// Long stem of simulation i of run r.  Short names: the short stem.  Long
/// names: the joined names of runs 1..r, then `Separator` + `Years[i]` when
/// i >= -1, then `Separator` + the next year when `fileIndex` (1-based) names
/// an output file and `AppendNextYear` is on.  e.g. "BS1B-BR1R-PL1P-2005".
std::string LongStem(const TSimRecord& rec, int i, int r, bool noRerun,
                     std::optional<int> fileIndex = std::nullopt);

/// The generated files of one simulation of one run.
struct TPerYearFiles {
    std::string solution;  ///< <WorkDir>/<stem>.sl4 (name lower-cased)
    std::string simLog;    ///< .log beside the solution file
    std::string cmf;       ///< .cmf beside the solution file
    std::string top;       ///< .top beside the solution file
    std::string jobLog;    ///< in the job directory, "...sim.log"
    std::string sti;       ///< the job log with ".sti"
    std::string rpt;       ///< the job log with ".rpt"
};

/// Solution file: JoinPath(WorkDir, LongStem(i, r) + ".sl4"), name lower-cased.
std::string SolutionFile(const TSimRecord& rec, int i, int r, bool noRerun);
/// The solution file with ".log".
std::string SimLogFile(const TSimRecord& rec, int i, int r, bool noRerun);
/// The solution file with ".cmf".
std::string CmfFile(const TSimRecord& rec, int i, int r, bool noRerun);
/// The solution file with ".top".
std::string TopFile(const TSimRecord& rec, int i, int r, bool noRerun);
/// Job log in `dir`: long names: the solution file's bare stem + "sim.log",
/// lower-cased; short names: the five-character stem + "sim.log", case kept.
std::string JobLogFile(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& dir);
/// The job log with ".sti".
std::string StiFile(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& dir);
/// The job log with ".rpt".
std::string RptFile(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& dir);
/// All the per-year files of simulation i of run r (job files in `jobDir`).
TPerYearFiles PerYearFiles(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& jobDir);

/// The run whose Base results become shocks: 3 in no-rerun mode, else 2.
inline int botRun(bool noRerun) {
    return noRerun ? 3 : 2;
}
/// BOT file of simulation i: JoinPath(WorkDir, stem of the BOT run + ".bot"),
/// name lower-cased (long stem with long names, short stem otherwise).
std::string BotFile(const TSimRecord& rec, int i, bool noRerun);
/// The BOT path without extension + "-bot.log".
std::string BotJobLogFile(const TSimRecord& rec, int i, bool noRerun);
/// Results file of the BOT-making run: long names <WorkDir>/<LongStem(i,b)>.rsl;
/// short names <WorkDir>/<SimNames[1]><SimNames[b]><yy>.rsl; name lower-cased.
std::string BotResultsFile(const TSimRecord& rec, int i, bool noRerun);

/// The name the command file gives user file `fileIndex` (1-based) written
/// by simulation i of run r: long names Key + Separator + LongStem(i, r, file)
/// + "." + FileType, short names Key + SimNames[r] + yy + "." + FileType;
/// lower-cased.  Used for updated and output files.
std::string DataFileName(const TSimRecord& rec, int i, int r, bool noRerun, int fileIndex);
/// The updated version of a file: `DataFileName`, or "?notupd?" when the file
/// is not both input and updated.
std::string UpdatedFileName(const TSimRecord& rec, int i, int r, bool noRerun, int fileIndex);
/// The marker of a file that has no updated version.
inline constexpr const char* kNotUpdated = "?notupd?";

/// A spreadsheet range of run r over simulations c..a.  `firstRun` is the
/// run's first simulation (the policy start for runs 2 and 3; ignored for
/// run 1).  Empty when the range is the whole run, else
/// "-" + Years[max(c, f0)] + "-" + Years[min(a, NumYears)] (4 characters each).
std::string SpreadsheetRangeSuffix(const TSimRecord& rec, int r, int c, int a, int firstRun);
/// The results a spreadsheet file holds: a run's own ("ss", made by the
/// steps "aggrex" and "cumsol") or the policy's deviations ("dev", made by
/// "divero" and "devsol").
enum class ResultsKind { Spreadsheet, Deviations };
/// Spreadsheet CSV name (no directory): kind "ss" or "dev"; long: joined
/// names of runs 1..r + Separator + kind, short: run prefix + kind; then the
/// first character of `resultType` ("yony" or "cum"), the range suffix,
/// ".csv".
std::string SpreadsheetCsvName(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun,
                               ResultsKind kind, const std::string& resultType);
/// Cumulative results file: the CSV name for result type "cum" with ".rsl".
std::string CumulativeResultsName(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun,
                                  ResultsKind kind);
/// Sequence file: JoinPath(WorkDir, prefix [+ "dev"] + range + ".seq"), name
/// lower-cased; long names put `Separator` before "dev".
std::string SequenceFile(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun,
                         bool differences);
/// Spreadsheet job log: JoinPath(WorkDir, prefix + "ss" + range + ".log")
/// (long names: joined names + Separator + "ss").
std::string SpreadsheetLogFile(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun);

/// Record-of-runs file of a run in `dir`: "base.ini", "rbase.ini", "pol.ini".
std::string RecordOfRunsFile(const std::string& dir, int run);
/// Default CMFSTART file in `dir`: "CMFSTART" + upper-case run letter when
/// run-specific, else "CMFSTART".
std::string DefaultCMFStartFile(const std::string& dir, int run, bool runSpecific);

/// Whether every path the builders above make from the record stays in the
/// folder it belongs to: the per-year, BOT, data, sequence and spreadsheet
/// files of every year and run in the Working Directory, the job logs and
/// the environment files in `jobDir` (the Temporary Directory).  A name
/// that reached the record without the checks made where names enter (a
/// separator, "..") would make such a path point elsewhere; the job must
/// then not start.  Fails with "The generated file \"<path>\" would lie
/// outside its folder \"<folder>\"." for the first such path.
[[nodiscard]] Status CheckGeneratedPaths(const TSimRecord& rec, bool noRerun, const std::string& jobDir);

/// The 1-based index of the user file whose `Name` equals `name` without
/// regard to letter case; nullopt when there is none.
std::optional<int> FindUserFileByName(const TSimRecord& rec, const std::string& name);

/// What the resolver found.
struct TResolvedFile {
    std::string name;     ///< actual file name ("" when a first-year line is missing)
    int sourceIndex = 0;  ///< simulation index whose result is read (k - 1)
    int sourceYear = 0;   ///< Years[k - 1]
    int sourceRun = 0;    ///< run whose version is read
    int sourceFile = 0;   ///< index in `Files` of the file whose versions are read
};

/// The actual file behind user file `fileIndex` in simulation i of `run`.
/// `firstRun` is the run's first simulation (the policy start for runs 2
/// and 3); `firstYearList` holds the first-year lines
/// "file <name> = <actual> ;".  Names of the starting data (k <= 1) are
/// upper case, except names from the first-year list, which are returned as
/// written there; generated names are lower case.  Fails (tag
/// " [ResolveLogicalFile]") when the file index or the source file it leads
/// to is not in the table, or the index is out of range.
Result<TResolvedFile> ResolveLogicalFile(const TSimRecord& rec, int i, int run, int firstRun, bool noRerun,
                                         int fileIndex, const std::vector<std::string>& firstYearList);
/// The first-year file of a logical name, as `firstYearFileFor` gives it.
using FirstYearLookup = std::function<std::optional<std::string>(const std::string& name)>;
/// `ResolveLogicalFile`, the first-year files given by `firstYearFile` (a caller that
/// resolves many steps keeps the answers of `firstYearFileFor`).
Result<TResolvedFile> ResolveLogicalFileWith(const TSimRecord& rec, int i, int run, int firstRun,
                                             bool noRerun, int fileIndex,
                                             const FirstYearLookup& firstYearFile);

/// The <actual> part of the first-year line for logical name `name` (letter
/// case of "file <name> = " ignored; enclosing quotes removed); nullopt when
/// there is no such line.
std::optional<std::string> firstYearFileFor(const std::vector<std::string>& firstYearList,
                                            const std::string& name);

}  // namespace vdln
