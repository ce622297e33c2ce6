// `status` against a real `run` holding the schedule, a window switched off, none, and a
// scheduler whose latest minute is stale.
#include "cli/Commands.h"

#include "engine/SchedulerStart.h"
#include "engine/StateFile.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "platform/FileWriter.h"
#include "support/SchedCtlRun.h"
#include "support/Spawn.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

using namespace vantle;
using namespace vantle::cli;
using namespace vantle::test;

namespace {

class StatusCommandTest : public testing::Test {
protected:
    StatusCommandTest() { setenv("XDG_STATE_HOME", Dir.File("state").c_str(), 1); }
    ~StatusCommandTest() override { unsetenv("XDG_STATE_HOME"); }

    TRun Status() { return Invoke(CmdStatus, {Schedule}); }

    // The state a scheduler leaves: its latest minute `minutesAgo` before now; the alarm
    // told of `overdue`, and of an entry no longer in the schedule.
    void WriteState(int minutesAgo, const std::string& overdue = "") {
        TSchedulerState state;
        state.Latest = LocalMinuteOf(SystemClock().Now()) - minutesAgo;
        const TDateTime seen = SystemClock().Now() - 2;
        state.Alarms = {{.Name = "Ends", .LastGood = 0, .Seen = seen, .Told = overdue == "Ends"},
                        {.Name = "Gone", .LastGood = 0, .Seen = seen, .Told = true}};
        TWaitingRun waiting;
        waiting.Name = "Ends";
        waiting.Since = *state.Latest;
        waiting.Reason = "on battery";
        state.Waiting.push_back(waiting);
        ReplaceFileContent(StateFileOf(Schedule, ChangeFileExt(Schedule, ".LOG")), StateText(state),
                           0600);
    }

    TTempDir Dir;
    std::string Schedule = Dir.File("sched.ini");
};

TEST_F(StatusCommandTest, SaysWhetherARealRunHoldsTheScheduleAndWhatFails) {
    WriteFile(Schedule, ScheduleText({{.Name = "Ends",
                                       .Time = "* * * * *",
                                       .Command = VANTLE_ENDHELPER,
                                       .Parms = "exit 3"}}));
    TRun none = Status();
    EXPECT_EQ(none.Code, 3);
    EXPECT_EQ(none.Out, "scheduler\tnot running\nlatest minute\tnone\n");

    const pid_t run = Spawn({VANTLE_SCHEDCTL, "run", Schedule}, Dir.File("run.out"));
    ASSERT_GT(run, 0);
    TRun seen;
    // The first cycle comes a second after the start; the helper ends at once.
    for (int tries = 0; tries < 200; ++tries) {
        seen = Status();
        if (seen.Out.find("failing") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(seen.Code, 1) << seen.Out << seen.Err;
    EXPECT_TRUE(seen.Out.starts_with("scheduler\tvantle-schedctl run, process " +
                                     std::to_string(run) + ", switched on\nlatest minute\t"))
        << seen.Out;
    EXPECT_NE(seen.Out.find("\nfailing\tEnds\tExited 3\n"), std::string::npos) << seen.Out;
    kill(run, SIGTERM);
    const std::optional<int> ended = WaitFor(run, std::chrono::seconds(20));
    ASSERT_TRUE(ended.has_value());
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << *ended;
    EXPECT_EQ(Status().Code, 3);
}

// A window switched off holds the schedule but runs nothing: 3. Switched on, a latest
// minute more than 3 minutes old is a scheduler that hangs: 1.
TEST_F(StatusCommandTest, ASwitchedOffWindowAndAStaleStateAreNotWell) {
    WriteFile(Schedule, ScheduleText({{.Name = "Ends", .Command = "/opt/x"}}));
    TSchedulerStart start(Schedule, ChangeFileExt(Schedule, ".LOG"));
    ASSERT_TRUE(start.Held());
    const std::string holder = "scheduler\tvantle-scheduler, process " + std::to_string(getpid());
    struct TCase {
        bool On;
        int MinutesAgo, Code;
        const char* Shown;
        const char* Overdue;
    };
    for (const TCase& c :
         {TCase{false, 0, 3, ", switched off", ""}, TCase{true, 3, 0, ", switched on", ""},
          TCase{true, 4, 1, ", switched on", ""}, TCase{true, 0, 1, ", switched on", "Ends"}}) {
        start.Describe("vantle-scheduler", c.On);
        WriteState(c.MinutesAgo, c.Overdue);
        TRun r = Status();
        EXPECT_EQ(r.Code, c.Code) << r.Out;
        EXPECT_TRUE(r.Out.starts_with(holder + c.Shown + "\n")) << r.Out;
        EXPECT_EQ(r.Out.find("does not test minutes") != std::string::npos, c.MinutesAgo > 3)
            << r.Out;
        EXPECT_NE(r.Out.find("\nwaiting\tEnds\ton battery, due "), std::string::npos) << r.Out;
        EXPECT_EQ(r.Out.find("overdue\tGone"), std::string::npos) << r.Out;
        EXPECT_EQ(r.Out.find("\noverdue\tEnds\tno good run for 48 hours\n") != std::string::npos,
                  *c.Overdue != '\0')
            << r.Out;
    }
}

} // namespace
