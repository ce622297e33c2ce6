#include "platform/WallTimer.h"

#include "platform/Clock.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>
#include <sys/timerfd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TArmCase {
    const char* Zone;
    const char* Now; // UTC "YYYY-MM-DD hh:mm:ss.zzz"
    const char* Next;
    const char* AfterTick = nullptr; // UTC; the same as Next when left out
};

std::timespec Utc(const std::string& text) {
    auto n = [&](std::size_t at, std::size_t count) { return std::stoi(text.substr(at, count)); };
    return InstantOfUtc(EncodeDate(n(0, 4), n(5, 2), n(8, 2)) +
                        EncodeTime(n(11, 2), n(14, 2), n(17, 2), n(20, 3)));
}

class ArmTest : public testing::TestWithParam<TArmCase> {};

TEST_P(ArmTest, WaitsForFiveSecondsPastAMinuteOfTheLocalClock) {
    TZoneGuard zone(GetParam().Zone);
    std::timespec now = Utc(GetParam().Now);
    std::timespec next = NextCycleAt(now);
    std::timespec afterTick = CycleOfNextMinute(now);
    EXPECT_EQ(next.tv_sec, Utc(GetParam().Next).tv_sec);
    EXPECT_EQ(afterTick.tv_sec,
              Utc(GetParam().AfterTick ? GetParam().AfterTick : GetParam().Next).tv_sec);
    EXPECT_EQ(next.tv_nsec, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, ArmTest,
    testing::Values(TArmCase{"UTC", "2026-12-06 12:00:02.300", "2026-12-06 12:00:05.000",
                             "2026-12-06 12:01:05.000"},
                    TArmCase{"UTC", "2026-12-06 12:00:05.000", "2026-12-06 12:01:05.000"},
                    TArmCase{"UTC", "2026-12-31 23:59:59.999", "2027-01-01 00:00:05.000"},
                    // Half an hour off UTC: still :05 on the local clock.
                    TArmCase{"Asia/Kolkata", "2026-12-06 06:29:30.000", "2026-12-06 06:30:05.000"},
                    // Across Berlin's spring and autumn changes (01:00 UTC both).
                    TArmCase{"Europe/Berlin", "2026-03-29 00:59:30.000", "2026-03-29 01:00:05.000"},
                    TArmCase{"Europe/Berlin", "2026-10-25 00:59:30.000",
                             "2026-10-25 01:00:05.000"}));

TEST(WallTimer, FiresAtTheMomentAndNeverBefore) {
    TWallTimer timer;
    for (int ahead : {-1000, 0, 30}) {
        std::timespec at = InstantOfUtc(UtcDateTimeOf(SystemClock().UtcNow()) + ahead / 864e5);
        timer.ArmAt(at);
        pollfd wait{timer.Fd(), POLLIN, 0};
        ASSERT_EQ(poll(&wait, 1, 5000), 1);
        std::timespec woke = SystemClock().UtcNow();
        EXPECT_EQ(timer.Read(), TWallTimer::TWake::Fired);
        EXPECT_GE(MSecsBetween(at, woke), 0) << "woke early, " << ahead << " ms ahead";
        EXPECT_EQ(timer.Read(), TWallTimer::TWake::Nothing);
    }
    timer.ArmAt(NextCycleAt(SystemClock().UtcNow()));
    timer.Disarm();
    pollfd wait{timer.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&wait, 1, 50), 0);
}

// Without cancel-on-set a clock set back leaves the timer waiting out the step, and
// the scheduler silent that long. The kernel shows the flags of the last arming, so
// this needs no clock to be set.
TEST(WallTimer, IsArmedOnTheWallClockAndEndsItsWaitWhenTheClockIsSet) {
    TWallTimer timer;
    timer.ArmAt(NextCycleAt(SystemClock().UtcNow()));
    std::ifstream info("/proc/self/fdinfo/" + std::to_string(timer.Fd()));
    std::optional<int> clock, flags;
    for (std::string line; std::getline(info, line);) {
        if (line.starts_with("clockid:"))
            clock = std::stoi(line.substr(8));
        if (line.starts_with("settime flags:"))
            flags = std::stoi(line.substr(14), nullptr, 8);
    }
    if (!clock || !flags)
        GTEST_SKIP() << "this kernel does not show a timer's flags in /proc/self/fdinfo";
    EXPECT_EQ(*clock, CLOCK_REALTIME);
    EXPECT_EQ(*flags & TFD_TIMER_ABSTIME, TFD_TIMER_ABSTIME);
    EXPECT_EQ(*flags & TFD_TIMER_CANCEL_ON_SET, TFD_TIMER_CANCEL_ON_SET);
}

} // namespace
