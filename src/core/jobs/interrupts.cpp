#include "jobs/interrupts.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vdln {

namespace {
sigset_t interruptSet() {
    sigset_t set;
    ::sigemptyset(&set);
    ::sigaddset(&set, SIGINT);
    ::sigaddset(&set, SIGTERM);
    ::sigaddset(&set, SIGHUP);
    return set;
}
}  // namespace

static_assert(sizeof(sigset_t) <= 128, "sigset_t fits the saved mask");

InterruptWatch::InterruptWatch() {
    sigset_t set = interruptSet();
    sigset_t old;
    if (::pthread_sigmask(SIG_BLOCK, &set, &old) != 0) return;
    std::memcpy(m_oldMask, &old, sizeof old);
    m_masked = true;
    m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) {
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
        m_masked = false;
    }
}

InterruptWatch::~InterruptWatch() {
    if (m_fd >= 0) {
        // Consumes what is pending, so that unblocking does not deliver it.
        m_signal = poll();
        ::close(m_fd);
    }
    if (m_masked) {
        sigset_t old;
        std::memcpy(&old, m_oldMask, sizeof old);
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
}

int InterruptWatch::poll() {
    if (m_fd < 0) return m_signal;
    signalfd_siginfo info{};
    while (true) {
        ssize_t n = ::read(m_fd, &info, sizeof info);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof info)) break;
        if (m_signal == 0) m_signal = static_cast<int>(info.ssi_signo);
    }
    return m_signal;
}

std::string signalText(int signal) {
    const char* abbrev = ::sigabbrev_np(signal);
    return std::to_string(signal) + " (" +
           (abbrev ? std::string("SIG") + abbrev : std::string("unknown signal")) + ")";
}

}  // namespace vdln
