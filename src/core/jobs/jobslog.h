#pragma once
/// The jobs log ("bigjobs.log") and batch jobs log ("BatchJobs.log") in the
/// Keep Directory, the descriptions of job slots, the status lines of the
/// bottom panel and the job status overview.

#include <ctime>
#include <string>
#include <vector>

#include "base/result.h"
#include "jobs/plan.h"

namespace vdln {

inline constexpr const char* kJobsLogName = "bigjobs.log";
inline constexpr const char* kBatchJobsLogName = "BatchJobs.log";

/// Appends lines to a log that exists: the lines go to "joblog<n>.lo1" in
/// the Temporary Directory, the log followed by them to "joblog<n>.lo2",
/// which then replaces the log; both temporaries are deleted.  A log that
/// does not exist is not created (success, nothing written); any failure
/// leaves the log unchanged.
Status appendToLog(const std::string& logPath, const std::string& tempDir, int slot,
                   const std::vector<std::string>& lines);

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
std::vector<std::string> partStartLines(const TOneDosJob& slot, const DescribeContext& ctx, const std::tm& now);
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
/// "<h> hours, <m> minutes, <s> seconds" with hours and minutes only when
/// needed; every number truncated.
std::string elapsedText(double seconds);

/// The bottom panel's status lines.
struct StatusLines {
    std::string heading;            ///< "Running jobs:" (with the pass note)
    std::vector<std::string> lines; ///< one per running slot, at most three
    std::vector<int> runs;          ///< the run of each line (for its colour)
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

/// The lines of "Summary of Current Job" ("Nothing is running." when no job).
std::vector<std::string> jobStatusOverview(const TBigJobDetails& job, const PlanContext& ctx,
                                           bool usesPeriods);

}  // namespace vdln
