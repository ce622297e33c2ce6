// The dispatcher: help for every command, the version, and the desktop program's
// files as the default FILE.
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include "support/MapEnvironment.h"
#include "support/SchedCtlRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

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
    // From a build folder both programs find the window's schedule.
    test::TTempDir dir;
    std::filesystem::create_directories(dir.File("src/cli"));
    std::filesystem::create_directories(dir.File("src/ui"));
    test::WriteFile(dir.File("src/ui/vantle-scheduler"), "");
    files = DesktopFiles(dir.File("src/cli/vantle-schedctl"), environment,
                         [](const std::string&) { return true; });
    EXPECT_EQ(files.ScheduleFile, dir.File("src/ui/vantle-scheduler.INI"));
}

// The man page and the completion follow the command table: every command and every
// option its usage line names is in both, so none can be missing again.
TEST(CommandHelp, ManPageAndCompletionKnowEveryCommandAndOption) {
    const std::string overview = SchedCtl({"--help"}).Out;
    const std::string man = test::ReadFile(VANTLE_SOURCE_DIR "/dist/man/vantle-schedctl.1");
    const std::string completion =
        test::ReadFile(VANTLE_SOURCE_DIR "/dist/vantle-schedctl.bash-completion");
    const std::regex commandLine("^  ([a-z]+) (.*)$"), option("(^|[ \\[])(--?[a-z-]+)");
    const std::size_t listed = completion.find("local commands=\"") + 16;
    const std::string commands =
        " " + completion.substr(listed, completion.find('"', listed) - listed) + " ";
    int seen = 0;
    std::istringstream lines(overview);
    for (std::string line; std::getline(lines, line);) {
        std::smatch command;
        if (!std::regex_match(line, command, commandLine))
            continue;
        ++seen;
        const std::string name = command[1];
        EXPECT_NE(commands.substr(0, commands.find('\n')).find(" " + name + " "), std::string::npos)
            << name << " is not among the completion's commands";
        EXPECT_TRUE(man.find(".BR " + name) != std::string::npos ||
                    man.find(".BI " + name) != std::string::npos)
            << name << " is not in the man page";
        const std::string usage = SchedCtl({"help", name}).Out;
        const std::string usageLine = usage.substr(0, usage.find('\n'));
        const std::size_t cased = completion.find("    " + name + ") options=");
        for (std::sregex_iterator it(usageLine.begin(), usageLine.end(), option), end; it != end;
             ++it) {
            const std::string flag = (*it)[2];
            std::string manFlag;
            for (char c : flag)
                manFlag += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(man.find(manFlag), std::string::npos) << name << " " << flag << ": man page";
            EXPECT_NE(cased, std::string::npos) << name << ": no options in the completion";
            if (cased != std::string::npos) {
                EXPECT_NE(completion.substr(cased, completion.find('\n', cased) - cased).find(flag),
                          std::string::npos)
                    << name << " " << flag << ": completion";
            }
        }
    }
    EXPECT_GE(seen, 8);
}

} // namespace
} // namespace vantle::cli
