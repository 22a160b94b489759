#pragma once
/// The jobs log ("bigjobs.log") and batch jobs log ("BatchJobs.log") in the
/// Keep Directory, the descriptions of job slots, the status lines of the
/// bottom panel and the job status overview.

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "base/result.h"
#include "plan/plan.h"

namespace vdln {

inline constexpr const char* kJobsLogName = "bigjobs.log";
/// The copy of the log of the last part that failed, in the Keep Directory
/// ("Last &Error Log").
inline constexpr const char* kLastErrorLogName = "lasterr.log";
inline constexpr const char* kBatchJobsLogName = "BatchJobs.log";

/// Appends lines (CR LF) to a log that exists, in one write in append mode
/// under an exclusive `flock`, so that two programs writing the same log
/// (two jobs, or a job and the window) never lose or mix lines and nothing
/// goes through the Temporary Directory.  A log that does not exist is not
/// created (success, nothing written).  A failed write (a full disk) is
/// undone: the log is cut back to its length before, never left with half a
/// line.
Status appendToLog(const std::string& logPath, const std::vector<std::string>& lines);

/// What a slot description needs of the application.
struct DescribeContext {
    std::function<int(int)> year;  ///< calendar year of a year index
    bool usesPeriods = false;      ///< "period" instead of "year" in texts
};

/// "[Not running]" for a free slot; otherwise e.g. "Base: sim for year 2025
/// (year number 2)" or "Policy: Assembling the spreadsheets".
std::string slotDescription(const TOneDosJob& slot, const DescribeContext& ctx);
/// " [<part> part of job <name>]".
std::string partNote(const TOneDosJob& slot);

/// Date and time as the logs write them ("dd/mm/yyyy hh:mm:ss").
std::string logDateTime(const std::tm& t);
/// Time of day as the logs write it ("hh:mm:ss").
std::string logTimeOfDay(const std::tm& t);

/// Lines written to the jobs log at the first launch of a job.
std::vector<std::string> jobStartLines(const std::tm& now, int firstSlot, int lastSlot);
/// "START <description> <time>" for a part that begins a step, or nothing.
std::vector<std::string> partStartLines(const TOneDosJob& slot, const DescribeContext& ctx,
                                        const std::tm& now);
/// True when a finished part ends its record-keeping unit and gets an
/// "END" line: "sim" steps (both parts); "bot" with its last part; "csv",
/// "sssol"; "aggrex"/"cumsol" of runs 1 and 2 when their stage completed;
/// "divero"/"devsol" with part "cum".
bool partGetsEndLine(const TOneDosJob& slot, bool stageCompleted, bool useSOLFilesForShocks);
/// "END <description> <time>".
std::string partEndLine(const TOneDosJob& slot, const DescribeContext& ctx, const std::tm& now);
/// "ERROR <description>[ part note] <time>".
std::string partErrorLine(const TOneDosJob& slot, const DescribeContext& ctx, const std::tm& now);
/// "WHOLE JOB FINISHED OK at ..." and " [Total elapsed time is: ...]".
std::vector<std::string> jobFinishedLines(const std::tm& now, const std::string& elapsedText);
/// The end line of a job that did not finish: "JOB CANCELLED at ..." (with
/// the reason in brackets when given, e.g. the interrupt) or "JOB FAILED
/// at ...", so that every "BEGINNING A JOB" block is closed.
std::vector<std::string> jobEndedLines(const std::tm& now, bool cancelled, const std::string& reason);
/// "<h> hours, <m> minutes, <s> seconds" with hours and minutes only when
/// needed; every number truncated.
std::string elapsedText(double seconds);

/// The bottom panel's status lines.
struct StatusLines {
    std::string heading;             ///< "Running jobs:" (with the pass note)
    std::vector<std::string> lines;  ///< one per running slot, at most three
    std::vector<int> runs;           ///< the run of each line (for its colour)
};

/// The pass note while "Run Single Job, then Concurrent" is active.
struct SingleThenConcurrentNote {
    bool active = false;
    int pass = 0;
    bool concurrent = false;
};

/// Status lines of the running slots `FirstSlot`..`MaxConcurrent`; with
/// rational expectations the current iteration of each slot's run is shown.
StatusLines statusLines(const TBigJobDetails& job, int maxConcurrent, const DescribeContext& ctx,
                        const SingleThenConcurrentNote& pass, bool doingRE, const PerRun<int>& currentIter);

/// What the main window's bottom panel shows: while a job runs the run
/// panels and Help are hidden and the red "Cancel Job" panel takes the place
/// of "Run &Base"; otherwise the run panels are back ("&Rerun Base" only
/// outside no-rerun mode).  Each label shows its text in its run's colour
/// (`runs`: 0 for the default colour) when visible.
struct BottomPanel {
    bool jobRunning = false;  ///< the Cancel panel is shown instead of the run panels
    bool rerunPanel = true;   ///< "&Rerun Base" is shown (only when no job runs)
    std::array<std::string, 3> labels{"[None running.]", "[Second job]", "[Third job]"};
    std::array<bool, 3> visible{true, false, false};
    std::array<int, 3> runs{};
};

/// Where a job is in its life, as the bottom panel shows it.
enum class PanelPhase {
    Idle,         ///< no job since the program started (or since the last one ended)
    StartingJob,  ///< "job running" entered, nothing launched yet
    Running,      ///< the running slots' status lines
    Finished,     ///< the whole job has finished
};

/// The bottom panel for a phase: the status lines while running (with
/// nothing running the first label reads "[None running.]"), "[None running
/// yet] " when a job is starting, "[Job finished] " once it has finished;
/// when no job runs the labels are hidden and the run panels shown.
BottomPanel bottomPanel(PanelPhase phase, const StatusLines& status, bool noRerun);

/// The lines of "Summary of Current Job" ("Nothing is running." when no job).
std::vector<std::string> jobStatusOverview(const TBigJobDetails& job, const PlanContext& ctx,
                                           bool usesPeriods);

}  // namespace vdln
