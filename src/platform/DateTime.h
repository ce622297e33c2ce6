// The shared date-time value: days since 30 December 1899, the fraction being the
// time of day. Every value in the system is local time unless a name says UTC.
#pragma once

#include <cstdint>

namespace vantle {

using TDateTime = double;

constexpr std::int64_t MSecsPerDay = 86400000;

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

} // namespace vantle
