#include "sched/Schedule.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

TSchedule Entry(const std::string& time, bool active = true) {
    return *test::EntryOf({.Time = time, .Active = active});
}

TDateTime At(int year, int month, int day, int hour, int minute, int second = 0) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

struct TDueCase {
    const char* What;
    TSchedule Entry;
    TDateTime Moment;
    bool Due;
};

class IsDueTest : public ::testing::TestWithParam<TDueCase> {};

TEST_P(IsDueTest, FollowsAllFiveFields) {
    const TDueCase& c = GetParam();
    EXPECT_EQ(IsDue(c.Entry, c.Moment), c.Due) << c.What;
    EXPECT_EQ(IsDue(c.Entry, SplitMoment(c.Moment)), c.Due) << c.What;
}

// 2024-09-13 is a Friday; 2024-09-01 a Sunday.
INSTANTIATE_TEST_SUITE_P(
    Edges, IsDueTest,
    ::testing::Values(
        TDueCase{"inactive", Entry("* * * * *", false), At(2024, 9, 13, 2, 30), false},
        TDueCase{"02:30:59", Entry("30 2 * * *"), At(2024, 9, 13, 2, 30, 59), true},
        TDueCase{"02:31", Entry("30 2 * * *"), At(2024, 9, 13, 2, 31), false},
        TDueCase{"14:30", Entry("30 2 * * *"), At(2024, 9, 13, 14, 30), false},
        TDueCase{"Sunday is 0", Entry("* * * * 0"), At(2024, 9, 1, 12, 0), true},
        TDueCase{"Friday 13th", Entry("* * 13 * 5"), At(2024, 9, 13, 8, 0), true},
        TDueCase{"13th not Friday", Entry("* * 13 * 5"), At(2024, 8, 13, 8, 0), false},
        TDueCase{"Friday not 13th", Entry("* * 13 * 5"), At(2024, 9, 20, 8, 0), false},
        TDueCase{"empty field", Entry("* *  * *"), At(2024, 9, 13, 2, 30), false}));

} // namespace
} // namespace vantle
