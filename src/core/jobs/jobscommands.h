#pragma once
/// The Run Preferences commands about running jobs (how many solves run at
/// once, which run is completed first, what happens to a previous run's
/// outputs, the jobs logs) and the job commands "Summary of Current Job"
/// and Cancel.  Each command changes the settings, tells the user through
/// `Dialogs` and, where the engine must know, calls back.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "model/settings.h"
#include "plan/plan.h"

namespace vdln {

/// The concurrency commands.
enum class ConcurrencyCommand {
    AllowTwo,    ///< "Allow 2 Concurrent Solves"
    AllowThree,  ///< "Allow 3 Concurrent Solves"
    JustOneNo1,  ///< "Just One Solve (no. 1)"
    JustOneNo2,  ///< "Just One Solve (no. 2)": only slot 2 is used
};

/// `FirstSlot` and `MaxConcurrent` as the commands leave them.  The settings
/// file keeps `MaxConcurrent` (`ProgramSettings::ConcurrentSolves`);
/// `FirstSlot` lives for the session only.
struct SlotChoice {
    int FirstSlot = 1;
    int MaxConcurrent = 1;
    bool operator==(const SlotChoice&) const = default;
};

/// The slots in force for the settings and the session's `FirstSlot`
/// (brought into 1..2 and 1..3).
SlotChoice currentSlots(const ProgramSettings& settings, int firstSlot);

/// Tells the engine the slots it may use (`JobEngine::setSlots`).
using SetSlotsFn = std::function<void(int firstSlot, int maxConcurrent)>;

/// Applies a concurrency command: stores `MaxConcurrent` in the settings,
/// sets `firstSlot` (2 only for "Just One Solve (no. 2)"), tells the engine
/// through `setSlots` (may be empty) and, unless `quiet`, shows
/// "Allowing two concurrent solves.", "Allowing three concurrent solves.",
/// "Will not run two concurrent solves." or "Will not run two concurrent
/// solves, and will always run as job number 2.".
SlotChoice applyConcurrencyCommand(ConcurrencyCommand command, ProgramSettings& settings, int& firstSlot,
                                   const SetSlotsFn& setSlots, Dialogs& dialogs, bool quiet = false);

/// "Complete Base First": toggles the option and tells which order the
/// runs will be completed in.  Returns the new state.
[[nodiscard]] bool toggleCompleteBaseFirst(ProgramSettings& settings, Dialogs& dialogs);

/// The three "Move/Delete Outputs Before Run ?" commands.  Choosing the
/// option that is already checked changes nothing and says so; otherwise the
/// option is stored and explained.  Returns true when it changed.
[[nodiscard]] bool chooseOutputsBeforeRun(OutputsBeforeRun choice, ProgramSettings& settings,
                                          Dialogs& dialogs);

/// Opens a file in the text editor; false when it could not (the editor has
/// reported why).
using OpenInEditorFn = std::function<bool(const std::string& file)>;

/// The jobs log and batch jobs log commands.  The logs live in the Keep
/// Directory.  Every message is an information box with OK and Help, except
/// the errors of a log that cannot be created or deleted.
class JobsLogCommands {
public:
    /// Commands on the logs of `keepDir`; `openInEditor` opens a log.
    JobsLogCommands(std::string keepDir, Dialogs& dialogs, OpenInEditorFn openInEditor);

    /// "bigjobs.log" in the Keep Directory.
    std::string jobsLog() const;
    /// "BatchJobs.log" in the Keep Directory.
    std::string batchJobsLog() const;

    /// "Add to Jobs Log File": toggles `AddToJobsLog`.  Turning it on creates
    /// an empty jobs log when missing; when that fails the option stays off
    /// and the reason is shown.  Returns the new state.
    bool toggleAddToJobsLog(ProgramSettings& settings);
    /// "Restart Jobs Log File": replaces the log by an empty one and turns
    /// logging on.  False (with the reason shown, logging unchanged) when
    /// the log cannot be deleted or created.
    bool restartJobsLog(ProgramSettings& settings);
    /// "View Jobs Log File": opens the log, or says "There is no Jobs Log
    /// File.".  True when the editor was started.
    bool viewJobsLog();
    /// "Restart Batch Jobs Log File": replaces the batch log by an empty
    /// one.  False (with the reason shown) when that fails.
    bool restartBatchJobsLog();
    /// "View Batch Jobs Log File": opens the batch log, or says "There is no
    /// Batch Jobs Log File.".
    bool viewBatchJobsLog();
    /// "Last &Error Log": opens the copy of the log of the last part that
    /// failed, or says "There is no Last Error Log File.".
    bool viewLastErrorLog();

private:
    Status recreate(const std::string& file);
    bool view(const std::string& file, const std::string& missingText);

    std::string m_keepDir;
    Dialogs& m_dialogs;
    OpenInEditorFn m_openInEditor;
};

/// "Summary of Current Job": when no job runs, reports "Nothing is
/// running." and returns nothing; otherwise returns the lines of the "Job
/// Status Overview" window.
std::optional<std::vector<std::string>> summaryOfCurrentJob(const TBigJobDetails& job, const PlanContext& ctx,
                                                            bool usesPeriods, Dialogs& dialogs);
/// The overview window's Refresh: the lines again, or "[Nothing is
/// running.]" once the job has ended.
std::vector<std::string> refreshJobOverview(const TBigJobDetails& job, const PlanContext& ctx,
                                            bool usesPeriods);

/// The Cancel panel and the wait window's Cancel button: asks "Do you
/// really want to kill this job?" (Yes, No); Yes calls `requestCancel`.
/// Returns true for Yes.
[[nodiscard]] bool confirmCancelJob(Dialogs& dialogs, const std::function<void()>& requestCancel);

}  // namespace vdln
