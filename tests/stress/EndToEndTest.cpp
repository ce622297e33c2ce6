// The real programs, started as a user starts them: the desktop program under Xvfb
// with an argument, and vantle-schedctl run, each next to a schedule whose entry is
// due every minute and runs the test suite's argument recorder.
#include "StressSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <thread>

extern char** environ;

using namespace vantle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Starts `argv` with the test's environment, less the variables named in `unset`,
// plus `extra`; its output goes to the file `output`.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& output,
            const std::vector<std::string>& extra, const std::vector<std::string>& unset = {}) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        std::string entry(*variable);
        bool dropped = false;
        for (const std::string& name : unset)
            dropped = dropped || entry.rfind(name + "=", 0) == 0;
        if (!dropped)
            environment.push_back(entry);
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char*> args, envp;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// The exit status, or nullopt when the process is still running after `timeout`.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(20ms);
    }
}

bool OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        if (access((folders.substr(start, end - start) + "/" + name).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The process running exactly this executable file (a copy of our own), found by its
// /proc entry: xvfb-run starts it, so its id is not ours to know.
pid_t FindProcessOf(const std::string& executable) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code ec;
        fs::path exe = fs::read_symlink(entry.path() / "exe", ec);
        if (!ec && exe == fs::path(executable))
            return static_cast<pid_t>(std::stol(name));
    }
    return -1;
}

std::vector<std::string> RecordedArguments(const std::string& path) {
    std::string content = ReadFile(path);
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\0', start);
        fields.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    if (fields.size() < 4)
        return {};
    return {fields.begin() + 4, fields.end()};
}

std::string ThisYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900);
}

// Seconds of the day from a log line's stamp "yyyy.mm.dd hh.mm.ss".
int StampSeconds(const std::string& line) {
    return std::stoi(line.substr(11, 2)) * 3600 + std::stoi(line.substr(14, 2)) * 60 +
           std::stoi(line.substr(17, 2));
}

std::vector<std::string> RawLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find("\r\n", start);
        if (end == std::string::npos)
            end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class EndToEndTest : public ::testing::Test {
protected:
    EndToEndTest() {
        FRecorder = FDir.File("recorder");
        fs::copy_file(VANTLE_ARGRECORDER, FRecorder);
        FRecord = FDir.File("record");
        FOutput = FDir.File("output.txt");
    }

    std::string Schedule(bool active) {
        return "[Schedule 0]\r\nName=minutely\r\nTime=* * * * *\r\nActive=" +
               std::string(active ? "Yes" : "No") +
               "\r\nCommandType=1\r\nWinState=0\r\nCommand=" + FRecorder +
               "\r\nParms=$D[yyyy] fixed \"two words\"\r\nWorkDir=" + FDir.Path().string() + "\r\n";
    }

    std::vector<std::string> ExpectedArguments() { return {ThisYear(), "fixed", "two words"}; }
    std::string ExecutingLine() { return "Executing minutely (Command " + FRecorder + ")"; }

    TTempDir FDir;
    std::string FRecorder, FRecord, FOutput;
};

} // namespace

#ifdef VANTLE_SCHEDULER
TEST_F(EndToEndTest, DesktopProgramRunsDueEntryAtItsFirstTick) {
    if (!OnPath("xvfb-run")) {
        GTEST_SKIP() << "xvfb-run is not installed";
    }
    // The program names its schedule and log after its own path.
    std::string program = FDir.File("vantle-scheduler");
    fs::copy_file(VANTLE_SCHEDULER, program);
    WriteFile(program + ".INI", Schedule(true));

    pid_t runner = Spawn({"xvfb-run", "-a", program, "go"}, FOutput,
                         {"VANTLE_ARGRECORDER_OUT=" + FRecord}, {"QT_QPA_PLATFORM"});
    ASSERT_GT(runner, 0);
    bool ran = WaitForFile(FRecord, 30s);
    pid_t pid = FindProcessOf(program);
    if (pid > 0)
        kill(pid, SIGTERM);
    if (!WaitFor(runner, 15s)) {
        if (pid > 0)
            kill(pid, SIGKILL);
        kill(runner, SIGTERM);
        WaitFor(runner, 5s);
    }

    ASSERT_TRUE(ran) << "the recorder never ran; log:\n"
                     << ReadFile(program + ".LOG") << "output:\n"
                     << ReadFile(FOutput);
    EXPECT_EQ(RecordedArguments(FRecord), ExpectedArguments());
    std::vector<std::string> lines = RawLines(ReadFile(program + ".LOG"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(19), ":Scheduler has been Enabled");
    EXPECT_EQ(lines[1].substr(19), ":" + ExecutingLine());
    // The first tick comes a second after the start, within the same or the next stamp.
    int lag = StampSeconds(lines[1]) - StampSeconds(lines[0]);
    EXPECT_GE(lag, 0);
    EXPECT_LE(lag, 2);
}
#endif

TEST_F(EndToEndTest, SchedCtlRunOnceStartsTheDueEntry) {
    std::string schedule = FDir.File("jobs.INI");
    WriteFile(schedule, Schedule(true));
    pid_t pid = Spawn({VANTLE_SCHEDCTL, "run", "--once", schedule}, FOutput,
                      {"VANTLE_ARGRECORDER_OUT=" + FRecord});
    ASSERT_GT(pid, 0);
    std::optional<int> status = WaitFor(pid, 30s);
    ASSERT_TRUE(status) << "run --once did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ReadFile(FOutput);

    ASSERT_TRUE(WaitForFile(FRecord, 10s));
    EXPECT_EQ(RecordedArguments(FRecord), ExpectedArguments());
    EXPECT_EQ(LogMessages(ReadFile(FDir.File("jobs.LOG"))),
              (std::vector<std::string>{"Scheduler has been Enabled", ExecutingLine(),
                                        "Scheduler has been Disabled"}));
}

TEST_F(EndToEndTest, SchedCtlRunStopsCleanlyOnSigterm) {
    std::string schedule = FDir.File("jobs.INI");
    WriteFile(schedule, Schedule(false)); // nothing due, whenever the minute turns
    pid_t pid =
        Spawn({VANTLE_SCHEDCTL, "run", schedule}, FOutput, {"VANTLE_ARGRECORDER_OUT=" + FRecord});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForFile(FDir.File("jobs.LOG"), 10s));
    std::this_thread::sleep_for(1s);
    kill(pid, SIGTERM);
    std::optional<int> status = WaitFor(pid, 10s);
    if (!status)
        kill(pid, SIGKILL);
    ASSERT_TRUE(status) << "run did not stop on SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ReadFile(FOutput);
    EXPECT_EQ(
        LogMessages(ReadFile(FDir.File("jobs.LOG"))),
        (std::vector<std::string>{"Scheduler has been Enabled", "Scheduler has been Disabled"}));
    EXPECT_FALSE(fs::exists(FRecord));
}
