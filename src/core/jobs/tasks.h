#pragma once
/// The Tasks menu's job requests: each command becomes a `JobRequest` (runs,
/// simulation and spreadsheet ranges, deviations flag), after asking the
/// years dialog and the confirmations the command needs; the rational-
/// expectations variants of the first three commands; and "Run Single Job,
/// then Concurrent", which runs "Run Base to Policy" three times with one
/// solve and three times with two concurrent solves, alternating.
///
/// Nothing here starts a job itself: the caller hands a function that does
/// (the engine's `StartBigJob`), so the same operations serve the window,
/// tests and any other driver.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "jobs/jobslog.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "plan/plan.h"

namespace vdln {

/// The request of the years dialog used by the commands that run part of a
/// run: which years may be chosen and whether a "do none" choice is offered.
struct YearsDialogRequest {
    std::string title;  ///< e.g. "Which of the Policy to do ?"
    int earliest = 1;   ///< first year index offered
    int latest = 1;     ///< last year index offered (`NumYears`)
    /// Calendar years of the indexes `earliest`..`latest`, in order (what the
    /// dialog shows).
    std::vector<int> calendarYears;
    /// False when only the first year is chosen (the run goes on to the last
    /// year); the answer's `last` is then ignored.
    bool askLastYear = true;
    /// The text of the "do none" choice ("Do none of the Base"); empty when
    /// the dialog does not offer it.
    std::string noneText;
};

/// The answer of the years dialog.
struct YearsAnswer {
    enum class Kind { Chosen, None, Cancel };
    Kind kind = Kind::Cancel;
    int first = 0;              ///< first year index chosen
    int last = 0;               ///< last year index chosen
    bool spreadsheets = false;  ///< include the spreadsheet jobs over the same years

    /// The years `first`..`last` chosen, with or without spreadsheets.
    static YearsAnswer chosen(int first, int last, bool spreadsheets) {
        return {Kind::Chosen, first, last, spreadsheets};
    }
    /// "Do none of the <run>" chosen.
    static YearsAnswer none() { return {Kind::None, 0, 0, false}; }
    /// The dialog cancelled.
    static YearsAnswer cancel() { return {Kind::Cancel, 0, 0, false}; }
};

/// The years dialog: first year, last year, include spreadsheets; "do none"
/// when offered; Cancel.  The window implements it with a dialog of its own.
class YearsDialog {
public:
    virtual ~YearsDialog() = default;
    /// Shows the dialog and returns the user's answer.
    virtual YearsAnswer ask(const YearsDialogRequest& request) = 0;
};

/// A years dialog for tests: records every request and replays queued
/// answers in order; without a queued answer it answers Cancel.
class ScriptedYearsDialog : public YearsDialog {
public:
    /// Queues the answer to the next request.
    void queue(YearsAnswer answer) { m_answers.push_back(answer); }
    /// Records the request and returns the next queued answer (Cancel when none).
    YearsAnswer ask(const YearsDialogRequest& request) override;
    /// Every request so far.
    const std::vector<YearsDialogRequest>& requests() const { return m_requests; }
    /// Answers queued but not yet given.
    size_t pendingAnswers() const { return m_answers.size(); }

private:
    std::deque<YearsAnswer> m_answers;
    std::vector<YearsDialogRequest> m_requests;
};

/// The Tasks menu's job commands.
enum class TaskCommand {
    RunBaseToPolicy,          ///< "Run Base to Policy"
    DoBaseAndRerun,           ///< "Do Base and Base Rerun"
    RerunBaseAndRunPolicy,    ///< "Rerun Base and Run Policy"
    PartBaseSamePartsOthers,  ///< "Run Part Base, Same Parts Others"
    PartBaseSamePartRerun,    ///< "Run Part Base, Same Part BaseRerun"
    PartRerunSamePartPolicy,  ///< "Run Part BaseRerun, Same Part Policy"
    PartBaseAllPartsOthers,   ///< "Run Part Base, All Parts Others"
    PartBaseAllPartsRerun,    ///< "Run Part Base, All Parts BaseRerun"
    PartRerunAllPartsPolicy,  ///< "Run Part BaseRerun, All Parts Policy"
    SimsForSelectedYears,     ///< "Run Simulations for Selected Years"
    PartBase,                 ///< "Run part of &Base Case"
    PartRerun,                ///< "Do part of R&e-run of base case with policy closures"
    PartPolicy,               ///< "Do just part of the &Policy Sims run"
};

/// The command's name as the menu lists it ("Run Base to Policy", ...;
/// without the accelerator "&").  The three commands that run part of one
/// run ask the years dialog for that run (from `FirstPolicyYear` for the
/// rerun and the Policy); the Policy's computes deviations.
std::string taskName(TaskCommand command);
/// The caption the Tasks menu shows for the command: a few commands are
/// renamed after the rerun option ("Run Base and Policy" in no-rerun mode,
/// "Run Base, Base Rerun and Policy" otherwise, ...); the others keep their
/// name.
std::string taskCaption(TaskCommand command, bool noRerun);

/// What building a request needs of the program.
struct TaskEnv {
    const TSimRecord& rec;
    const ProgramSettings& settings;  ///< no-rerun mode and "Fewer Messages"
    int firstPolicyYear = 1;          ///< `FirstPolicyYear` as currently known
    Dialogs& dialogs;
    YearsDialog& years;
};

/// Builds the job request of a Tasks command, asking the years dialog and
/// the confirmations the command needs.  Returns nothing when the user
/// cancelled (the dialog's Cancel, or Cancel on a confirmation).  The
/// request is not normalised: the engine does that when the job starts.
std::optional<JobRequest> buildTaskRequest(TaskCommand command, const TaskEnv& env);

/// Starts a job (the engine's `StartBigJob`); false when it did not start.
using StartBigJobFn = std::function<bool(const JobRequest&)>;

/// Builds the request of a Tasks command and starts it.  False when the user
/// cancelled or the job did not start.
bool runTask(TaskCommand command, const TaskEnv& env, const StartBigJobFn& startBigJob);

/// The iteration counts a rational-expectations job starts with.
struct ReIterationCounts {
    PerRun<int> maxIterations{};  ///< from the settings; the rerun's 0 in no-rerun mode
    PerRun<int> done{};           ///< iterations done: 0
    PerRun<int> current{};        ///< current iteration: 1
    bool doingRE = false;         ///< from the rational-expectations check box
};

/// The counts for a new rational-expectations job from the settings.
ReIterationCounts reIterationCounts(const ProgramSettings& settings);

/// Sets the iteration counts (and "doing rational expectations") before a
/// rational-expectations job starts.
using ReIterationHook = std::function<void(const ReIterationCounts&)>;

/// The rational-expectations variants of "Run Base to Policy", "Do Base and
/// Base Rerun" and "Rerun Base and Run Policy": the iteration counts are set
/// through `hook` (may be empty), then the request is started.  Any other
/// command is refused (false, nothing done).
bool runReTask(TaskCommand command, const TaskEnv& env, const ReIterationHook& hook,
               const StartBigJobFn& startBigJob);

/// "Run Single Job, then Concurrent": runs "Run Base to Policy" with one
/// solve, then with two concurrent solves, three times each, alternating.
/// Each pass is started when the previous job has finished successfully; a
/// job that fails, is cancelled or does not start ends the sequence.
class RunSingleThenConcurrent {
public:
    /// How many single and how many concurrent passes are run.
    static constexpr int kPassLimit = 3;

    /// What the sequence does between passes; all three must be set.
    struct Actions {
        std::function<void()> allowTwoConcurrent;  ///< "Allow 2 Concurrent Solves"
        std::function<void()> justOneSolve;        ///< "Just One Solve (no. 1)"
        std::function<bool()> runBaseToPolicy;     ///< "Run Base to Policy"; false when it did not start
    };

    /// A sequence that is not running yet.
    explicit RunSingleThenConcurrent(Actions actions);

    /// Starts the sequence: selects one solve and runs "Run Base to Policy".
    /// False (and the sequence off) when the job did not start.
    bool start();
    /// Tells the sequence that a whole job has ended.  While the sequence is
    /// active and the job finished successfully, the next pass is started
    /// and true returned (the caller then skips its own end-of-job messages).
    /// Otherwise, or after the last pass, the sequence ends and false is
    /// returned.
    bool onJobFinished(bool success);

    /// The sequence is running.
    bool active() const { return m_active; }
    /// The pass counter (0 during the first two passes).
    int pass() const { return m_pass; }
    /// The current pass runs two concurrent solves.
    bool concurrentPhase() const { return m_concurrent; }
    /// The note for the status heading (" [pass number N, Single job]").
    SingleThenConcurrentNote note() const { return {m_active, m_pass, m_concurrent}; }
    /// The status heading: "Running jobs:" with the pass note while active.
    std::string heading() const;

private:
    bool runPass();

    Actions m_actions;
    bool m_active = false;
    bool m_concurrent = false;
    int m_pass = 0;
};

}  // namespace vdln
