#pragma once
/// The console-job timer: one object, ticked once a second, that watches
/// whatever console program the program is waiting for.  `JobMode` says
/// what that is: 41 a multi-step job (each tick is handed to the job
/// engine), or a single checking job started here: closure checks (11 one
/// closure, 12 one closure with its shocks, 13 and 14 the same over several
/// years), the model program's release check (51) and the Temporary
/// Directory check (61).  Modes 1 to 4 belong to an older way of running
/// single runs that this program does not offer; their numbers are kept so
/// that the modes stay recognisable.
///
/// A single job shows the wait window while it runs, counts
/// `ElapsedSeconds` from its launch and can be cancelled from the wait
/// window.  The release check and the Temporary Directory check are finished
/// by their owners (callbacks); closure checks report their result here.
/// The first tick after program start runs the start-up directory checks
/// and nothing else.  `TimerBusy` keeps a tick from entering while an
/// earlier one still waits for the user.

#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "cmf/closurecheck.h"
#include "env/process.h"
#include "env/tools.h"
#include "model/release.h"

namespace vdln {

/// The values of `JobMode`.
enum : int {
    kJobModeIdle = 0,
    kJobModeSingleBase = 1,           ///< older way: a single Base run (not offered)
    kJobModeSingleRerun = 2,          ///< older way: a single Rerun run (not offered)
    kJobModeSinglePolicy = 3,         ///< older way: a single Policy run (not offered)
    kJobModePolicyClosures = 4,       ///< older way: preparing the policy closures (not offered)
    kJobModeClosure = 11,             ///< check one closure
    kJobModeClosureShocks = 12,       ///< check one closure with its shocks
    kJobModeClosureYears = 13,        ///< check the closures of several years
    kJobModeClosureShocksYears = 14,  ///< check closures and shocks of several years
    kJobModeBigJob = 41,              ///< a multi-step job of the job engine
    kJobModeReleaseCheck = 51,        ///< the model program's release check
    kJobModeTempDirCheck = 61,        ///< the Temporary Directory check
};

/// The Temporary Directory check gives up after this many seconds.
inline constexpr double kTempDirCheckLimitSeconds = 20;
/// A cancelled check's program gets SIGTERM, and SIGKILL when it is still
/// there after this long.
inline constexpr int kSingleJobStopGraceMs = 2000;

/// What the timer needs of the program.
struct TimerEnvironment {
    std::string tempDir;
    std::string keepDir;       ///< "lasterr.log" goes there
    bool batchMode = false;    ///< no wait window in batch mode
    bool neverBatJob = false;  ///< "Never Use Bat Job for Simulations"
};

/// What the closure-check commands check.
enum class ClosureCheckScope {
    BaseClosures,             ///< "Check all Base-case Closures"
    PolicyClosures,           ///< "Check all policy closures"
    BaseClosuresAndShocks,    ///< "Check all Base-case closures and shocks"
    PolicyClosuresAndShocks,  ///< "Check all policy closures and shocks"
};

/// The checks of a closure-check command: the timer mode and one request per
/// year, each a copy of `common` (job folder, model program, first-year list
/// ...) with its kind, simulation and grid column filled in.
struct ClosureCheckPlan {
    int mode = 0;
    std::vector<ClosureCheckRequest> requests;
};

/// The checks of the whole Base (years 1..`NumYears`, grid column 1) or of
/// the policy (years `FirstPolicyYear`..`NumYears`, grid column 3).
ClosureCheckPlan allYearsClosureChecks(ClosureCheckScope scope, int numYears, int firstPolicyYear,
                                       const ClosureCheckRequest& common);
/// The check of one grid cell ("Check Closure" or "Check Closure and
/// Shocks" on the Closure/Shock page).
ClosureCheckPlan cellClosureCheck(int sim, int column, bool withShocks, const ClosureCheckRequest& common);

/// Writes the files of one closure check (in the program:
/// `CheckClosureCMF` for the current record).
using PrepareClosureCheckFn = std::function<Result<ClosureCheckFiles>(const ClosureCheckRequest&)>;

/// The owners the timer calls back.  Every member may be empty.
struct TimerHooks {
    /// The start-up directory checks, run by the first tick.
    std::function<void()> startupChecks;
    /// One tick of the job engine (`JobEngine::tick`).
    std::function<void()> bigJobTick;
    /// Whether the job engine still runs a job (`JobEngine::running`).
    std::function<bool()> bigJobRunning;
    /// The release check has ended (or was cancelled); the owner evaluates
    /// the report (`ModelSelector::finishReleaseCheck`).
    std::function<void(const ReleaseJobFiles& files, bool cancelled)> releaseCheckEnded;
    /// The Temporary Directory check has ended, was cancelled or timed out.
    /// Empty: `finishTempDirCheck` reports the result unless cancelled.
    std::function<void(const TempDirCheckJob& job, bool timedOut, bool cancelled)> tempDirCheckEnded;
    /// Refreshes the window caption when a watched job ends.
    std::function<void()> refreshCaption;
    /// Shows a text in the first status line.
    std::function<void(const std::string&)> statusLine;
    /// Opens an error log in the editor.
    std::function<bool(const std::string&)> openInEditor;
};

class ConsoleJobTimer {
public:
    /// The timer starts enabled, so that its first tick can run the
    /// start-up checks.
    ConsoleJobTimer(ProcessLauncher& launcher, Dialogs& dialogs, TimerEnvironment env, TimerHooks hooks);

    /// What is being watched (`kJobModeIdle` when nothing).
    int JobMode() const { return m_mode; }
    /// Seconds since the single job was launched (one per tick).
    double ElapsedSeconds() const { return m_elapsed; }
    /// A tick is at work.
    bool TimerBusy() const { return m_busy; }
    /// Whether the timer should be running (the window's timer follows it).
    bool enabled() const { return m_enabled; }
    /// Whether a job is being watched (a new one is then refused).
    bool watching() const { return m_mode != kJobModeIdle; }

    /// Watches the multi-step job the engine has just started (`JobMode`
    /// 41).  False when a single job is being watched.
    bool watchBigJob();

    /// Starts the release check of `program` (the model program, or the
    /// interpreter for an interpreted model; "" starts nothing): writes its
    /// files in the Temporary Directory, launches the batch file (or the
    /// program directly with "Never Use Bat Job for Simulations"; when the
    /// batch file cannot be launched the program is tried directly once).
    /// Shows the writer's message, or "Could not launch model checking job
    /// !", and returns false when it could not start.
    bool startReleaseCheck(const std::string& program);
    /// Starts the Temporary Directory check with the conversion program.
    /// A missing program shows "Program \r\n  <path>\r\ndoes not exist."; a
    /// launch failure "Unable to start Temp Dir check.\r\n...".
    bool startTempDirCheck(const std::string& sectraProgram);
    /// Starts closure checks (modes 11 to 14): one request for 11 and 12,
    /// one per year for 13 and 14, run one after another until one fails.
    /// `prepare` writes each check's files; its failure is shown when it was
    /// not already.  A launch failure shows "Could not launch solution
    /// process !".  False when nothing could be started.
    bool startClosureChecks(int mode, std::vector<ClosureCheckRequest> requests,
                            PrepareClosureCheckFn prepare);

    /// The wait window's Cancel: asks "Do you really want to kill this
    /// job?"; Yes marks the single job cancelled (the next tick stops its
    /// program and ends it).
    bool askCancelSingleJob();
    /// Marks the single job cancelled without asking.
    void cancelSingleJob() { m_cancelled = true; }

    /// The locks of the Temporary and Keep Directories, as the job engine
    /// takes them: a single checking job writes its files in the Temporary
    /// Directory and runs the model program there, so it must not run
    /// beside another process's job on the same folders.  `take` is asked
    /// before a check writes anything and refuses it by answering false
    /// (after telling the user); `release` is called once the check (all
    /// years of a closure check) has ended or did not start.  Without them
    /// (batch mode holds its locks for the whole run) nothing is taken.
    void setJobLocks(std::function<bool()> take, std::function<void()> release) {
        m_takeLocks = std::move(take);
        m_releaseLocks = std::move(release);
    }

    /// Whether the single job's program has ended; once it has, its handle
    /// is released.
    bool SingleJobEnded();

    /// One timer tick (`DosJobTimerTimer`).
    void tick();

private:
    bool launchSingle(int mode, const LaunchRequest& request, const std::string& waitText);
    bool takeLocks();
    /// Gives the locks up unless a single job is still watched.
    void releaseLocksWhenIdle();
    /// Calls `releaseLocksWhenIdle` however a start or a tick leaves.
    struct IdleRelease {
        explicit IdleRelease(ConsoleJobTimer& t) : timer(t) {}
        IdleRelease(const IdleRelease&) = delete;
        IdleRelease& operator=(const IdleRelease&) = delete;
        ~IdleRelease() { timer.releaseLocksWhenIdle(); }
        ConsoleJobTimer& timer;
    };
    bool launchNextClosureCheck();
    void stopWatching();
    void finishClosureCheck(bool cancelled);
    void showErrorLog(const std::string& log);

    ProcessLauncher& m_launcher;
    Dialogs& m_dialogs;
    TimerEnvironment m_env;
    TimerHooks m_hooks;

    int m_mode = kJobModeIdle;
    double m_elapsed = 0;
    bool m_busy = false;
    bool m_enabled = true;
    bool m_firstTick = true;
    bool m_cancelled = false;
    ProcessHandle m_single;

    ReleaseJobFiles m_releaseFiles;
    TempDirCheckJob m_tempDirJob;
    std::vector<ClosureCheckRequest> m_closureRequests;
    size_t m_closureIndex = 0;
    ClosureCheckFiles m_closureFiles;
    std::string m_firstClosureCmf;
    PrepareClosureCheckFn m_prepareClosure;
    std::function<bool()> m_takeLocks;
    std::function<void()> m_releaseLocks;
    bool m_holdsLocks = false;  ///< taken for the single job being watched
    std::string m_stopProblem;  ///< why a cancelled check's program could not be stopped
};

}  // namespace vdln
