#pragma once
/// "Now", as a 64-bit file time (100-ns intervals since 1601, UTC) and as
/// local time.  Tests use `FixedClock` to make times repeatable.

#include <cstdint>
#include <ctime>
#include <string>

namespace vdln {

class Clock {
public:
    virtual ~Clock() = default;
    /// The current time as a 64-bit file time.
    virtual std::int64_t nowFileTime() const = 0;
    /// The current local time.
    std::tm nowLocal() const;
    /// Seconds (with fraction) since an arbitrary start, for elapsed times.
    virtual double monotonicSeconds() const = 0;
};

/// The system's clock.
class SystemClock : public Clock {
public:
    std::int64_t nowFileTime() const override;
    double monotonicSeconds() const override;
};

/// A clock that only moves when told to.
class FixedClock : public Clock {
public:
    explicit FixedClock(std::int64_t fileTime = 0) : m_now(fileTime) {}
    std::int64_t nowFileTime() const override { return m_now; }
    double monotonicSeconds() const override { return static_cast<double>(m_now) / 1e7; }
    void set(std::int64_t fileTime) { m_now = fileTime; }
    void advanceSeconds(double s) { m_now += static_cast<std::int64_t>(s * 1e7); }

private:
    std::int64_t m_now;
};

/// The file time of a local calendar date and time.
std::int64_t fileTimeFromLocal(int year, int month, int day, int hour, int minute, int second);

}  // namespace vdln
