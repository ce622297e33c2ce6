// Retries and failure commands on the fake clock: programs "end" when the test says so.
#include "engine/FailureWatch.h"
#include "engine/Scheduler.h"

#include "support/ScheduleRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class RetriesTest : public TScheduleRunTest {};

TEST_F(RetriesTest, AFlakyRunFailingTwiceIsTriedAgainUntilItWorksAndNothingIsTold) {
    Load("Retries=3\r\n");
    Start();
    CycleAt(2, 30);
    EndLast(1);
    CycleAt(2, 34); // not yet: five minutes
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
    CycleAt(2, 35);
    EndLast(2);
    CycleAt(2, 40);
    EndLast(0);
    CycleAt(2, 45);
    EXPECT_EQ(Marks(),
              (TLines{"schedule 1/4 Exited 1", "retry 2/4 Exited 2", "retry 3/4 Exited 0"}));
    EXPECT_EQ(LogWith("Retrying"), (TLines{"Retrying Sync in 5 minutes (attempt 2 of 4)",
                                           "Retrying Sync in 5 minutes (attempt 3 of 4)"}));
    EXPECT_EQ(LogWith("again"), (TLines{"Running Sync again (attempt 2 of 4)",
                                        "Running Sync again (attempt 3 of 4)"}));
    EXPECT_EQ(Told, TLines{});
    EXPECT_TRUE(Scheduler->Failures().empty());
}

// The last try's failure is told once; the failure command gets the run's details and the
// end of its output; "works again" at the next good run runs the recovery command.
TEST_F(RetriesTest, TheLastFailureIsToldOnceAndRunsTheFailureCommandWithTheRun) {
    Load("Retries=3\r\nRetryDelay=1\r\nOnRecovery=/opt/ok \"all good\"\r\n");
    DefaultOnFailure = "/opt/mail -s 'Sync failed' admin";
    Start();
    CycleAt(2, 30);
    for (int minute = 31; minute <= 33; ++minute) {
        EndLast(3);
        EXPECT_EQ(Told, TLines{});
        CycleAt(2, minute);
    }
    EndLast(4, std::string(70'000, 'x') + "disk full\n");
    EXPECT_EQ(Told, TLines{"Sync ended with code 4"});
    ASSERT_EQ(Fake.Starter.Extras.size(), 1u);
    const TStartRequest mail = Fake.Starter.Requests.back();
    EXPECT_EQ(mail.File, "/opt/mail");
    EXPECT_EQ(mail.Parameters, "-s 'Sync failed' admin");
    const std::int64_t record = LastRecord();
    EXPECT_EQ(Fake.Starter.Extras[0].Environment,
              (TLines{"VANTLE_ENTRY=Sync", "VANTLE_RESULT=Exited 4",
                      "VANTLE_RUN=" + std::to_string(record), "VANTLE_TRIGGER=retry",
                      "VANTLE_ATTEMPT=4", "VANTLE_SCHEDULE=" + List.FileName()}));
    const std::string input = Fake.Starter.Inputs[0];
    EXPECT_EQ(input.size(), 64u * 1024);
    EXPECT_TRUE(input.ends_with("xdisk full\n"));
    // The command is no run of the entry: not recorded, never retried, logged.
    EXPECT_EQ(Runs().size(), 4u);
    CycleAt(2, 35);
    EXPECT_EQ(Fake.Starter.Requests.size(), 5u);
    const int mailPid = Fake.Starter.Pid;
    ASSERT_TRUE(Scheduler->ProgramEnded(mailPid, false, 0));
    EXPECT_EQ(LogWith("failure command"),
              (TLines{"Running the failure command of Sync (/opt/mail)",
                      "The failure command of Sync ended with code 0"}));

    // The next day's run works: told, and the recovery command runs.
    Fake.Clock.Set(EncodeDate(2026, 6, 11) + EncodeTime(2, 30, 5, 0));
    Scheduler->RunCycle();
    EndLast(0);
    EXPECT_EQ(Told, (TLines{"Sync ended with code 4", "Sync works again"}));
    EXPECT_EQ(Fake.Starter.Requests.back().File, "/opt/ok");
    EXPECT_EQ(Fake.Starter.Requests.back().Parameters, "'all good'");
    EXPECT_EQ(Fake.Starter.Extras.back().Environment[1], "VANTLE_RESULT=works again");
}

// A pending retry gives way: to the entry's next due run, to a change of the entry, and
// to a due minute that passed while the machine slept.
TEST_F(RetriesTest, APendingRetryGivesWayToTheNextDueRunAndToAChange) {
    Load("Retries=2\r\nRetryDelay=10\r\n", "30,35,50 2 * * *");
    Start();
    CycleAt(2, 30);
    EndLast(1);
    CycleAt(2, 35); // due again before the retry's 02:40: a new run, a new budget
    EXPECT_EQ(Marks().back(), "schedule 1/3 ");
    EndLast(1);
    EXPECT_EQ(Scheduler->Retries().Pending().at("Sync").Due % 60, 45);
    Load("Retries=2\r\nRetryDelay=10\r\n", "30,35,51 2 * * *");
    CycleAt(2, 36);
    EXPECT_TRUE(Scheduler->Retries().Pending().empty());

    Load("Retries=2\r\nRetryDelay=2\r\n", "0 * * * *");
    CycleAt(3, 0);
    EndLast(1);
    CycleAt(4, 1); // slept over 03:02 and over the next due 04:00
    EXPECT_EQ(Marks().back(), "schedule 1/3 ");
    EXPECT_EQ(LogWith("again"), TLines{});
}

// A retry is kept in the state file: a scheduler started again takes it up.
TEST_F(RetriesTest, APendingRetrySurvivesARestart) {
    Load("Retries=1\r\n");
    Start();
    CycleAt(2, 30);
    EndLast(1);
    CycleAt(2, 31);
    Scheduler.reset();
    Start();
    CycleAt(2, 36);
    EXPECT_EQ(Marks().back(), "retry 2/2 ");
}

// Without run records an end writes no state: the retry it leaves pending is kept when
// the scheduler ends.
TEST_F(RetriesTest, APendingRetryWithoutRecordsIsKeptAtTheEnd) {
    Load("Retries=1\r\n");
    Configure = [](TSchedulerServices& services) { services.Recorder = nullptr; };
    Start();
    CycleAt(2, 30);
    ASSERT_TRUE(Scheduler->ProgramEnded(Fake.Starter.Pid, false, 1));
    Scheduler.reset();
    Start();
    CycleAt(2, 35);
    EXPECT_EQ(LogWith("again"), TLines{"Running Sync again (attempt 2 of 2)"});
}

// An attempt that meets the entry's run still going, with Overlap=Skip, is recorded
// "Skipped" and ends the chain; a catch-up is one due run with one budget.
TEST_F(RetriesTest, ASkippedAttemptEndsTheChainAndACatchUpHasOneBudget) {
    Load("Retries=2\r\nRetryDelay=1\r\nOverlap=Skip\r\n");
    Start();
    CycleAt(2, 30);
    EndLast(1);
    Scheduler->ExecuteEntry(0); // still running at the retry's minute
    CycleAt(2, 31);
    EXPECT_EQ(Marks().back(), "retry 2/3 Skipped");
    EXPECT_TRUE(Scheduler->Retries().Pending().empty());
    EndLast(0);

    Load("Retries=1\r\nRetryDelay=1\r\nCatchUp=Yes\r\n", "0 1 * * *");
    Fake.Clock.Set(EncodeDate(2026, 6, 11) + EncodeTime(9, 0, 5, 0));
    Scheduler->RunCycle();
    EndLast(1);
    Fake.Clock.Set(EncodeDate(2026, 6, 11) + EncodeTime(9, 1, 5, 0));
    Scheduler->RunCycle();
    EndLast(1);
    TLines marks = Marks();
    EXPECT_EQ(TLines(marks.end() - 2, marks.end()),
              (TLines{"catch-up 1/2 Exited 1", "retry 2/2 Exited 1"}));
    EXPECT_EQ(Told.back(), "Sync ended with code 1");
}

// A failure command that cannot start is logged each time and told once, and tried again
// at the entry's next told failure; an Execute Now is never retried.
TEST_F(RetriesTest, AFailureCommandThatFailsIsToldOnceAndTriedAgainNextTime) {
    Load("OnFailure=/opt/mail\r\nRetries=5\r\n");
    Start();
    const std::string failed = "The failure command of Sync could not start: file not found (2)";
    for (int time = 0; time < 2; ++time) {
        Fake.Starter.Result = SE_ERR_FNF;
        Scheduler->ExecuteEntry(0); // could not start, told, never retried
        EXPECT_EQ(News, TLines{failed}) << "told at once, and once";
        Fake.Starter.Result = SE_START_ACCEPTED;
        Scheduler->ExecuteEntry(0);
        EndLast(0); // works again
    }
    EXPECT_EQ(LogWith("failure command"),
              (TLines{"Running the failure command of Sync (/opt/mail)", failed,
                      "Running the failure command of Sync (/opt/mail)", failed}));
    EXPECT_EQ(News, TLines{failed});
    EXPECT_TRUE(Scheduler->Retries().Pending().empty());
}

} // namespace
