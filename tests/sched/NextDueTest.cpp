#include "sched/NextDue.h"

#include "support/TestFiles.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vantle {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

// "MM-DD hh:mm", enough to read a failure by.
std::string Text(TDateTime moment) {
    TDateParts date = DecodeDate(moment);
    TTimeParts time = DecodeTime(moment);
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d %02d:%02d", date.Month, date.Day, time.Hour,
                  time.Minute);
    return text;
}

TEST(DueFinderTest, CountsFromTheMinuteAfterAndIgnoresTheActiveFlag) {
    TSchedule nightly = *test::EntryOf({.Time = "30 2 * * *", .Active = false});
    EXPECT_EQ(TDueFinder(nightly).Next(At(2026, 12, 6, 2, 30) + EncodeTime(0, 0, 40, 0), 2),
              (std::vector<TDateTime>{At(2026, 12, 7, 2, 30), At(2026, 12, 8, 2, 30)}));
}

struct TZoneCase {
    const char* Name;
    const char* Zone;
    const char* Time;
    TDateTime From;
    std::vector<std::string> Next; // "MM-DD hh:mm", "+" after a second reading
    bool FromAgain = false;        // From is in the second reading of a repeated hour
};

void PrintTo(const TZoneCase& row, std::ostream* out) {
    *out << row.Name;
}

class DueFinderZoneTest : public testing::TestWithParam<TZoneCase> {};

// What the scheduler runs across a change of the clock: a run due in the spring gap
// once, at the first minute after it; in the repeated autumn hour, what runs every
// minute or every hour in both readings, a fixed time once.
TEST_P(DueFinderZoneTest, ListsWhatTheSchedulerRuns) {
    test::TZoneGuard zone(GetParam().Zone);
    TSchedule entry = *test::EntryOf({.Time = GetParam().Time});
    std::vector<std::string> next;
    for (const TDueRun& run : TDueFinder(entry).Runs(
             GetParam().From, static_cast<int>(GetParam().Next.size()), GetParam().FromAgain))
        next.push_back(Text(run.Moment) + (run.Again ? "+" : ""));
    EXPECT_EQ(next, GetParam().Next);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, DueFinderZoneTest,
    testing::Values(TZoneCase{"HourlyInBerlinSpring",
                              "Europe/Berlin",
                              "0 * * * *",
                              At(2026, 3, 29, 0, 30),
                              {"03-29 01:00", "03-29 03:00", "03-29 04:00"}},
                    TZoneCase{"TwoTimesInBerlinSpring",
                              "Europe/Berlin",
                              "30 2,3 * * *",
                              At(2026, 3, 29, 0, 30),
                              {"03-29 03:00", "03-29 03:30", "03-30 02:30"}},
                    TZoneCase{"HourlyInNewYorkSpring",
                              "America/New_York",
                              "0 * * * *",
                              At(2026, 3, 8, 0, 30),
                              {"03-08 01:00", "03-08 03:00", "03-08 04:00"}},
                    TZoneCase{"HourlyInUtc",
                              "UTC",
                              "0 * * * *",
                              At(2026, 3, 29, 0, 30),
                              {"03-29 01:00", "03-29 02:00", "03-29 03:00"}},
                    // Sixty gap minutes and 03:00 itself: one run.
                    TZoneCase{"EveryMinuteAcrossBerlinSpring",
                              "Europe/Berlin",
                              "* * * * *",
                              At(2026, 3, 29, 1, 58),
                              {"03-29 01:59", "03-29 03:00", "03-29 03:01"}},
                    TZoneCase{"NightlyInBerlinSpring",
                              "Europe/Berlin",
                              "30 2 * * *",
                              At(2026, 3, 28, 3, 0),
                              {"03-29 03:00", "03-30 02:30"}},
                    TZoneCase{"LastSundayOfMarchInBerlin",
                              "Europe/Berlin",
                              "30 2 25-31 3 0",
                              At(2026, 1, 1, 0, 0),
                              {"03-29 03:00", "03-28 03:00"}},
                    TZoneCase{"HourlyInBerlinAutumn",
                              "Europe/Berlin",
                              "0 * * * *",
                              At(2026, 10, 25, 0, 30),
                              {"10-25 01:00", "10-25 02:00", "10-25 02:00+", "10-25 03:00"}},
                    TZoneCase{"NightlyInBerlinAutumn",
                              "Europe/Berlin",
                              "30 2 * * *",
                              At(2026, 10, 24, 12, 0),
                              {"10-25 02:30", "10-26 02:30"}},
                    // Both readings of 01:59 come before the second 01:00.
                    TZoneCase{"EveryMinuteOfOneInNewYorkAutumn",
                              "America/New_York",
                              "* 1 * * *",
                              At(2026, 11, 1, 1, 58),
                              {"11-01 01:59", "11-01 01:00+", "11-01 01:01+"}},
                    TZoneCase{"HalfPastInNewYorkAutumn",
                              "America/New_York",
                              "30 * * * *",
                              At(2026, 11, 1, 0, 45),
                              {"11-01 01:30", "11-01 01:30+", "11-01 02:30"}},
                    // Half-hour changes.
                    TZoneCase{"NightlyInLordHoweSpring",
                              "Australia/Lord_Howe",
                              "15 2 * * *",
                              At(2026, 10, 3, 12, 0),
                              {"10-04 02:30", "10-05 02:15"}},
                    TZoneCase{"HourlyInLordHoweAutumn",
                              "Australia/Lord_Howe",
                              "45 * * * *",
                              At(2026, 4, 5, 1, 0),
                              {"04-05 01:45", "04-05 01:45+", "04-05 02:45"}},
                    // Samoa left out 30 December 2011: too wide a jump to catch up on.
                    TZoneCase{"ADayLeftOutInApia",
                              "Pacific/Apia",
                              "0 12 * * *",
                              At(2011, 12, 29, 13, 0),
                              {"12-31 12:00", "01-01 12:00"}},
                    // The clock at 01:40 in the first reading, and in the second.
                    TZoneCase{"HalfPastFromTheFirstReading",
                              "America/New_York",
                              "30 * * * *",
                              At(2026, 11, 1, 1, 40),
                              {"11-01 01:30+", "11-01 02:30"}},
                    TZoneCase{"HalfPastFromTheSecondReading",
                              "America/New_York",
                              "30 * * * *",
                              At(2026, 11, 1, 1, 40),
                              {"11-01 02:30", "11-01 03:30"},
                              true},
                    TZoneCase{"EveryMinuteFromTheSecondReading",
                              "America/New_York",
                              "* * * * *",
                              At(2026, 11, 1, 1, 58),
                              {"11-01 01:59+", "11-01 02:00"},
                              true}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vantle
