// Changing a schedule from a shell: every command through the file, what it refuses,
// and how it meets a scheduler or a window that holds the schedule.
#include "cli/Commands.h"

#include "engine/SchedulerStart.h"
#include "platform/ExecutablePath.h"
#include "sched/SchedList.h"
#include "support/SchedCtlRun.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vantle;
using namespace vantle::cli;
using namespace vantle::test;

namespace {

class EditCommandsTest : public testing::Test {
protected:
    // Three entries saved as the program saves them; the middle one is changed.
    EditCommandsTest() {
        WriteFile(Path, ScheduleText({{.Name = "First", .Time = "0 1 * * *", .Command = "/a"},
                                      {.Name = "Sync", .Time = "0 2 * * *", .Command = "/b"},
                                      {.Name = "Last", .Time = "0 3 * * *", .Command = "/c"}}));
        Before = ReadFile(Path);
    }

    // The file's section `n`, as text.
    std::string Section(int n) const {
        const std::string text = ReadFile(Path);
        const std::size_t start = text.find("[Schedule " + std::to_string(n) + "]");
        const std::size_t end = text.find("\r\n\r\n[Schedule", start);
        return start == std::string::npos ? "" : text.substr(start, end - start);
    }

    TRun Run(TArgs args) {
        args.push_back(Path);
        return SchedCtl(args);
    }

    TTempDir Dir;
    std::string Path = Dir.File("sched.INI");
    std::string Before;
};

// Each command changes its entry and leaves every other entry's bytes as they were.
TEST_F(EditCommandsTest, EachCommandChangesItsEntryAlone) {
    const std::string first = Section(0), last = Section(2);
    struct TCase {
        TArgs Args;
        std::string Middle; // the middle section after it, from its Name= line
    };
    const TCase cases[] = {
        {{"set", "Sync", "--time", "*/20 9-17 * * mon-fri", "--time-limit", "90", "--catch-up",
          "yes", "--overlap", "skip", "--comment", "nightly"},
         "Name=Sync\r\nTime=0,20,40 9-17 * * 1-5\r\nActive=Yes\r\nCommandType=1\r\nWinState=0\r\n"
         "Command=/b\r\nParms=\r\nWorkDir=\r\nCatchUp=Yes\r\nOverlap=Skip\r\nTimeLimit=90\r\n"
         "Comment=nightly"},
        {{"set", "Sync", "--time-limit", "0", "--catch-up", "no", "--overlap", "allow", "--comment",
          "", "--command", "/d", "--parms", "-v 'a b'", "--workdir", "/w"},
         "Name=Sync\r\nTime=0,20,40 9-17 * * 1-5\r\nActive=Yes\r\nCommandType=1\r\nWinState=0\r\n"
         "Command=/d\r\nParms=-v 'a b'\r\nWorkDir=/w"},
        {{"disable", "Sync"}, "Name=Sync\r\nTime=0,20,40 9-17 * * 1-5\r\nActive=No\r\n"},
        {{"enable", "Sync"}, "Name=Sync\r\nTime=0,20,40 9-17 * * 1-5\r\nActive=Yes\r\n"},
        {{"rename", "Sync", "Sync photos"}, "Name=Sync photos\r\n"},
        {{"set", "Sync photos", "--name", "Sync", "--inactive"}, "Name=Sync\r\nTime="},
    };
    for (const TCase& c : cases) {
        TRun r = Run(c.Args);
        ASSERT_EQ(r.Code, 0) << c.Args[0] << ": " << r.Err;
        EXPECT_TRUE(Section(1).starts_with("[Schedule 1]\r\n" + c.Middle)) << c.Args[0] << ":\n"
                                                                           << Section(1);
        EXPECT_EQ(Section(0), first);
        EXPECT_EQ(Section(2), last);
    }
    ASSERT_EQ(Run({"remove", "Sync"}).Code, 0);
    EXPECT_EQ(Section(0), first);
    EXPECT_EQ(Section(1), last.substr(0, 10) + "1" + last.substr(11)); // renumbered

    ASSERT_EQ(Run({"add", "--name", "New", "--time", "0 4 * * 7", "--command", "/e", "--inactive",
                   "--env", "PATH=/opt/bin:/usr/bin"})
                  .Code,
              0);
    TSchedList list;
    list.SetFileName(Path);
    list.Load();
    ASSERT_EQ(list.Count(), 3);
    const TSchedule& added = list.Items(2);
    EXPECT_EQ(added.Name, "New");
    EXPECT_EQ(added.WeekDays, "0");
    EXPECT_FALSE(added.Active);
    EXPECT_EQ(added.Environment, std::vector<std::string>{"PATH=/opt/bin:/usr/bin"});
    // add makes a schedule that is not there yet; the others need one.
    const std::string fresh = Dir.File("fresh.INI");
    EXPECT_EQ(
        SchedCtl({"add", "--name", "A", "--time", "0 1 * * *", "--command", "/a", fresh}).Code, 0);
    EXPECT_NE(ReadFile(fresh).find("Name=A\r\n"), std::string::npos);
    EXPECT_EQ(SchedCtl({"disable", "A", Dir.File("none.INI")}).Code, 2);
    // One empty --env clears the environment; an empty pair among others is an error.
    EXPECT_EQ(Run({"set", "New", "--env", "", "--env", "B=2"}).Code, 2);
    ASSERT_EQ(Run({"set", "New", "--env", ""}).Code, 0);
    list.Load();
    EXPECT_TRUE(list.Items(2).Environment.empty());
}

// A time that would read as something else, or never come, is refused; so is a value
// that would end its line (and let the rest become a key), end the file or cut a text.
TEST_F(EditCommandsTest, RefusesWhatTheFileWouldReadAsSomethingElse) {
    const std::pair<TArgs, std::string> refused[] = {
        {{"set", "Sync", "--time", "0 2 * *"}, "--time needs five fields"},
        {{"set", "Sync", "--time", "0-90/15 * * * *"}, "--time: Minutes '0-90/15' reads as"},
        {{"set", "Sync", "--time", "0 0 31 2 *"}, "never comes: no date has Days '31'"},
        {{"set", "Sync", "--catch-up", "maybe"}, "--catch-up takes yes or no"},
        {{"set", "Sync", "--overlap", "queue"}, "--overlap takes allow or skip"},
        {{"set", "Sync", "--env", "1X=secret"}, "--env wants NAME=VALUE"},
        {{"add", "--name", "X", "--time", "* * * * *"}, "needs --command"},
    };
    for (const auto& [args, message] : refused) {
        TRun r = Run(args);
        EXPECT_EQ(r.Code, 2) << args[1];
        EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
        EXPECT_EQ(r.Err.find("secret"), std::string::npos) << "a value is never shown";
    }
    for (const char* option :
         {"--name", "--time", "--command", "--parms", "--workdir", "--comment", "--env"})
        for (const std::string& bad :
             {std::string("\r"), std::string("\n"), std::string("\x1a"), std::string(1, '\0')}) {
            TRun r = Run({"set", "Sync", option, "A=x" + bad + "Command=rm -rf ~"});
            EXPECT_EQ(r.Code, 2) << option;
            EXPECT_NE(r.Err.find("line end, a Ctrl-Z or a NUL byte"), std::string::npos) << r.Err;
            EXPECT_EQ(r.Err.find("rm -rf") == std::string::npos, option == std::string("--env"));
        }
    EXPECT_EQ(Run({"rename", "Sync", "A\nB"}).Code, 2);
    EXPECT_EQ(ReadFile(Path), Before) << "nothing refused is written";
}

// A name that matches no entry, or several, is an error naming their positions;
// --index picks one.
TEST_F(EditCommandsTest, AMissingOrAmbiguousNameIsAnErrorAndIndexPicksOne) {
    ASSERT_EQ(Run({"add", "--name", "Sync", "--time", "0 5 * * *", "--command", "/f"}).Code, 0);
    TRun r = Run({"disable", "Sync"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err,
              "vantle-schedctl disable: 2 entries are named 'Sync': Sync at 1, 3; --index N picks "
              "one\n");
    r = Run({"remove", "Nope"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "vantle-schedctl remove: no entry is named 'Nope'\n");
    EXPECT_EQ(Run({"disable", "Sync", "--index", "2"}).Code, 2) << "position 2 is Last";
    ASSERT_EQ(Run({"disable", "Sync", "--index", "3"}).Code, 0);
    EXPECT_TRUE(Section(3).find("Active=No") != std::string::npos);
    EXPECT_TRUE(Section(1).find("Active=Yes") != std::string::npos);
}

// A scheduler holding the file takes the change up at its next cycle (it looks for a
// change of the file); a window with unsaved edits would overwrite it: warned.
TEST_F(EditCommandsTest, AScheduleHeldElsewhereIsChangedAndAWindowWithEditsWarned) {
    TSchedList held;
    held.SetFileName(Path);
    held.Load();
    TSchedulerStart start(Path, ChangeFileExt(Path, ".LOG"));
    ASSERT_TRUE(start.Held());
    start.Describe("vantle-scheduler", true);
    TRun r = Run({"disable", "Sync"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Err, "");
    EXPECT_TRUE(held.CheckFileChanged());
    EXPECT_FALSE(held.Items(1).Active);

    start.DescribeUnsaved(true);
    r = Run({"enable", "Sync"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_NE(r.Err.find("has unsaved changes; saving them there would overwrite this change"),
              std::string::npos)
        << r.Err;
}

} // namespace
