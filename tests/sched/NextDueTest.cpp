#include "sched/NextDue.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

TSchedule Entry(const std::string& time, bool active = true) {
    return *test::EntryOf({.Time = time, .Active = active});
}

TDateTime At(int year, int month, int day, int hour, int minute) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

TEST(NextDueMomentsTest, CountsFromTheMinuteAfterAndIgnoresTheActiveFlag) {
    TSchedule nightly = Entry("30 2 * * *", false);
    EXPECT_EQ(NextDueMoments(nightly, At(2026, 12, 6, 2, 30) + EncodeTime(0, 0, 40, 0), 2),
              (std::vector<TDateTime>{At(2026, 12, 7, 2, 30), At(2026, 12, 8, 2, 30)}));
}

// The order of the runs, and what is left out, is tested through vantle-schedctl upcoming.
TEST(UpcomingRunsTest, StopsAtTheLimit) {
    TSchedule every = Entry("* * * * *");
    std::vector<const TSchedule*> entries(3, &every);
    std::vector<TUpcomingRun> runs =
        UpcomingRuns(entries, At(2026, 12, 6, 0, 0), At(2026, 12, 13, 0, 0), 500);
    ASSERT_EQ(runs.size(), 500u);
    EXPECT_EQ(runs.back().Moment, At(2026, 12, 6, 2, 46)); // 167 minutes of three each
    EXPECT_EQ(runs.back().Index, 1u);
}

} // namespace
} // namespace vantle
