#include "platform/DateTime.h"
#include "platform/ExecutablePath.h"
#include "platform/SysErrors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <tuple>

using namespace vantle;

struct DateCase {
    int Year, Month, Day;
    double Serial;
    int WeekDay; // from Sunday, 0
};

class DateRoundTrip : public testing::TestWithParam<DateCase> {};

TEST_P(DateRoundTrip, EncodesAndDecodes) {
    const DateCase& c = GetParam();
    EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Serial);
    TDateParts parts = DecodeDate(c.Serial);
    EXPECT_EQ(std::tie(parts.Year, parts.Month, parts.Day), std::tie(c.Year, c.Month, c.Day));
    EXPECT_EQ(WeekDayOf(c.Serial), c.WeekDay);
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, DateRoundTrip,
    testing::Values(DateCase{1899, 12, 30, 0, 6}, DateCase{1900, 1, 1, 2, 1},
                    DateCase{2000, 2, 29, 36585, 2}, DateCase{2001, 3, 15, 36965, 4},
                    DateCase{1, 1, 1, -693593, 1}, DateCase{9999, 12, 31, 2958465, 5},
                    DateCase{1899, 12, 29, -1, 5}, DateCase{1899, 12, 24, -6, 0}));

// The messages are checked where they reach the user: expansion and the server's time.
TEST(DateTime, RefusesImpossibleDatesAndTimes) {
    for (auto [year, month, day] :
         {std::array{2001, 2, 29}, std::array{0, 1, 1}, std::array{10000, 1, 1},
          std::array{2001, 13, 1}, std::array{2001, 0, 1}})
        EXPECT_THROW(EncodeDate(year, month, day), EConvertError)
            << year << "-" << month << "-" << day;
    for (auto [hour, minute] : {std::array{24, 0}, std::array{0, 60}})
        EXPECT_THROW(EncodeTime(hour, minute, 0, 0), EConvertError);
}

TEST(DateTime, DecodesTimeRoundedToTheMillisecond) {
    TDateTime value = EncodeDate(2001, 3, 15) + EncodeTime(23, 59, 59, 999);
    TTimeParts t = DecodeTime(value);
    EXPECT_EQ(std::tie(t.Hour, t.Minute, t.Second, t.MSec), std::make_tuple(23, 59, 59, 999));
    // A value a hair short of midnight belongs to the next day, not to 23:59:59.999.
    TDateTime almost = EncodeDate(2001, 3, 16) - 1e-12;
    EXPECT_EQ(DecodeDate(almost).Day, 16);
    EXPECT_EQ(DecodeTime(almost).Hour, 0);
}

TDateTime At(int year, int month, int day, int hour = 14, int minute = 5, int second = 9) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

TEST(DateTime, StepsTheClockToTheMillisecond) {
    EXPECT_EQ(IncMinutes(At(2001, 3, 15, 23, 59, 30), 1), At(2001, 3, 16, 0, 0, 30));
    EXPECT_EQ(IncSeconds(At(2001, 3, 16, 0, 0, 2), -5), At(2001, 3, 15, 23, 59, 57));
    EXPECT_EQ(ToMSecs(IncMSecs(At(2001, 3, 15), -500)), ToMSecs(At(2001, 3, 15)) - 500);
    // Before 30 December 1899 the count is negative; a step still moves by its length.
    EXPECT_EQ(ToMSecs(IncMinutes(-0.25, -1)), ToMSecs(-0.25) - MSecsPerMinute);
}

struct TCalendarStep {
    const char* Name;
    TDateTime (*Step)(TDateTime, int);
    int Count;
    TDateTime From, To;
};

class CalendarSteps : public testing::TestWithParam<TCalendarStep> {};

TEST_P(CalendarSteps, CutTheDayToTheTargetMonthAndKeepTheTime) {
    const TCalendarStep& c = GetParam();
    EXPECT_EQ(c.Step(c.From, c.Count), c.To);
}

TDateTime LastDay(TDateTime value, int) {
    return LastDayOfMonth(value);
}
TDateTime FirstDay(TDateTime value, int) {
    return FirstDayOfMonth(value);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CalendarSteps,
    testing::Values(
        TCalendarStep{"MonthIntoFebruary", IncMonths, 1, At(2001, 1, 31), At(2001, 2, 28)},
        TCalendarStep{"MonthIntoLeapFebruary", IncMonths, 1, At(2000, 1, 31), At(2000, 2, 29)},
        TCalendarStep{"MonthKeepsTheTime", IncMonths, 1, At(2001, 1, 31, 23, 59, 59),
                      At(2001, 2, 28, 23, 59, 59)},
        // Into a February of the other leap-year kind than the start's year.
        TCalendarStep{"TwoMonthsIntoNextYear", IncMonths, 2, At(2003, 12, 31), At(2004, 2, 29)},
        TCalendarStep{"ThirteenMonths", IncMonths, 13, At(2000, 1, 31), At(2001, 2, 28)},
        TCalendarStep{"ThirteenMonthsBack", IncMonths, -13, At(2004, 3, 31), At(2003, 2, 28)},
        TCalendarStep{"FourYearsFromLeapDay", IncYears, 4, At(2000, 2, 29), At(2004, 2, 29)},
        TCalendarStep{"LastDayOfLeapFebruary", LastDay, 0, At(2000, 2, 10), At(2000, 2, 29)},
        TCalendarStep{"LastDayOf1900sFebruary", LastDay, 0, At(1900, 2, 10), At(1900, 2, 28)},
        TCalendarStep{"FirstDayKeepsTheTime", FirstDay, 0, At(2001, 3, 15, 23, 0, 0),
                      At(2001, 3, 1, 23, 0, 0)}),
    [](const testing::TestParamInfo<TCalendarStep>& info) { return info.param.Name; });

TEST(DateTime, CalendarStepsRaiseOutsideTheYears1To9999) {
    for (auto [months, years] : {std::array{0, 1}, std::array{0, -8000}, std::array{0, 8000},
                                 std::array{96000, 0}, std::array{-24000, 0}}) {
        auto step = [&] {
            return months != 0 ? IncMonths(At(2000, 2, 29), months)
                               : IncYears(At(2000, 2, 29), years);
        };
        EXPECT_THAT(step, testing::ThrowsMessage<EConvertError>("Invalid argument to date encode"))
            << months << " months, " << years << " years";
    }
    EXPECT_EQ(IncYears(At(9998, 12, 31), 1), At(9999, 12, 31));
    EXPECT_EQ(IncMonths(At(1, 2, 28), -1), At(1, 1, 28));
}

// Names with and without an extension are changed in the scheduler's and the end to end
// tests.
TEST(ExecutablePath, ChangesOnlyTheFileNamesExtension) {
    EXPECT_EQ(ChangeFileExt("/opt/app.d/sched", ".LOG"), "/opt/app.d/sched.LOG");
}
