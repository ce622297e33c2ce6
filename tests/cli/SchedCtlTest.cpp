// The dispatcher: help for every command, the version, and the desktop program's
// files as the default FILE.
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include "support/MapEnvironment.h"
#include "support/SchedCtlRun.h"

#include <gtest/gtest.h>

namespace vantle::cli {
namespace {

using test::SchedCtl;
using test::TRun;

// Every way of asking prints one help, which starts with the command's usage line; the
// overview lists that line and a usage error repeats it.
class CommandHelpTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CommandHelpTest, OneUsageLineServesHelpOverviewAndErrors) {
    const std::string& command = GetParam();
    TRun help = SchedCtl({"help", command});
    EXPECT_EQ(help.Code, 0) << help.Err;
    const std::string usage = help.Out.substr(0, help.Out.find('\n'));
    const std::string prefix = "Usage: vantle-schedctl ";
    ASSERT_EQ(usage.rfind(prefix + command + " ", 0), 0u) << help.Out;
    for (const char* option : {"--help", "-h"}) {
        TRun asked = SchedCtl({command, option});
        EXPECT_EQ(asked.Code, 0) << option;
        EXPECT_EQ(asked.Out, help.Out) << option;
    }
    EXPECT_NE(SchedCtl({"--help"}).Out.find("\n  " + usage.substr(prefix.size())),
              std::string::npos);
    TRun wrong = SchedCtl({command, "--bogus"});
    EXPECT_EQ(wrong.Code, 2);
    EXPECT_EQ(wrong.Out, "");
    EXPECT_EQ(wrong.Err,
              "vantle-schedctl " + command + ": unknown option '--bogus'\n" + usage + "\n");
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandHelpTest,
                         ::testing::Values("fmt", "check", "due", "next", "upcoming", "expand",
                                           "run"));

TEST(SchedCtl, HelpAndVersionGoToStandardOutputAndMistakesToStandardErrorWithTwo) {
    // Each command's line in the overview is checked with the command's own help.
    const std::string overview = SchedCtl({"--help"}).Out;
    EXPECT_EQ(overview.rfind("Usage: vantle-schedctl COMMAND", 0), 0u) << overview;
    for (const TArgs& args : {TArgs{"-h"}, TArgs{"help"}}) {
        TRun run = SchedCtl(args);
        EXPECT_EQ(run.Code, 0);
        EXPECT_EQ(run.Out, overview);
    }
    TRun version = SchedCtl({"--version"});
    EXPECT_EQ(version.Code, 0);
    EXPECT_EQ(version.Out, "vantle-schedctl " VANTLE_TEST_VERSION "\n");
    for (const TArgs& args : {TArgs{}, TArgs{"help", "frobnicate"}, TArgs{"frobnicate"},
                              TArgs{"help", "fmt", "extra"}}) {
        TRun run = SchedCtl(args);
        EXPECT_EQ(run.Code, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_NE(run.Err.find("Usage: vantle-schedctl COMMAND"), std::string::npos);
    }
    // Help wins among other options, before any is checked; after "--" it is a word.
    TRun run = SchedCtl({"run", "--once", "--bogus", "--help"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, SchedCtl({"help", "run"}).Out);
    run = SchedCtl({"expand", "--", "--help"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "--help\n");
}

// Where the folder is not writable, the user's folders: the install test runs both
// programs that way, with --paths.
TEST(DefaultFiles, AreTheDesktopProgramsBesideIt) {
    test::TMapEnvironment environment{{"HOME", "/home/u"}};
    TFileLocations files = DesktopFiles("/opt/vs/bin/vantle-schedctl", environment,
                                        [](const std::string&) { return true; });
    EXPECT_EQ(files.ScheduleFile, "/opt/vs/bin/vantle-scheduler.INI");
}

} // namespace
} // namespace vantle::cli
