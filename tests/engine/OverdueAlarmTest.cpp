// The overdue alarm: silence noticed, told once, cleared by a good run.
#include "support/ScheduleRun.h"

using namespace vantle;
using namespace vantle::test;

namespace {

using TLines = std::vector<std::string>;

class OverdueAlarmTest : public TScheduleRunTest {};

// A good run two days old with AlertAfter=24: told once through the failure channels
// (the failure command with "overdue"), not every cycle; cleared by the next good run.
TEST_F(OverdueAlarmTest, AnEntryWithoutAGoodRunForTooLongIsToldOnceUntilItRunsWell) {
    Load("AlertAfter=24\r\nOnFailure=/opt/alert\r\n");
    Day = 8;
    Start();
    CycleAt(2, 30);
    EndLast(0);
    Day = 10; // the machine was off, the runs of the 9th and 10th missed
    CycleAt(3, 0);
    CycleAt(3, 1);
    EXPECT_EQ(Told, TLines{"Sync has not run well for 48 hours"});
    EXPECT_EQ(LogWith("not run well"), TLines{"Sync has not run well for 48 hours"});
    EXPECT_TRUE(Scheduler->Overdue("Sync"));
    ASSERT_EQ(Fake.Starter.Extras.size(), 1u);
    EXPECT_EQ(Fake.Starter.Extras[0].Environment[1], "VANTLE_RESULT=overdue");
    ASSERT_TRUE(Scheduler->ProgramEnded(Fake.Starter.Pid, false, 0));

    Scheduler->ExecuteEntry(0);
    EndLast(0);
    EXPECT_EQ(Told.back(), "Sync works again");
    EXPECT_FALSE(Scheduler->Overdue("Sync"));
    CycleAt(3, 2);
    EXPECT_EQ(Told.size(), 2u);
}

// Switched off by mistake is the case the alarm is for: an inactive entry, and a scheduler
// switched off, are looked at too; a new entry counts from when it was first seen, and
// the count survives a restart.
TEST_F(OverdueAlarmTest, AnInactiveEntryAndASwitchedOffSchedulerAreWatchedAcrossRestarts) {
    WriteFile(List.FileName(), ScheduleText({{.Name = "Sync",
                                              .Time = "30 2 * * *",
                                              .Active = false,
                                              .Command = "/opt/sync",
                                              .More = "AlertAfter=30\r\n"}}));
    List.Load();
    Start();
    CycleAt(1, 0);
    Scheduler.reset();
    Start();
    Scheduler->SetEnabled(false);
    Day = 11;
    CycleAt(6, 59);
    EXPECT_EQ(Told, TLines{});
    CycleAt(7, 0);
    EXPECT_EQ(Told, TLines{"Sync has not run well for 30 hours"});
}

} // namespace
