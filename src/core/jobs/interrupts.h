#pragma once
/// Interrupts as a cancel: while an `InterruptWatch` lives, SIGINT, SIGTERM
/// and SIGHUP no longer end the process at once; they are blocked and read
/// from a signalfd, so no handler runs and nothing but the watch's state
/// changes.  The batch loop polls `fd()` beside the launcher's wake
/// descriptor and, once `received()` is set, cancels the job as the Cancel
/// button does (the running programs are stopped, nothing is recorded for
/// them, the logs get their end line).
///
/// The mask is the calling thread's; programs started meanwhile get an
/// empty mask and default handling (the launcher resets both in the child).

#include <string>

namespace vdln {

class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    /// Readable when an interrupt arrived (-1 when the watch could not be
    /// set up; the signals then keep their default effect).
    int fd() const { return m_fd; }
    /// Reads what arrived; returns the first interrupt's number (0 = none).
    int poll();
    /// The first interrupt received so far (0 = none).
    int received() const { return m_signal; }

private:
    int m_fd = -1;
    int m_signal = 0;
    bool m_masked = false;
    unsigned char m_oldMask[128] = {};  // the sigset_t in force before
};

/// "2 (SIGINT)": a signal's number and name.
std::string signalText(int signal);

}  // namespace vdln
