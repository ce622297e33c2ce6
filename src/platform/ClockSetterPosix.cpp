#include "platform/ClockSetterPosix.h"

#include "platform/Clock.h"
#include "platform/DateTime.h"

#include <cerrno>
#include <ctime>

namespace vantle {

int TPosixClockSetter::SetSystemTime(const TSystemTime& utc) {
    // timegm would quietly roll a 31 April over into May; a bad record sets nothing.
    if (utc.Year < 1970 || utc.Month < 1 || utc.Month > 12 || utc.Day < 1 ||
        utc.Day > DaysInMonth(utc.Year, utc.Month) || utc.Hour > 23 || utc.Minute > 59 ||
        utc.Second > 59 || utc.Milliseconds > 999)
        return EINVAL;
    std::tm tm = CalendarFields(utc.Year, utc.Month, utc.Day, utc.Hour, utc.Minute, utc.Second);
    std::timespec ts{};
    ts.tv_sec = timegm(&tm);
    ts.tv_nsec = static_cast<long>(utc.Milliseconds) * 1000000L;
    return clock_settime(CLOCK_REALTIME, &ts) == 0 ? 0 : errno;
}

} // namespace vantle
