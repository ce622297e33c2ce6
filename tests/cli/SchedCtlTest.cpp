// The dispatcher: help for every command, the version, and the desktop program's
// files as the default FILE.
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace vantle::cli {
namespace {

struct TRun {
    int Code;
    std::string Out, Err;
};

TRun SchedCtl(const TArgs& args) {
    std::ostringstream out, err;
    int code = RunSchedCtl(args, out, err);
    return TRun{code, out.str(), err.str()};
}

struct THelpCase {
    TArgs Args;
    std::string Usage; // the line the help starts with
};

class CommandHelpTest : public ::testing::TestWithParam<THelpCase> {};

TEST_P(CommandHelpTest, PrintsThatCommandsUsageAndSucceeds) {
    TRun run = SchedCtl(GetParam().Args);
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("Usage: vantle-schedctl " + GetParam().Usage + "\n", 0), 0u) << run.Out;
    EXPECT_EQ(run.Err, "");
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, CommandHelpTest,
    ::testing::Values(
        THelpCase{{"help", "fmt"}, "fmt [-w] [FILE]"},
        THelpCase{{"check", "--help"}, "check [FILE]"},
        THelpCase{{"help", "due"}, "due --at MOMENT [FILE]"},
        THelpCase{{"next", "-h"}, "next [--from MOMENT] [--count N] [FILE]"},
        THelpCase{{"upcoming", "--help"}, "upcoming [--from MOMENT] [--days N | --count N] [FILE]"},
        THelpCase{{"expand", "--help"}, "expand [--at MOMENT] TEXT"},
        // Among other options too, and before any of them is checked.
        THelpCase{{"run", "--once", "--bogus", "--help"},
                  "run [--once] [--dry-run] [--at MOMENT]... [--log LOGFILE] [FILE]"}));

TEST(SchedCtl, HelpAndVersionPrintOnStandardOutput) {
    for (const TArgs& args : {TArgs{"--help"}, TArgs{"-h"}, TArgs{"help"}}) {
        TRun run = SchedCtl(args);
        EXPECT_EQ(run.Code, 0);
        EXPECT_EQ(run.Out.rfind("Usage: vantle-schedctl COMMAND", 0), 0u) << run.Out;
        for (const char* command : {"fmt", "check", "due", "next", "upcoming", "expand", "run"})
            EXPECT_NE(run.Out.find(std::string("\n  ") + command + " "), std::string::npos)
                << command;
    }
    TRun version = SchedCtl({"--version"});
    EXPECT_EQ(version.Code, 0);
    EXPECT_EQ(version.Out, "vantle-schedctl " VANTLE_TEST_VERSION "\n");
}

TEST(SchedCtl, MistakesGoToStandardErrorWithTwo) {
    for (const TArgs& args : {TArgs{}, TArgs{"help", "frobnicate"}, TArgs{"frobnicate"},
                              TArgs{"help", "fmt", "extra"}}) {
        TRun run = SchedCtl(args);
        EXPECT_EQ(run.Code, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_NE(run.Err.find("Usage: vantle-schedctl COMMAND"), std::string::npos);
    }
}

TEST(SchedCtl, HelpAfterDoubleDashIsAWord) {
    TRun run = SchedCtl({"expand", "--", "--help"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "--help\n");
}

class TMapEnvironment : public TEnvironment {
public:
    std::optional<std::string> Get(const std::string& name) const override {
        if (name == "HOME")
            return std::string("/home/u");
        return std::nullopt;
    }
};

TEST(DefaultFiles, AreTheDesktopProgramsBesideIt) {
    TMapEnvironment environment;
    std::string asked;
    auto writable = [&](bool result) {
        return [&asked, result](const std::string& folder) {
            asked = folder;
            return result;
        };
    };
    TFileLocations portable =
        DesktopFiles("/opt/vs/bin/vantle-schedctl", environment, writable(true));
    EXPECT_EQ(asked, "/opt/vs/bin");
    EXPECT_EQ(portable.ScheduleFile, "/opt/vs/bin/vantle-scheduler.INI");
    EXPECT_EQ(portable.LogFile, "/opt/vs/bin/vantle-scheduler.LOG");
    TFileLocations installed =
        DesktopFiles("/opt/vs/bin/vantle-schedctl", environment, writable(false));
    EXPECT_EQ(installed.ScheduleFile, "/home/u/.config/vantle-scheduler/vantle-scheduler.INI");
    EXPECT_EQ(installed.LogFile, "/home/u/.local/state/vantle-scheduler/vantle-scheduler.LOG");
}

TEST(DefaultFiles, PathsPrintsThem) {
    TFileLocations files = DesktopFiles();
    TRun run = SchedCtl({"--paths"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out, "schedule: " + files.ScheduleFile + "\nlog: " + files.LogFile + "\n");
}

} // namespace
} // namespace vantle::cli
