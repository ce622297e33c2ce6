// The run loop on the fake clock: which moment each wake arms, that a failing cycle
// still arms the next, and that a stop signal ends the loop at once while a started
// program runs on. A process of its own: becoming a subreaper lasts for life.
#include "engine/RunLoop.h"

#include "platform/ProgramStarterPosix.h"
#include "platform/StopSignals.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>

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

} // namespace
