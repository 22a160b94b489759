#pragma once
/// The record of runs: what every completed step (a year's simulation, a BOT
/// job, a run's spreadsheet job) used and produced, written to the run's
/// record-of-runs file with the stamps of all those files.

#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "model/simrecord.h"
#include "model/solutionmethod.h"
#include "runrecord/filestamp.h"
#include "runrecord/recordfiles.h"

namespace vdln {

class RunRecordStore;

/// Everything the record of runs and its checks need to know about the
/// application and the program's options.  The owner (the session) fills it
/// before each operation; the record `sim` must outlive it.
struct RunRecordEnv {
    RunRecordEnv(const TSimRecord& simRecord, TKeepRunInfo keepInfo, const Clock& clk)
        : sim(simRecord), keep(std::move(keepInfo)), clock(clk) {}

    const TSimRecord& sim;
    TKeepRunInfo keep;
    const Clock& clock;
    DurableCopyNames copies;     ///< the ".ds3", ".ds4", ".ds5" names of the application
    int firstPolicyYear = 1;     ///< `FirstPolicyYear`
    bool noRerun = false;        ///< no-rerun mode ("Rerun FC with Dev" = "no")
    bool beLikeOld = false;      ///< menu "Be Like Old Vardelon"
    bool developerMode = false;  ///< "DeveloperMode"
    // Model.
    std::string modelFile;          ///< model program (".exe") or auxiliary statement file (".gss")
    bool notWinconsoleExe = false;  ///< "Not winconsole exe"
    std::string modelInfoFile;      ///< Model Information file
    std::string dynamicInfoFile;    ///< Dynamic Information file ("" when none)
    bool writesUdc = false;         ///< the model program writes a ".udc" file
    // Options.
    bool solFileShocks = false;          ///< "Sol File Shocks"
    std::string resultsMapFile;          ///< "Results Map File"
    bool abbreviatedSS = false;          ///< "Do Abbreviated SS Jobs"
    bool yearOnYearDiffs = false;        ///< "Make Year-on-Year Differences SS"
    bool useCMFStart = true;             ///< "Use CMFStart"
    bool useRunSpecificCMFStart = true;  ///< "Use RunSpecific CMFStart"
    /// The run's convergence header array file to record with the spreadsheet
    /// job ("" unless rational-expectations iterations are on their last
    /// iteration with convergence files prepared); index 1..3.
    std::array<std::string, 4> convergenceFile;
    std::vector<std::string> firstYearList;  ///< lines "file <name> = <file> ;"
    // Solution methods of the application.
    TSolutionMethod method = defaultSolutionMethod();
    TAutoAccuracy accuracy = defaultAutoAccuracy();
    TSolutionMethod altMethod = defaultSolutionMethod();
    TAutoAccuracy altAccuracy = defaultAutoAccuracy();
    /// The spreadsheet range (first, last year number) of each run's last
    /// spreadsheet job; 0 means the run's whole range.
    std::array<std::pair<int, int>, 4> ssRange{};

    /// The first year number of run r (1 for the Base, `FirstPolicyYear` otherwise).
    int firstYearOf(int run) const { return run == 1 ? 1 : firstPolicyYear; }
    /// The run under which BOT jobs are recorded (3 in no-rerun mode, else 2).
    int botRecordRun() const { return noRerun ? 3 : 2; }
    /// True when some period is not one year long.
    bool usesPeriods() const;
    /// The method (and accuracy) the application uses in year number i.
    const TSolutionMethod& methodForYear(int i) const;
    const TAutoAccuracy& accuracyForYear(int i) const;
    /// A path of the application: `name` resolved against `WorkDir`.
    std::string inWorkDir(const std::string& name) const;
};

/// The kind of a completed step.
enum class StepKind { Sim, Bot };

/// Section names of a step: the calendar year of year number i, with "bot"
/// for a BOT job, followed by `suffix` (for example "2005em", "2005botem").
std::string stepSection(const RunRecordEnv& env, int i, bool bot, const std::string& suffix);

/// The run names "Base", "Rerun", "Policy" (`runName`), "?" outside 1..3.
std::string runTitle(int run);

/// "simulation for year 2005 (year number 3) of the Base" ("period number"
/// when the application uses periods); with `capital` the first letter is
/// upper case.
std::string simulationPhrase(const RunRecordEnv& env, int run, int i, bool capital = false);

/// A step in words for the stamp messages: the simulation phrase, "BOT job
/// for year <year>" or "spreadsheet job for the <run>".
std::string stepContext(const RunRecordEnv& env, int run, int i, bool bot);

/// `CompareFileStamp` with the context built from the step: the run name
/// when `year` is 0, otherwise as `stepContext`.
StampCompareResult CompareFileStamp(const RunRecordEnv& env, std::string_view label, int run, int year,
                                    std::string_view storedStamp, const std::string& currentFile,
                                    std::string_view verb, bool checkName, bool checkTimeAndSize, bool bot);

/// The spreadsheet outputs of run r's last spreadsheet job, as "Run" keys
/// with their files (in the order they are recorded).
std::vector<std::pair<std::string, std::string>> spreadsheetOutputs(const RunRecordEnv& env, int run);

/// The per-year CSV file of run r for year number i.
std::string yearCsvFile(const RunRecordEnv& env, int run, int i);

/// The files a closure, shock or start file draws in, each resolved against
/// `WorkDir`, sorted without duplicates (the file itself left out).
std::vector<std::string> sortedConstituents(const RunRecordEnv& env, const std::string& file);

/// The run's start file when start files are used ("" when none).
std::string currentCMFStartFile(const RunRecordEnv& env, int run);

/// Records a completed step in run `run`'s record-of-runs file.
///
/// `year` is the year number (1..`NumYears`; `NumYears` + 1 for the run's
/// spreadsheet job); `kind` is Sim or Bot; `method` and `accuracy` are the
/// settings the year was solved with.  Steps before the run's first year are
/// not recorded.  Later runs' records are invalidated first (see the file's
/// comments).  When the file cannot be updated, the error "Problem updating
/// Record of Runs file ..." is shown (OK and Help) and the result is false;
/// the job goes on.
[[nodiscard]] bool WriteRunRecord(const RunRecordEnv& env, Dialogs& dialogs, int run, int year, StepKind kind,
                                  const TAutoAccuracy& accuracy, const TSolutionMethod& method);
/// The same, reading and editing the files held by `store` (a job's
/// completions): nothing is read from disk unless a file changed under the
/// store; the file is still written atomically at every completion.
bool WriteRunRecord(const RunRecordEnv& env, Dialogs& dialogs, RunRecordStore& store, int run, int year,
                    StepKind kind, const TAutoAccuracy& accuracy, const TSolutionMethod& method);

}  // namespace vdln
