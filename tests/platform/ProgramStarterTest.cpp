#include "platform/ProgramStarterPosix.h"

#include "support/Child.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
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
        return record;
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
    ASSERT_GT(Starter.StartProgram(Recorder, parameters, "", 6), 32u);
    TRecord record = Record();
    EXPECT_EQ(record.Args,
              (std::vector<std::string>{"two words", "$HOME", "*", ";", "`id`", "$(id)", "~", "a|b",
                                        ">", "x", "#c", "", longWord}));
    EXPECT_EQ(record.WorkDir, fs::current_path().string());
    EXPECT_EQ(record.Show, "6");
    EXPECT_EQ(record.Stdio, "stdio=null");
    EXPECT_NE(record.Session, getsid(0));
    // The recorder has ended by now; it must not linger as a zombie of ours.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(NoChildLeft()) << "a started program is still a child of the scheduler";
}

TEST_F(ProgramStarterTest, ReportsTheShellsCodesThenFindsABareNameAndOpensADocument) {
    setenv("PATH", (Dir.Path() / "empty").string().append(":").append(Dir.File("bin")).c_str(), 1);
    std::string document = Dir.File("report.txt");
    WriteFile(document, "text");
    std::string garbage = Dir.File("garbage");
    WriteFile(garbage, "\x7f\x01\x02 not a program");
    fs::permissions(garbage, fs::perms::owner_all);

    EXPECT_EQ(Starter.StartProgram(Dir.File("missing"), "", "", 1), 2u);
    EXPECT_EQ(Starter.StartProgram("vantle-recorder", "", "", 1), 2u);
    EXPECT_EQ(Starter.StartProgram("", "", "", 1), 2u);
    EXPECT_EQ(Starter.StartProgram(Recorder, "", Dir.File("no-folder"), 1), 3u);
    EXPECT_EQ(Starter.StartProgram(Dir.Path().string(), "", "", 1), 5u);
    EXPECT_EQ(Starter.StartProgram(garbage, "", "", 1), 11u);
    EXPECT_EQ(Starter.StartProgram(document, "", "", 1), 31u); // no xdg-open on PATH
    EXPECT_TRUE(NoChildLeft()) << "a started program is still a child of the scheduler";

    InstallRecorder(Dir.Path() / "bin" / "vantle-recorder");
    InstallRecorder(Dir.Path() / "bin" / "xdg-open");
    ASSERT_GT(Starter.StartProgram("vantle-recorder", "one", "", 1), 32u);
    EXPECT_EQ(Record().Args, std::vector<std::string>{"one"});
    ASSERT_GT(Starter.StartProgram(document, "ignored", "", 3), 32u);
    TRecord record = Record();
    EXPECT_EQ(record.Args, std::vector<std::string>{document});
    EXPECT_EQ(record.Show, "3");
}

TEST_F(ProgramStarterTest, ReportsFailuresWithItsOwnStandardFilesClosed) {
    // A daemon without standard files gets the status pipe on 0 and 1.
    TChildResult scheduler = RunInChild([&] {
        close(0);
        close(1);
        close(2);
        return std::to_string(Starter.StartProgram(Dir.File("missing"), "", "", 1));
    });
    EXPECT_TRUE(scheduler.Succeeded());
    EXPECT_EQ(scheduler.Output, "2");
}

} // namespace
