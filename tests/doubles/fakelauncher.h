#pragma once
/// A process launcher for tests (never linked into the program).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "env/process.h"

namespace vdln {

/// A launcher for tests: nothing runs; the test decides when each program
/// ends and with which code.
class FakeLauncher : public ProcessLauncher {
public:
    /// One start as the fake saw it.
    struct Started {
        ProcessHandle handle;
        LaunchRequest request;
        bool ended = false;
        int exitCode = 0;
        std::optional<int> terminatedCode;
        int signal = 0;
        bool released = false;
    };
    /// One detached start (`startProgram`).
    struct Detached {
        std::string program;
        std::vector<std::string> args;
        std::string dir;
    };

    FakeLauncher();
    ~FakeLauncher() override;
    FakeLauncher(const FakeLauncher&) = delete;
    FakeLauncher& operator=(const FakeLauncher&) = delete;

    Result<ProcessHandle> start(const LaunchRequest& request) override;
    std::optional<int> ended(ProcessHandle handle) override;
    Status terminate(ProcessHandle handle, int exitCode) override;
    std::optional<int> endSignal(ProcessHandle handle) override;
    void release(ProcessHandle handle) override;
    /// Does not wait: calls `onWait` (which may end programs), then reports
    /// whether the program has ended.
    bool waitForEnd(ProcessHandle handle, std::optional<int> timeoutMs) override;
    int wakeFd() const override { return m_pipe[0]; }
    void drainWakeups() override;
    Status startProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& dir) override;

    /// Ends a program with an exit code and wakes the event loop.  Ending an
    /// unknown or ended program fails the calling test's expectations by
    /// returning false.
    bool endProcess(ProcessHandle handle, int exitCode = 0);
    /// Ends a program as a signal would (exit code 128 + signal).
    bool killBySignal(ProcessHandle handle, int signal);
    /// Ends the n-th program started (0-based).
    bool endStarted(size_t index, int exitCode = 0);
    /// The next start fails with `message`.
    void failNextStart(std::string message) { m_failNext = std::move(message); }
    /// Every start so far, in order.
    const std::vector<Started>& started() const { return m_started; }
    /// Handles of the programs still running.
    std::vector<ProcessHandle> running() const;
    const std::vector<Detached>& detached() const { return m_detached; }
    /// Called on every start (for example to write the files a program
    /// would write).
    std::function<void(const LaunchRequest&)> onStart;
    /// Called by `waitForEnd` before it looks.
    std::function<void(ProcessHandle)> onWait;
    /// Makes `startProgram` fail.
    bool failDetached = false;

private:
    Started* find(ProcessHandle handle);
    std::vector<Started> m_started;
    std::vector<Detached> m_detached;
    std::optional<std::string> m_failNext;
    int m_pipe[2] = {-1, -1};
};

}  // namespace vdln
