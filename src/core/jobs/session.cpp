#include "jobs/session.h"

namespace vdln {

namespace {
TimerHooks withEngine(TimerHooks hooks, JobEngine& engine) {
    hooks.bigJobTick = [&engine] { engine.tick(); };
    hooks.bigJobRunning = [&engine] { return engine.running(); };
    return hooks;
}
}  // namespace

JobsSession::JobsSession(JobsSessionParts parts)
    : m_parts(std::move(parts)),
      m_engine(m_parts.rec, m_parts.settings, m_parts.env, m_parts.dialogs, m_parts.clock, m_parts.launcher,
               m_parts.recorder),
      m_timer(m_parts.launcher, m_parts.dialogs,
              TimerEnvironment{m_parts.env.tempDir, m_parts.env.keepDir, m_parts.env.batchMode,
                               m_parts.settings.NeverBatJob},
              withEngine(m_parts.timerHooks, m_engine)) {
    const SlotChoice slots = currentSlots(m_parts.settings, m_firstSlot);
    m_engine.setSlots(slots.FirstSlot, slots.MaxConcurrent);
    RunSingleThenConcurrent::Actions actions;
    actions.allowTwoConcurrent = [this] { concurrency(ConcurrencyCommand::AllowTwo, true); };
    actions.justOneSolve = [this] { concurrency(ConcurrencyCommand::JustOneNo1, true); };
    actions.runBaseToPolicy = [this] {
        m_engine.setPassNote(m_sequence->note());
        return runTask(TaskCommand::RunBaseToPolicy);
    };
    m_sequence = std::make_unique<RunSingleThenConcurrent>(actions);
    m_engine.setFinishedHook([this] { return m_sequence->onJobFinished(true); });
    // The error log of a failed part opens in the same editor as the logs of
    // the single checking jobs.
    if (m_parts.timerHooks.openInEditor)
        m_engine.setEditor([open = m_parts.timerHooks.openInEditor](const std::string& f) {
            // The editor reports a file it cannot open itself.
            open(f);
        });
}

TaskEnv JobsSession::taskEnv() {
    return TaskEnv{m_parts.rec, m_parts.settings, m_engine.firstPolicyYear(), m_parts.dialogs, m_parts.years};
}

bool JobsSession::startJob(const JobRequest& request) {
    if (!m_engine.StartBigJob(request)) return false;
    // A job may finish within its start (nothing had to run); the timer
    // watches only one that is still running.
    if (m_engine.running()) return m_timer.watchBigJob();
    return m_engine.outcome() == JobOutcome::Finished;
}

bool JobsSession::runTask(TaskCommand command) {
    if (!m_sequence->active()) m_engine.setPassNote({});
    return vdln::runTask(command, taskEnv(), [this](const JobRequest& r) { return startJob(r); });
}

bool JobsSession::runSingleThenConcurrent() {
    return m_sequence->start();
}

SlotChoice JobsSession::concurrency(ConcurrencyCommand command, bool quiet) {
    return applyConcurrencyCommand(
        command, m_parts.settings, m_firstSlot,
        [this](int first, int most) { m_engine.setSlots(first, most); }, m_parts.dialogs, quiet);
}

bool JobsSession::cancelJob() {
    if (!m_engine.running()) return false;
    return confirmCancelJob(m_parts.dialogs, [this] { m_engine.requestCancel(); });
}

void JobsSession::tick() {
    m_timer.tick();
    // A pass of "Run Single Job, then Concurrent" that failed or was
    // cancelled ends the sequence.
    if (m_sequence->active() && !m_engine.running() && m_engine.outcome() != JobOutcome::Finished &&
        m_engine.outcome() != JobOutcome::None)
        m_sequence->onJobFinished(false);  // ends the sequence; no further pass starts
}

}  // namespace vdln
