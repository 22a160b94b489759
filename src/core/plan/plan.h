#pragma once
/// The plan of a multi-step job: the request per run, the progress of every
/// run, the three job slots, and the rules that choose the next step and the
/// part that follows a finished part.  Everything here is a pure decision over
/// the job record; writing files and launching programs happen elsewhere.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "model/simrecord.h"
#include "plan/steps.h"

namespace vdln {

/// Runs are indexed 1..3 (Base, Rerun, Policy); index 0 is unused.
template <class T>
using PerRun = std::array<T, 4>;

/// What the plan needs to know of the application and of the record of runs.
struct PlanContext {
    int numYears = 1;              ///< `NumYears`
    std::function<int(int)> year;  ///< `Years[i]`, calendar year of index i
    bool noRerun = false;          ///< no-rerun mode: run 2 is not used
    int firstPolicyYear = 1;       ///< `FirstPolicyYear`
    bool doingRE = false;          ///< doing rational expectations
    /// Iterations of a run completed and the most it may do (only read
    /// while doing rational expectations).
    std::function<int(int)> reIterationsDone;
    std::function<int(int)> reMaxIterations;
    /// `BotNeeded`: the stored BOT files of year i are no longer valid.
    std::function<bool(int)> botNeeded;
    /// `BotFinishedThisJob`: the BOT step of year i completed in this job.
    std::function<bool(int)> botFinishedThisJob;
};

/// Options that shape the steps of a job.
struct PlanOptions {
    bool abbreviatedSS = false;         ///< "Do Abbreviated SS Jobs"
    bool yearOnYearDiffs = false;       ///< "Make Year-on-Year Differences SS"
    bool useSOLFilesForShocks = false;  ///< `UseSOLFilesForShocks`
};

/// One job slot.
struct TOneDosJob {
    bool InUse = false;
    int Run = 0;
    int Year = 0;
    std::int64_t Process = 0;  ///< process id of the launched program (0 when none)
    std::string Dir;
    JobKind JobName = JobKind::None;
    PartKind JobPart = PartKind::None;
    std::string OutputFile;
    std::string LogFile;
    std::string ReportFile;
    std::string StepLogFile;
    bool RecordCompletion = false;
};

using TDosJobsArray = std::array<TOneDosJob, 4>;  ///< slots 1..3; index 0 unused

/// A job request: per run the simulation and spreadsheet ranges.
struct JobRequest {
    PerRun<int> FirstSimYear{};
    PerRun<int> LastSimYear{};
    PerRun<int> FirstSSYear{};
    PerRun<int> LastSSYear{};
    bool DoDeviations = false;
};

/// The running job.
struct TBigJobDetails {
    bool Running = false;
    bool Stopped = false;
    std::int64_t StartFileTime = 0;  ///< system time when the first step was launched
    PerRun<int> FirstSimYear{}, LastSimYear{}, LastDoneYear{};
    PerRun<bool> DoSims{};
    PerRun<int> FirstSSYear{}, LastSSYear{};
    PerRun<JobKind> SSStageDone{};  ///< the last spreadsheet step completed (`None`: none yet)
    PerRun<PartKind> SSPartDone{};  ///< the last spreadsheet part completed
    PerRun<bool> DoSS{};
    bool DoDeviations = false;
    PerRun<int> PYFirstYear{}, PYLastYear{};
    PerRun<bool> DoPY{};
    TDosJobsArray Jobs{};
    bool OverviewOpen = false;
    int FirstSlot = 1;  ///< first usable slot
    int LastSlot = 1;   ///< last usable slot
};

/// An empty run range: first `NumYears` + 2, last 0.
JobRequest emptyRequest(int numYears);

/// Normalises a request in place (no-rerun mode, policy start, clamping,
/// deviations and the "py" ranges) and copies it into the job record with the
/// progress of every run reset.  `recomputeFirstPolicyYear` is called when
/// run 2 or 3 has work; it may change `ctx.firstPolicyYear`.
void normaliseRequest(JobRequest& req, PlanContext& ctx,
                      const std::function<void()>& recomputeFirstPolicyYear, TBigJobDetails& job);

/// True when the job has any simulation or spreadsheet to do.
bool anythingToDo(const TBigJobDetails& job);

/// One step (or part) chosen to run.
struct StepChoice {
    JobKind JobName = JobKind::None;
    PartKind JobPart = PartKind::None;
    int Run = 0;
    int Year = 0;
};

/// Outcome of `SelectNextStep`: `ok` false means an internal inconsistency
/// (its text in `error`, to be shown through the internal-error reporter, or
/// as an information message when `errorIsInfo`) and the job must stop.
struct SelectResult {
    bool ok = true;
    std::optional<StepChoice> step;
    /// The step restarts its run for another iteration of the rational
    /// expectations: the caller makes the run's current iteration the next
    /// one, sets its last done year back before its first year and clears
    /// its spreadsheet stage.
    bool reRestart = false;
    std::string error;
    bool errorIsInfo = false;
};

/// Chooses the next step by the order ("pol-ASAP": runs 3, 2, 1;
/// "base-ASAP": runs 1, 2, 3); `atStart` is true only for the selection made
/// when the job starts.
SelectResult SelectNextStep(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& opt,
                            JobOrder order, bool atStart);

/// The part that follows a finished part of the given step (same run and
/// year), or nothing when the step is over.
std::optional<StepChoice> followOnPart(const TBigJobDetails& job, const PlanOptions& opt,
                                       const StepChoice& finished);

/// Starts another iteration of run `run` (a `SelectResult::reRestart`): its
/// last done year goes back before its first year and its spreadsheet
/// stages start again.
void restartRun(TBigJobDetails& job, int run);

/// Puts a chosen part into a slot of the job record (in use, with its
/// step, part, run and year).
void occupySlot(TBigJobDetails& job, int slot, const StepChoice& part);

/// One slot filled by `fillFreeSlots`.
struct SlotFill {
    int slot = 0;
    StepChoice part;
    bool reRestart = false;  ///< the part restarts its run (`SelectResult::reRestart`)
};

/// What to start in the free slots of a job: `fills` in launch order; `ok`
/// false (with `error`, `errorIsInfo` as for `SelectResult`) when a
/// selection failed after the fills listed; `restarted` when the last fill
/// restarts its run, after which the caller applies the restart and asks
/// again (what later selections see depends on it).
struct FillPlan {
    bool ok = true;
    std::vector<SlotFill> fills;
    bool restarted = false;
    std::string error;
    bool errorIsInfo = false;
};

/// Fills the free slots `FirstSlot`..`LastSlot` of the job, lowest first:
/// the first gets the part that follows `finished` (the part that just
/// ended, if any), every other the next step by `order` (`atStart` for the
/// selections made when the job starts).  Nothing is changed: the plan is
/// worked out on a copy of the job record, each filled slot in use for the
/// selections after it.
FillPlan fillFreeSlots(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& opt,
                       JobOrder order, const std::optional<StepChoice>& finished, bool atStart);

/// Progress bookkeeping after the part in `slot` succeeded: frees the slot,
/// advances the run's last done year or spreadsheet stage.
void CompleteStep(TBigJobDetails& job, const PlanOptions& opt, int slot);

// Queries over the slots in use (slots `FirstSlot`..3).
/// `name` "csv", "sssol", "aggrex" (also "divero") or "cumsol" (also "devsol").
bool IsSSJobRunning(const TBigJobDetails& job, int run, JobKind name);
bool IsBotRunning(const TBigJobDetails& job, int year);
bool IsSimRunning(const TBigJobDetails& job, int run, int year);
bool YearInSimRange(const TBigJobDetails& job, const PlanContext& ctx, int year, int run);

/// The run whose results the policy is compared with (2, or 1 in no-rerun mode).
inline int comparisonRun(bool noRerun) {
    return noRerun ? 1 : 2;
}

/// True when the part in a slot ends its step's record keeping: "sim"/"sol";
/// "bot" with its last part; "cumsol" of runs 1 and 2 and "devsol" of run 3
/// over the run's whole range with part "cum" (or "yony" with abbreviated
/// spreadsheet jobs).
bool recordsCompletion(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& opt,
                       const StepChoice& part);

}  // namespace vdln
