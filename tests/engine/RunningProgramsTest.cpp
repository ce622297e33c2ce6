// The programs the scheduler follows: stops and time limits through the signals seam,
// what a dry run plays, what the state file is given.
#include "engine/RunningPrograms.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class TRecordingSignals : public TProcessSignals {
public:
    bool SignalProgram(int pid, int signal) override {
        Sent.emplace_back(pid, signal);
        return Delivered;
    }
    std::vector<std::pair<int, int>> Sent;
    bool Delivered = true;
};

class RunningProgramsTest : public testing::Test {
protected:
    RunningProgramsTest() { Fake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0)); }

    void Pass(std::int64_t seconds) { Fake.Clock.Advance(seconds / 86400.0); }
    std::int64_t Now() const { return Fake.Clock.RunNanos(); }

    TTempDir Dir;
    TFakeServices Fake;
    TTestLog Log{Dir.File("jobs.LOG"), Fake};
    TRecordingSignals Signals;
    TRunningPrograms Programs{Fake.Clock, Signals, Log};
};

constexpr std::int64_t Second = 1'000'000'000;

// The user's stop: SIGTERM to the group now, SIGKILL once after ten seconds, and nothing
// for a run that is not running here or a program that could not be signalled.
TEST_F(RunningProgramsTest, AStopTerminatesThenKillsOnceAfterTheGrace) {
    Programs.Start(41, {.Name = "Other", .Record = 6});
    Programs.Start(42, {.Name = "Job", .Record = 7});
    EXPECT_FALSE(Programs.Stop(8));
    EXPECT_FALSE(Programs.Stop(0)) << "a run without a record is never one asked for";
    EXPECT_EQ(Programs.NextOverdue(), std::nullopt);
    Signals.Delivered = false;
    EXPECT_FALSE(Programs.Stop(7));
    EXPECT_EQ(Programs.NextOverdue(), std::nullopt) << "not stopped, so no SIGKILL due";
    Signals.Delivered = true;
    EXPECT_TRUE(Programs.Stop(7));
    EXPECT_EQ(Fake.LogLines.back(), "Job stopped by the user");
    const std::int64_t stopped = Now();
    EXPECT_EQ(Programs.NextOverdue(), stopped + 10 * Second);
    Pass(9);
    Programs.KillOverdue();
    Pass(1);
    Programs.KillOverdue();
    Programs.KillOverdue();
    EXPECT_EQ(Signals.Sent,
              (std::vector<std::pair<int, int>>{{42, SIGTERM}, {42, SIGTERM}, {42, SIGKILL}}));
    EXPECT_EQ(Programs.NextOverdue(), std::nullopt);
    std::optional<TRunningProgram> ended = Programs.TakeEnded(42);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->ByUser);
    EXPECT_FALSE(Programs.TakeEnded(42));
}

// A limit counts running time from the start; past it, SIGTERM and the log's line, and
// SIGKILL ten seconds on, as for a stop, but not by the user.
TEST_F(RunningProgramsTest, ATimeLimitStopsTheRunOnceItIsPast) {
    Programs.Start(42, {.Name = "Job", .TimeLimit = 1});
    const std::int64_t started = Now();
    EXPECT_EQ(Programs.NextOverdue(), started + 60 * Second);
    Pass(59);
    Programs.KillOverdue();
    EXPECT_TRUE(Signals.Sent.empty());
    Pass(1);
    Programs.KillOverdue();
    EXPECT_EQ(Fake.LogLines.back(), "Job stopped after 1 minute (time limit)");
    EXPECT_EQ(Programs.NextOverdue(), started + 70 * Second);
    Pass(10);
    Programs.KillOverdue();
    EXPECT_EQ(Signals.Sent, (std::vector<std::pair<int, int>>{{42, SIGTERM}, {42, SIGKILL}}));
    EXPECT_FALSE(Programs.TakeEnded(42)->ByUser);
}

// What overlaps and the state file see: the running run of an entry, the runs with a
// record, and in a dry run a played start until its time (its limit at most).
TEST_F(RunningProgramsTest, OverlapsAndTheStateFileSeeWhatRuns) {
    EXPECT_FALSE(Programs.HasStarted());
    Programs.Start(42, {.Name = "Job", .Record = 7});
    Programs.Start(43, {.Name = "Plain"});
    ASSERT_NE(Programs.RunningOf("Job"), nullptr);
    EXPECT_EQ(Programs.RunningOf("Job")->first, 42);
    EXPECT_EQ(Programs.RunningOf("Job")->second.Started, Fake.Clock.Now());
    EXPECT_EQ(Programs.RunningOf("Nobody"), nullptr);
    EXPECT_TRUE(Programs.HasStarted());
    std::vector<TStartedRun> runs = Programs.StartedRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Run.Id, 7);
    EXPECT_EQ(runs[0].Run.Name, "Job");

    const TDateTime start = Fake.Clock.Now();
    Programs.Play("Long", 90 * 60'000, 60); // its limit ends it first
    Programs.Play("Short", 30'000, 0);
    // Moments a second off the ends: the clock's days are not exact to the millisecond.
    Pass(29);
    EXPECT_EQ(Programs.PlayedRunning("Short", Fake.Clock.Now()), start);
    Pass(2);
    EXPECT_EQ(Programs.PlayedRunning("Short", Fake.Clock.Now()), std::nullopt);
    Pass(60 * 60 - 1 - 31);
    EXPECT_EQ(Programs.PlayedRunning("Long", Fake.Clock.Now()), start);
    Pass(2);
    EXPECT_EQ(Programs.PlayedRunning("Long", Fake.Clock.Now()), std::nullopt);
    EXPECT_EQ(Programs.PlayedRunning("Unplayed", Fake.Clock.Now()), std::nullopt);
}

// A run an earlier scheduler started is followed only while its process lives, and only
// once.
TEST_F(RunningProgramsTest, AnInheritedRunIsFollowedOnlyWhileItRuns) {
    TStoredRun run;
    run.Id = 9;
    run.Name = "Old";
    run.Process = IdentifyProcess(::getpid()); // this test runs, so it lives
    ASSERT_TRUE(run.Process);
    TStartedRun kept{.Run = run, .StartedBootNs = 5, .StartedRunNs = 6, .TimeLimit = 3};
    ASSERT_TRUE(Programs.Inherit(run, kept));
    EXPECT_FALSE(Programs.Inherit(run, kept));
    EXPECT_FALSE(Programs.HasStarted()) << "not a program this scheduler started";
    EXPECT_FALSE(Programs.TakeEnded(::getpid())) << "its end comes from the watch";
    EXPECT_EQ(Programs.NextOverdue(), 6 + 3 * 60 * Second);
    // One an older program started, which the state file did not name: its start on the
    // boot clock stands in, and it has no limit.
    TStoredRun older = run;
    older.Id = 10;
    older.Process = IdentifyProcess(::getppid());
    ASSERT_TRUE(older.Process);
    ASSERT_TRUE(Programs.Inherit(older, std::nullopt));
    const std::int64_t bootNs =
        std::int64_t(older.Process->StartTicks) * (Second / ::sysconf(_SC_CLK_TCK));
    int seen = 0;
    for (const TStartedRun& kept : Programs.StartedRuns()) {
        if (kept.Run.Id != 10)
            continue;
        ++seen;
        EXPECT_EQ(kept.StartedBootNs, bootNs);
        EXPECT_EQ(kept.StartedRunNs, Now() - (Fake.Clock.BootNanos() - bootNs));
        EXPECT_EQ(kept.TimeLimit, 0);
    }
    EXPECT_EQ(seen, 1);
    TStoredRun gone = run;
    gone.Process->StartTicks += 1; // another process that had the pid before
    gone.Process->Pid = 1 << 22;
    EXPECT_FALSE(Programs.Inherit(gone, std::nullopt));
}

} // namespace

namespace {

// The state file kept while the scheduler runs: the older name read when the new one is
// missing, ended runs kept until written, and a failure kept once and never raised.
TEST(StateKeeperTest, ReadsWritesAndKeepsTheFailureToBeToldOnce) {
    TTempDir dir;
    const std::string path = dir.File("jobs.STATE"), older = dir.File("vantle.STATE");
    TSchedulerState state;
    state.Latest = LocalMinuteOf(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 0, 0));
    WriteFile(older, StateText(state));
    TStateKeeper keeper(true);
    EXPECT_EQ(keeper.Read(path, older).Latest, state.Latest);
    EXPECT_TRUE(keeper.Written());

    TStartedRun ended;
    ended.Run.Id = 5;
    ended.Run.Name = "Ended";
    keeper.KeepEnded(ended);
    TStartedRun running;
    running.Run.Id = 6;
    running.Run.Name = "Running";
    state.Runs = {running};
    keeper.Write(path, state, nullptr); // without a recorder, nothing ended is kept
    EXPECT_EQ(ParseState(ReadFile(path)).Runs.size(), 1u);

    TStateKeeper off(false);
    EXPECT_EQ(off.Read(path, older).Latest, std::nullopt);
    off.Write(dir.File("off.STATE"), state, nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir.File("off.STATE")));

    keeper.Write(dir.File("missing/jobs.STATE"), state, nullptr);
    EXPECT_FALSE(keeper.Written());
    keeper.Write(dir.File("missing/again.STATE"), state, nullptr);
    std::optional<EInOutError> error = keeper.TakeError();
    ASSERT_TRUE(error);
    EXPECT_FALSE(keeper.TakeError()) << "told once";
    keeper.Write(path, state, nullptr);
    EXPECT_TRUE(keeper.Written());
}

} // namespace
