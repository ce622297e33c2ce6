// The local clock, behind an interface so tests can move time by hand.
#pragma once

#include "platform/DateTime.h"

#include <ctime>

namespace vantle {

class TClock {
public:
    virtual ~TClock() = default;
    /// The current local date and time, milliseconds included.
    virtual TDateTime Now() const = 0;
};

class TSystemClock : public TClock {
public:
    TDateTime Now() const override;
};

/// The process-wide real clock.
TClock& SystemClock();

/// Local date-time of a POSIX time (seconds and nanoseconds since the epoch).
TDateTime LocalDateTimeOf(const std::timespec& ts);
/// The UTC date-time of a local date-time, by the time zone rules in force (TZ).
TDateTime LocalToUtc(TDateTime local);

} // namespace vantle
