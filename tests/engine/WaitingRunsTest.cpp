// Runs that wait for mains power or a network, and runs at start-up, on the fake clock.
#include "support/ScheduleRun.h"

using namespace vantle;
using namespace vantle::test;

namespace {

using TLines = std::vector<std::string>;

class WaitingRunsTest : public TScheduleRunTest {};

// On battery the due run waits, logged and shown once, and starts at the first cycle on
// mains; the waiting is no failure.
TEST_F(WaitingRunsTest, ADueRunWaitsOnBatteryAndStartsWhenMainsComes) {
    Load("OnlyOnACPower=Yes\r\n");
    std::vector<TRunEvent> events;
    Configure = [&](TSchedulerServices& services) {
        services.OnRunEvent = [&](const TRunEvent& event) {
            if (event.Kind != TRunEvent::Records)
                events.push_back(event);
        };
    };
    Fake.Conditions.Mains = false;
    Start();
    CycleAt(2, 30);
    CycleAt(2, 31);
    EXPECT_TRUE(Fake.Starter.Requests.empty());
    EXPECT_EQ(LogWith("waits"), TLines{"Sync waits: on battery"});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, TRunEvent::Waiting);
    EXPECT_EQ(events[0].Text, "on battery");
    ASSERT_NE(Scheduler->Waiting().Find("Sync"), nullptr);

    Fake.Conditions.Mains = true;
    CycleAt(2, 32);
    EndLast(0);
    EXPECT_EQ(Marks(), TLines{"schedule 1/1 Exited 0"});
    EXPECT_EQ(LogWith("which waited"),
              TLines{"Running Sync, due at 2026.06.10 02.30, which waited: on battery"});
    EXPECT_TRUE(Scheduler->Waiting().Empty());
    EXPECT_EQ(Told, TLines{});
}

// Only an explicit limit gives up: recorded "Not run", told once, never retried; a later
// due run in place of a waiting one leaves no record.
TEST_F(WaitingRunsTest, AWaitLimitRecordsNotRunOnceAndALaterDueRunReplacesTheWait) {
    Load("OnlyWithNetwork=Yes\r\nWaitLimit=10\r\nRetries=2\r\n", "30,35 2 * * *");
    Fake.Conditions.Network = false;
    Start();
    for (int minute = 30; minute <= 50; ++minute)
        CycleAt(2, minute);
    EXPECT_TRUE(Fake.Starter.Requests.empty());
    EXPECT_EQ(Marks(), TLines{"schedule 1/3 Not run: no network"});
    EXPECT_EQ(Told, TLines{"Sync not run: no network"});
    EXPECT_EQ(LogWith("not run"), TLines{"Sync not run: no network"});
    EXPECT_TRUE(Scheduler->Retries().Pending().empty());
    EXPECT_TRUE(Scheduler->Waiting().Empty());
}

// A catch-up waits for the network as a due run does, and the wait survives a restart.
TEST_F(WaitingRunsTest, ACatchUpWaitsForTheNetworkAcrossARestart) {
    Load("OnlyWithNetwork=Yes\r\nCatchUp=Yes\r\n", "0 1 * * *");
    Start();
    CycleAt(0, 30);
    Fake.Conditions.Network = false;
    Day = 11;
    CycleAt(7, 40); // the laptop wakes, missed 01:00, the network not up yet
    EXPECT_TRUE(Fake.Starter.Requests.empty());
    Scheduler.reset();
    Start();
    CycleAt(7, 41);
    EXPECT_TRUE(Fake.Starter.Requests.empty());
    Fake.Conditions.Network = true;
    CycleAt(7, 42);
    EXPECT_EQ(Marks(), TLines{"catch-up 1/1 "});
    EXPECT_EQ(LogWith("waits"), TLines{"Sync waits: no network"});
}

// Execute Now ignores conditions; start-up runs once per switch-on, a minute after it,
// also when the entry's fields never match; never for a single cycle.
TEST_F(WaitingRunsTest, StartUpRunsOncePerSwitchOnAndExecuteNowIgnoresConditions) {
    Load("AtStart=Yes\r\nOnlyOnACPower=Yes\r\n", "0 0 31 2 *");
    Fake.Conditions.Mains = false;
    Fake.Clock.Set(EncodeDate(2026, 6, 10) + EncodeTime(2, 29, 30, 0));
    Start();
    Scheduler->ExecuteEntry(0);
    EndLast(0);
    Fake.Conditions.Mains = true;
    CycleAt(2, 30); // 35 s after the switch-on: too soon
    CycleAt(2, 31);
    EndLast(0);
    CycleAt(2, 32);
    Scheduler->SetEnabled(false);
    Scheduler->SetEnabled(true);
    CycleAt(2, 33);
    CycleAt(2, 34);
    EndLast(0);
    CycleAt(2, 35);
    EXPECT_EQ(Marks(), (TLines{"Execute Now 1/1 Exited 0", "start-up 1/1 Exited 0",
                               "start-up 1/1 Exited 0"}));
    EXPECT_EQ(LogWith("start-up"),
              (TLines{"Running Sync at start-up", "Running Sync at start-up"}));

    Configure = [](TSchedulerServices& services) { services.StartUpRuns = false; };
    Scheduler.reset();
    Start();
    CycleAt(2, 50);
    EXPECT_EQ(Marks().size(), 3u);
}

} // namespace
