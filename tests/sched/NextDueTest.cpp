#include "sched/NextDue.h"

#include <gtest/gtest.h>

#include <memory>

namespace vantle {
namespace {

TSchedule Entry(const std::string& name, const std::string& minutes, const std::string& hours,
                const std::string& days, const std::string& months, const std::string& weekDays,
                bool active = true) {
    TSchedule entry;
    entry.Name = name;
    entry.Minutes = minutes;
    entry.Hours = hours;
    entry.Days = days;
    entry.Months = months;
    entry.WeekDays = weekDays;
    entry.Active = active;
    return entry;
}

TDateTime At(int year, int month, int day, int hour, int minute) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

TEST(NextDueMomentsTest, CountsFromTheMinuteAfterAndIgnoresTheActiveFlag) {
    TSchedule nightly = Entry("n", "30", "2", "*", "*", "*", false);
    EXPECT_EQ(NextDueMoments(nightly, At(2026, 12, 6, 2, 30) + EncodeTime(0, 0, 40, 0), 2),
              (std::vector<TDateTime>{At(2026, 12, 7, 2, 30), At(2026, 12, 8, 2, 30)}));
    EXPECT_TRUE(
        NextDueMoments(Entry("x", "0", "0", "31", "4", "*"), At(2026, 1, 1, 0, 0), 3).empty());
}

TEST(UpcomingRunsTest, MergesEntriesInTimeOrderWithTiesInListOrder) {
    TSchedule hourly = Entry("hourly", "0", "*", "*", "*", "*");
    TSchedule half = Entry("half", "0,30", "1", "*", "*", "*");
    TSchedule off = Entry("off", "*", "*", "*", "*", "*", false);
    TSchedule never = Entry("never", "0", "0", "30", "2", "*");
    std::vector<const TSchedule*> entries{&hourly, &off, &half, &never};
    std::vector<TUpcomingRun> runs =
        UpcomingRuns(entries, At(2026, 12, 6, 0, 0), At(2026, 12, 6, 2, 0), 500);
    std::vector<std::pair<TDateTime, std::size_t>> got;
    for (const TUpcomingRun& run : runs)
        got.emplace_back(run.Moment, run.Index);
    std::vector<std::pair<TDateTime, std::size_t>> expected{{At(2026, 12, 6, 0, 0), 0},
                                                            {At(2026, 12, 6, 1, 0), 0},
                                                            {At(2026, 12, 6, 1, 0), 2},
                                                            {At(2026, 12, 6, 1, 30), 2}};
    EXPECT_EQ(got, expected); // 02:00 is the end, left out
}

TEST(UpcomingRunsTest, StopsAtTheLimit) {
    TSchedule every = Entry("every", "*", "*", "*", "*", "*");
    std::vector<const TSchedule*> entries(3, &every);
    std::vector<TUpcomingRun> runs =
        UpcomingRuns(entries, At(2026, 12, 6, 0, 0), At(2026, 12, 13, 0, 0), 500);
    ASSERT_EQ(runs.size(), 500u);
    EXPECT_EQ(runs.back().Moment, At(2026, 12, 6, 2, 46)); // 167 minutes of three each
    EXPECT_EQ(runs.back().Index, 1u);
}

} // namespace
} // namespace vantle
