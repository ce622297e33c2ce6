#include "platform/DateTime.h"

#include "platform/SysErrors.h"

#include <cmath>

namespace vantle {

namespace {

// Day number of 1899-12-30 counted from 0001-01-01 as day 0 (proleptic Gregorian).
constexpr std::int64_t DateDelta = 693593;

// Days since 0001-01-01 (day 0) for a valid date.
std::int64_t DayNumber(int year, int month, int day) {
    std::int64_t days = day - 1;
    for (int m = 1; m < month; ++m)
        days += DaysInMonth(year, m);
    std::int64_t y = year - 1;
    return days + y * 365 + y / 4 - y / 100 + y / 400;
}

TDateParts DateOfDayNumber(std::int64_t n) {
    // Walk 400-, 100-, 4- and 1-year cycles, as the calendar repeats in them.
    constexpr std::int64_t D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
    std::int64_t y = 1;
    y += FloorDiv(n, D400) * 400;
    n -= FloorDiv(n, D400) * D400;
    std::int64_t i = n / D100;
    if (i == 4)
        i = 3;
    y += i * 100;
    n -= i * D100;
    y += (n / D4) * 4;
    n %= D4;
    i = n / D1;
    if (i == 4)
        i = 3;
    y += i;
    n -= i * D1;
    TDateParts parts;
    parts.Year = static_cast<int>(y);
    int month = 1;
    while (n >= DaysInMonth(parts.Year, month)) {
        n -= DaysInMonth(parts.Year, month);
        ++month;
    }
    parts.Month = month;
    parts.Day = static_cast<int>(n) + 1;
    return parts;
}

[[noreturn]] void RaiseDateError() {
    throw EConvertError("Invalid argument to date encode");
}

TDateTime WithTimeOf(TDateTime date, TDateTime timeSource) {
    std::int64_t ms = ToMSecs(timeSource);
    std::int64_t timeOfDay = ms - ToMSecs(DateOf(timeSource));
    return FromMSecs(ToMSecs(date) + timeOfDay);
}

} // namespace

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<TDateTime>(DayNumber(year, month, day) - DateDelta);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return static_cast<TDateTime>(((hour * 60 + minute) * 60 + second) * 1000 + msec) /
           static_cast<TDateTime>(MSecsPerDay);
}

std::int64_t ToMSecs(TDateTime value) {
    return std::llround(value * static_cast<double>(MSecsPerDay));
}

TDateTime FromMSecs(std::int64_t msecs) {
    std::int64_t days = FloorDiv(msecs, MSecsPerDay);
    std::int64_t rest = msecs - days * MSecsPerDay;
    return static_cast<TDateTime>(days) +
           static_cast<TDateTime>(rest) / static_cast<TDateTime>(MSecsPerDay);
}

TDateParts DecodeDate(TDateTime value) {
    return DateOfDayNumber(FloorDiv(ToMSecs(value), MSecsPerDay) + DateDelta);
}

TTimeParts DecodeTime(TDateTime value) {
    std::int64_t ms = ToMSecs(value);
    ms -= FloorDiv(ms, MSecsPerDay) * MSecsPerDay;
    TTimeParts parts;
    parts.MSec = static_cast<int>(ms % 1000);
    ms /= 1000;
    parts.Second = static_cast<int>(ms % 60);
    ms /= 60;
    parts.Minute = static_cast<int>(ms % 60);
    parts.Hour = static_cast<int>(ms / 60);
    return parts;
}

int WeekDayOf(TDateTime value) {
    // 30 December 1899 was a Saturday.
    std::int64_t day = FloorDiv(ToMSecs(value), MSecsPerDay);
    return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

TDateTime DateOf(TDateTime value) {
    return static_cast<TDateTime>(FloorDiv(ToMSecs(value), MSecsPerDay));
}

TDateTime IncMSecs(TDateTime value, std::int64_t msecs) {
    return FromMSecs(ToMSecs(value) + msecs);
}

TDateTime IncSeconds(TDateTime value, std::int64_t seconds) {
    return IncMSecs(value, seconds * MSecsPerSecond);
}

TDateTime IncMinutes(TDateTime value, std::int64_t minutes) {
    return IncMSecs(value, minutes * MSecsPerMinute);
}

TDateTime IncMonths(TDateTime value, int months) {
    TDateParts date = DecodeDate(value);
    std::int64_t year = static_cast<std::int64_t>(date.Year) + months / 12;
    int month = date.Month + months % 12;
    if (month < 1) {
        --year;
        month += 12;
    } else if (month > 12) {
        ++year;
        month -= 12;
    }
    if (year < 1 || year > 9999)
        RaiseDateError();
    int y = static_cast<int>(year);
    int day = date.Day > DaysInMonth(y, month) ? DaysInMonth(y, month) : date.Day;
    return WithTimeOf(EncodeDate(y, month, day), value);
}

TDateTime IncYears(TDateTime value, int years) {
    TDateParts date = DecodeDate(value);
    std::int64_t year = static_cast<std::int64_t>(date.Year) + years;
    if (year < 1 || year > 9999)
        RaiseDateError();
    return WithTimeOf(EncodeDate(static_cast<int>(year), date.Month, date.Day), value);
}

TDateTime FirstDayOfMonth(TDateTime value) {
    TDateParts date = DecodeDate(value);
    return WithTimeOf(EncodeDate(date.Year, date.Month, 1), value);
}

TDateTime LastDayOfMonth(TDateTime value) {
    TDateParts date = DecodeDate(value);
    return WithTimeOf(EncodeDate(date.Year, date.Month, DaysInMonth(date.Year, date.Month)), value);
}

} // namespace vantle
