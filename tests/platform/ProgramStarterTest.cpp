#include "platform/ProgramStarterPosix.h"
#include "platform/StartProbe.h"

#include "support/Child.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;
namespace fs = std::filesystem;

namespace {

struct TSplitCase {
    const char* Text;
    std::vector<std::string> Words;
};

class SplitShellWordsTest : public testing::TestWithParam<TSplitCase> {};

TEST_P(SplitShellWordsTest, FollowsTheShellsQuotingWithoutExpansion) {
    EXPECT_EQ(SplitShellWords(GetParam().Text), GetParam().Words);
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, SplitShellWordsTest,
    testing::Values(TSplitCase{"  \t ", {}}, TSplitCase{"a  b\tc", {"a", "b", "c"}},
                    TSplitCase{"'single quoted' x", {"single quoted", "x"}},
                    TSplitCase{R"("double \"q\" \$ \\ \n")", {R"(double "q" $ \ \n)"}},
                    TSplitCase{R"(back\ slash \' \a)", {"back slash", "'", "a"}},
                    TSplitCase{R"(ab'c d'"e f"g)", {"abc de fg"}}, TSplitCase{"'' \"\"", {"", ""}},
                    TSplitCase{"'no end", {"no end"}}, TSplitCase{"trailing\\", {"trailing\\"}}));

TEST(ShellQuote, GivesWordsTheSplitterReadsBack) {
    std::vector<std::string> words{"a b", "it's", "", "$x", "\"q\"", "back\\slash", "*"};
    std::string line;
    for (const std::string& word : words)
        line += ShellQuote(word) + " ";
    EXPECT_EQ(SplitShellWords(line), words);
}

const std::string Recorder = VANTLE_ARGRECORDER;

// Starts real programs: the suite's argument recorder, under names of its own.
class ProgramStarterTest : public testing::Test {
protected:
    void SetUp() override { setenv("VANTLE_ARGRECORDER_OUT", FRecordPath.c_str(), 1); }
    void TearDown() override {
        setenv("PATH", FSavedPath.c_str(), 1);
        unsetenv("VANTLE_ARGRECORDER_OUT");
    }

    // A copy of the recorder at `path`, executable.
    std::string InstallRecorder(const fs::path& path) {
        fs::create_directories(path.parent_path());
        fs::copy_file(Recorder, path, fs::copy_options::overwrite_existing);
        return path.string();
    }

    TRecord Record() {
        TRecord record = WaitForRecord(FRecordPath);
        fs::remove(FRecordPath);
        fs::remove(FRecordPath + ".vars");
        return record;
    }

    // Starts and waits for the start's own pid: the program is a direct child, and
    // nothing else of the start is.
    TRecord StartAndReap(const std::string& file, const std::string& parameters,
                         const std::string& directory, int showCommand) {
        TStartResult started = Starter.Start(file, parameters, directory, showCommand, -1);
        EXPECT_GT(started.Code, 32u);
        int status = -1;
        EXPECT_EQ(waitpid(started.Pid, &status, 0), started.Pid) << "not a child of ours";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_TRUE(NoChildLeft()) << "the start left another child behind";
        return Record();
    }

    TTempDir Dir;
    TPosixProgramStarter Starter;
    std::string FRecordPath = Dir.File("record");
    std::string FSavedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
};

TEST_F(ProgramStarterTest, PassesQuotedWordsLiterallyAndDetaches) {
    const std::string longWord = std::string(5000, 'x') + "end";
    // Neither the splitter nor a shell may read anything into these words.
    std::string parameters = R"('two words' "$HOME" * ; `id` $(id) ~ a|b > x #c '' )" + longWord;
    // The starter's own variable replaces one the scheduler inherited, never joins it.
    setenv("VANTLE_SHOW_COMMAND", "99", 1);
    TRecord record = StartAndReap(Recorder, parameters, "", 6);
    unsetenv("VANTLE_SHOW_COMMAND");
    EXPECT_EQ(record.Args,
              (std::vector<std::string>{"two words", "$HOME", "*", ";", "`id`", "$(id)", "~", "a|b",
                                        ">", "x", "#c", "", longWord}));
    EXPECT_EQ(record.WorkDir, std::getenv("HOME")) << "no working folder: the home folder";
    EXPECT_EQ(record.Show, "6");
    EXPECT_EQ(record.Stdio, "stdio=null");
    EXPECT_NE(record.Session, getsid(0));
}

TEST_F(ProgramStarterTest, ReportsTheShellsCodesThenFindsABareNameAndOpensADocument) {
    setenv("PATH", (Dir.Path() / "empty").string().append(":").append(Dir.File("bin")).c_str(), 1);
    std::string document = Dir.File("report.txt");
    WriteFile(document, "text");
    std::string garbage = Dir.File("garbage");
    WriteFile(garbage, "\x7f\x01\x02 not a program");
    fs::permissions(garbage, fs::perms::owner_all);
    fs::create_directories(Dir.Path() / "bin");
    fs::copy_file(garbage, Dir.Path() / "bin" / "vantle-garbage");

    EXPECT_EQ(Starter.StartProgram(Dir.File("missing"), "", "", 1), 2u);
    EXPECT_EQ(Starter.StartProgram(Dir.File("missing"), "", Dir.Path().string(), 1), 2u);
    EXPECT_EQ(Starter.StartProgram("vantle-recorder", "", "", 1), 2u);
    EXPECT_EQ(Starter.StartProgram("", "", "", 1), 2u);
    EXPECT_EQ(Starter.StartProgram(Recorder, "", Dir.File("no-folder"), 1), 3u);
    EXPECT_EQ(Starter.StartProgram(Dir.File("missing"), "", Dir.File("no-folder"), 1), 3u);
    EXPECT_EQ(Starter.StartProgram(Recorder, "", document, 1), 3u);
    EXPECT_EQ(Starter.StartProgram(Dir.Path().string(), "", "", 1), 5u);
    EXPECT_EQ(Starter.StartProgram(garbage, "", "", 1), 11u);
    EXPECT_EQ(Starter.StartProgram("vantle-garbage", "", "", 1), 11u); // no shell tries it
    EXPECT_EQ(Starter.StartProgram(document, "", "", 1), 31u);         // no xdg-open on PATH
    EXPECT_TRUE(NoChildLeft()) << "a started program is still a child of the scheduler";
    // The probe meets what the start would, starting nothing: what is missing, not
    // whether what is there will run.
    for (const auto& [file, folder, code] :
         std::vector<std::tuple<std::string, std::string, std::uint32_t>>{
             {Dir.File("missing"), "", 2},
             {"vantle-recorder", "", 2},
             {"", "", 2},
             {Recorder, Dir.File("no-folder"), 3},
             {document, "", 0},
             {"vantle-garbage", "", 0},
             {"./report.txt", Dir.Path().string(), 0},
             {"./report.txt", "", 2}})
        EXPECT_EQ(ProbeStart(file, folder, SearchPath()), code) << file << " in " << folder;

    InstallRecorder(Dir.Path() / "bin" / "vantle-recorder");
    EXPECT_EQ(ProbeStart("vantle-recorder", "", SearchPath()), 0u);
    InstallRecorder(Dir.Path() / "bin" / "xdg-open");
    EXPECT_EQ(StartAndReap("vantle-recorder", "one", "", 1).Args, std::vector<std::string>{"one"});
    TRecord record = StartAndReap(document, "ignored", "", 3);
    EXPECT_EQ(record.Args, std::vector<std::string>{document});
    EXPECT_EQ(record.Show, "3");
    // A relative name is looked for in the working folder, program and document alike.
    record = StartAndReap("./report.txt", "", Dir.Path().string(), 1);
    EXPECT_EQ(record.Args, std::vector<std::string>{"./report.txt"});
    EXPECT_EQ(record.WorkDir, Dir.Path().string());
    EXPECT_EQ(StartAndReap("bin/xdg-open", "two", Dir.Path().string(), 1).Args,
              std::vector<std::string>{"two"});
}

// An entry's variables reach its program over the scheduler's, byte for byte, the last
// of a name winning; a bare name is looked for in the PATH the entry sets, and only there.
TEST_F(ProgramStarterTest, AnEnvironmentReachesTheProgramAndItsPathFindsIt) {
    setenv("VANTLE_ARGRECORDER_VARS", "A,B,C,UNSET_VAR,PATH,VANTLE_SHOW_COMMAND", 1);
    setenv("A", "the scheduler's", 1);
    unsetenv("UNSET_VAR");
    setenv("PATH", Dir.File("scheduler-bin").c_str(), 1);
    InstallRecorder(Dir.Path() / "entry-bin" / "vantle-recorder");
    const std::string entryPath = Dir.File("empty") + ":" + Dir.File("entry-bin");
    const std::string umlauts = "gr\xc3\xbc\xc3\x9f \xe9";
    const TStartExtras extras{.Environment = {"A=x=y;z", "B=" + umlauts, "C=first",
                                              "C=", "PATH=" + entryPath, "VANTLE_SHOW_COMMAND=9"}};
    EXPECT_EQ(ProbeStart("vantle-recorder", "", SearchPathFor(extras.Environment)), 0u);
    TStartResult started = Starter.StartWith("vantle-recorder", "one", "", 3, -1, extras);
    ASSERT_GT(started.Code, 32u);
    int status = -1;
    ASSERT_EQ(waitpid(started.Pid, &status, 0), started.Pid);
    TRecord record = Record();
    EXPECT_EQ(record.Args, std::vector<std::string>{"one"});
    EXPECT_EQ(record.Variables,
              (std::vector<std::string>{"A=x=y;z", "B=" + umlauts, "C=", "UNSET_VAR",
                                        "PATH=" + entryPath, "VANTLE_SHOW_COMMAND=3"}));
    // Found in the scheduler's PATH but not in the entry's: not started.
    setenv("PATH", Dir.File("entry-bin").c_str(), 1);
    const TStartExtras elsewhere{.Environment = {"PATH=" + Dir.File("empty")}};
    EXPECT_EQ(ProbeStart("vantle-recorder", "", SearchPathFor(elsewhere.Environment)), 2u);
    EXPECT_EQ(Starter.StartWith("vantle-recorder", "", "", 1, -1, elsewhere).Code, 2u);
    EXPECT_TRUE(NoChildLeft());
    unsetenv("VANTLE_ARGRECORDER_VARS");
    unsetenv("A");
}

// The spawned program changes into its working folder before the exec, so a relative
// folder of PATH is read from there, by the probe as by the start.
TEST_F(ProgramStarterTest, ARelativeFolderOfPathIsReadFromTheWorkingFolder) {
    InstallRecorder(Dir.Path() / "work" / "tools" / "vantle-recorder");
    const std::string work = Dir.File("work");
    EXPECT_EQ(ProbeStart("vantle-recorder", work, "tools"), 0u);
    EXPECT_EQ(ProbeStart("vantle-recorder", work, "elsewhere"), 2u);
    TStartResult started =
        Starter.StartWith("vantle-recorder", "rel", work, 1, -1, {.Environment = {"PATH=tools"}});
    ASSERT_GT(started.Code, 32u);
    int status = -1;
    ASSERT_EQ(waitpid(started.Pid, &status, 0), started.Pid);
    EXPECT_EQ(Record().Args, std::vector<std::string>{"rel"});
}

// An empty working folder is the home folder, as under cron and systemd, and not
// wherever the scheduler was started: relative commands and paths resolve from there.
TEST_F(ProgramStarterTest, WithoutAWorkingFolderAProgramStartsInTheHomeFolder) {
    const char* savedHome = std::getenv("HOME");
    const std::string home = Dir.File("home");
    InstallRecorder(fs::path(home) / "bin" / "rec");
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(WorkFolderOf(""), home);
    EXPECT_EQ(WorkFolderOf("/srv"), "/srv");
    EXPECT_EQ(ProbeStart("bin/rec", "", SearchPath()), 0u);
    TRecord record = StartAndReap("bin/rec", "~/Documents", "", 1);
    EXPECT_EQ(record.WorkDir, home);
    EXPECT_EQ(record.Args, std::vector<std::string>{"~/Documents"}) << "a ~ is no shell's";
    setenv("HOME", (home + "/missing").c_str(), 1);
    EXPECT_EQ(Starter.StartProgram(Recorder, "", "", 1), 3u) << "a home that is not there";
    setenv("HOME", savedHome != nullptr ? savedHome : "/", 1);
}

// What the program writes to either stream reaches the caller's file in the order
// written; its input stays /dev/null.
TEST_F(ProgramStarterTest, OutputAndErrorGoToTheGivenFileInOrder) {
    const std::string output = Dir.File("output");
    int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    TStartResult started = Starter.Start(VANTLE_ENDHELPER, "print 0", "", 1, fd);
    ::close(fd);
    ASSERT_GT(started.Code, 32u);
    int status = -1;
    ASSERT_EQ(waitpid(started.Pid, &status, 0), started.Pid);
    EXPECT_EQ(ReadFile(output), "out\nerr\nout again\n");
}

TEST_F(ProgramStarterTest, StartsWithItsOwnStandardFilesClosed) {
    // A daemon without standard files holds what the start opens on 0 to 2.
    TChildResult scheduler = RunInChild([&] {
        close(0);
        close(1);
        close(2);
        std::string workDir = Dir.Path().string();
        return std::to_string(Starter.StartProgram(Dir.File("missing"), "", workDir, 1)) + " " +
               std::to_string(Starter.StartProgram(Recorder, "", workDir, 1));
    });
    EXPECT_TRUE(scheduler.Succeeded());
    EXPECT_EQ(scheduler.Output, "2 " + std::to_string(SE_START_ACCEPTED));
    TRecord record = Record();
    EXPECT_EQ(record.WorkDir, Dir.Path().string());
    EXPECT_EQ(record.Stdio, "stdio=null");
}

} // namespace
