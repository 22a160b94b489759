#pragma once
/// Starting the suite's console programs and learning, without blocking,
/// when they have ended.
///
/// `ProcessLauncher` is the interface the job engine uses: start a program
/// with an argument vector in a directory (no descriptors inherited beyond
/// stdin, stdout and stderr; stdin and stdout optionally redirected to
/// files), ask whether it has ended and with which exit code, terminate it.
/// `wakeFd()` is a descriptor an event loop can poll or select on: it
/// becomes readable as soon as a watched program ends, so the engine's tick
/// can run at once instead of waiting for the next timer second.
///
/// `PosixProcessLauncher` is the real implementation (fork and exec; a
/// ".bat" file is run by /bin/sh, nothing else goes through a shell).
/// `FakeLauncher` (tests/doubles) lets tests end programs in any order.
/// `LaunchCmd` and `RunWithTimeLimit` run a short tool synchronously.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "env/tools.h"

namespace vdln {

/// A started program as its launcher knows it; a zero id means none (the
/// "zeroed process information" of a free slot).
struct ProcessHandle {
    std::uint64_t id = 0;
    explicit operator bool() const { return id != 0; }
    bool operator==(const ProcessHandle&) const = default;
};

/// What to start.
struct LaunchRequest {
    std::string program;            ///< a path, or a bare name looked up on the PATH
    std::vector<std::string> args;  ///< the arguments after the program name
    std::string dir;                ///< the directory to run in ("" = the current one)
    std::string stdinFile;          ///< "" = inherit stdin
    std::string stdoutFile;         ///< "" = inherit stdout; created or truncated
};

/// The exit code reported for a program killed by a signal: 128 + signal.
inline constexpr int kSignalExitBase = 128;

class ProcessLauncher : public ProgramStarter {
public:
    /// Starts a program.  Fails, without leaving anything running, with
    /// "Cannot open file <f>" / "Cannot create file <f>" for the
    /// redirections, "Cannot find program <p>" for a bare name not on the
    /// PATH, "Cannot change to directory <d>: <reason>" or
    /// "Cannot run <p>: <reason>".
    virtual Result<ProcessHandle> start(const LaunchRequest& request) = 0;
    /// Never blocks: nullopt while the program runs, its exit code once it
    /// has ended (the code given to `terminate` when it was terminated,
    /// 128 + signal when a signal killed it).  An unknown handle reads as
    /// ended with -1.
    virtual std::optional<int> ended(ProcessHandle handle) = 0;
    /// Kills a running program (and what it started in its process group);
    /// `ended` then reports `exitCode`.  Terminating an ended program does
    /// nothing.
    virtual Status terminate(ProcessHandle handle, int exitCode) = 0;
    /// Stops running programs the way a cancel does: each program's process
    /// group gets SIGTERM, and what is still there after `graceMs` gets
    /// SIGKILL; returns once every one of them has ended (or could not be
    /// stopped, which the status names).  `ended` then reports `exitCode`.
    /// The default terminates each one at once.
    virtual Status stop(const std::vector<ProcessHandle>& handles, int exitCode, int graceMs);
    /// The signal that ended a program (nullopt while it runs, when it
    /// exited by itself, or when this launcher stopped it).
    virtual std::optional<int> endSignal(ProcessHandle /*handle*/) { return std::nullopt; }
    /// Forgets an ended program (its handle becomes unknown).
    virtual void release(ProcessHandle handle) = 0;
    /// Blocks until the program ends or `timeoutMs` passes (nullopt = no
    /// limit); true when it has ended.  For short synchronous tool runs only,
    /// never for the job engine.
    virtual bool waitForEnd(ProcessHandle handle, std::optional<int> timeoutMs) = 0;
    /// The descriptor that becomes readable when a watched program ends
    /// (-1 when the platform cannot tell, and a timer has to do).
    virtual int wakeFd() const = 0;
    /// Consumes the pending wake-ups; call it when `wakeFd` was readable,
    /// before looking at the programs.
    virtual void drainWakeups() = 0;
};

/// Waits until a watched program ends, `extraFd` (when not -1) becomes
/// readable or `timeoutMs` passes (0 = just look); true when woken by an end.
/// The batch loop calls it between ticks with the interrupt watch's
/// descriptor; the window's event loop watches `wakeFd` itself.
bool waitForWakeup(ProcessLauncher& launcher, int timeoutMs, int extraFd = -1);

/// The POSIX launcher.  Each program runs in its own process group with
/// default signal handling; its end is watched through a pidfd.  A program
/// is started without copying this process (the child shares its memory
/// until the exec, as a vfork does), so a start costs the same however large
/// this process is.  A program never outlives this process: it is started
/// with a request to be killed when its parent dies (so even a SIGKILL of
/// this process takes it along), and the launcher stops what still runs
/// when it is destroyed.  That request reaches only the program itself, not
/// what it starts (a shell running a batch file and the model it runs): the
/// groups of the running programs are therefore watched by one small guard
/// process per launcher, which holds the reading end of a pipe only this
/// process writes to and is told each group that starts and ends (a note
/// is a write that wakes nobody: the guard reads its notes every second).
/// When this process ends in any way the pipe closes and the guard kills
/// every group still running; a guard that is gone is replaced at the next
/// start or end, and told every running group again.
class PosixProcessLauncher : public ProcessLauncher {
public:
    PosixProcessLauncher();
    ~PosixProcessLauncher() override;
    PosixProcessLauncher(const PosixProcessLauncher&) = delete;
    PosixProcessLauncher& operator=(const PosixProcessLauncher&) = delete;

    Result<ProcessHandle> start(const LaunchRequest& request) override;
    std::optional<int> ended(ProcessHandle handle) override;
    Status terminate(ProcessHandle handle, int exitCode) override;
    Status stop(const std::vector<ProcessHandle>& handles, int exitCode, int graceMs) override;
    std::optional<int> endSignal(ProcessHandle handle) override;
    void release(ProcessHandle handle) override;
    bool waitForEnd(ProcessHandle handle, std::optional<int> timeoutMs) override;
    int wakeFd() const override { return m_epoll; }
    /// The process id of a running program (0 when unknown or ended).
    int pidOf(ProcessHandle handle) const;
    void drainWakeups() override;
    /// Starts a program nobody waits for (a viewer, the editor, a shell):
    /// it is detached at once and never becomes a zombie of this process.
    Status startProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& dir) override;

private:
    struct Proc {
        int pid = 0;
        int pidfd = -1;
        bool ended = false;
        int code = 0;
        int signal = 0;  // the signal that ended it, 0 when none
        std::optional<int> terminatedCode;
    };
    void closePidfd(Proc& p);
    // Tells the guard that a program's group started ('S') or ended ('E'),
    // starting a new guard when there is none or it is gone.
    void tellGuard(char what, int group);
    bool startGuard();
    void endGuard();
    std::map<std::uint64_t, Proc> m_procs;
    std::uint64_t m_next = 1;
    int m_epoll = -1;
    int m_guardPid = 0;       // the guard of the programs' groups (0: none)
    int m_guardFd = -1;       // the pipe whose end makes the guard kill them
    void* m_stack = nullptr;  // the stack a starting child runs on until its exec
};

/// Starts a part of a job: `executable` with `parameters` in `directory`
/// (the engine's `LaunchConsoleJob`).  Fails with the launcher's reason.
Result<ProcessHandle> LaunchConsoleJob(ProcessLauncher& launcher, const std::string& executable,
                                       const std::vector<std::string>& parameters,
                                       const std::string& directory);

/// The command record of a synchronous launch with a time limit.
struct TCmdRec {
    std::string Title;                    ///< window title (not used on this platform)
    std::string Command;                  ///< the program
    std::vector<std::string> Parameters;  ///< its arguments
    std::string CmdDir;                   ///< the directory to run in
    int ShowWindow = 0;                   ///< show mode (not used on this platform)
    ProcessHandle Process;
    std::uint32_t ExitCode = 0;
    int TimeLimit = 0;  ///< seconds; 0 = none
    bool TimedOut = false;
};

/// The command and parameters as one line, names with blanks in double
/// quotes (used in messages).
std::string commandLineText(const std::string& command, const std::vector<std::string>& parameters);

/// Runs `rec.Command` to its end.  A start failure shows "LaunchCmd
/// error:\r\n<reason>\r\nSent: <command line>\r\nWorkDir: <dir>" and returns
/// false.  On the program's end its exit code is stored and true returned.
/// When `TimeLimit` passes first the program is terminated with exit code 3,
/// `TimedOut` is set, "Time limit exceeded for:..." is shown and false
/// returned.
[[nodiscard]] bool LaunchCmd(TCmdRec& rec, ProcessLauncher& launcher, Dialogs& dialogs);

/// `LaunchCmd` for a command, its parameters, a directory and a time limit in
/// seconds (0 = none); the exit code is stored in `exitCode`.
[[nodiscard]] bool RunWithTimeLimit(ProcessLauncher& launcher, Dialogs& dialogs, const std::string& command,
                                    const std::vector<std::string>& parameters, const std::string& dir,
                                    int timeLimit, std::uint32_t& exitCode);

}  // namespace vdln
