// The run loop on the fake clock: which moment each wake arms, that a failing cycle
// still arms the next, that a stop signal ends the loop at once while a started program
// runs on, and the limits it keeps on real programs: a time limit, a skipped overlap. A
// process of its own: becoming a subreaper lasts for life.
#include "engine/RunLoop.h"

#include "platform/ProgramStarterPosix.h"
#include "platform/StopSignals.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <thread>

using namespace vantle;
using namespace vantle::test;

namespace {

class RunLoopTest : public testing::Test {
protected:
    RunLoopTest() {
        List.SetFileName(Dir.File("Sched.INI"));
        WriteFile(List.FileName(), "[Schedule 0]\r\nName=Every\r\nTime=* * * * *\r\n"
                                   "Active=Yes\r\nCommandType=1\r\nCommand=/opt/every\r\n");
        Fake.ExecutablePath = Dir.File("Sched.exe");
        Fake.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 1, 5, 40));
    }

    TRunLoopEvents Events() {
        return {.CycleFinished = [this](std::exception_ptr error) { Outcomes.push_back(error); },
                .ReapFailed = nullptr,
                .Stopped = [this](int signal) { Signals.push_back(signal); }};
    }

    // What is left until the loop's wake for `source`; zero: disarmed.
    static itimerspec Armed(TRunLoop& loop, TRunLoop::TSource source) {
        itimerspec armed{};
        for (const TRunLoop::TWatch& watch : loop.Watches()) {
            if (watch.Source == source) {
                EXPECT_EQ(::timerfd_gettime(watch.Fd, &armed), 0);
            }
        }
        return armed;
    }

    // An entry NAME limited to a minute, running the helper with PARMS for real, started by
    // the loop's first tick; the first start and the latest other event are kept.
    struct TLimitedRun {
        TLimitedRun(RunLoopTest& test, const std::string& name, const std::string& parms,
                    std::uint64_t outputCap = 0)
            : Folder(test.Dir.File("runs")), Schedule(test.List.FileName()),
              Recorder(Folder, Schedule) {
            WriteFile(test.List.FileName(),
                      "[Schedule 0]\r\nName=" + name +
                          "\r\nTime=* * * * *\r\nActive=Yes\r\nCommandType=1\r\nCommand=" +
                          VANTLE_ENDHELPER + "\r\nParms=" + parms + "\r\nTimeLimit=1\r\n");
            TSchedulerServices services = test.Fake.Services();
            services.Starter = &Starter;
            services.Recorder = &Recorder;
            if (outputCap > 0)
                services.OutputCap = outputCap;
            services.OnRunEvent = [this](const TRunEvent& event) {
                (event.Kind == TRunEvent::Started ? Start : End) = event;
            };
            Scheduler.emplace(test.List, services);
            Scheduler->SetEnabled(true);
            test.List.Load();
            TRunLoopServices loopServices{};
            loopServices.Clock = &test.Fake.Clock;
            loopServices.Children = &Children;
            Loop.emplace(*Scheduler, loopServices, test.Events());
            Loop->Tick();
        }
        std::optional<TStoredRun> Record() {
            EXPECT_TRUE(Recorder.Flush(10'000));
            return TRunStore(Folder, Schedule, TRunStoreMode::Reader).Run(Start.Record);
        }

        std::string Folder, Schedule;
        TChildWatch Children; // after the caller blocked SIGCHLD
        TPosixProgramStarter Starter;
        TRunRecorder Recorder;
        TRunEvent Start, End;
        std::optional<TScheduler> Scheduler;
        std::optional<TRunLoop> Loop;
    };

    // Holds a run's output while it grows: the loop wakes at least once a second (driven here
    // by the fake clock, a tenth of a second a step) and each hold leaves on the disk no more
    // than the cap and what was written since. Steps until `done`, then checks that the run
    // was recorded with all it wrote, cut, and that the file ends at the cap.
    void HoldWhileWritten(TLimitedRun& limited, const std::function<bool()>& done,
                          std::uint64_t cap) {
        TFakeClock& clock = Fake.Clock;
        TScheduler& scheduler = *limited.Scheduler;
        const std::string output = limited.Recorder.Outputs().PathOf(limited.Start.Record);
        const std::uint64_t slack = 64 << 10; // partly filled blocks at either end
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int holds = 0;
        while (!done() && std::chrono::steady_clock::now() < until) {
            std::optional<std::int64_t> hold = scheduler.NextOutputHold();
            ASSERT_TRUE(hold) << "nothing holds the output while it is written";
            ASSERT_LE(*hold - clock.RunNanos(), OutputCapCheckNs);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            clock.Advance(0.1 / 86400);
            struct stat before {
            }, after{};
            ASSERT_EQ(::stat(output.c_str(), &before), 0);
            limited.Loop->FollowLimits();
            ASSERT_EQ(::stat(output.c_str(), &after), 0);
            if (clock.RunNanos() >= *hold) {
                ++holds;
                EXPECT_LE(std::uint64_t(after.st_blocks) * 512,
                          cap + std::uint64_t(after.st_size - before.st_size) + slack)
                    << "hold " << holds << ": " << after.st_size << " bytes written";
            }
            limited.Loop->Handle(TRunLoop::TSource::Children);
        }
        ASSERT_TRUE(done());
        EXPECT_GT(holds, 0);
        std::optional<TStoredRun> run = limited.Record();
        ASSERT_TRUE(run);
        struct stat st {};
        ASSERT_EQ(::stat(output.c_str(), &st), 0);
        EXPECT_TRUE(run->OutputCut);
        EXPECT_GT(run->OutputBytes, cap);
        EXPECT_LE(std::uint64_t(st.st_size), cap);
        EXPECT_LE(std::uint64_t(st.st_blocks) * 512, cap + slack);
    }

    TTempDir Dir;
    TFakeServices Fake;
    TSchedList List;
    std::vector<std::exception_ptr> Outcomes;
    std::vector<int> Signals;
};

// What each wake arms, as the loop's clock reckons it: the next minute's :05 after a
// tick (also one that came a little early), the next :05 to come after a clock step.
TEST_F(RunLoopTest, EachWakeArmsTheRightMomentAndAFailingCycleStillArms) {
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    List.Load();
    TRunLoopServices services{};
    services.Clock = &Fake.Clock;
    TRunLoop loop(scheduler, services, Events());
    loop.Start();
    EXPECT_EQ(loop.Interval(), 1000); // the minute the program starts in still runs

    loop.Tick();
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
    EXPECT_EQ(loop.Interval(), 59960);
    ASSERT_EQ(Outcomes.size(), 1u);
    EXPECT_EQ(Outcomes[0], nullptr);

    Fake.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 2, 4, 999));
    Fake.FailLogFrom = 0; // the cycle raises: its log cannot be written
    loop.Tick();
    EXPECT_TRUE(loop.Armed());
    EXPECT_EQ(loop.Interval(), 60001);
    ASSERT_EQ(Outcomes.size(), 2u);
    EXPECT_THROW(std::rethrow_exception(Outcomes[1]), EInOutError);

    Fake.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 4, 2, 300));
    loop.ClockChanged();
    EXPECT_EQ(loop.Interval(), 2700);
    EXPECT_EQ(Outcomes.size(), 2u); // no cycle on a clock step
    Fake.FailLogFrom = -1;
}

// On the system clock the wake is an absolute moment of the wall clock, armed at once.
TEST_F(RunLoopTest, OnTheSystemClockTheWakeIsArmed) {
    TScheduler scheduler(List, Fake.Services());
    TRunLoop loop(scheduler, {}, Events());
    loop.Start();
    const itimerspec armed = Armed(loop, TRunLoop::TSource::Timer);
    EXPECT_TRUE(armed.it_value.tv_sec == 1 || armed.it_value.tv_nsec > 0);
    EXPECT_LE(armed.it_value.tv_sec, 1);
}

// A time limit with no output to hold (nothing is recorded) arms the wake at the limit.
TEST_F(RunLoopTest, ALimitWithNoOutputToHoldArmsTheWakeAtTheLimit) {
    WriteFile(List.FileName(), "[Schedule 0]\r\nName=Every\r\nTime=* * * * *\r\nActive=Yes\r\n"
                               "CommandType=1\r\nCommand=/opt/every\r\nTimeLimit=2\r\n");
    Fake.Starter.Pid = 4242;
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    List.Load();
    TRunLoopServices services{};
    services.Clock = &Fake.Clock;
    TRunLoop loop(scheduler, services, Events());
    loop.Tick();
    ASSERT_EQ(Fake.Starter.Requests.size(), 1u);
    EXPECT_EQ(scheduler.NextOutputHold(), std::nullopt);
    const itimerspec armed = Armed(loop, TRunLoop::TSource::Limits);
    EXPECT_GT(armed.it_value.tv_sec, 110);
    EXPECT_LE(armed.it_value.tv_sec, 120);
}

// The descriptors carry the wakes: the armed timer runs a cycle through Run, and SIGTERM
// ends Run at once although a program the scheduler started is still running, which
// goes on (it lives in its own session) and is reaped when it ends.
TEST_F(RunLoopTest, AStopSignalEndsTheLoopWhileAProgramRuns) {
    TChildWatch::BlockChildSignal();
    TChildWatch children;
    TPosixProgramStarter starter;
    WriteFile(List.FileName(), "[Schedule 0]\r\nName=Long\r\nTime=* * * * *\r\nActive=Yes\r\n"
                               "CommandType=1\r\nCommand=" VANTLE_ENDHELPER "\r\n"
                               "Parms=sleep 60000\r\n");
    TSchedulerServices services = Fake.Services();
    services.Starter = &starter;
    int started = 0;
    services.OnRunEvent = [&](const TRunEvent& event) {
        if (event.Kind == TRunEvent::Started)
            started = event.Pid;
    };
    TScheduler scheduler(List, services);
    scheduler.SetEnabled(true);
    List.Load();
    TRunLoopEvents events = Events();
    // The first cycle starts the program; the signal comes while it runs.
    events.CycleFinished = [&](std::exception_ptr error) {
        Outcomes.push_back(error);
        raise(SIGTERM);
    };
    TRunLoop loop(scheduler,
                  {.Clock = &Fake.Clock,
                   .Children = &children,
                   .StopFd = WatchStopSignals(),
                   .TakeStop = TakeStopSignal},
                  events);
    loop.ArmAfter(1);
    loop.Run();

    ASSERT_EQ(Outcomes.size(), 1u);
    EXPECT_EQ(Signals, std::vector<int>{SIGTERM});
    EXPECT_TRUE(loop.Stopped());
    EXPECT_FALSE(loop.Armed());
    ASSERT_GT(started, 0);
    EXPECT_EQ(::kill(started, 0), 0) << "the stop took the program with it";
    loop.Handle(TRunLoop::TSource::Timer); // a stopped loop runs no more cycles
    EXPECT_EQ(Outcomes.size(), 1u);

    ::kill(started, SIGKILL);
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(started), &info, WEXITED | WNOWAIT);
    loop.ReapChildren();
    EXPECT_EQ(Fake.LogLines.back().rfind("Long ended by signal 9 after", 0), 0u)
        << Fake.LogLines.back();
}

// A program that ignores SIGTERM, as does the child it leaves: at its limit of running
// time (a suspend not counted) the group gets SIGTERM, 10 s later SIGKILL, and the run
// is recorded as stopped at its limit.
TEST_F(RunLoopTest, ATimeLimitStopsTheWholeGroupAndKillsWhatIgnoresTheStop) {
    TChildWatch::BlockChildSignal();
    TLimitedRun limited(*this, "Stuck", "stubborn 60000");
    TScheduler& scheduler = *limited.Scheduler;
    TRunLoop& loop = *limited.Loop;
    const TRunEvent &start = limited.Start, &end = limited.End;
    ASSERT_GT(start.Pid, 0);
    int child = 0;
    const std::string output = limited.Recorder.Outputs().PathOf(start.Record);
    ASSERT_TRUE(WaitUntil([&] { return (std::ifstream(output) >> child) && child > 0; },
                          std::chrono::seconds(20)));
    const std::int64_t limit = Fake.Clock.RunNanos() + 60'000'000'000;
    auto bothAlive = [&] { return ::kill(start.Pid, 0) == 0 && ::kill(child, 0) == 0; };

    Fake.Clock.Suspend(1.0 / 24); // an hour asleep is no running time
    loop.FollowLimits();
    EXPECT_EQ(scheduler.NextOverdue(), limit);
    Fake.Clock.Advance(59.9 / 86400);
    loop.FollowLimits();
    EXPECT_TRUE(Fake.LogLines.back().starts_with("Executing Stuck"));

    Fake.Clock.Advance(0.1 / 86400);
    loop.FollowLimits();
    EXPECT_EQ(Fake.LogLines.back(), "Stuck stopped after 1 minute (time limit)");
    EXPECT_EQ(scheduler.NextOverdue(), limit + StopGraceNs);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(bothAlive()) << "SIGTERM is ignored";
    Fake.Clock.Advance(9.9 / 86400);
    loop.FollowLimits();
    EXPECT_TRUE(bothAlive());

    Fake.Clock.Advance(0.1 / 86400);
    loop.FollowLimits();
    EXPECT_EQ(scheduler.NextOverdue(), std::nullopt);
    ASSERT_TRUE(WaitUntil(
        [&] {
            loop.ReapChildren();
            return ::kill(child, 0) != 0 && !scheduler.HasRunningPrograms();
        },
        std::chrono::seconds(20)))
        << "the child outlived its group's SIGKILL";
    EXPECT_EQ(end.TimeLimit, 1);
    std::optional<TStoredRun> run = limited.Record();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->Result, "Stopped at time limit");
    EXPECT_TRUE(run->Failure);
}

// A cycle arms the time limit of the programs it starts by itself, and a program that
// ends with code 0 when its limit stops it still did not do its work: a failure.
TEST_F(RunLoopTest, ACycleArmsTheLimitAndAProgramStoppedThereFailsWhateverItsCode) {
    TChildWatch::BlockChildSignal();
    TLimitedRun limited(*this, "Polite", "graceful 60000");
    TScheduler& scheduler = *limited.Scheduler;
    TRunLoop& loop = *limited.Loop;
    const TRunEvent &start = limited.Start, &end = limited.End;
    ASSERT_GT(start.Pid, 0);
    const itimerspec armed = Armed(loop, TRunLoop::TSource::Limits);
    EXPECT_TRUE(armed.it_value.tv_sec > 0 || armed.it_value.tv_nsec > 0)
        << "the wake for the limit is armed by the cycle that started the program";
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadFile(limited.Recorder.Outputs().PathOf(start.Record)) == "ready\n"; },
        std::chrono::seconds(20)));

    Fake.Clock.Advance(60.0 / 86400);
    loop.FollowLimits();
    ASSERT_TRUE(WaitUntil(
        [&] {
            loop.ReapChildren();
            return !scheduler.HasRunningPrograms();
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(end.Kind, TRunEvent::Exited);
    EXPECT_EQ(end.Code, 0);
    std::optional<TStoredRun> run = limited.Record();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->Result, "Stopped at time limit");
    EXPECT_TRUE(run->Failure);
}

// A program that writes as fast as it can against a small cap: a cap held once a
// minute let it fill the disk first.
TEST_F(RunLoopTest, AFastWriterIsHeldToItsCapWhileItWrites) {
    TChildWatch::BlockChildSignal();
    const std::uint64_t cap = 1 << 20;
    TLimitedRun limited(*this, "Flood", "flood 1500", cap);
    ASSERT_GT(limited.Start.Pid, 0);
    EXPECT_EQ(limited.Start.Moment, Fake.Clock.Now()) << "an event is told with its moment";
    HoldWhileWritten(
        limited, [&] { return !limited.Scheduler->HasRunningPrograms(); }, cap);
    EXPECT_EQ(limited.End.Kind, TRunEvent::Exited);
}

// A program that ends at once and leaves a child writing to its output: the record is
// closed at the program's end, the output held to the cap while the session writes, and
// its size is recorded and the file cut once the session has ended.
TEST_F(RunLoopTest, WhatARunLeavesWritingIsHeldToTheCapUntilItsSessionEnds) {
    TChildWatch::BlockChildSignal();
    const std::uint64_t cap = 1 << 20;
    const int blocks = 1500; // 16 KiB each, a millisecond apart
    TLimitedRun limited(*this, "Leaves", "linger " + std::to_string(blocks), cap);
    ASSERT_GT(limited.Start.Pid, 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            limited.Loop->ReapChildren();
            return !limited.Scheduler->HasRunningPrograms();
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(limited.End.Kind, TRunEvent::Exited);
    HoldWhileWritten(
        limited, [&] { return !limited.Scheduler->NextOutputHold(); }, cap);
    std::optional<TStoredRun> run = limited.Record();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->OutputBytes, std::uint64_t(blocks) * 16384);
    EXPECT_EQ(run->Result, "Exited 0");
}

// A program that runs across two due minutes: by default a second copy starts; with
// Overlap=Skip the second minute is skipped and recorded so, also by a scheduler started
// while the first run goes on.
TEST_F(RunLoopTest, AnEntryThatSkipsOverlapsStartsOnceWhileItsRunGoesOn) {
    TChildWatch::BlockChildSignal();
    TChildWatch children;
    TPosixProgramStarter starter;
    for (bool skip : {false, true}) {
        WriteFile(List.FileName(), "[Schedule 0]\r\nName=Long\r\nTime=* * * * *\r\nActive=Yes\r\n"
                                   "CommandType=1\r\nCommand=" VANTLE_ENDHELPER
                                   "\r\nParms=sleep 60000\r\n" +
                                       std::string(skip ? "Overlap=Skip\r\n" : ""));
        TRunStore store(Dir.File(skip ? "skip" : "allow"), List.FileName(), TRunStoreMode::Writer);
        TRunRecorder recorder(Dir.File(skip ? "skip" : "allow"), List.FileName());
        TSchedulerServices services = Fake.Services();
        services.Starter = &starter;
        services.Recorder = &recorder;
        services.KeepState = false;
        std::vector<int> started;
        services.OnRunEvent = [&](const TRunEvent& event) {
            if (event.Kind == TRunEvent::Started)
                started.push_back(event.Pid);
        };
        auto scheduler = std::make_unique<TScheduler>(List, services);
        scheduler->SetEnabled(true);
        List.Load();
        Fake.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 1, 5, 0));
        scheduler->RunCycle();
        Fake.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 2, 5, 0));
        scheduler->RunCycle();
        ASSERT_EQ(started.size(), skip ? 1u : 2u);
        if (skip) {
            const std::string skipped = "Long skipped: the run started at 12.01 is still "
                                        "running (process " +
                                        std::to_string(started[0]) + ")";
            EXPECT_EQ(Fake.LogLines.back(), skipped);
            scheduler = std::make_unique<TScheduler>(List, services);
            ASSERT_TRUE(recorder.Flush(10'000)); // what it learns of the open runs
            scheduler->SetEnabled(true);
            Fake.Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 3, 5, 0));
            scheduler->RunCycle();
            EXPECT_EQ(started.size(), 1u) << "a run from before the restart is still going";
            EXPECT_EQ(Fake.LogLines.back(),
                      "Long skipped: the run started at 12.01 is still running (process " +
                          std::to_string(started[0]) + ")");
            ASSERT_TRUE(recorder.Flush(10'000));
            std::vector<TStoredRun> runs = store.Runs({});
            ASSERT_EQ(runs.size(), 3u);
            EXPECT_EQ(runs[1].Result, "Skipped");
            EXPECT_FALSE(runs[1].Failure);
        }
        for (int pid : started)
            ::kill(pid, SIGKILL);
        WaitUntil([&] { return !children.Reap().empty() && ::kill(started[0], 0) != 0; },
                  std::chrono::seconds(20));
        scheduler.reset();
    }
}

} // namespace
