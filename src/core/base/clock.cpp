#include "base/clock.h"

#include <chrono>

#include "base/fileutil.h"

namespace vdln {

std::tm Clock::nowLocal() const {
    return localTimeOfFileTime(nowFileTime());
}

std::int64_t SystemClock::nowFileTime() const {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return fileTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

double SystemClock::monotonicSeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t fileTimeFromLocal(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    time_t t = ::mktime(&tm);
    return fileTimeFromUnix(static_cast<std::int64_t>(t), 0);
}

}  // namespace vdln
