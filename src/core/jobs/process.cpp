#include "jobs/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "base/besteffort.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/suite.h"

extern char** environ;

namespace vdln {

namespace {

std::string errnoText(int err) { return std::strerror(err); }

// A program name resolved before the fork: an absolute path, or "" when a
// bare name is not on the PATH.
std::string resolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        if (program.front() == '/') return program;
        std::vector<char> buf(PATH_MAX);
        if (!::getcwd(buf.data(), buf.size())) return program;
        return JoinPath(buf.data(), program);
    }
    const char* path = std::getenv("PATH");
    for (const std::string& dir : split(path ? path : "/usr/bin:/bin", ':')) {
        std::string candidate = JoinPath(dir.empty() ? "." : dir, program);
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// Everything the child needs, prepared before the fork so that the child
// only makes async-signal-safe calls.
struct ChildPlan {
    std::string path;                 // what to execute
    std::vector<std::string> argv;    // argument strings
    std::vector<char*> argvPtrs;      // null-terminated
    std::string dir;
    int stdinFd = -1;
    int stdoutFd = -1;
    int errWrite = -1;                // reports a failure before exec
};

// Failure record sent through the error pipe: a stage letter and errno.
struct ChildFailure {
    char stage;  // 'D' directory, 'E' exec
    int err;
};

[[noreturn]] void childFail(int fd, char stage) {
    ChildFailure f{stage, errno};
    ssize_t ignored = ::write(fd, &f, sizeof f);
    (void)ignored;
    ::_exit(127);
}

// Runs in the child after fork: async-signal-safe calls only.
[[noreturn]] void execChild(const ChildPlan& plan) {
    ::setpgid(0, 0);
    sigset_t all;
    ::sigemptyset(&all);
    ::sigprocmask(SIG_SETMASK, &all, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP) ::sigaction(s, &dfl, nullptr);
    if (plan.stdinFd >= 0 && ::dup2(plan.stdinFd, 0) < 0) childFail(plan.errWrite, 'E');
    if (plan.stdoutFd >= 0 && ::dup2(plan.stdoutFd, 1) < 0) childFail(plan.errWrite, 'E');
    if (!plan.dir.empty() && ::chdir(plan.dir.c_str()) != 0) childFail(plan.errWrite, 'D');
    // No descriptor beyond stdio survives the exec (the error pipe closes on
    // exec as well, which tells the parent the exec worked).
    if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0) {
        long maxFd = ::sysconf(_SC_OPEN_MAX);
        if (maxFd < 0 || maxFd > 65536) maxFd = 65536;
        for (int fd = 3; fd < maxFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(plan.path.c_str(), plan.argvPtrs.data(), environ);
    childFail(plan.errWrite, 'E');
}

// Prepares the plan and opens the redirections.  The caller closes the
// descriptors it holds.
Status preparePlan(const LaunchRequest& req, ChildPlan& plan) {
    std::string program = trim(req.program);
    if (program.empty()) return Status::fail("Cannot run : no program named");
    std::string resolved = resolveProgram(program);
    if (resolved.empty()) return Status::fail("Cannot find program " + program);
    if (iendsWith(resolved, ".bat")) {
        plan.path = "/bin/sh";
        plan.argv = {"/bin/sh", resolved};
    } else {
        plan.path = resolved;
        plan.argv = {resolved};
    }
    plan.argv.insert(plan.argv.end(), req.args.begin(), req.args.end());
    for (auto& a : plan.argv) plan.argvPtrs.push_back(a.data());
    plan.argvPtrs.push_back(nullptr);
    plan.dir = req.dir;
    if (!req.stdinFile.empty()) {
        plan.stdinFd = ::open(req.stdinFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (plan.stdinFd < 0) return Status::fail("Cannot open file " + req.stdinFile);
    }
    if (!req.stdoutFile.empty()) {
        plan.stdoutFd = ::open(req.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (plan.stdoutFd < 0) return Status::fail("Cannot create file " + req.stdoutFile);
    }
    return Status::ok();
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Reads the child's failure report; nullopt when the exec worked.
std::optional<ChildFailure> readFailure(int fd) {
    ChildFailure f{};
    size_t got = 0;
    while (got < sizeof f) {
        ssize_t n = ::read(fd, reinterpret_cast<char*>(&f) + got, sizeof f - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (got < sizeof f) return std::nullopt;
    return f;
}

Status failureStatus(const ChildFailure& f, const LaunchRequest& req) {
    if (f.stage == 'D') return Status::fail("Cannot change to directory " + req.dir + ": " + errnoText(f.err));
    return Status::fail("Cannot run " + req.program + ": " + errnoText(f.err));
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return kSignalExitBase + WTERMSIG(status);
    return -1;
}

int waitChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return status;
}

}  // namespace

bool waitForWakeup(ProcessLauncher& launcher, int timeoutMs) {
    int fd = launcher.wakeFd();
    if (fd < 0) {
        if (timeoutMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return false;
    }
    pollfd p{fd, POLLIN, 0};
    int n;
    do {
        n = ::poll(&p, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    launcher.drainWakeups();
    return true;
}

// ---------------------------------------------------------------------------
// PosixProcessLauncher

PosixProcessLauncher::PosixProcessLauncher() { m_epoll = ::epoll_create1(EPOLL_CLOEXEC); }

PosixProcessLauncher::~PosixProcessLauncher() {
    for (auto& [id, p] : m_procs) {
        if (!p.ended) {
            // Collect a program that has already ended; running ones are left
            // running (ending the program never kills the suite's programs).
            int status = 0;
            ::waitpid(p.pid, &status, WNOHANG);
        }
        closePidfd(p);
    }
    closeFd(m_epoll);
}

void PosixProcessLauncher::closePidfd(Proc& p) {
    if (p.pidfd >= 0) {
        if (m_epoll >= 0) ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, p.pidfd, nullptr);
        ::close(p.pidfd);
        p.pidfd = -1;
    }
}

Result<ProcessHandle> PosixProcessLauncher::start(const LaunchRequest& request) {
    ChildPlan plan;
    Status prepared = preparePlan(request, plan);
    int errPipe[2] = {-1, -1};
    if (prepared && ::pipe2(errPipe, O_CLOEXEC) != 0) prepared = Status::fail("Cannot run " + request.program + ": " + errnoText(errno));
    if (!prepared) {
        closeFd(plan.stdinFd);
        closeFd(plan.stdoutFd);
        return Result<ProcessHandle>(prepared);
    }
    plan.errWrite = errPipe[1];
    pid_t pid = ::fork();
    if (pid == 0) execChild(plan);
    int forkErr = errno;
    closeFd(errPipe[1]);
    closeFd(plan.stdinFd);
    closeFd(plan.stdoutFd);
    if (pid < 0) {
        closeFd(errPipe[0]);
        return Result<ProcessHandle>::fail("Cannot run " + request.program + ": " + errnoText(forkErr));
    }
    std::optional<ChildFailure> failure = readFailure(errPipe[0]);
    closeFd(errPipe[0]);
    if (failure) {
        waitChild(pid);
        return Result<ProcessHandle>(failureStatus(*failure, request));
    }

    Proc p;
    p.pid = pid;
    p.pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const std::uint64_t id = m_next++;
    if (p.pidfd >= 0) {
        ::fcntl(p.pidfd, F_SETFD, FD_CLOEXEC);
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLET;
        ev.data.u64 = id;
        if (m_epoll < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, p.pidfd, &ev) != 0) {
            // Still usable: the timer tick finds the end.
        }
    }
    m_procs.emplace(id, p);
    return ProcessHandle{id};
}

std::optional<int> PosixProcessLauncher::ended(ProcessHandle handle) {
    auto it = m_procs.find(handle.id);
    if (it == m_procs.end()) return -1;
    Proc& p = it->second;
    if (p.ended) return p.code;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(p.pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return std::nullopt;
    p.ended = true;
    p.code = r < 0 ? -1 : exitCodeOf(status);
    if (p.terminatedCode) p.code = *p.terminatedCode;
    closePidfd(p);
    return p.code;
}

Status PosixProcessLauncher::terminate(ProcessHandle handle, int exitCode) {
    auto it = m_procs.find(handle.id);
    if (it == m_procs.end() || it->second.ended) return Status::ok();
    Proc& p = it->second;
    if (ended(handle)) return Status::ok();
    p.terminatedCode = exitCode;
    ::kill(-p.pid, SIGKILL);
    if (::kill(p.pid, SIGKILL) != 0 && errno != ESRCH)
        return Status::fail("Cannot terminate process " + std::to_string(p.pid) + ": " + errnoText(errno));
    return Status::ok();
}

void PosixProcessLauncher::release(ProcessHandle handle) {
    auto it = m_procs.find(handle.id);
    if (it == m_procs.end()) return;
    if (!it->second.ended && ended(handle) == std::nullopt) return;  // still running: keep watching
    closePidfd(it->second);
    m_procs.erase(it);
}

bool PosixProcessLauncher::waitForEnd(ProcessHandle handle, std::optional<int> timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs.value_or(0));
    while (true) {
        if (ended(handle)) return true;
        int wait = -1;
        if (timeoutMs) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return false;
            wait = static_cast<int>(left);
        }
        auto it = m_procs.find(handle.id);
        if (it != m_procs.end() && it->second.pidfd >= 0) {
            pollfd pf{it->second.pidfd, POLLIN, 0};
            ::poll(&pf, 1, wait);
        } else {
            // Without a pidfd: look again shortly.
            std::this_thread::sleep_for(std::chrono::milliseconds(wait < 0 ? 20 : std::min(wait, 20)));
        }
    }
}

void PosixProcessLauncher::drainWakeups() {
    if (m_epoll < 0) return;
    epoll_event evs[16];
    while (::epoll_wait(m_epoll, evs, 16, 0) == 16) {
    }
}

Status PosixProcessLauncher::startProgram(const std::string& program, const std::vector<std::string>& args,
                                          const std::string& dir) {
    LaunchRequest req{program, args, dir, "", ""};
    ChildPlan plan;
    Status prepared = preparePlan(req, plan);
    int errPipe[2] = {-1, -1};
    if (prepared && ::pipe2(errPipe, O_CLOEXEC) != 0) prepared = Status::fail("Cannot run " + program + ": " + errnoText(errno));
    if (!prepared) return prepared;
    plan.errWrite = errPipe[1];
    pid_t pid = ::fork();
    if (pid == 0) {
        // The intermediate child starts the program and leaves at once, so
        // the program is adopted by init and never waits on us.
        pid_t grandchild = ::fork();
        if (grandchild == 0) execChild(plan);
        if (grandchild < 0) childFail(plan.errWrite, 'E');
        ::_exit(0);
    }
    int forkErr = errno;
    closeFd(errPipe[1]);
    if (pid < 0) {
        closeFd(errPipe[0]);
        return Status::fail("Cannot run " + program + ": " + errnoText(forkErr));
    }
    waitChild(pid);
    std::optional<ChildFailure> failure = readFailure(errPipe[0]);
    closeFd(errPipe[0]);
    if (failure) return failureStatus(*failure, req);
    return Status::ok();
}

// ---------------------------------------------------------------------------
// FakeLauncher

FakeLauncher::FakeLauncher() {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) m_pipe[0] = m_pipe[1] = -1;
}

FakeLauncher::~FakeLauncher() {
    closeFd(m_pipe[0]);
    closeFd(m_pipe[1]);
}

FakeLauncher::Started* FakeLauncher::find(ProcessHandle handle) {
    if (!handle || handle.id > m_started.size()) return nullptr;
    Started& s = m_started[handle.id - 1];
    return s.released ? nullptr : &s;
}

Result<ProcessHandle> FakeLauncher::start(const LaunchRequest& request) {
    if (m_failNext) {
        std::string msg = std::move(*m_failNext);
        m_failNext.reset();
        return Result<ProcessHandle>::fail(msg);
    }
    Started s;
    s.handle = ProcessHandle{m_started.size() + 1};
    s.request = request;
    m_started.push_back(s);
    if (onStart) onStart(request);
    return s.handle;
}

std::optional<int> FakeLauncher::ended(ProcessHandle handle) {
    Started* s = find(handle);
    if (!s) return -1;
    if (!s->ended) return std::nullopt;
    return s->terminatedCode ? *s->terminatedCode : s->exitCode;
}

Status FakeLauncher::terminate(ProcessHandle handle, int exitCode) {
    Started* s = find(handle);
    if (!s || s->ended) return Status::ok();
    s->terminatedCode = exitCode;
    s->ended = true;
    return Status::ok();
}

void FakeLauncher::release(ProcessHandle handle) {
    if (Started* s = find(handle); s && s->ended) s->released = true;
}

bool FakeLauncher::waitForEnd(ProcessHandle handle, std::optional<int>) {
    if (onWait) onWait(handle);
    return ended(handle).has_value();
}

void FakeLauncher::drainWakeups() {
    char buf[64];
    while (m_pipe[0] >= 0 && ::read(m_pipe[0], buf, sizeof buf) > 0) {
    }
}

Status FakeLauncher::startProgram(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& dir) {
    m_detached.push_back({program, args, dir});
    return failDetached ? Status::fail("Cannot run " + program + ": No such file or directory") : Status::ok();
}

bool FakeLauncher::endProcess(ProcessHandle handle, int exitCode) {
    Started* s = find(handle);
    if (!s || s->ended) return false;
    s->ended = true;
    s->exitCode = exitCode;
    if (m_pipe[1] >= 0) {
        char c = 1;
        ssize_t ignored = ::write(m_pipe[1], &c, 1);
        (void)ignored;
    }
    return true;
}

bool FakeLauncher::endStarted(size_t index, int exitCode) {
    if (index >= m_started.size()) return false;
    return endProcess(m_started[index].handle, exitCode);
}

std::vector<ProcessHandle> FakeLauncher::running() const {
    std::vector<ProcessHandle> out;
    for (const auto& s : m_started)
        if (!s.ended) out.push_back(s.handle);
    return out;
}

// ---------------------------------------------------------------------------
// Synchronous launches

Result<ProcessHandle> LaunchConsoleJob(ProcessLauncher& launcher, const std::string& executable,
                                       const std::vector<std::string>& parameters, const std::string& directory) {
    LaunchRequest req;
    req.program = executable;
    req.args = parameters;
    req.dir = directory;
    return launcher.start(req);
}

std::string commandLineText(const std::string& command, const std::vector<std::string>& parameters) {
    std::string line = quoteIfBlank(command);
    for (const auto& p : parameters) line += " " + quoteIfBlank(p);
    return line;
}

bool LaunchCmd(TCmdRec& rec, ProcessLauncher& launcher, Dialogs& dialogs) {
    const std::string command = trim(rec.Command);
    rec.TimedOut = false;
    rec.ExitCode = 0;
    Result<ProcessHandle> h = LaunchConsoleJob(launcher, command, rec.Parameters, rec.CmdDir);
    if (!h) {
        dialogs.error("LaunchCmd error:\r\n" + h.message() + "\r\n" + "Sent: " + commandLineText(command, rec.Parameters) +
                      "\r\n" + "WorkDir: " + rec.CmdDir);
        return false;
    }
    rec.Process = *h;
    std::optional<int> limitMs;
    if (rec.TimeLimit > 0) limitMs = rec.TimeLimit * 1000;
    if (launcher.waitForEnd(rec.Process, limitMs)) {
        std::optional<int> code = launcher.ended(rec.Process);
        rec.ExitCode = static_cast<std::uint32_t>(code.value_or(-1));
        launcher.release(rec.Process);
        rec.Process = {};
        return true;
    }
    rec.TimedOut = true;
    bestEffort(launcher.terminate(rec.Process, 3),
               "the program overran its time limit and is reported as timed out either way");
    std::string params;
    for (size_t i = 0; i < rec.Parameters.size(); ++i) params += (i ? " " : "") + quoteIfBlank(rec.Parameters[i]);
    dialogs.error("Time limit exceeded for:\r\nCommand: " + command + "\r\n" + "Parameters: " + params + "\r\n" +
                  "WorkDir: " + rec.CmdDir + "\r\n" + "Limit: " + std::to_string(rec.TimeLimit) + " seconds");
    launcher.waitForEnd(rec.Process, 1000);
    rec.ExitCode = 3;
    launcher.release(rec.Process);
    rec.Process = {};
    return false;
}

bool RunWithTimeLimit(ProcessLauncher& launcher, Dialogs& dialogs, const std::string& command,
                      const std::vector<std::string>& parameters, const std::string& dir, int timeLimit,
                      std::uint32_t& exitCode) {
    TCmdRec rec;
    rec.Command = command;
    rec.Parameters = parameters;
    rec.CmdDir = dir;
    rec.TimeLimit = timeLimit;
    bool ok = LaunchCmd(rec, launcher, dialogs);
    exitCode = rec.ExitCode;
    return ok;
}

}  // namespace vdln
