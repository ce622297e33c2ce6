#include "platform/DateTime.h"
#include "platform/ExecutablePath.h"
#include "platform/SysErrors.h"

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

// Names with and without an extension are changed in the scheduler's and the end to end
// tests.
TEST(ExecutablePath, ChangesOnlyTheFileNamesExtension) {
    EXPECT_EQ(ChangeFileExt("/opt/app.d/sched", ".LOG"), "/opt/app.d/sched.LOG");
}
