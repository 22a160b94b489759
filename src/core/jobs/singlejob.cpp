#include "jobs/singlejob.h"

#include <algorithm>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/suite.h"
#include "jobs/jobscommands.h"
#include "jobs/jobslog.h"

namespace vdln {

namespace {
constexpr int kHelp = 1;
constexpr const char* kWaitTitle = "Please Wait - Vardelon at work";

bool isClosureMode(int mode) {
    return mode >= kJobModeClosure && mode <= kJobModeClosureShocksYears;
}
bool shocksMode(int mode) {
    return mode == kJobModeClosureShocks || mode == kJobModeClosureShocksYears;
}
}  // namespace

ClosureCheckPlan allYearsClosureChecks(ClosureCheckScope scope, int numYears, int firstPolicyYear,
                                       const ClosureCheckRequest& common) {
    const bool policy =
        scope == ClosureCheckScope::PolicyClosures || scope == ClosureCheckScope::PolicyClosuresAndShocks;
    const bool shocks = scope == ClosureCheckScope::BaseClosuresAndShocks ||
                        scope == ClosureCheckScope::PolicyClosuresAndShocks;
    ClosureCheckPlan plan;
    plan.mode = shocks ? kJobModeClosureShocksYears : kJobModeClosureYears;
    const int last = std::min(numYears, kMaxYears);
    for (int i = policy ? std::max(1, firstPolicyYear) : 1; i <= last; ++i) {
        ClosureCheckRequest q = common;
        q.jobKind = shocks ? "oneshcheck" : "oneclcheck";
        q.sim = i;
        q.column = policy ? 3 : 1;
        plan.requests.push_back(std::move(q));
    }
    return plan;
}

ClosureCheckPlan cellClosureCheck(int sim, int column, bool withShocks, const ClosureCheckRequest& common) {
    ClosureCheckRequest q = common;
    q.jobKind = withShocks ? "oneshcheck" : "oneclcheck";
    q.sim = sim;
    q.column = column;
    return {withShocks ? kJobModeClosureShocks : kJobModeClosure, {q}};
}

ConsoleJobTimer::ConsoleJobTimer(ProcessLauncher& launcher, Dialogs& dialogs, TimerEnvironment env,
                                 TimerHooks hooks)
    : m_launcher(launcher), m_dialogs(dialogs), m_env(std::move(env)), m_hooks(std::move(hooks)) {}

bool ConsoleJobTimer::watchBigJob() {
    if (m_mode != kJobModeIdle && m_mode != kJobModeBigJob) return false;
    m_mode = kJobModeBigJob;
    m_enabled = true;
    return true;
}

bool ConsoleJobTimer::launchSingle(int mode, const LaunchRequest& request, const std::string& waitText) {
    auto handle = m_launcher.start(request);
    if (!handle) return false;
    m_single = *handle;
    m_mode = mode;
    m_elapsed = 0;
    m_cancelled = false;
    m_enabled = true;
    if (!m_env.batchMode) {
        m_dialogs.waitBegin(kWaitTitle);
        m_dialogs.waitStage(waitText);
    }
    if (m_hooks.statusLine) m_hooks.statusLine(waitText);
    return true;
}

bool ConsoleJobTimer::takeLocks() {
    if (m_holdsLocks || !m_takeLocks) return true;
    m_holdsLocks = m_takeLocks();
    return m_holdsLocks;
}

void ConsoleJobTimer::releaseLocksWhenIdle() {
    if (!m_holdsLocks || watching()) return;
    m_holdsLocks = false;
    if (m_releaseLocks) m_releaseLocks();
}

bool ConsoleJobTimer::startReleaseCheck(const std::string& program) {
    if (program.empty() || watching()) return false;
    if (!takeLocks()) return false;
    IdleRelease release{*this};
    auto files = WriteReleaseJobFiles(m_env.tempDir, program);
    if (!files) {
        m_dialogs.message(MsgKind::Error, files.message(), BtnOk | BtnHelp, kHelp);
        return false;
    }
    m_releaseFiles = *files;
    const std::string text = "Checking Release of model program";
    const LaunchRequest direct{program, m_releaseFiles.directArgs, m_env.tempDir, "", ""};
    bool started = false;
    if (m_env.neverBatJob) {
        started = launchSingle(kJobModeReleaseCheck, direct, text);
    } else {
        started = launchSingle(kJobModeReleaseCheck,
                               LaunchRequest{m_releaseFiles.bat, {}, m_env.tempDir, "", ""}, text);
        if (!started) started = launchSingle(kJobModeReleaseCheck, direct, text);
    }
    if (!started)
        m_dialogs.message(MsgKind::Error, "Could not launch model checking job !", BtnOk | BtnHelp, kHelp);
    return started;
}

bool ConsoleJobTimer::startTempDirCheck(const std::string& sectraProgram) {
    if (watching()) return false;
    if (!takeLocks()) return false;
    IdleRelease release{*this};
    auto job = prepareTempDirCheck(m_env.tempDir, sectraProgram);
    if (!job) {
        m_dialogs.message(MsgKind::Error, job.message(), BtnOk | BtnHelp, kHelp);
        return false;
    }
    m_tempDirJob = *job;
    if (!launchSingle(kJobModeTempDirCheck, LaunchRequest{job->program, job->args, m_env.tempDir, "", ""},
                      "Checking Temporary Directory")) {
        m_dialogs.message(MsgKind::Error, tempDirCheckStartFailureText(), BtnOk | BtnHelp, kHelp);
        return false;
    }
    return true;
}

bool ConsoleJobTimer::startClosureChecks(int mode, std::vector<ClosureCheckRequest> requests,
                                         PrepareClosureCheckFn prepare) {
    if (!isClosureMode(mode) || requests.empty() || !prepare || watching()) return false;
    if (!takeLocks()) return false;
    IdleRelease release{*this};
    m_closureRequests = std::move(requests);
    m_closureIndex = 0;
    m_prepareClosure = std::move(prepare);
    m_firstClosureCmf.clear();
    m_mode = mode;
    if (launchNextClosureCheck()) return true;
    stopWatching();
    return false;
}

bool ConsoleJobTimer::launchNextClosureCheck() {
    const int mode = m_mode;
    auto files = m_prepareClosure(m_closureRequests[m_closureIndex]);
    if (!files) {
        // A missing constituent has been shown by the writer; file errors
        // carry the writer's tag and have not.
        if (iendsWith(files.message(), "[CheckClosureCMF]"))
            m_dialogs.message(MsgKind::Error, files.message(), BtnOk | BtnHelp, kHelp);
        return false;
    }
    m_closureFiles = *files;
    if (m_firstClosureCmf.empty()) m_firstClosureCmf = m_closureFiles.cmf;
    bestEffort(deleteFile(m_closureFiles.flg), "an old flag file; the check judges by the new report");
    const std::string text = std::string("Checking closure") + (shocksMode(mode) ? " and shocks" : "") +
                             " [" + nameOf(m_closureFiles.cmf) + "]";
    if (!launchSingle(mode, LaunchRequest{m_closureFiles.bat, {}, dirOf(m_closureFiles.bat), "", ""}, text)) {
        m_dialogs.message(MsgKind::Error, "Could not launch solution process !", BtnOk | BtnHelp, kHelp);
        return false;
    }
    return true;
}

bool ConsoleJobTimer::askCancelSingleJob() {
    return confirmCancelJob(m_dialogs, [this] { m_cancelled = true; });
}

bool ConsoleJobTimer::SingleJobEnded() {
    if (!m_single) return false;
    if (!m_launcher.ended(m_single)) return false;
    m_launcher.release(m_single);
    m_single = ProcessHandle{};
    return true;
}

void ConsoleJobTimer::stopWatching() {
    m_enabled = false;
    m_mode = kJobModeIdle;
    m_cancelled = false;
    if (m_single) {
        m_launcher.release(m_single);
        m_single = ProcessHandle{};
    }
}

void ConsoleJobTimer::tick() {
    // Drain before any early return (see JobEngine::tick).
    m_launcher.drainWakeups();
    if (m_firstTick) {
        m_firstTick = false;
        if (m_mode == kJobModeIdle) m_enabled = false;
        if (m_hooks.startupChecks) m_hooks.startupChecks();
        return;
    }
    if (m_busy) return;
    m_busy = true;
    struct Clear {
        bool& b;
        ~Clear() { b = false; }
    } clear{m_busy};
    // A single job that has ended (with every year of a closure check) gives
    // its locks up, however this tick leaves.
    IdleRelease release{*this};

    if (m_mode == kJobModeIdle) {
        m_enabled = false;
        return;
    }

    if (m_mode == kJobModeTempDirCheck && m_elapsed > kTempDirCheckLimitSeconds) {
        // A check program that is still running after this long will not
        // report: stop it rather than leave it behind.
        if (m_single && !m_launcher.ended(m_single))
            bestEffort(m_launcher.terminate(m_single, 3),
                       "the check program overran; its result is reported as timed out either way");
        const TempDirCheckJob job = m_tempDirJob;
        stopWatching();
        if (!m_env.batchMode) m_dialogs.waitEnd();
        if (m_hooks.tempDirCheckEnded)
            m_hooks.tempDirCheckEnded(job, true, false);
        else
            // The verdict has been shown to the user either way.
            if (!finishTempDirCheck(m_dialogs, job, m_env.tempDir)) return;
        return;
    }

    m_elapsed += 1;

    if (m_mode == kJobModeBigJob) {
        if (m_hooks.bigJobTick) m_hooks.bigJobTick();
        if (!m_hooks.bigJobRunning || !m_hooks.bigJobRunning()) {
            stopWatching();
            if (m_hooks.refreshCaption) m_hooks.refreshCaption();
        }
        return;
    }

    const bool cancelled = m_cancelled;
    if (!cancelled && !SingleJobEnded()) return;
    // A cancelled check's program is stopped as a cancelled job's are: left
    // running, it would go on writing into the Temporary Directory after the
    // locks have been given up.
    m_stopProblem.clear();
    if (cancelled && m_single && !m_launcher.ended(m_single)) {
        if (Status st = m_launcher.stop({m_single}, kSignalExitBase + 15, kSingleJobStopGraceMs); !st)
            m_stopProblem = st.message();
    }

    const int mode = m_mode;
    stopWatching();
    if (m_hooks.refreshCaption) m_hooks.refreshCaption();
    if (!m_env.batchMode) m_dialogs.waitEnd();

    switch (mode) {
        case kJobModeReleaseCheck:
            if (m_hooks.releaseCheckEnded) m_hooks.releaseCheckEnded(m_releaseFiles, cancelled);
            return;
        case kJobModeTempDirCheck:
            if (m_hooks.tempDirCheckEnded)
                m_hooks.tempDirCheckEnded(m_tempDirJob, false, cancelled);
            else if (!cancelled)
                // The verdict has been shown to the user either way.
                if (!finishTempDirCheck(m_dialogs, m_tempDirJob, m_env.tempDir)) return;
            return;
        default:
            if (isClosureMode(mode)) {
                m_mode = mode;  // the result may launch the next year's check
                finishClosureCheck(cancelled);
                if (!m_single) m_mode = kJobModeIdle;
            }
            return;
    }
}

void ConsoleJobTimer::finishClosureCheck(bool cancelled) {
    if (cancelled) {
        m_dialogs.info("Solve job aborted via Cancel button");
        if (!m_stopProblem.empty())
            m_dialogs.info(
                "However the DOS job may still be running.\r\nYou may be able to kill it by clicking on this "
                "job in the TaskBar and then hitting Control-C.\r\n" +
                m_stopProblem);
        return;
    }
    const ClosureCheckFiles files = m_closureFiles;
    // The model program judges the closure; the batch file leaves the flag
    // file behind when the program itself failed.
    const bool ok = reportSaysOk(files.rpt) && !fileExists(files.flg);
    const std::string what = shocksMode(m_mode) ? "closure and shocks" : "closure";
    if (ok) {
        if (m_closureIndex + 1 < m_closureRequests.size()) {
            ++m_closureIndex;
            if (launchNextClosureCheck()) return;
            m_mode = kJobModeIdle;
            return;
        }
        std::string text =
            "The model program found no problems checking the " + what + " in\r\n  " + m_firstClosureCmf;
        if (m_closureRequests.size() > 1)
            text += "\r\nand the " + std::to_string(m_closureRequests.size() - 1) +
                    " later one(s), the last in\r\n  " + files.cmf;
        m_dialogs.info(text);
        return;
    }
    m_dialogs.error("The model program found a problem checking the " + what + " in\r\n  " + files.cmf);
    showErrorLog(fileExists(files.log) ? files.log : "");
}

void ConsoleJobTimer::showErrorLog(const std::string& log) {
    if (log.empty()) {
        m_dialogs.info("(Unfortunately cannot find an Error Log file for you to look at.)");
        return;
    }
    bestEffort(copyFile(log, JoinPath(m_env.keepDir, kLastErrorLogName), false),
               "a convenience copy for \"Last Error Log\"; the log itself is shown");
    if (m_dialogs.message(MsgKind::Information,
                          "Look at LOG file\r\n" + log +
                              "\r\nto find details of the error.\r\nDo you want to look at it now?",
                          BtnYes | BtnNo) == BtnYes &&
        m_hooks.openInEditor)
        // The editor reports a file it cannot open itself.
        if (!m_hooks.openInEditor(log)) return;
}

}  // namespace vdln
