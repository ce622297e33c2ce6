#include "platform/Clock.h"

#include <cmath>

namespace vantle {

TDateTime TSystemClock::Now() const {
    std::timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return LocalDateTimeOf(ts);
}

TClock& SystemClock() {
    static TSystemClock clock;
    return clock;
}

TDateTime LocalDateTimeOf(const std::timespec& ts) {
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                      static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime LocalToUtc(TDateTime local) {
    TDateParts date = DecodeDate(local);
    TTimeParts time = DecodeTime(local);
    std::tm tm{};
    tm.tm_year = date.Year - 1900;
    tm.tm_mon = date.Month - 1;
    tm.tm_mday = date.Day;
    tm.tm_hour = time.Hour;
    tm.tm_min = time.Minute;
    tm.tm_sec = time.Second;
    tm.tm_isdst = -1; // let the zone rules decide
    std::time_t t = mktime(&tm);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return EncodeDate(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday) +
           EncodeTime(utc.tm_hour, utc.tm_min, utc.tm_sec, time.MSec);
}

} // namespace vantle
