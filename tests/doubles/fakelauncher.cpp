#include "doubles/fakelauncher.h"

#include <fcntl.h>
#include <unistd.h>

namespace vdln {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

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

std::optional<int> FakeLauncher::endSignal(ProcessHandle handle) {
    Started* s = find(handle);
    if (!s || !s->ended || s->signal == 0 || s->terminatedCode) return std::nullopt;
    return s->signal;
}

bool FakeLauncher::killBySignal(ProcessHandle handle, int signal) {
    if (!endProcess(handle, kSignalExitBase + signal)) return false;
    find(handle)->signal = signal;
    return true;
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
    return failDetached ? Status::fail("Cannot run " + program + ": No such file or directory")
                        : Status::ok();
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

}  // namespace vdln
