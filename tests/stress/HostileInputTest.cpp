// Hostile names and parameters through the real program starter: nothing reaches a
// shell, nothing is expanded twice, and the log holds every name verbatim.
#include "engine/Scheduler.h"
#include "platform/ProgramStarterPosix.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace vantle;
using namespace vantle::test;
namespace fs = std::filesystem;

namespace {

// A value a shell would run two commands from, over several lines.
const std::string HostileValue = "line one\n$(touch pwned-by-value)\n`touch pwned-too`;*\n$D";
const std::string HostileName = "50%s off %d%n; rm -rf ~ && `reboot` $(halt) *";

} // namespace

// Both program types take the same path; their log lines differ and are the log's test.
// What a shell would make of the words is the starter's own test; here what the scheduler
// adds: a variable's value and $$ are expanded once, in folders that are command lines.
TEST(HostileInputTest, ParametersReachTheProgramLiterallyAndNamesTheLogVerbatim) {
    TTempDir dir;
    fs::path binDir = dir.Path() / "bin; echo $HOME && ls";
    fs::path workDir = dir.Path() / "work dir; ls *";
    std::string program = (binDir / "rec $(x)").string();
    fs::create_directories(binDir);
    fs::create_directories(workDir);
    fs::copy_file(VANTLE_ARGRECORDER, program);
    setenv("VANTLE_ARGRECORDER_OUT", dir.File("record").c_str(), 1);
    setenv("VANTLE_HOSTILE", HostileValue.c_str(), 1);
    TSchedList list;
    list.Add(EntryOf({.Name = HostileName,
                      .Command = program,
                      .Parms = "* \"$V[VANTLE_HOSTILE]\" '$V[VANTLE_HOSTILE]' $$D %s%d \"$D\"",
                      .WorkDir = workDir.string()}));
    TFakeServices fake;
    fake.Clock.Set(EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0));
    fake.ExecutablePath = dir.File("vantle-scheduler");
    list.SetFileName(dir.File("vantle-scheduler.INI"));
    TPosixProgramStarter starter;
    TSchedulerServices services = fake.Services();
    services.Starter = &starter;
    TScheduler scheduler(list, services);
    scheduler.SetEnabled(true);
    scheduler.RunCycle();

    TRecord record = WaitForRecord(dir.File("record"));
    EXPECT_EQ(record.WorkDir, workDir.string());
    EXPECT_EQ(record.Args, (std::vector<std::string>{"*", HostileValue, HostileValue, "$D", "%s%d",
                                                     "20010315"}));
    // A shell that ran would have left a "pwned" file somewhere in the tree.
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("pwned"), std::string::npos)
            << entry.path();
    EXPECT_EQ(
        LogMessages(ReadFile(fake.LogPath)),
        (std::vector<std::string>{"Scheduler has been Enabled",
                                  "Executing " + HostileName + " (Command " + program + ")"}));
    unsetenv("VANTLE_ARGRECORDER_OUT");
    unsetenv("VANTLE_HOSTILE");
}
