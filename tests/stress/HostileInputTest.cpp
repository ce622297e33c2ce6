// Hostile names and parameters through the real program starter: nothing reaches a
// shell, nothing is expanded twice, and the log holds every name verbatim.
#include "StressSupport.h"
#include "engine/Scheduler.h"
#include "netware/NetSession.h"
#include "platform/ProgramStarterPosix.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace vantle;
using namespace vantle::test;

namespace {

class TNoClockSetter : public TClockSetter {
public:
    bool SetSystemTime(const TSystemTime&) override { return false; }
};

// A value a shell would run two commands from, over several lines.
const std::string HostileValue = "line one\n$(touch pwned-by-value)\n`touch pwned-too`;*\n$D";
const std::string HostileName = "50%s off %d%n; rm -rf ~ && `reboot` $(halt) *";

std::vector<std::string> WaitForRecord(const std::string& path) {
    for (int i = 0; i < 1000 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string content = ReadFile(path);
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\0', start);
        fields.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

class HostileInputTest : public ::testing::TestWithParam<std::uint8_t> {
protected:
    HostileInputTest() : FClock(EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0)) {
        // The program lives in a folder whose name is itself a command line.
        FBinDir = FDir.Path() / "bin; echo $HOME && ls";
        FWorkDir = FDir.Path() / "work dir; ls *";
        std::filesystem::create_directories(FBinDir);
        std::filesystem::create_directories(FWorkDir);
        FProgram = (FBinDir / "rec $(x)").string();
        std::filesystem::copy_file(VANTLE_ARGRECORDER, FProgram);
        FRecord = FDir.File("record");
        setenv("VANTLE_ARGRECORDER_OUT", FRecord.c_str(), 1);
        setenv("VANTLE_HOSTILE", HostileValue.c_str(), 1);
        FList.SetFileName(FDir.File("sched.INI"));
    }
    ~HostileInputTest() override {
        unsetenv("VANTLE_ARGRECORDER_OUT");
        unsetenv("VANTLE_HOSTILE");
    }

    TScheduler MakeScheduler() {
        TSchedulerServices services;
        services.Clock = &FClock;
        services.Environment = &ProcessEnvironment();
        services.Starter = &FStarter;
        services.ClockSetter = &FNoClockSetter;
        services.FormatSettings = &FSettings;
        services.MakeSession = [] { return std::make_unique<TNoNetSession>(); };
        services.MakeLog = [this](const std::string& path) {
            return std::make_unique<TLog>(path, FClock);
        };
        services.ExecutablePath = FDir.File("vantle-scheduler");
        return TScheduler(FList, services);
    }

    std::vector<std::string> LogLines() {
        return LogMessages(ReadFile(FDir.File("vantle-scheduler.LOG")));
    }

    // Every name in the tree: a shell that ran would have left a "pwned" file.
    std::vector<std::string> TreeNames() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(FDir.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    TTempDir FDir;
    std::filesystem::path FBinDir, FWorkDir;
    std::string FProgram, FRecord;
    TFakeClock FClock;
    TFormatSettings FSettings = FixedFormatSettings();
    TPosixProgramStarter FStarter;
    TNoClockSetter FNoClockSetter;
    TSchedList FList;
};

const char* Wording(std::uint8_t type) {
    return type == ctDosCommand ? "DOS Command" : "Command";
}

} // namespace

TEST_P(HostileInputTest, ParametersReachTheProgramLiterally) {
    auto entry = std::make_unique<TSchedule>();
    entry->Name = HostileName;
    entry->Minutes = entry->Hours = entry->Days = entry->Months = entry->WeekDays = "*";
    entry->Command = FProgram;
    entry->Parms = "; && $(touch pwned-by-parms) `touch pwned-by-quote` * \"$V[VANTLE_HOSTILE]\" "
                   "'$V[VANTLE_HOSTILE]' $$D %s%d \"$D\"";
    entry->WorkDir = FWorkDir.string();
    entry->CommandType = GetParam();
    entry->Active = true;
    FList.Add(std::move(entry));
    TScheduler scheduler = MakeScheduler();
    scheduler.SetEnabled(true);
    scheduler.RunCycle();

    std::vector<std::string> record = WaitForRecord(FRecord);
    ASSERT_GE(record.size(), 4u) << "the program did not run";
    EXPECT_EQ(record[0], FWorkDir.string());
    std::vector<std::string> arguments(record.begin() + 4, record.end());
    EXPECT_EQ(arguments, (std::vector<std::string>{";", "&&", "$(touch", "pwned-by-parms)",
                                                   "`touch", "pwned-by-quote`", "*", HostileValue,
                                                   HostileValue, "$D", "%s%d", "20010315"}));

    for (const std::string& name : TreeNames())
        EXPECT_EQ(name.find("pwned"), std::string::npos) << name;
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"Scheduler has been Enabled",
                                        "Executing " + HostileName + " (" + Wording(GetParam()) +
                                            " " + FProgram + ")"}));
}

TEST_P(HostileInputTest, FailedStartLogsTheNameVerbatim) {
    auto entry = std::make_unique<TSchedule>();
    entry->Name = HostileName;
    entry->Command = FDir.File("missing; $(touch pwned-by-missing) %s");
    entry->Parms = "%d";
    entry->CommandType = GetParam();
    entry->Active = true;
    FList.Add(std::move(entry));
    TScheduler scheduler = MakeScheduler();
    scheduler.ExecuteEntry(0);

    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "Executing " + HostileName + " (" + Wording(GetParam()) + " " +
                                  FDir.File("missing; $(touch pwned-by-missing) %s") + ")",
                              HostileName + " Failed (2)"}));
    for (const std::string& name : TreeNames())
        EXPECT_EQ(name.find("pwned"), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(ProgramTypes, HostileInputTest,
                         ::testing::Values(ctDosCommand, ctDirectExecute),
                         [](const ::testing::TestParamInfo<std::uint8_t>& info) {
                             return std::string(info.param == ctDosCommand ? "DosCommand"
                                                                           : "DirectExecute");
                         });
