// The shared date-time value: days since 30 December 1899, the fraction being the
// time of day. Every value in the system is local time unless a name says UTC.
#pragma once

#include <cstdint>

namespace vantle {

using TDateTime = double;

constexpr std::int64_t MSecsPerSecond = 1000;
constexpr std::int64_t MSecsPerMinute = 60 * MSecsPerSecond;
constexpr std::int64_t MSecsPerHour = 60 * MSecsPerMinute;
constexpr std::int64_t MSecsPerDay = 24 * MSecsPerHour;
constexpr std::int64_t MinutesPerDay = 24 * 60;

/// Raises EConvertError "Invalid argument to date encode" for a date outside 1..9999
/// or a day the month does not have.
TDateTime EncodeDate(int year, int month, int day);
/// Raises EConvertError "Invalid argument to time encode" outside 0:00:00.000..23:59:59.999.
TDateTime EncodeTime(int hour, int minute, int second, int msec);

struct TDateParts {
    int Year = 0, Month = 0, Day = 0;
};
struct TTimeParts {
    int Hour = 0, Minute = 0, Second = 0, MSec = 0;
};

/// Both decoders round the value to the nearest millisecond first, so 0.9999999 of a
/// day never shows up as 23:59:59.999 plus a stray rounding error.
TDateParts DecodeDate(TDateTime value);
TTimeParts DecodeTime(TDateTime value);
/// 0 for Sunday to 6 for Saturday.
int WeekDayOf(TDateTime value);
/// The date part alone (midnight of the value's day).
TDateTime DateOf(TDateTime value);
/// Milliseconds since 30 December 1899 00:00, rounded; the exact form of a value.
std::int64_t ToMSecs(TDateTime value);
TDateTime FromMSecs(std::int64_t msecs);
/// `a` / `b` rounded towards minus infinity (times before the epoch are negative).
std::int64_t FloorDiv(std::int64_t a, std::int64_t b);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

/// Steps of the clock, exact to the millisecond, with no calendar check.
TDateTime IncMSecs(TDateTime value, std::int64_t msecs);
TDateTime IncSeconds(TDateTime value, std::int64_t seconds);
TDateTime IncMinutes(TDateTime value, std::int64_t minutes);

/// Calendar steps keep the time of day and raise EConvertError "Invalid argument to
/// date encode" for a date outside the years 1 to 9999. A month step cuts the day down
/// to the target month's length (31 January + 1 month is 28 or 29 February); a year
/// step from 29 February into a common year raises.
TDateTime IncMonths(TDateTime value, int months);
TDateTime IncYears(TDateTime value, int years);
TDateTime FirstDayOfMonth(TDateTime value);
TDateTime LastDayOfMonth(TDateTime value);

} // namespace vantle
