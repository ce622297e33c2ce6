#include "sched/TimePreview.h"

#include "sched/LenientFields.h"

#include "support/TestFiles.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantle {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

// What the preview says of an entry with this Time= line, from Sunday 6 December 2026, 12:00.
TTimePreview Preview(const std::string& time) {
    return PreviewTimes(*test::EntryOf({.Time = time}), At(2026, 12, 6, 12, 0), 3);
}

struct TNeverCase {
    const char* Time;
    const char* Reason;
};

class PreviewNeverTest : public ::testing::TestWithParam<TNeverCase> {};

TEST_P(PreviewNeverTest, SaysWhyItNeverRuns) {
    TTimePreview preview = Preview(GetParam().Time);
    EXPECT_TRUE(preview.Next.empty());
    ASSERT_FALSE(preview.Never.empty());
    EXPECT_EQ(preview.Never.front(), GetParam().Reason);
}

// What a new user typed: every one of these was saved without a word.
INSTANTIATE_TEST_SUITE_P(
    Cases, PreviewNeverTest,
    ::testing::Values(
        TNeverCase{"995 * * * *", "Minutes '995' matches no minute (0 to 59)"},
        TNeverCase{"0 25 * * *", "Hours '25' matches no hour (0 to 23)"},
        TNeverCase{"0 0 32-40 * *", "Days '32-40' matches no day of the month (1 to 31)"},
        TNeverCase{"0 0 1 13 *", "Months '13' matches no month (1 to 12)"},
        TNeverCase{"0 0 30 2 *", "no date has Days '30' in Months '2' on WeekDays '*'"}));

// The moments themselves are searched by the due finder, and the entry dialog's preview
// shows them; here the notes, one for each field.
TEST(TimePreviewTest, NotesSayHowTheRulesReadAWord) {
    EXPECT_EQ(Preview("0 3O * * mon").Notes,
              (std::vector<std::string>{"Hours '3O': item '3O' reads as 0",
                                        "WeekDays 'mon': item 'mon' reads as 0"}));
}

// Cron text written by hand reads as something else; the stored form reads as written.
TEST(LenientFieldsTest, ListsEachFieldTheLenientReadingChanges) {
    const struct {
        const char* Time;
        std::vector<std::string> Fields; // as LenientFieldText says them
    } cases[] = {
        {"*/15 9-17 * * mon-fri",
         {"Minutes '*/15' reads as '0'", "WeekDays 'mon-fri' reads as '0'"}},
        {"0,15,30,45 9-17 * * 1-5", {}},
        {"$A 0x2 * * *", {}}, // hex is a number the reading knows
        {"0 3O * jan *", {"Hours '3O' reads as '0'", "Months 'jan' reads as 'nothing'"}},
        {"1,,5 * * * *", {"Minutes '1,,5' reads as '1'"}},
        {"1,, * * * *", {}}, // trailing commas only end the scan
        {"* * * * *,6", {"WeekDays '*,6' reads as '0,6'"}},
        {"5 * 1-3,x * 2-", {"Days '1-3,x' reads as '1-3'", "WeekDays '2-' reads as 'nothing'"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> fields;
        for (const TLenientField& field : LenientFields(*test::EntryOf({.Time = c.Time})))
            fields.push_back(LenientFieldText(field));
        EXPECT_EQ(fields, c.Fields) << c.Time;
    }
}

// The scheduler catches up on a spring gap at the first minute after it, so an entry
// due only in the gap runs once a year; a jump wider than it catches up on never runs.
TEST(TimePreviewTest, NeverOnlyWhenEveryMinuteFallsInAJumpTooWideToCatchUpOn) {
    {
        // 02:00-02:59 on the last Sunday of March does not exist in Berlin.
        test::TZoneGuard zone("Europe/Berlin");
        TTimePreview preview = Preview("* 2 25-31 3 0");
        EXPECT_EQ(preview.Next,
                  (std::vector<TDateTime>{At(2027, 3, 28, 3, 0), At(2028, 3, 26, 3, 0),
                                          At(2029, 3, 25, 3, 0)}));
        EXPECT_TRUE(preview.Never.empty());
    }
    // Four hours ahead from 02:00 on the last Sunday of March.
    test::TZoneGuard zone("AAA0BBB-4,M3.5.0/2,M10.5.0/3");
    TTimePreview preview = Preview("* 2-5 25-31 3 0");
    EXPECT_TRUE(preview.Next.empty());
    ASSERT_EQ(preview.Never.size(), 1u);
    EXPECT_NE(preview.Never.front().find("daylight saving"), std::string::npos);
}

} // namespace
} // namespace vantle
