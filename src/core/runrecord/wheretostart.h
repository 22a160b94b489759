#pragma once
/// "Are Results Ok?" and "Where to Start?": where each run stands judged on
/// its completion records, which completed steps still pass their checks,
/// the reports of both questions, and the offer to start a job that does the
/// remaining steps.  BOT validity (`BotNeeded`) is judged with the same
/// checks.

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "base/dialogs.h"
#include "runrecord/recordstore.h"
#include "runrecord/runrecord.h"
#include "runrecord/stillok.h"

namespace vdln {

/// Where a run stands: `start` is the first step not done (`NumYears` + 1:
/// only the spreadsheet job remains; `NumYears` + 2: everything is done).
struct RunStart {
    int start = 0;
    std::string reason;
    bool needsBaseFirst = false;  ///< the cause lies in the Base, which must be rerun first
};
using RunStarts = std::array<RunStart, 4>;  ///< index 1..3

/// The start point of each run judged on the completion records only (and
/// the order in which the steps were completed).  Run 2 is left at "all
/// done" in no-rerun mode.
RunStarts WhereRunInSequence(const StillOkChecker& checker);

/// The outcome of `CheckStepsFrom` for one run.
struct StepsFromResult {
    int lastGood = 0;     ///< the last step that passed (first year - 1 when none)
    int firstFailed = 0;  ///< the first step that failed; 0 when none failed
    std::string reason;   ///< "Results from the <step> are not ok." and the check messages
    bool needsBaseFirst = false;
};

/// Runs the per-step checks with `selection` for each run's completed steps
/// from its first year up to (not including) its start point.  Without
/// `prerequisites` a step with no completion record is passed over.  The
/// wait window shows "Checking outputs from (and inputs to) <step>".
std::array<StepsFromResult, 4> CheckStepsFrom(const StillOkChecker& checker, const CheckSelection& selection,
                                              bool prerequisites, const RunStarts& starts, Dialogs* dialogs);

/// The steps a job should do for one run: year numbers first..last
/// (`NumYears` + 1 is the spreadsheet job); none when first is 0.
struct StepRange {
    int first = 0;
    int last = 0;
    bool any() const { return first > 0; }
};
using JobStartRanges = std::array<StepRange, 4>;  ///< index 1..3

/// The labels of the "Which Results to Check" dialog, in its order.
extern const char* const kWhichResultsBoxes[9];

/// What the two operations need beyond the record of runs.
struct CheckOperationHooks {
    /// The closure/shock file-name check; shows its own messages.  Absent: passes.
    std::function<bool()> closureShockNamesOk;
    /// The "Which Results to Check" dialog: gets the defaults and whether the
    /// SOL-for-shocks box is offered; nullopt when cancelled.  Absent: all on.
    std::function<std::optional<CheckSelection>(const CheckSelection&, bool)> chooseSelection;
    /// Starts a job over the given ranges (the job engine's big-job start).
    std::function<void(const JobStartRanges&)> startJob;
    bool jobRunning = false;
    /// Restore the record of runs from the durable copies first (normal use).
    bool restoreRecords = true;
    std::string programName = "Vardelon";
};

/// The report of an operation and what it decided.
struct CheckReport {
    bool done = false;     ///< false when the operation stopped before reporting
    std::string text;      ///< the report shown
    RunStarts sequence{};  ///< start points judged on completion only
    RunStarts starts{};    ///< the start points reported
    bool jobStarted = false;
    JobStartRanges ranges{};  ///< the ranges handed to `startJob`
};

/// "Are Results Ok?": with `prerequisites` the variant "Be the Same if Run
/// Again" (completion in sequence and the inputs of each step), otherwise
/// "Still as when Created" (only the selected outputs).  Shows the report
/// (information, OK and Help).
CheckReport AreResultsOk(const RunRecordEnv& env, Dialogs& dialogs, bool prerequisites,
                         const CheckOperationHooks& hooks);

/// "Where to Start?": with `justSequence` the variant "Just Check Run in
/// Sequence", otherwise "Results Be the Same if Run Again".  The caller works
/// out the first Policy year (silently) before.  Shows the report and may
/// offer to start a job for the remaining steps.
CheckReport WhereToStart(const RunRecordEnv& env, Dialogs& dialogs, bool justSequence,
                         const CheckOperationHooks& hooks);

/// The per-year answers of `BotNeeded`: 'u' not yet known, 'y' needed, 'n'
/// not needed.  In use only during the prerequisite check before a job.
class BotCache {
public:
    BotCache() { m_entries.fill('u'); }
    /// Switches the cache on with every entry unknown.
    void begin() {
        m_entries.fill('u');
        m_inUse = true;
    }
    /// Switches the cache off.
    void end() { m_inUse = false; }
    bool inUse() const { return m_inUse; }
    char entry(int year) const { return (year >= 1 && year <= kMaxYears) ? m_entries[year] : 'u'; }
    void set(int year, char c) {
        if (year >= 1 && year <= kMaxYears) m_entries[year] = c;
    }

private:
    bool m_inUse = false;
    std::array<char, kMaxYears + 1> m_entries{};
};

/// True when the BOT step of simulation `year` has to run: unless the Base
/// completed that year, the BOT job completed after it, and the BOT job's
/// still-ok check passes (prerequisite mode, every selection on).  With the
/// cache in use a known answer is returned without reading any file.
bool BotNeeded(const RunRecordEnv& env, BotCache& cache, int year);
/// The same, on the files held by `store`; with `listings`, files missing
/// as written are looked up in the folder listings it holds.
bool BotNeeded(const RunRecordEnv& env, BotCache& cache, RunRecordStore& store, int year,
               FolderListings* listings = nullptr);

}  // namespace vdln
