#include "env/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

#include "base/besteffort.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/suite.h"

namespace vdln {

namespace {

std::string errnoText(int err) {
    return std::strerror(err);
}

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
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// Failure record of a child that could not exec: a stage letter and errno.
struct ChildFailure {
    char stage;  // 'D' directory, 'E' exec
    int err;
};

// Everything the child needs, prepared before it is started so that the
// child only makes async-signal-safe calls.
struct ChildPlan {
    std::string path;               // what to execute
    std::vector<std::string> argv;  // argument strings
    std::vector<char*> argvPtrs;    // null-terminated
    std::string dir;
    pid_t parent = 0;  // the launching process
    int stdinFd = -1;
    int stdoutFd = -1;
    // Reports a failure before the exec.  A pipe rather than the memory a
    // starting child shares with the parent: under a tool that turns such
    // a child into a copy the report must still arrive.
    int errWrite = -1;
};

// The code a starting child runs is not instrumented by the address
// sanitizer: the child runs on a stack of its own that the sanitizer does
// not know, and its bookkeeping at a call that does not return (the exec,
// _exit) would take that stack for a corrupted one.
#define VDLN_CHILD_CODE __attribute__((no_sanitize("address")))

[[noreturn]] VDLN_CHILD_CODE void childFail(const ChildPlan& plan, char stage) {
    const int err = errno;
    ChildFailure f;
    std::memset(&f, 0, sizeof f);  // no padding byte left undefined in the report
    f.stage = stage;
    f.err = err;
    ssize_t ignored = ::write(plan.errWrite, &f, sizeof f);
    (void)ignored;
    ::_exit(127);
}

// Blocks every signal of the calling thread while a child is started: no
// handler of this process may run in the child before it has set them all
// back to their defaults.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t all;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &m_old);
    }
    ~SignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t m_old{};
};

// Runs in the child before its exec: async-signal-safe calls only, and
// nothing written but its own stack (a child that shares this process's
// memory runs it while this process waits).
[[noreturn]] VDLN_CHILD_CODE void execChild(const ChildPlan& plan) {
    ::setpgid(0, 0);
    // Killed with the launching process, however that ends (kept across the
    // exec).  The parent may have died before the request was made: then it
    // is no longer our parent and the program must not start at all.
    if (plan.parent != 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != plan.parent) ::_exit(127);
    }
    // Default handling first, then nothing blocked: the signals were blocked
    // by the parent while the child started.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP) ::sigaction(s, &dfl, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (plan.stdinFd >= 0 && ::dup2(plan.stdinFd, 0) < 0) childFail(plan, 'E');
    if (plan.stdoutFd >= 0 && ::dup2(plan.stdoutFd, 1) < 0) childFail(plan, 'E');
    if (!plan.dir.empty() && ::chdir(plan.dir.c_str()) != 0) childFail(plan, 'D');
    // No descriptor beyond stdio survives the exec (the error pipe closes on
    // exec as well, which tells the parent the exec worked).
    if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0) {
        long maxFd = ::sysconf(_SC_OPEN_MAX);
        if (maxFd < 0 || maxFd > 65536) maxFd = 65536;
        for (int fd = 3; fd < maxFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(plan.path.c_str(), plan.argvPtrs.data(), environ);
    childFail(plan, 'E');
}

// The entry of a child that shares this process's memory.
VDLN_CHILD_CODE int sharedChildEntry(void* plan) {
    execChild(*static_cast<const ChildPlan*>(plan));
}

// The stack such a child runs on: the little execChild needs, with room.
constexpr size_t kChildStackBytes = size_t{256} * 1024;

// What the launcher tells its guard: a program's group started or ended.
struct GuardNote {
    std::int32_t what;  // 'S' started, 'E' ended
    std::int32_t group;
};

// How often the guard reads the notes that have come: it is not woken by
// each one (a note costs the launcher a write and no wake-up), and its pipe
// holds thousands of notes, far more than can come in that time.
constexpr int kGuardDrainMs = 1000;

// The guard of the programs' process groups, after fork: async-signal-safe
// calls only (the groups are kept in memory mapped here, not allocated).
// It ignores the signals a terminal or a cancel sends to this process's
// group (it must outlive this process to do its work), keeps no descriptor
// but the pipe (which never blocks it), and follows the notes.  The end of
// the pipe means this process is gone (or done with it): the notes still in
// it are read, and every group still running is killed.
[[noreturn]] void guardGroups(int fd) {
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU})
        ::sigaction(s, &ign, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int other = 0; other < fd; ++other) ::close(other);
    if (::syscall(SYS_close_range, static_cast<unsigned>(fd) + 1, ~0u, 0u) != 0) {
        long maxFd = ::sysconf(_SC_OPEN_MAX);
        if (maxFd < 0 || maxFd > 65536) maxFd = 65536;
        for (int other = fd + 1; other < maxFd; ++other) ::close(other);
    }
    size_t capacity = 1024, count = 0;
    void* mem = ::mmap(nullptr, capacity * sizeof(std::int32_t), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) ::_exit(1);  // the launcher finds the pipe closed and starts another
    auto* live = static_cast<std::int32_t*>(mem);
    auto follow = [&](const GuardNote& note) {
        if (note.group <= 0) return;
        if (note.what == 'S') {
            if (count == capacity) {
                void* grown = ::mremap(live, capacity * sizeof(std::int32_t),
                                       2 * capacity * sizeof(std::int32_t), MREMAP_MAYMOVE);
                // Out of memory: the group goes unwatched, and only its
                // program's own parent-death signal still stops it.
                if (grown == MAP_FAILED) return;
                live = static_cast<std::int32_t*>(grown);
                capacity *= 2;
            }
            live[count++] = note.group;
        } else {
            for (size_t k = 0; k < count; ++k)
                if (live[k] == note.group) {
                    live[k] = live[--count];
                    break;
                }
        }
    };
    GuardNote notes[256];
    size_t have = 0;  // bytes of a note not read whole yet stay at the front
    bool ended = false;
    while (!ended) {
        // Asking for no event: only the end of the pipe (or the timeout)
        // wakes the guard, not each note written.
        pollfd p{fd, 0, 0};
        if (::poll(&p, 1, kGuardDrainMs) < 0 && errno != EINTR) ::usleep(kGuardDrainMs * 1000);
        while (true) {
            auto* bytes = reinterpret_cast<char*>(notes);
            const ssize_t n = ::read(fd, bytes + have, sizeof notes - have);
            if (n == 0) {
                ended = true;
                break;
            }
            if (n < 0) {
                if (errno == EINTR) continue;
                break;  // nothing more for now
            }
            have += static_cast<size_t>(n);
            const size_t whole = have / sizeof(GuardNote);
            for (size_t k = 0; k < whole; ++k) follow(notes[k]);
            const size_t rest = have - whole * sizeof(GuardNote);
            for (size_t k = 0; k < rest; ++k) bytes[k] = bytes[whole * sizeof(GuardNote) + k];
            have = rest;
        }
    }
    for (size_t k = 0; k < count; ++k) ::kill(-live[k], SIGKILL);
    ::_exit(0);
}

// Writes to a pipe whose reader may be gone without the SIGPIPE that would
// end this process: the signal is blocked in this thread for the write and
// taken back if the write raised it (unless it was pending before).
ssize_t writeWithoutSigpipe(int fd, const void* data, size_t size) {
    sigset_t pipeOnly, pending, old;
    ::sigemptyset(&pipeOnly);
    ::sigaddset(&pipeOnly, SIGPIPE);
    ::sigpending(&pending);
    const bool wasPending = ::sigismember(&pending, SIGPIPE) == 1;
    if (!wasPending) ::pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    const int err = errno;
    if (!wasPending) {
        if (n < 0 && err == EPIPE) {
            const timespec now{0, 0};
            while (::sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    errno = err;
    return n;
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
    if (f.stage == 'D')
        return Status::fail("Cannot change to directory " + req.dir + ": " + errnoText(f.err));
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

bool waitForWakeup(ProcessLauncher& launcher, int timeoutMs, int extraFd) {
    int fd = launcher.wakeFd();
    if (fd < 0 && extraFd < 0) {
        if (timeoutMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return false;
    }
    pollfd p[2] = {{fd, POLLIN, 0}, {extraFd, POLLIN, 0}};
    int n;
    do {
        n = ::poll(p, 2, timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n <= 0 || !(p[0].revents & POLLIN)) return false;
    launcher.drainWakeups();
    return true;
}

Status ProcessLauncher::stop(const std::vector<ProcessHandle>& handles, int exitCode, int /*graceMs*/) {
    Status result = Status::ok();
    for (ProcessHandle h : handles)
        if (Status s = terminate(h, exitCode); !s && result) result = std::move(s);
    return result;
}

// ---------------------------------------------------------------------------
// PosixProcessLauncher

PosixProcessLauncher::PosixProcessLauncher() {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
}

PosixProcessLauncher::~PosixProcessLauncher() {
    // What still runs would go on writing into folders the next job uses:
    // it is stopped as a cancel stops it.
    std::vector<ProcessHandle> running;
    for (auto& [id, p] : m_procs)
        if (!p.ended) running.push_back(ProcessHandle{id});
    if (!running.empty()) {
        Status s = stop(running, kSignalExitBase + SIGTERM, 2000);
        if (!s) std::fprintf(stderr, "vardelon: %s\n", s.message().c_str());
    }
    for (auto& [id, p] : m_procs) closePidfd(p);
    // What is still running after the stop is killed by the guard when its
    // pipe closes.
    endGuard();
    closeFd(m_epoll);
    if (m_stack) ::munmap(m_stack, kChildStackBytes);
}

std::optional<int> PosixProcessLauncher::endSignal(ProcessHandle handle) {
    auto it = m_procs.find(handle.id);
    if (it == m_procs.end() || !it->second.ended || it->second.signal == 0) return std::nullopt;
    return it->second.signal;
}

int PosixProcessLauncher::pidOf(ProcessHandle handle) const {
    auto it = m_procs.find(handle.id);
    return it == m_procs.end() || it->second.ended ? 0 : it->second.pid;
}

Status PosixProcessLauncher::stop(const std::vector<ProcessHandle>& handles, int exitCode, int graceMs) {
    using SteadyClock = std::chrono::steady_clock;
    std::vector<ProcessHandle> running;
    for (ProcessHandle h : handles) {
        auto it = m_procs.find(h.id);
        if (it == m_procs.end() || ended(h)) continue;
        it->second.terminatedCode = exitCode;
        // The whole process group: a batch file's shell and what it started.
        ::kill(-it->second.pid, SIGTERM);
        ::kill(it->second.pid, SIGTERM);
        running.push_back(h);
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(0, graceMs));
    auto allEnded = [&] {
        bool all = true;
        for (ProcessHandle h : running)
            if (!ended(h)) all = false;
        return all;
    };
    while (!allEnded() && SteadyClock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string failures;
    for (ProcessHandle h : running) {
        if (ended(h)) continue;
        const int pid = m_procs[h.id].pid;
        ::kill(-pid, SIGKILL);
        if (::kill(pid, SIGKILL) != 0 && errno != ESRCH)
            failures += (failures.empty() ? "" : ", ") + std::to_string(pid) + " (" + errnoText(errno) + ")";
    }
    // A SIGKILL cannot be refused: wait for the ends (bounded all the same).
    const auto killDeadline = SteadyClock::now() + std::chrono::seconds(5);
    while (!allEnded() && SteadyClock::now() < killDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (ProcessHandle h : running)
        if (!ended(h))
            failures +=
                (failures.empty() ? "" : ", ") + std::to_string(m_procs[h.id].pid) + " (still running)";
    if (!failures.empty()) return Status::fail("Could not stop process " + failures);
    return Status::ok();
}

bool PosixProcessLauncher::startGuard() {
    int fds[2] = {-1, -1};
    // Both ends never block: the guard drains what has come, and a full pipe
    // (a guard that has stopped reading) must not stop a job.
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    pid_t pid;
    {
        SignalsBlocked blocked;
        pid = ::fork();
        if (pid == 0) {
            ::close(fds[1]);
            guardGroups(fds[0]);
        }
    }
    ::close(fds[0]);
    if (pid < 0) {
        ::close(fds[1]);
        return false;
    }
    m_guardPid = pid;
    m_guardFd = fds[1];
    return true;
}

void PosixProcessLauncher::endGuard() {
    closeFd(m_guardFd);
    if (m_guardPid > 0) waitChild(m_guardPid);
    m_guardPid = 0;
}

void PosixProcessLauncher::tellGuard(char what, int group) {
    auto send = [this](char w, int g) {
        const GuardNote note{w, g};
        ssize_t n = writeWithoutSigpipe(m_guardFd, &note, sizeof note);
        // Full: the guard reads its notes within a second.
        for (int tries = 0; n < 0 && errno == EAGAIN && tries < 3; ++tries) {
            pollfd p{m_guardFd, POLLOUT, 0};
            ::poll(&p, 1, kGuardDrainMs);
            n = writeWithoutSigpipe(m_guardFd, &note, sizeof note);
        }
        return n == static_cast<ssize_t>(sizeof note);
    };
    if (m_guardFd >= 0 && send(what, group)) return;
    // No guard yet, or it is gone: a new one is told every running group
    // (an ended one is no longer among them).  Without a guard at all each
    // program's own parent-death signal still stops it; only what it
    // starts could outlive a killed vardelon.
    endGuard();
    if (!startGuard()) return;
    for (const auto& [id, p] : m_procs)
        if (!p.ended && !send('S', p.pid)) return;
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
    if (prepared && !m_stack) {
        void* stack = ::mmap(nullptr, kChildStackBytes, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (stack == MAP_FAILED)
            prepared = Status::fail("Cannot run " + request.program + ": " + errnoText(errno));
        else
            m_stack = stack;
    }
    int errPipe[2] = {-1, -1};
    if (prepared && ::pipe2(errPipe, O_CLOEXEC) != 0)
        prepared = Status::fail("Cannot run " + request.program + ": " + errnoText(errno));
    if (!prepared) {
        closeFd(plan.stdinFd);
        closeFd(plan.stdoutFd);
        return Result<ProcessHandle>(prepared);
    }
    // The child shares this process's memory and runs on its own stack
    // until its exec, while this thread waits: no copy of this process is
    // made, so a start costs the same however large this process is.
    plan.errWrite = errPipe[1];
    plan.parent = ::getpid();
    pid_t pid;
    int cloneErr;
    {
        SignalsBlocked blocked;
        pid = ::clone(sharedChildEntry, static_cast<char*>(m_stack) + kChildStackBytes,
                      CLONE_VM | CLONE_VFORK | SIGCHLD, &plan);
        cloneErr = errno;
    }
    closeFd(errPipe[1]);
    closeFd(plan.stdinFd);
    closeFd(plan.stdoutFd);
    if (pid < 0) {
        closeFd(errPipe[0]);
        return Result<ProcessHandle>::fail("Cannot run " + request.program + ": " + errnoText(cloneErr));
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
        // A process descriptor is opened close-on-exec.
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLET;
        ev.data.u64 = id;
        if (m_epoll < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, p.pidfd, &ev) != 0) {
            // Still usable: the timer tick finds the end.
        }
    }
    m_procs.emplace(id, p);
    // The program made itself the leader of its group before its exec.
    tellGuard('S', pid);
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
    tellGuard('E', p.pid);
    p.code = r < 0 ? -1 : exitCodeOf(status);
    if (r > 0 && WIFSIGNALED(status) && !p.terminatedCode) p.signal = WTERMSIG(status);
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
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
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
    if (prepared && ::pipe2(errPipe, O_CLOEXEC) != 0)
        prepared = Status::fail("Cannot run " + program + ": " + errnoText(errno));
    if (!prepared) return prepared;
    plan.errWrite = errPipe[1];
    pid_t pid;
    int forkErr;
    {
        SignalsBlocked blocked;
        pid = ::fork();
        if (pid == 0) {
            // The intermediate child starts the program and leaves at once,
            // so the program is adopted by init and never waits on us.
            pid_t grandchild = ::fork();
            if (grandchild == 0) execChild(plan);
            if (grandchild < 0) childFail(plan, 'E');
            ::_exit(0);
        }
        forkErr = errno;
    }
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
// Synchronous launches

Result<ProcessHandle> LaunchConsoleJob(ProcessLauncher& launcher, const std::string& executable,
                                       const std::vector<std::string>& parameters,
                                       const std::string& directory) {
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
        dialogs.error("LaunchCmd error:\r\n" + h.message() + "\r\n" + "Sent: " +
                      commandLineText(command, rec.Parameters) + "\r\n" + "WorkDir: " + rec.CmdDir);
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
    for (size_t i = 0; i < rec.Parameters.size(); ++i)
        params += (i ? " " : "") + quoteIfBlank(rec.Parameters[i]);
    dialogs.error("Time limit exceeded for:\r\nCommand: " + command + "\r\n" + "Parameters: " + params +
                  "\r\n" + "WorkDir: " + rec.CmdDir + "\r\n" + "Limit: " + std::to_string(rec.TimeLimit) +
                  " seconds");
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
