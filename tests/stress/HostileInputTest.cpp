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

namespace {

// A value a shell would run two commands from, over several lines.
const std::string HostileValue = "line one\n$(touch pwned-by-value)\n`touch pwned-too`;*\n$D";
const std::string HostileName = "50%s off %d%n; rm -rf ~ && `reboot` $(halt) *";

class HostileInputTest : public ::testing::TestWithParam<std::uint8_t> {
protected:
    HostileInputTest() {
        // The program lives in a folder whose name is itself a command line.
        std::filesystem::create_directories(FBinDir);
        std::filesystem::create_directories(FWorkDir);
        std::filesystem::copy_file(VANTLE_ARGRECORDER, FProgram);
        setenv("VANTLE_ARGRECORDER_OUT", FRecord.c_str(), 1);
        setenv("VANTLE_HOSTILE", HostileValue.c_str(), 1);
        FList.SetFileName(FDir.File("sched.INI"));
        FFake.Clock.Set(EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0));
        FFake.ExecutablePath = FDir.File("vantle-scheduler");
    }
    ~HostileInputTest() override {
        unsetenv("VANTLE_ARGRECORDER_OUT");
        unsetenv("VANTLE_HOSTILE");
    }

    void Add(const std::string& command, const std::string& parms, const std::string& workDir) {
        auto entry = std::make_unique<TSchedule>();
        entry->Name = HostileName;
        entry->Minutes = entry->Hours = entry->Days = entry->Months = entry->WeekDays = "*";
        entry->Command = command;
        entry->Parms = parms;
        entry->WorkDir = workDir;
        entry->CommandType = GetParam();
        entry->Active = true;
        FList.Add(std::move(entry));
    }

    std::unique_ptr<TScheduler> MakeScheduler() {
        TSchedulerServices services = FFake.Services();
        services.Starter = &FStarter;
        return std::make_unique<TScheduler>(FList, services);
    }

    std::string Executing(const std::string& program) {
        return "Executing " + HostileName +
               (GetParam() == ctDosCommand ? " (DOS Command " : " (Command ") + program + ")";
    }

    // A shell that ran would have left a "pwned" file somewhere in the tree.
    void ExpectNoShellRan() {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(FDir.Path()))
            EXPECT_EQ(entry.path().filename().string().find("pwned"), std::string::npos)
                << entry.path();
    }

    TTempDir FDir;
    std::filesystem::path FBinDir = FDir.Path() / "bin; echo $HOME && ls";
    std::filesystem::path FWorkDir = FDir.Path() / "work dir; ls *";
    std::string FProgram = (FBinDir / "rec $(x)").string();
    std::string FRecord = FDir.File("record");
    TFakeServices FFake;
    TPosixProgramStarter FStarter;
    TSchedList FList;
};

} // namespace

TEST_P(HostileInputTest, ParametersReachTheProgramLiterally) {
    Add(FProgram,
        "; && $(touch pwned-by-parms) `touch pwned-by-quote` * \"$V[VANTLE_HOSTILE]\" "
        "'$V[VANTLE_HOSTILE]' $$D %s%d \"$D\"",
        FWorkDir.string());
    auto scheduler = MakeScheduler();
    scheduler->SetEnabled(true);
    scheduler->RunCycle();

    TRecord record = WaitForRecord(FRecord);
    EXPECT_EQ(record.WorkDir, FWorkDir.string());
    EXPECT_EQ(record.Args, (std::vector<std::string>{";", "&&", "$(touch", "pwned-by-parms)",
                                                     "`touch", "pwned-by-quote`", "*", HostileValue,
                                                     HostileValue, "$D", "%s%d", "20010315"}));
    ExpectNoShellRan();
    EXPECT_EQ(LogMessages(ReadFile(FFake.LogPath)),
              (std::vector<std::string>{"Scheduler has been Enabled", Executing(FProgram)}));
}

TEST_P(HostileInputTest, FailedStartLogsTheNameVerbatim) {
    const std::string missing = FDir.File("missing; $(touch pwned-by-missing) %s");
    Add(missing, "%d", "");
    MakeScheduler()->ExecuteEntry(0);
    EXPECT_EQ(LogMessages(ReadFile(FFake.LogPath)),
              (std::vector<std::string>{Executing(missing), HostileName + " Failed (2)"}));
    ExpectNoShellRan();
}

INSTANTIATE_TEST_SUITE_P(ProgramTypes, HostileInputTest,
                         ::testing::Values(ctDosCommand, ctDirectExecute), [](const auto& info) {
                             return info.param == ctDosCommand ? "DosCommand" : "DirectExecute";
                         });
