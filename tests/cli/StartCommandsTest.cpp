// `start` against a real `run` holding the schedule, with the suite's helper as the
// entries' program; without a scheduler, and with --here.
#include "cli/Commands.h"

#include "platform/InstanceLock.h"
#include "platform/LocalSocket.h"
#include "support/SchedCtlRun.h"
#include "support/Spawn.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <future>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace vantle;
using namespace vantle::cli;
using namespace vantle::test;

namespace {

class StartCommandTest : public testing::Test {
protected:
    StartCommandTest() {
        setenv("XDG_STATE_HOME", Dir.File("state").c_str(), 1);
        // Due never (31 February): they run when asked to alone.
        auto entry = [](const char* name, const char* parms) {
            return TEntryText{
                .Name = name, .Time = "0 0 31 2 *", .Command = VANTLE_ENDHELPER, .Parms = parms};
        };
        WriteFile(Schedule, ScheduleText({entry("Ends", "exit 3"), entry("Good", "exit 0"),
                                          entry("Sleeps", "sleep 3000"), entry("Twin", "exit 3"),
                                          entry("Twin", "exit 0")}));
    }
    ~StartCommandTest() override {
        if (Run > 0 && kill(Run, SIGTERM) == 0)
            WaitFor(Run, std::chrono::seconds(20));
        unsetenv("XDG_STATE_HOME");
    }

    // A real `run` on the schedule, once its control socket is there.
    void StartRun() {
        Run = Spawn({VANTLE_SCHEDCTL, "run", Schedule}, Dir.File("run.out"));
        ASSERT_GT(Run, 0);
        const std::string socket = TInstanceLock(Schedule).SiblingPath(".control");
        struct stat st {};
        ASSERT_TRUE(
            WaitUntil([&] { return lstat(socket.c_str(), &st) == 0; }, std::chrono::seconds(20)));
    }

    // NAME, RESULT and HOW of run `key` in `history` once it has ended; "" when it did not
    // within 20 s.
    std::string Recorded(const std::string& key) {
        std::vector<std::string> fields;
        WaitUntil(
            [&] {
                std::istringstream history(Invoke(CmdHistory, {Schedule}).Out);
                for (std::string line; std::getline(history, line);) {
                    fields.clear();
                    std::istringstream split(line);
                    for (std::string field; std::getline(split, field, '\t');)
                        fields.push_back(field);
                    if (fields.size() == 6 && fields[4] == key)
                        return fields[2] != "Running";
                }
                return false;
            },
            std::chrono::seconds(20));
        return fields.size() == 6 && fields[4] == key
                   ? fields[1] + "\t" + fields[2] + "\t" + fields[5]
                   : "";
    }

    TTempDir Dir;
    std::string Schedule = Dir.File("sched.ini");
    pid_t Run = 0;
};

TEST_F(StartCommandTest, RunsEntriesThroughTheRunningSchedulerAsExecuteNow) {
    TRun none = Invoke(CmdStart, {"Ends", Schedule});
    EXPECT_EQ(none.Code, 3);
    EXPECT_EQ(none.Err, "vantle-schedctl start: no scheduler runs " + Schedule +
                            "; start it, or use --here\n");
    StartRun();
    TRun started = Invoke(CmdStart, {"Ends", Schedule});
    ASSERT_EQ(started.Code, 0) << started.Err;
    const std::string key = started.Out.substr(0, started.Out.find('\n'));
    EXPECT_EQ(Recorded(key), "Ends\tExited 3\tExecute Now");

    struct TCase {
        TArgs Args;
        int Code;
        std::string Err;
    };
    for (const TCase& c : {
             TCase{{"--wait", "Good"}, 0, "Good: Exited 0\n"},
             TCase{{"Ends", "--wait"}, 1, "Ends: Exited 3\n"},
             TCase{{"--index", "4", "--wait", "Twin"}, 0, "Twin: Exited 0\n"},
             TCase{{"Twin"},
                   2,
                   "vantle-schedctl start: 2 entries are named 'Twin': Twin at 3, 4; --index N "
                   "picks one\n"},
         }) {
        TArgs args = c.Args;
        args.push_back(Schedule);
        TRun r = Invoke(CmdStart, args);
        EXPECT_EQ(r.Code, c.Code) << c.Args[0] << r.Err;
        EXPECT_EQ(r.Err, c.Err);
        EXPECT_EQ(r.Out.empty(), c.Code == 2) << r.Out;
    }

    // The scheduler stops while a run waits: 3, and the program runs on.
    auto waiting = std::async(std::launch::async, [&] {
        return Invoke(CmdStart, {"--wait", "Sleeps", Schedule});
    });
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadFile(Dir.File("sched.LOG")).find("Executing Sleeps") != std::string::npos;
        },
        std::chrono::seconds(20)));
    kill(Run, SIGTERM);
    const TRun stopped = waiting.get();
    EXPECT_EQ(stopped.Code, 3);
    EXPECT_EQ(stopped.Err, "vantle-schedctl start: the scheduler stopped before the run ended\n");
    EXPECT_FALSE(stopped.Out.empty());
}

// Without a scheduler, --here is one: the lock taken, the run recorded and waited for.
TEST_F(StartCommandTest, HereRunsTheEntryWithoutAScheduler) {
    const pid_t here = Spawn({VANTLE_SCHEDCTL, "start", "--here", "Ends", Schedule},
                             Dir.File("here.out"), Dir.File("here.err"));
    ASSERT_GT(here, 0);
    const std::optional<int> status = WaitFor(here, std::chrono::seconds(20));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    EXPECT_EQ(ReadFile(Dir.File("here.err")), "Ends: Exited 3\n");
    const std::string out = ReadFile(Dir.File("here.out"));
    const std::string key = out.substr(0, out.find('\n'));
    EXPECT_EQ(Recorded(key), "Ends\tExited 3\tExecute Now");
}

// A holder of our own making, on the schedule's control socket: it takes one connection,
// reads the request, writes `answer` and hangs up.
class TFakeHolder {
public:
    TFakeHolder(const std::string& schedule, std::string answer)
        : FPath(TInstanceLock(schedule).SiblingPath(".control")), FListener(ListenLocal(FPath)),
          FThread([this, answer = std::move(answer)] {
              pollfd ready{FListener.Get(), POLLIN, 0};
              if (poll(&ready, 1, 10'000) != 1)
                  return;
              TOwnFd client = AcceptLocal(FListener.Get());
              pollfd request{client.Get(), POLLIN, 0}; // the request is in, then unanswered
              char line[256];
              if (poll(&request, 1, 10'000) == 1 && read(client.Get(), line, sizeof line) > 0 &&
                  !answer.empty()) {
                  EXPECT_EQ(write(client.Get(), answer.data(), answer.size()),
                            static_cast<ssize_t>(answer.size()));
              }
          }) {}
    ~TFakeHolder() {
        FThread.join();
        unlink(FPath.c_str());
    }

private:
    std::string FPath;
    TOwnFd FListener;
    std::thread FThread;
};

// After "started", only "ended" tells a run's end: anything else is the scheduler going.
TEST_F(StartCommandTest, AnAnswerOtherThanEndedAfterTheStartIsNoEnd) {
    TRun r;
    {
        TFakeHolder holder(Schedule, "started 7\nerror the scheduler is going away\n");
        r = Invoke(CmdStart, {"--wait", "Ends", Schedule});
    }
    EXPECT_EQ(r.Code, 3);
    EXPECT_EQ(r.Out, "7\n");
    EXPECT_EQ(r.Err, "vantle-schedctl start: the scheduler is going away\n");
}

// A holder that hangs up without reading the request or answering: no scheduler (3),
// said, and never a wait for ever on a connection the other side reset.
TEST_F(StartCommandTest, AHolderThatHangsUpWithoutAnAnswerIsNoScheduler) {
    TRun r;
    {
        TFakeHolder holder(Schedule, "");
        r = Invoke(CmdStart, {"Ends", Schedule});
    }
    EXPECT_EQ(r.Code, 3);
    EXPECT_EQ(r.Err, "vantle-schedctl start: the scheduler gave no answer\n");
}

} // namespace
