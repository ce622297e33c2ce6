// Every run recorded, through real starts of the suite's helper, and read back the way a
// user reads it: `vantle-schedctl history`. A process of its own: becoming a subreaper
// lasts for life.
#include "engine/RunStore.h"
#include "engine/Scheduler.h"
#include "platform/ChildWatch.h"
#include "platform/ProgramStarterPosix.h"
#include "support/FakeServices.h"
#include "support/ReapAll.h"
#include "support/SchedCtlRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class HistoryCommandTest : public testing::Test {
protected:
    HistoryCommandTest() {
        setenv("XDG_STATE_HOME", Dir.File("state").c_str(), 1);
        Fake.ExecutablePath = Dir.File("jobs.exe");
        Fake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0));
        List.SetFileName(Schedule);
        Store.emplace(TRunStore::FolderOf(ProcessEnvironment()), Schedule, TRunStoreMode::Writer);
        // Keys numbered from 1, as history lists them.
        Recorder.emplace(TRunStore::FolderOf(ProcessEnvironment()), Schedule,
                         TRunRecorderOptions{.MakeKey = [this] { return ++LastKey; }});
    }

    TSchedulerServices Services() {
        TSchedulerServices services = Fake.Services();
        services.Starter = &Starter;
        services.Recorder = &*Recorder;
        return services;
    }

    /// Everything the scheduler handed over is in the store.
    void Written() { ASSERT_TRUE(Recorder->Flush(10'000)); }

    TTempDir Dir;
    std::string Schedule = Dir.File("jobs.INI");
    TFakeServices Fake;
    TPosixProgramStarter Starter;
    TSchedList List;
    std::optional<TRunStore> Store;
    std::int64_t LastKey = 0;
    std::optional<TRunRecorder> Recorder;
};

// A program that writes to both streams and ends with 3, one killed by a signal, one
// that is not there and a clock setting without a network: each a record with what
// happened, the output kept in the order written, Execute Now told apart.
TEST_F(HistoryCommandTest, EveryRunIsRecordedWithItsOutput) {
    TChildWatch::BlockChildSignal();
    TChildWatch children;
    WriteFile(Schedule,
              ScheduleText({{.Name = "Loud", .Command = VANTLE_ENDHELPER, .Parms = "print 3"},
                            {.Name = "Killed", .Command = VANTLE_ENDHELPER, .Parms = "signal 9"},
                            {.Name = "Missing", .Command = Dir.File("no-such-program")},
                            {.Name = "Clock", .Type = ctBuiltinResetTime}}));
    TScheduler scheduler(List, Services());
    scheduler.SetEnabled(true);
    List.Load();
    scheduler.RunCycle();
    scheduler.ExecuteEntry(0);
    ReapAll(scheduler, children);
    // A run the user stops is told apart from one that something else killed.
    List.Items(1).Parms = "sleep 60000";
    scheduler.ExecuteEntry(1);
    EXPECT_FALSE(scheduler.StopRun(1)); // over already
    EXPECT_TRUE(scheduler.StopRun(6));
    EXPECT_EQ(Fake.LogLines.back(), "Killed stopped by the user");
    ReapAll(scheduler, children);
    Written();
    EXPECT_EQ(Store->Run(6)->Result, "Stopped by the user");

    TRun all = SchedCtl({"history", "--count", "6", "--since", "2026-12-07 02:30", Schedule});
    EXPECT_EQ(all.Code, 0) << all.Err;
    // How a run was started comes last, so scripts reading the columns by place still work.
    EXPECT_EQ(all.Out,
              "2026-12-07 02:30:05\tLoud\tExited 3\t0.0 s\t1\tschedule\n"
              "2026-12-07 02:30:05\tKilled\tKilled by signal 9\t0.0 s\t2\tschedule\n"
              "2026-12-07 02:30:05\tMissing\tFailed: file not found (2)\t0.0 s\t3\tschedule\n"
              "2026-12-07 02:30:05\tClock\tNo network connection\t0.0 s\t4\tschedule\n"
              "2026-12-07 02:30:05\tLoud\tExited 3\t0.0 s\t5\tExecute Now\n"
              "2026-12-07 02:30:05\tKilled\tStopped by the user\t0.0 s\t6\tExecute Now\n");
    EXPECT_EQ(SchedCtl({"history", "--output", "1", Schedule}).Out, "out\nerr\nout again\n");
    EXPECT_EQ(SchedCtl({"history", "--entry", "Loud", "--count", "1", Schedule}).Out,
              "2026-12-07 02:30:05\tLoud\tExited 3\t0.0 s\t5\tExecute Now\n");
    EXPECT_EQ(Store->Run(5)->Trigger, TRunTrigger::ExecuteNow);
    EXPECT_EQ(Store->Run(1)->Trigger, TRunTrigger::Schedule);
    EXPECT_TRUE(Store->Run(3)->Failure) << "a program that could not start failed";
    EXPECT_EQ(SchedCtl({"history", "--failed", "--since", "2026-12-07 02:31", Schedule}).Out, "");
    EXPECT_EQ(SchedCtl({"history", "--output", "9", Schedule}).Code, 2);
    EXPECT_EQ(SchedCtl({"history", "--count", "1000000", Schedule}).Code, 0) << "the most";
    EXPECT_EQ(SchedCtl({"history", "--count", "1000001", Schedule}).Code, 2);
}

// Output past the running cap is dropped and, of what is left, the end is kept; the store
// keeps the newest runs only; a run that a killed scheduler left open is closed by the
// next one.
TEST_F(HistoryCommandTest, CapsHoldAndOpenRunsAreClosedAtTheNextStart) {
    TChildWatch::BlockChildSignal();
    TChildWatch children;
    WriteFile(
        Schedule,
        ScheduleText({{.Name = "Loud", .Command = VANTLE_ENDHELPER, .Parms = "print 0"},
                      {.Name = "Long", .Command = VANTLE_ENDHELPER, .Parms = "sleep 60000"}}));
    TSchedulerServices services = Services();
    services.OutputCap = 8; // "out\nerr\n"
    services.OutputKeep = 4;
    services.KeptRuns = 2;
    int longPid = 0;
    services.OnRunEvent = [&](const TRunEvent& event) {
        if (event.Name == "Long" && event.Pid > 0)
            longPid = event.Pid;
    };
    {
        TScheduler scheduler(List, services);
        scheduler.SetEnabled(true);
        List.Load();
        scheduler.ExecuteEntry(0);
        scheduler.ExecuteEntry(0);
        ReapAll(scheduler, children);
        Written();
        std::optional<TStoredRun> cut = Store->Run(2);
        ASSERT_TRUE(cut);
        EXPECT_TRUE(cut->OutputCut);
        EXPECT_EQ(cut->OutputBytes, 18u);
        std::string output = Store->ReadOutput(2);
        EXPECT_NE(output.find("left out"), std::string::npos) << output;
        EXPECT_EQ(output.substr(output.size() - 4), "err\n") << output;
        scheduler.RunCycle(); // starts both; the newest two are kept, open ones included
        Written();
        ASSERT_GT(longPid, 0);
        EXPECT_FALSE(Store->Run(1));
        EXPECT_TRUE(Store->Run(2)) << "the entry's latest good run stays";
        // The scheduler dies here without learning how its programs end.
        ::kill(longPid, SIGKILL);
        while (::waitpid(-1, nullptr, 0) > 0) {
        }
    }
    Store.emplace(TRunStore::FolderOf(ProcessEnvironment()), Schedule, TRunStoreMode::Writer);
    TScheduler next(List, Services());
    Written();
    TRunQuery query;
    query.Name = "Long";
    std::vector<TStoredRun> runs = Store->Runs(query);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Result, EndedUnwatchedResult);
}

} // namespace

namespace {

std::string OutputFileIn(const std::string& folder) {
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
        if (item.is_regular_file() && item.path().parent_path().filename() == "outputs")
            return item.path().string();
    return "";
}

// --keep-mb counts megabytes of 2^20 bytes: 700 KiB of output fits in one, 1.1 MiB does not.
TEST(HistoryKeptBytes, KeepMbCountsMegabytesOfTwoToTheTwentieth) {
    TTempDir dir;
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    const std::string schedule = dir.File("jobs.INI");
    WriteFile(schedule,
              ScheduleText({{.Name = "Loud", .Command = VANTLE_ENDHELPER, .Parms = "print 0"}}));
    auto runAgain = [&] {
        std::filesystem::remove(dir.File("jobs.STATE")); // the same minute again
        TRun r = SchedCtl({"run", "--once", "--wait", "10", "--keep-mb", "1", schedule});
        EXPECT_EQ(r.Code, 0) << r.Err;
    };
    auto runsOnRecord = [&] {
        std::string out = SchedCtl({"history", schedule}).Out;
        return std::count(out.begin(), out.end(), '\n');
    };
    runAgain();
    const std::string first = OutputFileIn(dir.File("state"));
    ASSERT_FALSE(first.empty());
    auto append = [&](std::size_t bytes) {
        std::ofstream(first, std::ios::app) << std::string(bytes, 'y');
    };
    append(700 << 10);
    runAgain();
    EXPECT_EQ(runsOnRecord(), 2);
    append(430 << 10);
    runAgain();
    EXPECT_EQ(runsOnRecord(), 2) << "the first run is over the megabyte";
    EXPECT_FALSE(std::filesystem::exists(first));
}

// Before anything was recorded: the list is empty, but a run asked for by its number is
// not there, whatever its number (the scheduler's keys are long).
TEST(HistoryWithoutRecords, AskingForARunsOutputFails) {
    TTempDir dir;
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    const std::string schedule = dir.File("jobs.INI");
    TRun list = SchedCtl({"history", schedule});
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_EQ(list.Out, "");
    for (const char* run : {"5", "1860000000000012345"}) {
        TRun output = SchedCtl({"history", "--output", run, schedule});
        EXPECT_EQ(output.Code, 2) << run;
        EXPECT_NE(output.Err.find("no runs have been recorded yet"), std::string::npos)
            << output.Err;
    }
}

} // namespace
