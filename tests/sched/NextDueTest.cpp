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
    std::vector<std::string> Next; // "MM-DD hh:mm"
};

class DueFinderZoneTest : public testing::TestWithParam<TZoneCase> {};

// The clock never shows a minute of the spring gap, so no run is promised there; the
// repeated autumn hour is one and the same local hour.
TEST_P(DueFinderZoneTest, LeavesOutTheMinutesTheClockSkips) {
    test::TZoneGuard zone(GetParam().Zone);
    TSchedule entry = *test::EntryOf({.Time = GetParam().Time});
    std::vector<std::string> next;
    for (TDateTime moment :
         TDueFinder(entry).Next(GetParam().From, static_cast<int>(GetParam().Next.size())))
        next.push_back(Text(moment));
    EXPECT_EQ(next, GetParam().Next);
}

INSTANTIATE_TEST_SUITE_P(Changes, DueFinderZoneTest,
                         testing::Values(TZoneCase{"HourlyInBerlinSpring",
                                                   "Europe/Berlin",
                                                   "0 * * * *",
                                                   At(2026, 3, 29, 0, 30),
                                                   {"03-29 01:00", "03-29 03:00", "03-29 04:00"}},
                                         // The gap takes the day's last candidate but one.
                                         TZoneCase{"TwoTimesInBerlinSpring",
                                                   "Europe/Berlin",
                                                   "30 2,3 * * *",
                                                   At(2026, 3, 29, 0, 30),
                                                   {"03-29 03:30", "03-30 02:30", "03-30 03:30"}},
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
                                         TZoneCase{"EveryMinuteAcrossBerlinSpring",
                                                   "Europe/Berlin",
                                                   "* * * * *",
                                                   At(2026, 3, 29, 1, 58),
                                                   {"03-29 01:59", "03-29 03:00", "03-29 03:01"}},
                                         TZoneCase{"NightlyInBerlinSpring",
                                                   "Europe/Berlin",
                                                   "30 2 * * *",
                                                   At(2026, 3, 28, 3, 0),
                                                   {"03-30 02:30", "03-31 02:30"}},
                                         TZoneCase{"HourlyInBerlinAutumn",
                                                   "Europe/Berlin",
                                                   "0 * * * *",
                                                   At(2026, 10, 25, 0, 30),
                                                   {"10-25 01:00", "10-25 02:00", "10-25 03:00"}}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vantle
