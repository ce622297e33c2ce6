// Setting the workstation clock, behind an interface: tests record instead of setting.
#pragma once

#include <cstdint>

namespace vantle {

/// The platform's system-time record; always UTC.
struct TSystemTime {
    std::uint16_t Year = 0, Month = 0, DayOfWeek = 0, Day = 0;
    std::uint16_t Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};

class TClockSetter {
public:
    virtual ~TClockSetter() = default;
    /// Returns whether the platform took the time; callers do not look.
    virtual bool SetSystemTime(const TSystemTime& utc) = 0;
};

} // namespace vantle
