#pragma once
/// The job side of a running program, wired once: the job engine, the
/// console-job timer that watches it and the single checking jobs, the
/// Tasks-menu commands, the concurrency commands and "Run Single Job, then
/// Concurrent".  The main window only forwards its commands and its timer
/// (or the launcher's wake-up descriptor) to this object and shows what it
/// reports; everything here runs without a window.

#include <memory>

#include "base/clock.h"
#include "base/dialogs.h"
#include "env/process.h"
#include "jobs/engine.h"
#include "jobs/jobscommands.h"
#include "jobs/singlejob.h"
#include "jobs/tasks.h"
#include "model/settings.h"
#include "model/simrecord.h"

namespace vdln {

/// What the session works with; every reference must outlive it.
struct JobsSessionParts {
    TSimRecord& rec;
    ProgramSettings& settings;
    EngineEnvironment env;
    Dialogs& dialogs;
    YearsDialog& years;
    const Clock& clock;
    ProcessLauncher& launcher;
    CompletionRecorder& recorder;
    TimerHooks timerHooks;  ///< the owners of the single checking jobs (the engine's hooks are set here)
};

class JobsSession {
public:
    explicit JobsSession(JobsSessionParts parts);
    JobsSession(const JobsSession&) = delete;
    JobsSession& operator=(const JobsSession&) = delete;

    /// A Tasks-menu job command ("Run Single Job, then Concurrent" too).
    /// False when the user cancelled or the job did not start (the reason
    /// was shown).
    [[nodiscard]] bool runTask(TaskCommand command);
    /// "Run Single Job, then Concurrent".
    [[nodiscard]] bool runSingleThenConcurrent();
    /// A concurrency command: the settings, the engine's slots and the
    /// message.
    SlotChoice concurrency(ConcurrencyCommand command, bool quiet = false);
    /// The Cancel button: asks "Do you really want to kill this job?"; Yes
    /// makes the next tick end the job.
    bool cancelJob();

    /// The timer's tick (once a second, and whenever the launcher's wake-up
    /// descriptor becomes readable).
    void tick();
    /// A job or a single check is being watched (the timer must run).
    bool watching() const { return m_timer.watching(); }
    /// The descriptor that becomes readable when a watched program ends.
    int wakeFd() const { return m_parts.launcher.wakeFd(); }

    /// The status lines for the bottom panel.
    StatusLines status() const { return m_engine.status(); }
    JobEngine& engine() { return m_engine; }
    const JobEngine& engine() const { return m_engine; }
    ConsoleJobTimer& timer() { return m_timer; }
    const RunSingleThenConcurrent& sequence() const { return *m_sequence; }
    /// `FirstSlot` of this session (2 only after "Just One Solve (no. 2)").
    int firstSlot() const { return m_firstSlot; }

    /// Starts a job from a request and watches it.  False when it did not
    /// start (the reason was shown).
    [[nodiscard]] bool startJob(const JobRequest& request);

private:
    TaskEnv taskEnv();

    JobsSessionParts m_parts;
    JobEngine m_engine;
    ConsoleJobTimer m_timer;
    std::unique_ptr<RunSingleThenConcurrent> m_sequence;
    int m_firstSlot = 1;
};

}  // namespace vdln
