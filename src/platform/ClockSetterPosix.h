// Setting the system clock on POSIX.
#pragma once

#include "platform/ClockSetter.h"

namespace vantle {

/// clock_settime(CLOCK_REALTIME); needs the right to set the clock (CAP_SYS_TIME).
class TPosixClockSetter : public TClockSetter {
public:
    /// EINVAL for a record that names no real moment, else the system's answer.
    int SetSystemTime(const TSystemTime& utc) override;
};

} // namespace vantle
