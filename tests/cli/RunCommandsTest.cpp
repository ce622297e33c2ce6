#include "cli/Commands.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <pthread.h>
#include <regex>
#include <sstream>
#include <thread>

using namespace vantle;
using namespace vantle::cli;
using namespace vantle::test;
namespace fs = std::filesystem;

namespace {

struct TResult {
    int Code;
    std::string Out, Err;
};

TResult Invoke(int (*command)(const TArgs&, std::ostream&, std::ostream&), const TArgs& args) {
    std::ostringstream out, err;
    int code = command(args, out, err);
    return {code, out.str(), err.str()};
}

// The lines of a text without their time stamps; a line without one is kept whole.
std::vector<std::string> Messages(const std::string& text, const std::string& lineEnd) {
    static const std::regex Stamp(R"(^\d{4}\.\d\d\.\d\d \d\d\.\d\d\.\d\d:)");
    std::vector<std::string> messages;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(lineEnd, start)) != std::string::npos;
         start = end + lineEnd.size()) {
        std::string line = text.substr(start, end - start);
        messages.push_back(std::regex_search(line, Stamp) ? line.substr(20) : "| " + line);
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return messages;
}

std::string Section(int index, const std::string& name, const std::string& time, int type,
                    int winState, const std::string& command, const std::string& parms,
                    const std::string& workDir) {
    return "[Schedule " + std::to_string(index) + "]\r\nName=" + name + "\r\nTime=" + time +
           "\r\nActive=Yes\r\nCommandType=" + std::to_string(type) +
           "\r\nWinState=" + std::to_string(winState) + "\r\nCommand=" + command +
           "\r\nParms=" + parms + "\r\nWorkDir=" + workDir + "\r\n\r\n";
}

TEST(ExpandCommand, PrintsTheExpansionAtTheGivenMoment) {
    TResult r = Invoke(CmdExpand, {"--at", "2001-03-15 14:05:09", "$D-1M[lastday]"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, "20010228\n");
    EXPECT_EQ(Invoke(CmdExpand, {"--at=2001-03-15T14:05:09.250", "$N[hh:nn:ss.zzz]"}).Out,
              "14:05:09.250\n");
    EXPECT_EQ(Invoke(CmdExpand, {"--at", "2001-03-15 14:05", "--", "-$N"}).Out,
              "-20010315:140500\n");
}

TEST(ExpandCommand, ReportsDateErrorsAndBadUse) {
    TResult r = Invoke(CmdExpand, {"--at", "2000-02-29 10:00:00", "$D+1Y"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Invalid argument to date encode\n");
    EXPECT_EQ(Invoke(CmdExpand, {}).Code, 2);
    EXPECT_EQ(Invoke(CmdExpand, {"a", "b"}).Code, 2);
    EXPECT_EQ(Invoke(CmdExpand, {"--at", "2001-02-29 10:00:00", "$D"}).Code, 2);
    EXPECT_EQ(Invoke(CmdExpand, {"--at", "yesterday", "$D"}).Code, 2);
    EXPECT_EQ(Invoke(CmdExpand, {"--at"}).Code, 2);
    EXPECT_EQ(Invoke(CmdExpand, {"--when", "x", "$D"}).Code, 2);
}

class RunCommandTest : public testing::Test {
protected:
    void SetUp() override {
        FSchedule = Dir.File("sched.ini");
        FRecord = Dir.File("record");
        setenv("VANTLE_ARGRECORDER_OUT", FRecord.c_str(), 1);
    }
    void TearDown() override { unsetenv("VANTLE_ARGRECORDER_OUT"); }

    std::vector<std::string> RecordedArgs() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(FRecord) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string data = ReadFile(FRecord);
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t end; (end = data.find('\0', start)) != std::string::npos; start = end + 1)
            fields.push_back(data.substr(start, end - start));
        if (fields.size() < 4)
            return {"(no record)"};
        fields.erase(fields.begin(), fields.begin() + 4);
        return fields;
    }

    TTempDir Dir;
    std::string FSchedule, FRecord;
};

TEST_F(RunCommandTest, DryRunPrintsWhatWouldHappen) {
    WriteFile(FSchedule,
              Section(0, "Backup", "5 14 * * *", 0, 3, "/usr/bin/tar",
                      R"(-czf "/backup/my files $D.tgz" $HOME)", "") +
                  Section(1, "Later", "6 14 * * *", 1, 0, "/bin/later", "", "") +
                  Section(2, "Report's", "* * * * *", 1, 1, "/opt/report tool", "it\\'s", "/srv") +
                  Section(3, "Sync", "* * * * *", 2, 0, "", "", ""));
    TResult r = Invoke(CmdRun, {"--once", "--dry-run", "--at", "2001-03-15 14:05", FSchedule});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(Messages(r.Out, "\n"),
              (std::vector<std::string>{
                  "Scheduler has been Enabled", "Executing Backup (DOS Command /usr/bin/tar)",
                  "| would start: /usr/bin/tar -czf '/backup/my files 20010315.tgz' '$HOME' (in "
                  "., show 0)",
                  "Executing Report's (Command /opt/report tool)",
                  R"(| would start: '/opt/report tool' 'it'\''s' (in /srv, show 3))",
                  "Builtin ResetTime (Sync)", "Builtin Sync failed; no netware connection",
                  "Scheduler has been Disabled"}));
    EXPECT_FALSE(fs::exists(Dir.File("sched.LOG")));
}

TEST_F(RunCommandTest, OnceStartsRealProgramsAndLogsBesideTheFile) {
    WriteFile(FSchedule, Section(0, "Rec", "* * * * *", 1, 0, VANTLE_ARGRECORDER,
                                 "a 'b c' $$ $V[VANTLE_NO_SUCH_VARIABLE]x", Dir.Path().string()) +
                             Section(1, "Backup", "* * * * *", 0, 0, Dir.File("missing"), "", ""));
    TResult r = Invoke(CmdRun, {"--once", FSchedule});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(
        Messages(ReadFile(Dir.File("sched.LOG")), "\r\n"),
        (std::vector<std::string>{"Scheduler has been Enabled",
                                  std::string("Executing Rec (Command ") + VANTLE_ARGRECORDER + ")",
                                  "Executing Backup (DOS Command " + Dir.File("missing") + ")",
                                  "Backup Failed (2)", "Scheduler has been Disabled"}));
    EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"a", "b c", "$", "x"}));
}

TEST_F(RunCommandTest, AFailedCycleIsReportedAndEndsWithOne) {
    WriteFile(FSchedule, Section(0, "Leap", "* * * * *", 1, 0, "/bin/leap", "$D+1Y", ""));
    std::string log = Dir.File("other.log");
    TResult r = Invoke(CmdRun, {"--once", "--at", "2000-02-29 10:00", "--log", log, FSchedule});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Invalid argument to date encode\n");
    EXPECT_EQ(Messages(ReadFile(log), "\r\n"),
              (std::vector<std::string>{"Scheduler has been Enabled",
                                        "Executing Leap (Command /bin/leap)",
                                        "Scheduler has been Disabled"}));
}

TEST_F(RunCommandTest, RefusesBadUseAndAnUnwritableLog) {
    EXPECT_EQ(Invoke(CmdRun, {}).Code, 2);
    EXPECT_EQ(Invoke(CmdRun, {"--once", "a", "b"}).Code, 2);
    EXPECT_EQ(Invoke(CmdRun, {"--at", "2001-03-15 14:05", FSchedule}).Code, 2);
    EXPECT_EQ(Invoke(CmdRun, {"--once", "--at", "14:05", FSchedule}).Code, 2);
    EXPECT_EQ(Invoke(CmdRun, {"--once", "--log"}).Code, 2);
    fs::create_directory(Dir.File("sched.LOG"));
    TResult r = Invoke(CmdRun, {"--once", FSchedule});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "File access denied\n");
}

TEST_F(RunCommandTest, RunsUntilTerminatedThenSwitchesOff) {
    WriteFile(FSchedule, "");
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    // Blocked here first, so the signal can only wait for the command to take it.
    pthread_sigmask(SIG_BLOCK, &term, &previous);
    pthread_t self = pthread_self();
    std::thread stopper([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pthread_kill(self, SIGTERM);
    });
    TResult r = Invoke(CmdRun, {FSchedule});
    stopper.join();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(
        Messages(ReadFile(Dir.File("sched.LOG")), "\r\n"),
        (std::vector<std::string>{"Scheduler has been Enabled", "Scheduler has been Disabled"}));
}

} // namespace
