// The real programs, started as a user starts them: the desktop program under Xvfb
// with an argument, next to a schedule whose entry is due every minute and runs the
// test suite's argument recorder, and schedulers that share one schedule file. The
// install test runs vantle-schedctl run --once on a due entry.
#include "support/Spawn.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

using namespace vantle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Seconds of the day from a log line's stamp "yyyy.mm.dd hh.mm.ss".
int StampSeconds(const std::string& line) {
    return std::stoi(line.substr(11, 2)) * 3600 + std::stoi(line.substr(14, 2)) * 60 +
           std::stoi(line.substr(17, 2));
}

// The exit code of `pid`, or -1 when it did not exit by itself within `timeout` (it is
// killed then). A failed start (-1) must never reach kill().
int ExitCodeOf(pid_t pid, std::chrono::milliseconds timeout = 20s) {
    std::optional<int> status = pid > 0 ? WaitFor(pid, timeout) : std::nullopt;
    if (pid > 0 && !status && kill(pid, SIGKILL) == 0)
        WaitFor(pid, 5s);
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

class EndToEndTest : public ::testing::Test {
protected:
    EndToEndTest() {
        fs::copy_file(VANTLE_ARGRECORDER, FRecorder);
        setenv("VANTLE_ARGRECORDER_OUT", FRecord.c_str(), 1);
        // A runtime folder of the test's own: the programs' locks must not depend on it.
        setenv("XDG_RUNTIME_DIR", FDir.Path().c_str(), 1);
    }
    ~EndToEndTest() override {
        unsetenv("VANTLE_ARGRECORDER_OUT");
        unsetenv("XDG_RUNTIME_DIR");
    }

    std::string Schedule(bool active) {
        return ScheduleText({{.Name = "minutely",
                              .Active = active,
                              .Command = FRecorder,
                              .Parms = "$D[yyyy] fixed \"two words\"",
                              .WorkDir = FDir.Path().string()}});
    }

    TTempDir FDir;
    std::string FRecorder = FDir.File("recorder"), FRecord = FDir.File("record");
    std::string FOutput = FDir.File("output.txt");
};

} // namespace

#ifdef VANTLE_SCHEDULER
TEST_F(EndToEndTest, DesktopProgramRunsDueEntryAtItsFirstTickAndKeepsItsFile) {
    // The program names its schedule and log after its own path.
    std::string program = FDir.File("vantle-scheduler");
    fs::copy_file(VANTLE_SCHEDULER, program);
    WriteFile(program + ".INI", Schedule(true));

    unsetenv("QT_QPA_PLATFORM"); // the real display server's, not the offscreen one
    pid_t runner = Spawn({"xvfb-run", "-a", program, "go"}, FOutput);
    if (runner <= 0)
        GTEST_SKIP() << "xvfb-run is not installed";
    bool ran = WaitUntil([&] { return fs::exists(FRecord); }, 30s);
    // The recorder ends at once; the program, as its subreaper, reaps it and logs how.
    auto logged = [&] { return ReadFile(program + ".LOG").find(":minutely ended with code 0"); };
    bool ended = ran && WaitUntil([&] { return logged() != std::string::npos; }, 10s);
    // A second program for the same file hands over to the first and leaves; a scheduler
    // without a window is refused the file.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int second = ExitCodeOf(Spawn({program, "go"}, FDir.File("second.txt")));
    int headless =
        ExitCodeOf(Spawn({VANTLE_SCHEDCTL, "run", program + ".INI"}, FDir.File("second.txt")));
    // The refusal names the holder: the desktop program, which xvfb-run started for us.
    std::string refusal = ReadFile(FDir.File("second.txt"));
    std::size_t named = refusal.find("(process ");
    pid_t pid = named == std::string::npos ? -1 : std::atoi(refusal.c_str() + named + 9);
    std::error_code ec;
    bool isProgram = pid > 0 && fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec) ==
                                    fs::path(program);
    if (isProgram)
        kill(pid, SIGTERM);
    bool stopped = WaitFor(runner, 15s).has_value();
    if (!stopped) {
        if (isProgram)
            kill(pid, SIGKILL);
        kill(runner, SIGTERM);
        WaitFor(runner, 5s);
    }

    ASSERT_TRUE(ran) << "the recorder never ran; log:\n"
                     << ReadFile(program + ".LOG") << "output:\n"
                     << ReadFile(FOutput);
    std::string log = ReadFile(program + ".LOG");
    // $D[yyyy] gives the year of the run, as its log line's stamp shows it.
    std::string year = log.substr(log.find('\n') + 1, 4);
    EXPECT_EQ(WaitForRecord(FRecord).Args, (std::vector<std::string>{year, "fixed", "two words"}));
    std::vector<std::string> messages = LogMessages(log);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Scheduler has been Enabled");
    EXPECT_TRUE(ended) << log;
    EXPECT_EQ(second, 0) << refusal;
    EXPECT_EQ(headless, 2);
    EXPECT_TRUE(isProgram) << refusal;
    // The second program's "go" went nowhere: nobody switched a scheduler on again.
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Scheduler has been Enabled"), 1) << log;
    // SIGTERM ends it through its loop, which switches the scheduler off on the way.
    EXPECT_TRUE(stopped);
    EXPECT_EQ(messages.back(), "Scheduler has been Disabled");
    // The first tick comes a second after the start, within the same or the next stamp.
    int lag = StampSeconds(log.substr(log.find('\n') + 1)) - StampSeconds(log);
    EXPECT_GE(lag, 0);
    EXPECT_LE(lag, 2);
}

// A folder where the schedule should be is refused before the window comes up and
// before anything is written beside it.
TEST_F(EndToEndTest, DesktopProgramRefusesAFolderAsItsSchedule) {
    std::string program = FDir.File("vantle-scheduler");
    fs::copy_file(VANTLE_SCHEDULER, program);
    fs::create_directory(program + ".INI");
    int code = ExitCodeOf(Spawn({program, "go"}, FOutput), 10s);
    EXPECT_EQ(code, 2);
    EXPECT_NE(ReadFile(FOutput).find(program + ".INI: not used as the schedule: it is a folder"),
              std::string::npos)
        << ReadFile(FOutput);
    EXPECT_FALSE(fs::exists(program + ".LOG"));
    EXPECT_FALSE(fs::exists(program + ".STATE"));
}
#endif

// The lock is the user's on this machine: a shell with another runtime folder, or
// none (cron, su), meets it too. A closed terminal (SIGHUP) ends run as SIGTERM does.
TEST_F(EndToEndTest, SchedCtlRunRefusesAFileAnotherSchedulerRunsWhateverItsEnvironment) {
    std::string schedule = FDir.File("jobs.INI");
    WriteFile(schedule, Schedule(false));
    pid_t first = Spawn({VANTLE_SCHEDCTL, "run", schedule}, FDir.File("first.txt"));
    ASSERT_GT(first, 0);
    bool started = WaitUntil([&] { return fs::exists(FDir.File("jobs.LOG")); }, 10s);
    std::vector<int> seconds;
    for (const std::vector<std::string>& env :
         {std::vector<std::string>{}, {"XDG_RUNTIME_DIR=" + FDir.File("other")}, {"TMPDIR=/"}})
        seconds.push_back(
            ExitCodeOf(Spawn({VANTLE_SCHEDCTL, "run", "--once", schedule}, FOutput, {}, env)));
    int dryRun = ExitCodeOf(
        Spawn({VANTLE_SCHEDCTL, "run", "--once", "--dry-run", schedule}, FDir.File("dry.txt")));
    kill(first, SIGHUP);
    int firstCode = ExitCodeOf(first, 10s);

    ASSERT_TRUE(started);
    EXPECT_EQ(seconds, std::vector<int>(3, 2));
    const std::string refusal =
        schedule + ": already used by another scheduler (process " + std::to_string(first) + ")\n";
    EXPECT_EQ(ReadFile(FOutput), refusal + refusal + refusal);
    EXPECT_EQ(dryRun, 0) << ReadFile(FDir.File("dry.txt"));
    // SIGHUP ends the first cleanly, through its loop; its entry is off, so nothing ran.
    EXPECT_EQ(firstCode, 0) << ReadFile(FDir.File("first.txt"));
    EXPECT_EQ(
        LogMessages(ReadFile(FDir.File("jobs.LOG"))),
        (std::vector<std::string>{"Scheduler has been Enabled", "Scheduler has been Disabled"}));
}

// Two real runs with five hours off between them, on a faked clock: the entry that
// catches up runs once at the second, the one that does not stays missed.
TEST_F(EndToEndTest, SchedCtlRunCatchesUpAMissedRunAfterTimeOff) {
    const std::string faketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    if (!fs::exists(faketime))
        GTEST_SKIP() << "libfaketime is not installed";
    std::string schedule = FDir.File("jobs.INI");
    WriteFile(
        schedule,
        ScheduleText(
            {{.Name = "C", .Time = "0 14 * * *", .Command = FRecorder, .More = "CatchUp=Yes\r\n"},
             {.Name = "N", .Time = "0 14 * * *", .Command = FRecorder}}));
    for (const char* moment : {"@2026-06-10 12:10:05", "@2026-06-10 17:10:05"}) {
        std::vector<std::string> env = {
            "LD_PRELOAD=" + faketime, std::string("FAKETIME=") + moment, "TZ=Europe/Berlin",
            "HOME=" + FDir.Path().string(), "XDG_STATE_HOME=" + FDir.File("state"),
            "XDG_RUNTIME_DIR=" + FDir.Path().string(), "VANTLE_ARGRECORDER_OUT=" + FRecord,
            // libfaketime goes before the sanitizer's runtime
            "ASAN_OPTIONS=verify_asan_link_order=0"};
        EXPECT_EQ(ExitCodeOf(Spawn({VANTLE_SCHEDCTL, "run", "--once", schedule}, FOutput, {}, env)),
                  0)
            << ReadFile(FOutput);
    }
    std::vector<std::string> log = LogMessages(ReadFile(FDir.File("jobs.LOG")));
    std::vector<std::string> runs;
    std::copy_if(log.begin(), log.end(), std::back_inserter(runs), [](const std::string& line) {
        return line.starts_with("Running") || line.starts_with("Executing");
    });
    EXPECT_EQ(runs, (std::vector<std::string>{"Running C, missed at 2026.06.10 14.00",
                                              "Executing C (Command " + FRecorder + ")"}))
        << ReadFile(FDir.File("jobs.LOG"));
}
