#include "engine/DateTimeFormat.h"

#include <gtest/gtest.h>

using namespace vantle;

namespace {

struct TPatternCase {
    const char* Pattern;
    const char* Expected;
    int Hour = 14;
};

class DateTimeFormatTest : public testing::TestWithParam<TPatternCase> {};

// Thursday, 15 March 2001, at the case's hour, 05:09.123.
TEST_P(DateTimeFormatTest, FormatsThePattern) {
    const TPatternCase& c = GetParam();
    TDateTime value = EncodeDate(2001, 3, 15) + EncodeTime(c.Hour, 5, 9, 123);
    EXPECT_EQ(FormatDateTime(c.Pattern, value, FixedFormatSettings()), c.Expected)
        << "pattern " << c.Pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Specifiers, DateTimeFormatTest,
    testing::Values(

        TPatternCase{"d/m/y yy yyy", "15/3/01 01 2001"}, TPatternCase{"YYYY-MM-DD", "2001-03-15"},
        TPatternCase{"ddd dddd aaa aaaa", "Thu Thursday Thu Thursday"},
        TPatternCase{"mmm mmmm", "Mar March"}, TPatternCase{"ddddd", "3/15/2001"},
        TPatternCase{"dddddd", "Thursday, March 15, 2001"},
        TPatternCase{"h:n:s hh:nn:ss", "14:5:9 14:05:09"}, TPatternCase{"hhh", "14"},
        TPatternCase{"z zz zzz zzzz", "123 123 123 123"},
        TPatternCase{"t|tt", "2:05 PM|2:05:09 PM"}, TPatternCase{"c", "3/15/2001 12:05:09 AM", 0},
        TPatternCase{"ge", "2001"},
        // "m" right after an "h" is the minute, whatever stands between them.
        TPatternCase{"hh:mm", "14:05"}, TPatternCase{"hh 'x' mm", "14 x 05"},
        TPatternCase{"hh dd mm", "14 15 03"}, TPatternCase{"mm/dd hh", "03/15 14"},
        // A marker after the hour turns it to a 12-hour clock; 0 and 12 both show 12.
        TPatternCase{"hh AM/PM", "02 PM"}, TPatternCase{"h Am/pM", "2 pM"},
        TPatternCase{"h a/p", "2 p"}, TPatternCase{"h A/P", "12 A", 0},
        TPatternCase{"h am/pm", "12 pm", 12}, TPatternCase{"h am/pm", "11 am", 11},
        TPatternCase{"h ampm", "2 PM"}, TPatternCase{"h ampm", "12 AM", 0},
        // The marker belongs to the nearest hour before it; quoted markers do not count.
        TPatternCase{"h:nn 'at' h am/pm", "14:05 at 2 pm"}, TPatternCase{"h 'am/pm'", "14 am/pm"},
        TPatternCase{"am/pm h", "pm 14"},
        // Quoted text is copied without its quotes; other characters as they are.
        TPatternCase{"\"yyyy\" yyyy", "yyyy 2001"}, TPatternCase{"'d''m'", "dm"},
        TPatternCase{"'open", "open"}, TPatternCase{"[x] #1 @", "[x] #1 @"}));

TEST(DateTimeFormat, TakesSeparatorsAndNamesFromTheSettings) {
    TFormatSettings s = FixedFormatSettings();
    s.DateSeparator = '.';
    s.TimeSeparator = '-';
    s.ShortDateFormat = "dd/mm/yyyy";
    s.LongTimeFormat = "hh:nn:ss";
    s.LongMonthNames[2] = "Maerz";
    s.TimeAMString = "vorm.";
    TDateTime value = EncodeDate(2001, 3, 15) + EncodeTime(9, 5, 9, 0);
    EXPECT_EQ(FormatDateTime("dd/mm hh:nn", value, s), "15.03 09-05");
    EXPECT_EQ(FormatDateTime("c", value, s), "15.03.2001 09-05-09");
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2001, 3, 15), s), "15.03.2001");
    EXPECT_EQ(FormatDateTime("mmmm, h ampm", value, s), "Maerz, 9 vorm.");
    // A setting that names itself is stopped.
    s.ShortDateFormat = "d ddddd";
    EXPECT_EQ(FormatDateTime("ddddd", EncodeDate(2001, 3, 15), s), "15 ");
}

} // namespace
