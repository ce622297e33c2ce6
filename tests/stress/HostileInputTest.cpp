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

class HostileInputTest : public ::testing::TestWithParam<std::uint8_t> {
protected:
    ~HostileInputTest() override {
        unsetenv("VANTLE_ARGRECORDER_OUT");
        unsetenv("VANTLE_HOSTILE");
    }
    TTempDir FDir;
};

} // namespace

TEST_P(HostileInputTest, ParametersReachTheProgramLiterallyAndNamesTheLogVerbatim) {
    // The program lives in a folder whose name is itself a command line.
    fs::path binDir = FDir.Path() / "bin; echo $HOME && ls";
    fs::path workDir = FDir.Path() / "work dir; ls *";
    std::string program = (binDir / "rec $(x)").string();
    std::string missing = FDir.File("missing; $(touch pwned-by-missing) %s");
    fs::create_directories(binDir);
    fs::create_directories(workDir);
    fs::copy_file(VANTLE_ARGRECORDER, program);
    setenv("VANTLE_ARGRECORDER_OUT", FDir.File("record").c_str(), 1);
    setenv("VANTLE_HOSTILE", HostileValue.c_str(), 1);
    TSchedList list;
    auto add = [&](const std::string& command, const std::string& parms, const fs::path& dir) {
        list.Add(EntryOf({.Name = HostileName,
                          .Type = GetParam(),
                          .Command = command,
                          .Parms = parms,
                          .WorkDir = dir.string()}));
    };
    add(program,
        "; && $(touch pwned-by-parms) `touch pwned-by-quote` * \"$V[VANTLE_HOSTILE]\" "
        "'$V[VANTLE_HOSTILE]' $$D %s%d \"$D\"",
        workDir);
    add(missing, "%d", "");
    TFakeServices fake;
    fake.Clock.Set(EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0));
    fake.ExecutablePath = FDir.File("vantle-scheduler");
    list.SetFileName(FDir.File("vantle-scheduler.INI"));
    TPosixProgramStarter starter;
    TSchedulerServices services = fake.Services();
    services.Starter = &starter;
    TScheduler scheduler(list, services);
    scheduler.SetEnabled(true);
    scheduler.RunCycle();

    TRecord record = WaitForRecord(FDir.File("record"));
    EXPECT_EQ(record.WorkDir, workDir.string());
    EXPECT_EQ(record.Args, (std::vector<std::string>{";", "&&", "$(touch", "pwned-by-parms)",
                                                     "`touch", "pwned-by-quote`", "*", HostileValue,
                                                     HostileValue, "$D", "%s%d", "20010315"}));
    // A shell that ran would have left a "pwned" file somewhere in the tree.
    for (const auto& entry : fs::recursive_directory_iterator(FDir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("pwned"), std::string::npos)
            << entry.path();
    const std::string executing =
        "Executing " + HostileName + (GetParam() == ctDosCommand ? " (DOS Command " : " (Command ");
    EXPECT_EQ(LogMessages(ReadFile(fake.LogPath)),
              (std::vector<std::string>{"Scheduler has been Enabled", executing + program + ")",
                                        executing + missing + ")", HostileName + " Failed (2)"}));
}

INSTANTIATE_TEST_SUITE_P(ProgramTypes, HostileInputTest,
                         ::testing::Values(ctDosCommand, ctDirectExecute), [](const auto& info) {
                             return info.param == ctDosCommand ? "DosCommand" : "DirectExecute";
                         });
