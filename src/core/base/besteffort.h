#pragma once
/// Deliberate best-effort work: a step whose failure changes nothing the
/// caller does next (a scratch file that may already be gone, a backup that
/// the next run replaces, a file time kept only as a courtesy).  Such a
/// failure is never dropped silently: `bestEffort` says why it is harmless
/// and hands the failure to the best-effort log (standard error unless a
/// `ScopedBestEffortLog` is active).
///
/// Everything else that fails is handled or reported where it happens;
/// scripts/check-discards.sh keeps bare `(void)` discards of calls out of
/// the sources.

#include <functional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace vdln {

/// Logs a failure of best-effort work: "<why>: <message>".
void logBestEffortFailure(std::string_view why, std::string_view message);

/// Best-effort work that returned `s`; `why` says why a failure is harmless.
inline void bestEffort(const Status& s, std::string_view why) {
    if (!s) logBestEffortFailure(why, s.message());
}
template <class T>
void bestEffort(const Result<T>& r, std::string_view why) {
    if (!r) logBestEffortFailure(why, r.message());
}

/// Sends the best-effort log of this thread to `sink` while the object
/// lives (the previous destination comes back afterwards).
class ScopedBestEffortLog {
public:
    explicit ScopedBestEffortLog(std::function<void(const std::string&)> sink);
    ~ScopedBestEffortLog();
    ScopedBestEffortLog(const ScopedBestEffortLog&) = delete;
    ScopedBestEffortLog& operator=(const ScopedBestEffortLog&) = delete;

private:
    std::function<void(const std::string&)> m_sink;
    ScopedBestEffortLog* m_previous;
};

}  // namespace vdln
