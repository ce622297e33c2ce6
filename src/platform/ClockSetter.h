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
    /// 0 when the clock was set, else the system's error number (EPERM without the
    /// right to set it, EINVAL for an impossible record).
    virtual int SetSystemTime(const TSystemTime& utc) = 0;
};

} // namespace vantle
