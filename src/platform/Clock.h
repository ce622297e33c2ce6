// The local clock, behind an interface so tests can move time by hand.
#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <ctime>
#include <vector>

namespace vantle {

class TClock {
public:
    virtual ~TClock() = default;
    /// The current local date and time, milliseconds included.
    virtual TDateTime Now() const = 0;
    /// The same moment as a UTC instant. By default read back from Now() through the
    /// zone rules, which cannot tell the two readings of a repeated hour apart; the
    /// system clock knows the instant itself.
    virtual std::timespec UtcNow() const;
    /// Nanoseconds of CLOCK_BOOTTIME, for durations: a suspend counts as time passed,
    /// and steps of the wall clock or daylight saving change nothing.
    virtual std::int64_t BootNanos() const;
    /// Nanoseconds of CLOCK_MONOTONIC, for time limits: a suspend does not count as
    /// running time, as with systemd's RuntimeMaxSec=.
    virtual std::int64_t RunNanos() const;
};

class TSystemClock : public TClock {
public:
    TDateTime Now() const override;
    std::timespec UtcNow() const override;
};

/// The process-wide real clock.
TClock& SystemClock();

/// Local date-time of a POSIX time (seconds and nanoseconds since the epoch).
TDateTime LocalDateTimeOf(const std::timespec& ts);
/// The UTC date-time of a local date-time, by the time zone rules in force (TZ).
TDateTime LocalToUtc(TDateTime local);

/// The UTC instants at which the local clock reads `local` (milliseconds kept), earliest
/// first: one as a rule, two in the repeated hour of an autumn change, none in the
/// hour a spring change leaves out.
std::vector<std::timespec> LocalReadings(TDateTime local);
/// The calendar fields of a date and time (month 1..12) as a std::tm, for mktime and
/// timegm; the daylight flag is left 0.
std::tm CalendarFields(int year, int month, int day, int hour, int minute, int second);

/// The zone's offset from UTC at an instant, in seconds east of Greenwich.
long UtcOffsetAt(const std::timespec& utc);
/// UTC date-time of a POSIX instant, and back.
TDateTime UtcDateTimeOf(const std::timespec& ts);
std::timespec InstantOfUtc(TDateTime utc);
/// Milliseconds from `from` to `to` (negative when `to` is earlier).
std::int64_t MSecsBetween(const std::timespec& from, const std::timespec& to);

} // namespace vantle
