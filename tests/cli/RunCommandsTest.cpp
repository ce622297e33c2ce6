#include "cli/Commands.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

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
    for (const TArgs& args : std::vector<TArgs>{{},
                                                {"a", "b"},
                                                {"--at", "2001-02-29 10:00:00", "$D"},
                                                {"--at", "yesterday", "$D"},
                                                {"--at"},
                                                {"--when", "x", "$D"}})
        EXPECT_EQ(Invoke(CmdExpand, args).Code, 2) << ::testing::PrintToString(args);
}

class RunCommandTest : public testing::Test {
protected:
    TTempDir Dir;
    std::string FSchedule = Dir.File("sched.ini");
};

TEST_F(RunCommandTest, DryRunPrintsWhatWouldHappen) {
    WriteFile(FSchedule, ScheduleText({{.Name = "Backup",
                                        .Time = "5 14 * * *",
                                        .Type = 0,
                                        .WinState = 3,
                                        .Command = "/usr/bin/tar",
                                        .Parms = R"(-czf "/backup/my files $D.tgz" $HOME)"},
                                       {.Name = "Later", .Time = "6 14 * * *", .Command = "/bin/x"},
                                       {.Name = "Report's",
                                        .WinState = 1,
                                        .Command = "/opt/report tool",
                                        .Parms = "it\\'s",
                                        .WorkDir = "/srv"},
                                       {.Name = "Sync", .Type = 2}}));
    TResult r = Invoke(CmdRun, {"--once", "--dry-run", "--at", "2001-03-15 14:05", FSchedule});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(LogMessages(r.Out),
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

TEST_F(RunCommandTest, AFailedCycleIsReportedAndEndsWithOne) {
    WriteFile(FSchedule,
              ScheduleText({{.Name = "Leap", .Command = "/bin/leap", .Parms = "$D+1Y"}}));
    std::string log = Dir.File("other.log");
    TResult r = Invoke(CmdRun, {"--once", "--at", "2000-02-29 10:00", "--log", log, FSchedule});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Invalid argument to date encode\n");
    EXPECT_EQ(LogMessages(ReadFile(log)),
              (std::vector<std::string>{"Scheduler has been Enabled",
                                        "Executing Leap (Command /bin/leap)",
                                        "Scheduler has been Disabled"}));
}

TEST_F(RunCommandTest, RefusesBadUseAndAnUnwritableLog) {
    // No FILE is the desktop program's schedule; two are a mistake.
    for (const TArgs& args : std::vector<TArgs>{{"a", "b"},
                                                {"--once", "a", "b"},
                                                {"--at", "2001-03-15 14:05", FSchedule},
                                                {"--once", "--at", "14:05", FSchedule},
                                                {"--once", "--log"}})
        EXPECT_EQ(Invoke(CmdRun, args).Code, 2) << ::testing::PrintToString(args);
    fs::create_directory(Dir.File("sched.LOG"));
    TResult r = Invoke(CmdRun, {"--once", FSchedule});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "File access denied\n");
}

} // namespace
