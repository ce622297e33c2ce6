#include "cli/Commands.h"

#include "engine/RunStore.h"
#include "platform/InstanceLock.h"
#include "platform/StartProbe.h"
#include "support/SchedCtlRun.h"
#include "support/TestFiles.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace vantle;
using namespace vantle::cli;
using namespace vantle::test;
namespace fs = std::filesystem;

namespace {

// The expansion is the parameter tests', "--" and the options the other commands'; here
// the command's own way of taking the moment, and its exit codes.
TEST(ExpandCommand, PrintsTheExpansionAtTheGivenMomentOrSaysWhatIsWrong) {
    TRun r = Invoke(CmdExpand, {"--at=2001-03-15T14:05:09.250", "$N[hh:nn:ss.zzz]"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, "14:05:09.250\n");
    r = Invoke(CmdExpand, {"--at", "2000-02-29 10:00:00", "$D+1Y"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Invalid argument to date encode\n");
    for (const TArgs& args : std::vector<TArgs>{{}, {"a", "b"}, {"--at", "yesterday", "$D"}})
        EXPECT_EQ(Invoke(CmdExpand, args).Code, 2) << ::testing::PrintToString(args);
}

std::ptrdiff_t Count(const std::string& text, const std::string& part) {
    std::ptrdiff_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
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
                                       {.Name = "Report's\x1b[0m",
                                        .WinState = 1,
                                        .Command = "/opt/report tool",
                                        .Parms = "it\\'s \x1b[0m",
                                        .WorkDir = "/"},
                                       {.Name = "Sync", .Type = 2}}));
    TRun r = Invoke(CmdRun, {"--once", "--dry-run", "--at", "2001-03-15 14:05", FSchedule});
    EXPECT_EQ(r.Code, 1) << "the clock could not be set, the report tool is not there";
    EXPECT_EQ(r.Err, "Report's\\x1b[0m could not start: file not found (2)\n"
                     "Sync could not set the clock: no NetWare connection\n");
    EXPECT_NE(r.Out.find("2001.03.15 14.05.00:Executing Backup"), std::string::npos)
        << "stamped with the cycle's moment";
    EXPECT_EQ(
        LogMessages(r.Out),
        (std::vector<std::string>{
            "Scheduler has been Enabled", "| == cycle at 2001-03-15 14:05:00+00:00",
            "Executing Backup (DOS Command /usr/bin/tar)",
            "| would start: /usr/bin/tar -czf '/backup/my files 20010315.tgz' '$HOME' (in " +
                std::string(std::getenv("HOME")) + ", show 0)",
            // Escape sequences reach the terminal as text.
            R"(Executing Report's\x1b[0m (Command /opt/report tool))",
            "| would fail: '/opt/report tool': file not found (2)", R"(Report's\x1b[0m Failed (2))",
            R"(Report's\x1b[0m could not start: file not found (2))", "Builtin ResetTime (Sync)",
            "Builtin Sync failed; no netware connection", "Scheduler has been Disabled"}));
    EXPECT_FALSE(fs::exists(Dir.File("sched.LOG")));
}

// A "~" reaches the program as it is: the dry run says so, with what to write instead,
// and names the home folder a run without a working folder starts in.
TEST_F(RunCommandTest, DryRunWarnsOfATildeAndStartsInTheHomeFolder) {
    const char* savedHome = std::getenv("HOME");
    setenv("HOME", Dir.Path().c_str(), 1);
    WriteFile(FSchedule, ScheduleText({{.Name = "Backup",
                                        .Command = "/bin/sh",
                                        .Parms = "-c true ~/Documents/ $V[HOME]/ok"}}));
    TRun r = Invoke(CmdRun, {"--once", "--dry-run", "--at", "2026-12-07 19:25", FSchedule});
    setenv("HOME", savedHome != nullptr ? savedHome : "/", 1);
    EXPECT_EQ(r.Code, 0) << r.Err;
    const std::string home = Dir.Path().string();
    EXPECT_NE(r.Out.find("\nwarning: the parameter '~/Documents/' starts with '~', which no "
                         "shell expands here: write '$V[HOME]/Documents/'\nwould start: /bin/sh "
                         "-c true '~/Documents/' " +
                         home + "/ok (in " + home + ")\n"),
              std::string::npos)
        << r.Out;
}

// The variables an entry sets are named, never given; its program is looked for in the
// PATH it sets.
TEST_F(RunCommandTest, DryRunNamesTheVariablesAnEntrySetsAndSearchesItsPath) {
    fs::create_directories(Dir.Path() / "bin");
    WriteFile(Dir.File("bin/vantle-dry-tool"), "#!/bin/sh\n");
    fs::permissions(Dir.File("bin/vantle-dry-tool"), fs::perms::owner_all);
    const std::string setting = "Environment=PATH=" + Dir.File("bin") + ";PASS=s3cret-$D\r\n";
    WriteFile(FSchedule,
              ScheduleText({{.Name = "Found", .Command = "vantle-dry-tool", .More = setting},
                            {.Name = "Lost",
                             .Command = "vantle-dry-tool",
                             .More = "Environment=PATH=" + Dir.File("empty") + "\r\n"}}));
    TRun r = Invoke(CmdRun, {"--once", "--dry-run", "--at", "2026-12-07 19:25", FSchedule});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Out.find("\nwould start: vantle-dry-tool (in " + WorkFolderOf("") +
                         ", setting PATH, PASS)\n"),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("\nwould fail: vantle-dry-tool: file not found (2)\n"), std::string::npos)
        << r.Out;
    EXPECT_EQ(r.Out.find("s3cret"), std::string::npos) << r.Out;
}

TEST_F(RunCommandTest, FailedEntriesAreReportedAndEndWithOne) {
    WriteFile(FSchedule, ScheduleText({{.Name = "Leap", .Command = "/bin/leap", .Parms = "$D+1Y"},
                                       {.Name = "Lost\v", .Command = Dir.File("no such program")},
                                       {.Name = "Nul\x1b[2J", .Command = {"/bin/x\0y", 8}}}));
    std::string log = Dir.File("other.log");
    TRun r = Invoke(CmdRun, {"--once", "--at", "2000-02-29 10:00", "--log", log, FSchedule});
    EXPECT_EQ(r.Code, 1);
    // A start that failed in the notification's words, as it happened; what fails before
    // any start (a date, a NUL) in the cycle's report after it.
    EXPECT_EQ(r.Err, "Lost\\x0b could not start: file not found (2)\n"
                     "Leap: Invalid argument to date encode\n"
                     "Nul\\x1b[2J: the command holds a NUL byte\n");
    // The log's own lines for failures are the scheduler's tests; here they reach --log.
    EXPECT_NE(ReadFile(log).find(":Lost\\x0b Failed (2)"), std::string::npos) << ReadFile(log);
}

// Under a user unit standard error is the journal: a program that ends badly is told
// there, in the notification's words, as a start that fails is.
TEST_F(RunCommandTest, EveryKindOfFailureIsToldOnStandardError) {
    WriteFile(FSchedule,
              ScheduleText({{.Name = "One", .Command = VANTLE_ENDHELPER, .Parms = "exit 1"},
                            {.Name = "Rsync", .Command = VANTLE_ENDHELPER, .Parms = "exit 23"},
                            {.Name = "Killed", .Command = VANTLE_ENDHELPER, .Parms = "signal 9"},
                            {.Name = "Good", .Command = VANTLE_ENDHELPER, .Parms = "exit 0"},
                            {.Name = "Lost", .Command = Dir.File("no such program")}}));
    TRun r = Invoke(CmdRun, {"--once", "--wait", "10", FSchedule});
    EXPECT_EQ(r.Code, 1);
    for (const char* line :
         {"One ended with code 1\n", "Rsync ended with code 23\n", "Killed ended by signal 9\n",
          "Lost could not start: file not found (2)\n"})
        EXPECT_EQ(Count(r.Err, line), 1) << line << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 4) << r.Err;
}

// A failing streak is told once, however many cycles it lasts: a played run of moments
// keeps one watch through its cycles.
TEST_F(RunCommandTest, AFailureIsToldOncePerStreak) {
    WriteFile(FSchedule, ScheduleText({{.Name = "Lost", .Command = Dir.File("no such program")}}));
    TRun r = Invoke(CmdRun, {"--dry-run", "--at", "2026-12-07 19:25:05", "--at",
                             "2026-12-07 19:26:05", "--at", "2026-12-07 19:27:05", FSchedule});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Lost could not start: file not found (2)\n");
    EXPECT_EQ(Count(r.Out, "Lost could not start: file not found (2)"), 3) << "the log has each";
}

// --once leaves what it started to run on; told to wait, it logs their ends, and one that
// ended badly makes the run fail.
TEST_F(RunCommandTest, OnceWaitsForTheProgramsItStartedOnlyWhenToldTo) {
    WriteFile(FSchedule,
              ScheduleText({{.Name = "Bad", .Command = VANTLE_ENDHELPER, .Parms = "exit 3"},
                            {.Name = "Slow", .Command = VANTLE_ENDHELPER, .Parms = "sleep 200"}}));
    const std::string log = Dir.File("sched.LOG");
    EXPECT_EQ(Invoke(CmdRun, {"--once", FSchedule}).Code, 0);
    EXPECT_EQ(ReadFile(log).find(" ended "), std::string::npos);
    fs::remove(Dir.File("sched.STATE")); // the minute again
    TRun r = Invoke(CmdRun, {"--once", "--wait", "10", FSchedule});
    EXPECT_EQ(r.Code, 1) << r.Err;
    EXPECT_NE(ReadFile(log).find(":Bad ended with code 3 after "), std::string::npos);
    EXPECT_NE(ReadFile(log).find(":Slow ended with code 0 after "), std::string::npos);
    EXPECT_EQ(Invoke(CmdRun, {"--wait", "1", FSchedule}).Code, 2) << "--wait needs --once";
    // Every run is on record; the store keeps what it is told to, the runs under way too,
    // and each entry's latest good run.
    auto runsOnRecord = [&] {
        std::string out = Invoke(RunSchedCtl, {"history", FSchedule}).Out;
        return std::count(out.begin(), out.end(), '\n');
    };
    EXPECT_EQ(runsOnRecord(), 4);
    fs::remove(Dir.File("sched.STATE"));
    Invoke(CmdRun, {"--once", "--wait", "10", "--keep-runs", "1", FSchedule});
    EXPECT_EQ(runsOnRecord(), 3);
}

// Berlin's 25 October 2026: 03:00 summer time becomes 02:00 winter time, so 02:30 comes
// twice; the skipped spring hour and steps back are the cycle memory's own tests.
TEST_F(RunCommandTest, RunOfMomentsCarriesTheSchedulersMemoryFromOneToTheNext) {
    TZoneGuard zone("Europe/Berlin");
    WriteFile(FSchedule,
              ScheduleText({{.Name = "Night", .Time = "30 2 * * *", .Command = "/bin/true"},
                            {.Name = "Hourly", .Time = "0 * * * *", .Command = "/bin/echo"}}));
    // Without an offset the repeated time is the first reading; Z names 03:00 winter time.
    TRun r =
        Invoke(CmdRun, {"--dry-run", "--at", "2026-10-25 02:30:05", "--at",
                        "2026-10-25 02:30:05+01:00", "--at", "2026-10-25 02:00:05Z", FSchedule});
    EXPECT_EQ(r.Code, 0) << r.Err;
    std::vector<std::string> shown;
    for (const std::string& line : LogMessages(r.Out))
        if (line.rfind("| == ", 0) == 0 || line.rfind("Executing", 0) == 0 ||
            line.rfind("Running", 0) == 0)
            shown.push_back(line);
    EXPECT_EQ(shown, (std::vector<std::string>{"| == cycle at 2026-10-25 02:30:05+02:00",
                                               "Executing Night (Command /bin/true)",
                                               "| == cycle at 2026-10-25 02:30:05+01:00",
                                               "| == cycle at 2026-10-25 03:00:05+01:00",
                                               "Running entries due since 02.31",
                                               "Executing Hourly (Command /bin/echo)"}));
    EXPECT_FALSE(fs::exists(Dir.File("sched.STATE")));
}

// A play of moments shows what a gap will do: a jump of more than three hours plays as a
// suspend (C catches up, N does not), and a played run lasts as long as the entry's last
// recorded run took, at most its time limit, so an entry that skips overlaps skips it.
TEST_F(RunCommandTest, RunOfMomentsPlaysCatchUpAndSkippedOverlaps) {
    TZoneGuard zone("Europe/Berlin");
    WriteFile(
        FSchedule,
        ScheduleText(
            {{.Name = "C", .Time = "0 14 * * *", .Command = "/bin/true", .More = "CatchUp=Yes\r\n"},
             {.Name = "N", .Time = "0 14 * * *", .Command = "/bin/true"},
             {.Name = "L", .Command = "/bin/true", .More = "Overlap=Skip\r\nTimeLimit=2\r\n"}}));
    {
        TRunStore store(TRunStore::FolderOf(ProcessEnvironment()), FSchedule,
                        TRunStoreMode::Writer);
        TStoredRun run;
        run.Name = "L";
        std::int64_t id = store.Begin(run);
        store.Finish(id, 0, 3 * 60'000, "Exited 0", false, 0, false); // took three minutes
    }
    TRun r =
        Invoke(CmdRun, {"--dry-run", "--at", "2026-06-10 12:10:05", "--at", "2026-06-10 12:11:05",
                        "--at", "2026-06-10 12:12:05", "--at", "2026-06-10 17:10:05", FSchedule});
    EXPECT_EQ(r.Code, 0) << r.Err;
    std::vector<std::string> shown;
    for (const std::string& line : LogMessages(r.Out))
        if (!line.starts_with("| would") && line.find("Scheduler has been") == std::string::npos &&
            !line.empty())
            shown.push_back(line);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "| == cycle at 2026-06-10 12:10:05+02:00",
                         "Executing L (Command /bin/true)",
                         "| == cycle at 2026-06-10 12:11:05+02:00",
                         "L skipped: the run started at 12.10 is still running (played)",
                         "| == cycle at 2026-06-10 12:12:05+02:00",
                         "Executing L (Command /bin/true)",
                         "| == cycle at 2026-06-10 17:10:05+02:00",
                         "Clock moved from 2026.06.10 12.12 to 2026.06.10 17.10; entries that "
                         "catch up run once for the minutes missed",
                         "Running C, missed at 2026.06.10 14.00",
                         "Executing C (Command /bin/true)",
                         "Executing L (Command /bin/true)",
                     }));
}

// A member of a shared folder's group plants links where root's scheduler writes.
TEST_F(RunCommandTest, LinksThatAnotherUserPlantedAreNotFollowed) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another user";
    WriteFile(FSchedule, ScheduleText({{.Name = "Off", .Active = false, .Command = "/bin/x"}}));
    WriteFile(Dir.File("precious.txt"), "precious");
    WriteFile(Dir.File("other"), "other");
    for (auto [link, target] :
         {std::pair{"sched.STATE.tmp", "precious.txt"}, std::pair{"sched.STATE", "precious.txt"},
          std::pair{"sched.LOG", "other"}}) {
        ASSERT_EQ(symlink(Dir.File(target).c_str(), Dir.File(link).c_str()), 0);
        ASSERT_EQ(lchown(Dir.File(link).c_str(), 65534, 65534), 0);
    }
    TRun r = Invoke(CmdRun, {"--once", FSchedule});
    EXPECT_NE(r.Code, 0);
    EXPECT_NE(r.Err.find("refusing to follow a link owned by another user"), std::string::npos)
        << r.Err;
    EXPECT_EQ(ReadFile(Dir.File("precious.txt")), "precious");
    EXPECT_EQ(ReadFile(Dir.File("other")), "other");
    // The state alone in the way: the entries run, and the failure is told.
    fs::remove(Dir.File("sched.LOG"));
    r = Invoke(CmdRun, {"--once", FSchedule});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(ReadFile(Dir.File("sched.LOG"))
                  .find("Could not keep the latest minute tested: " + Dir.File("sched.STATE") +
                        ": refusing"),
              std::string::npos);
    EXPECT_EQ(ReadFile(Dir.File("precious.txt")), "precious");
}

// A play of retries: the played runs of the entry --fail names fail, each try after its
// delay, the last told; the others go well.
TEST_F(RunCommandTest, RunOfMomentsPlaysRetriesOfARunThatFails) {
    WriteFile(FSchedule, ScheduleText({{.Name = "F",
                                        .Time = "10 12 * * *",
                                        .Command = "/bin/true",
                                        .More = "Retries=1\r\nRetryDelay=2\r\n"}}));
    TRun r = Invoke(CmdRun, {"--dry-run", "--fail", "F", "--at", "2026-06-10 12:10:05", "--at",
                             "2026-06-10 12:11:05", "--at", "2026-06-10 12:12:05", FSchedule});
    std::vector<std::string> shown;
    for (const std::string& line : LogMessages(r.Out))
        if (line.find("F ") != std::string::npos && !line.starts_with("| would"))
            shown.push_back(line);
    EXPECT_EQ(shown,
              (std::vector<std::string>{
                  "Executing F (Command /bin/true)", "F ended with code 1 after 0 s",
                  "Retrying F in 2 minutes (attempt 2 of 2)", "Running F again (attempt 2 of 2)",
                  "Executing F (Command /bin/true)", "F ended with code 1 after 0 s"}));
    EXPECT_EQ(r.Err, "F ended with code 1\n");
}

// A play takes the readings it is given: on battery the run waits, on mains it starts.
// Start-up runs belong to a scheduler that stays, never to a play or a single cycle.
TEST_F(RunCommandTest, RunOfMomentsPlaysOnBatteryOrOffline) {
    WriteFile(FSchedule, ScheduleText({{.Name = "B",
                                        .Time = "10 12 * * *",
                                        .Command = "/bin/true",
                                        .More = "OnlyOnACPower=Yes\r\nOnlyWithNetwork=Yes\r\n"},
                                       {.Name = "S",
                                        .Time = "0 0 31 2 *",
                                        .Command = "/bin/true",
                                        .More = "AtStart=Yes\r\n"}}));
    auto play = [&](const char* power, const char* network) {
        return Invoke(CmdRun, {"--dry-run", power, network, "--at", "2026-06-10 12:10:05", "--at",
                               "2026-06-10 12:11:05", FSchedule});
    };
    TRun r = play("--no-ac", "--network");
    EXPECT_EQ(Count(r.Out, "B waits: on battery"), 1) << r.Out;
    EXPECT_EQ(Count(r.Out, "Executing B"), 0);
    r = play("--ac", "--no-network");
    EXPECT_EQ(Count(r.Out, "B waits: no network"), 1) << r.Out;
    EXPECT_EQ(Count(r.Out, "Executing B"), 0);
    r = play("--ac", "--network");
    EXPECT_EQ(Count(r.Out, "Executing B"), 1);
    EXPECT_EQ(Count(r.Out, "Executing S"), 0);
    EXPECT_EQ(Invoke(CmdRun, {"--once", "--no-ac", FSchedule}).Code, 2) << "needs --dry-run";
    EXPECT_EQ(Invoke(CmdRun, {"--dry-run", "--ac", "--no-ac", FSchedule}).Code, 2);
}

TEST_F(RunCommandTest, RefusesBadUseAMomentTheClockSkipsAndAnUnwritableLog) {
    for (const TArgs& args :
         std::vector<TArgs>{{"--fail", "F", "--once", FSchedule},
                            {"--once", "a", "b"},
                            {"--at", "2001-03-15 14:05", FSchedule},
                            {"--at", "2001-03-15 14:05", "--at", "2001-03-15 14:06", FSchedule}})
        EXPECT_EQ(Invoke(CmdRun, args).Code, 2) << ::testing::PrintToString(args);
    TZoneGuard zone("Europe/Berlin");
    TRun r = Invoke(CmdRun, {"--dry-run", "--once", "--at", "2026-03-29 02:30:05", FSchedule});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "vantle-schedctl run: --at '2026-03-29 02:30:05' does not exist on this "
                     "clock (daylight saving time skips it)\n");
    fs::create_directory(Dir.File("sched.LOG"));
    r = Invoke(CmdRun, {"--once", FSchedule});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, Dir.File("sched.LOG") + ": not used as the log: it is a folder\n");
}

// A folder, a device or a file in a folder that is not there is neither schedule nor
// log: refused before anything is written (no "FOLDER.LOG" nor "FOLDER.STATE").
TEST_F(RunCommandTest, RefusesPathsThatAreNoFilesBeforeWritingAnything) {
    WriteFile(FSchedule, ScheduleText({{.Name = "Every", .Command = Dir.File("missing")}}));
    const std::string folder = Dir.File("folder"), gone = Dir.File("gone");
    fs::create_directory(folder);
    struct TCase {
        TArgs Args;
        std::string Err;
    };
    for (const TCase& c : std::vector<TCase>{
             {{"--once", folder}, folder + ": not used as the schedule: it is a folder"},
             {{"--once", "--log", folder, FSchedule},
              folder + ": not used as the log: it is a folder"},
             {{"--once", "--log", "/dev/null", FSchedule},
              "/dev/null: not used as the log: it is a device"},
             {{"--once", gone + "/s.INI"},
              gone + "/s.INI: not used as the schedule: its folder " + gone + " does not exist"},
             {{"--log", gone + "/s.LOG", FSchedule},
              gone + "/s.LOG: not used as the log: its folder " + gone + " does not exist"},
             {{"--once", "--log", FSchedule + "/s.LOG", FSchedule},
              FSchedule + "/s.LOG: not used as the log: " + FSchedule + " is not a folder"},
             {{"--once", "--log", folder + "/s.LOG", FSchedule},
              folder + "/sched.STATE: not used as the state: it is a folder"}}) {
        fs::create_directory(folder + "/sched.STATE");
        TRun r = Invoke(CmdRun, c.Args);
        EXPECT_EQ(r.Code, 2) << ::testing::PrintToString(c.Args);
        EXPECT_EQ(r.Err, c.Err + "\n");
    }
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"folder", "sched.ini"}));
    EXPECT_FALSE(fs::exists(folder + "/s.LOG"));
    // An empty log name is a usage error, for a dry run too.
    for (const TArgs& args : std::vector<TArgs>{{"--once", "--log", "", FSchedule},
                                                {"--once", "--dry-run", "--log=", FSchedule}}) {
        TRun r = Invoke(CmdRun, args);
        EXPECT_EQ(r.Code, 2);
        EXPECT_TRUE(r.Err.starts_with("vantle-schedctl run: --log needs a file name\nUsage:"))
            << r.Err;
    }
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"folder", "sched.ini"}));
}

// The lock is the user's whatever environment a shell gives: su, ssh and cron set
// another runtime folder or none, and a second scheduler is refused all the same.
TEST_F(RunCommandTest, ASecondRunIsRefusedWhateverItsRuntimeFolder) {
    WriteFile(FSchedule, ScheduleText({{.Name = "Every", .Command = Dir.File("missing")}}));
    TTempDir runtime, other;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    TInstanceLock held(FSchedule);
    ASSERT_TRUE(held.TryAcquire());
    for (const char* folder :
         {other.Path().c_str(), "/nowhere", static_cast<const char*>(nullptr)}) {
        if (folder != nullptr)
            setenv("XDG_RUNTIME_DIR", folder, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        TRun r = Invoke(CmdRun, {"--once", FSchedule});
        EXPECT_EQ(r.Code, 2) << (folder ? folder : "unset");
        EXPECT_EQ(r.Err, FSchedule + ": already used by another scheduler (process " +
                             std::to_string(getpid()) + ")\n");
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(fs::exists(Dir.File("sched.LOG")));
}

} // namespace
