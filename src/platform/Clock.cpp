#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace vantle {

namespace {

constexpr std::int64_t UnixEpochDays = 25569; // 1970-01-01 in days since 1899-12-30

std::tm LocalFieldsOf(TDateTime local) {
    TDateParts date = DecodeDate(local);
    TTimeParts time = DecodeTime(local);
    return CalendarFields(date.Year, date.Month, date.Day, time.Hour, time.Minute, time.Second);
}

} // namespace

std::tm CalendarFields(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

std::int64_t TClock::BootNanos() const {
    std::timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t TClock::RunNanos() const {
    std::timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::timespec TClock::UtcNow() const {
    return InstantOfUtc(LocalToUtc(Now()));
}

TDateTime TSystemClock::Now() const {
    std::timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return LocalDateTimeOf(ts);
}

std::timespec TSystemClock::UtcNow() const {
    std::timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts;
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
    std::tm tm = LocalFieldsOf(local);
    tm.tm_isdst = -1; // let the zone rules decide
    std::time_t t = mktime(&tm);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return EncodeDate(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday) +
           EncodeTime(utc.tm_hour, utc.tm_min, utc.tm_sec, DecodeTime(local).MSec);
}

std::vector<std::timespec> LocalReadings(TDateTime local) {
    const std::tm wanted = LocalFieldsOf(local);
    const long nsec = static_cast<long>(DecodeTime(local).MSec) * 1000000L;
    std::vector<std::timespec> readings;
    // mktime resolves a repeated local time by the daylight flag it is given; a guess
    // that lands elsewhere (a time the zone skips) reads back differently and is dropped.
    for (int isDst : {0, 1}) {
        std::tm tm = wanted;
        tm.tm_isdst = isDst;
        std::time_t t = mktime(&tm);
        std::tm back{};
        if (t == static_cast<std::time_t>(-1) || localtime_r(&t, &back) == nullptr)
            continue;
        if (back.tm_year != wanted.tm_year || back.tm_mon != wanted.tm_mon ||
            back.tm_mday != wanted.tm_mday || back.tm_hour != wanted.tm_hour ||
            back.tm_min != wanted.tm_min || back.tm_sec != wanted.tm_sec)
            continue;
        bool known = std::any_of(readings.begin(), readings.end(),
                                 [t](const std::timespec& r) { return r.tv_sec == t; });
        if (!known)
            readings.push_back({t, nsec});
    }
    std::sort(readings.begin(), readings.end(),
              [](const std::timespec& a, const std::timespec& b) { return a.tv_sec < b.tv_sec; });
    return readings;
}

long UtcOffsetAt(const std::timespec& utc) {
    std::tm local{};
    localtime_r(&utc.tv_sec, &local);
    return local.tm_gmtoff;
}

TDateTime UtcDateTimeOf(const std::timespec& ts) {
    std::int64_t msecs = static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    return FromMSecs(UnixEpochDays * MSecsPerDay + msecs);
}

std::timespec InstantOfUtc(TDateTime utc) {
    std::int64_t msecs = ToMSecs(utc) - UnixEpochDays * MSecsPerDay;
    std::int64_t seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
    std::timespec ts{};
    ts.tv_sec = static_cast<std::time_t>(seconds);
    ts.tv_nsec = static_cast<long>((msecs - seconds * 1000) * 1000000);
    return ts;
}

std::int64_t MSecsBetween(const std::timespec& from, const std::timespec& to) {
    std::int64_t ns = (static_cast<std::int64_t>(to.tv_sec) - from.tv_sec) * 1000000000LL +
                      (to.tv_nsec - from.tv_nsec);
    return ns >= 0 ? (ns + 999999) / 1000000 : -((-ns) / 1000000);
}

} // namespace vantle
