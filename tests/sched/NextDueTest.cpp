#include "sched/NextDue.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

TEST(DueFinderTest, CountsFromTheMinuteAfterAndIgnoresTheActiveFlag) {
    TSchedule nightly = *test::EntryOf({.Time = "30 2 * * *", .Active = false});
    EXPECT_EQ(TDueFinder(nightly).Next(At(2026, 12, 6, 2, 30) + EncodeTime(0, 0, 40, 0), 2),
              (std::vector<TDateTime>{At(2026, 12, 7, 2, 30), At(2026, 12, 8, 2, 30)}));
}

} // namespace
} // namespace vantle
