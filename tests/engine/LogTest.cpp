#include "engine/Log.h"

#include "platform/SysErrors.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class LogTest : public testing::Test {
protected:
    TTempDir Dir;
    TFakeClock Clock{EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 870)};
};

TEST_F(LogTest, WritesStampColonMessageAndCrLfAfterAReset) {
    TLog log(Dir.File("events.LOG"), Clock);
    log.Reset();
    EXPECT_TRUE(std::filesystem::exists(log.FileName()));
    log.WriteLine("old");
    log.Reset();
    log.WriteLine("second: in the same second");
    log.WriteFmt("Executing %s (DOS Command %s)", {"50% %s: %d", "C:\\bin\\x.bat %1"});
    // Control characters inside a message show as escapes: no name forges a line or
    // drives the terminal that shows the log.
    log.WriteFmt("Executing %s (Command %s)",
                 {std::string("a\nb\r\nc\x1b[2J"), std::string("/x\r\tz")});
    Clock.Set(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 999));
    log.WriteLine("");
    EXPECT_EQ(ReadFile(log.FileName()),
              "2001.03.15 14.05.09:second: in the same second\r\n"
              "2001.03.15 14.05.09:Executing 50% %s: %d (DOS Command C:\\bin\\x.bat %1)\r\n"
              "2001.03.15 14.05.09:Executing a\\x0ab\\x0d\\x0ac\\x1b[2J (Command /x\\x0d\tz)\r\n"
              "1999.12.31 23.59.59:\r\n");
    EXPECT_EQ(FormatLogMessage("100%% %s", {"done"}), "100% done");
}

TEST_F(LogTest, NamesTheFileByTheRules) {
    EXPECT_EQ(TLog("events").FileName(), "events.log");
    EXPECT_EQ(TLog("  /var/log/sched.d/events \t").FileName(), "/var/log/sched.d/events");
    EXPECT_EQ(TLog(" /opt/SCHED.LOG\r\n").FileName(), "/opt/SCHED.LOG");
}

TEST_F(LogTest, AFullDiskRaisesDiskFullAndLeavesNoTornLine) {
    // A file size limit stands in for a disk that fills up in the middle of a line.
    TLog log(Dir.File("events.LOG"), Clock);
    log.WriteLine("whole");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    int code = 0;
    try {
        log.WriteLine("a line longer than ten bytes");
    } catch (const EInOutError& e) {
        code = e.ErrorCode();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(code, 101); // "Disk full"
    EXPECT_EQ(ReadFile(log.FileName()), "2001.03.15 14.05.09:whole\r\n");
}

TEST_F(LogTest, ALineOverTheLimitStartsANewFileAfterRenamingTheOld) {
    const std::string path = Dir.File("events.LOG");
    const std::size_t lineSize = std::string("2001.03.15 14.05.09:line 0\r\n").size(); // 28
    TLog log(path, Clock);
    log.SetMaxSize(3 * lineSize);
    WriteFile(path + ".1", "an older rotation, replaced\r\n");
    for (int i = 0; i < 4; ++i)
        log.WriteLine("line " + std::to_string(i));
    EXPECT_EQ(ReadFile(path + ".1"), "2001.03.15 14.05.09:line 0\r\n2001.03.15 14.05.09:line 1\r\n"
                                     "2001.03.15 14.05.09:line 2\r\n");
    EXPECT_EQ(ReadFile(path), "2001.03.15 14.05.09:Log file continued from events.LOG.1\r\n"
                              "2001.03.15 14.05.09:line 3\r\n");
    log.SetMaxSize(0); // no limit
    for (int i = 0; i < 100; ++i)
        log.WriteLine("line");
    EXPECT_EQ(std::filesystem::file_size(path), 58 + lineSize + 100 * (lineSize - 2));
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

// A log open to others would take their lines as the scheduler's own: a new one is
// private like the state file, whatever the umask. One the user opened up stays so.
TEST_F(LogTest, ANewLogIsPrivateAnExistingOneKeepsItsModeAndARotationTakesTheOldOnes) {
    for (mode_t mask : {mode_t(022), mode_t(0)}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        TTempDir dir;
        const mode_t saved = umask(mask);
        TLog written(dir.File("written.LOG"), Clock);
        written.WriteLine("first");
        TLog reset(dir.File("reset.LOG"), Clock);
        reset.Reset();
        const std::string shared = dir.File("shared.LOG");
        WriteFile(shared, "");
        chmod(shared.c_str(), 0664);
        TLog(shared, Clock).WriteLine("kept");
        TLog(shared, Clock).Reset();
        // A rotation's new log gets the mode of the one it continues.
        TLog rotated(dir.File("rotated.LOG"), Clock);
        rotated.WriteLine("first");
        chmod(rotated.FileName().c_str(), 0664);
        rotated.SetMaxSize(40);
        rotated.WriteLine("the line that does not fit");
        umask(saved);
        EXPECT_EQ(ModeOf(written.FileName()), 0600u);
        EXPECT_EQ(ModeOf(reset.FileName()), 0600u);
        EXPECT_EQ(ModeOf(shared), 0664u);
        ASSERT_TRUE(std::filesystem::exists(rotated.FileName() + ".1"));
        EXPECT_EQ(ModeOf(rotated.FileName()), 0664u);
    }
}

TEST_F(LogTest, AFullLogThatCannotMoveAsideNamesTheFileInTheWay) {
    const std::string path = Dir.File("events.LOG");
    WriteFile(path, "2001.03.15 14.05.09:an old line\r\n");
    std::filesystem::create_directory(path + ".1");
    TLog log(path, Clock);
    log.SetMaxSize(40);
    try {
        log.WriteLine("the line that does not fit");
        ADD_FAILURE() << "wrote past the limit";
    } catch (const EInOutError& e) {
        EXPECT_EQ(DescribeError(e),
                  path + ".1: is a folder, so the full log cannot be moved there");
    }
}

// The codes and texts of the failures are checked with the file they name.
TEST_F(LogTest, ReadsLinesWithoutTheirEndsAndATailOfWholeLinesOrClearsThemAndRaises) {
    TLog log(Dir.File("events.LOG"), Clock);
    WriteFile(log.FileName(), "first\r\nsecond\r\n\r\nthird\r\nlast");
    std::vector<std::string> lines{"stale"};
    log.AssignTo(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "", "third", "last"}));
    struct TCase {
        std::uint64_t MaxBytes, Skipped;
        std::vector<std::string> Lines;
    };
    const TCase cases[] = {
        {28, 0, {"first", "second", "", "third", "last"}},
        {21, 7, {"second", "", "third", "last"}}, // starts right at a line
        {20, 15, {"", "third", "last"}},          // starts inside "second"
        {2, 28, {}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(log.AssignTailTo(lines, c.MaxBytes), c.Skipped) << c.MaxBytes;
        EXPECT_EQ(lines, c.Lines) << c.MaxBytes;
    }
    WriteFile(log.FileName(), "lf\nlone cr\rlast");
    log.AssignTo(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"lf", "lone cr", "last"}));
    EXPECT_THROW(TLog(Dir.File("missing.LOG"), Clock).AssignTo(lines), EInOutError);
    EXPECT_TRUE(lines.empty());
}

} // namespace
