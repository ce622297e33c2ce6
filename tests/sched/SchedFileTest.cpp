#include "sched/SchedFile.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

std::vector<const TSchedule*> Pointers(const std::vector<TSchedule>& entries) {
    std::vector<const TSchedule*> pointers;
    for (const TSchedule& entry : entries)
        pointers.push_back(&entry);
    return pointers;
}

std::vector<TSchedule> ExampleEntries() {
    TSchedule backup;
    backup.Name = "Nightly backup";
    backup.Minutes = "30";
    backup.Hours = "2";
    backup.Days = "*";
    backup.Months = "*";
    backup.WeekDays = "1-5";
    backup.Active = true;
    backup.CommandType = ctDosCommand;
    backup.WinState = wsHidden;
    backup.Command = "C:\\BATCH\\BACKUP.BAT";
    backup.Parms = "/Q";
    backup.WorkDir = "C:\\BATCH";
    backup.Comment = {"Weekday nights only.", "Ask the office before changing."};
    TSchedule clock;
    clock.Name = "Clock";
    clock.Minutes = "0";
    clock.Hours = "6,18";
    clock.Days = clock.Months = clock.WeekDays = "*";
    clock.CommandType = ctBuiltinResetTime;
    clock.Command = "dropped for type 2";
    return {backup, clock};
}

const char* const ExampleText = "[Schedule 0]\r\n"
                                "Name=Nightly backup\r\n"
                                "Time=30 2 * * 1-5\r\n"
                                "Active=Yes\r\n"
                                "CommandType=0\r\n"
                                "WinState=3\r\n"
                                "Command=C:\\BATCH\\BACKUP.BAT\r\n"
                                "Parms=/Q\r\n"
                                "WorkDir=C:\\BATCH\r\n"
                                "Comment=Weekday nights only.\r\n"
                                "Comment=Ask the office before changing.\r\n"
                                "\r\n"
                                "[Schedule 1]\r\n"
                                "Name=Clock\r\n"
                                "Time=0 6,18 * * *\r\n"
                                "Active=No\r\n"
                                "CommandType=2\r\n"
                                "WinState=0\r\n";

TEST(FormatScheduleFileTest, WritesTheExactSavedForm) {
    EXPECT_EQ(FormatScheduleFile(Pointers(ExampleEntries())), ExampleText);
    EXPECT_EQ(FormatScheduleFile({}), "");
}

TEST(ParseScheduleFileTest, RoundTripKeepsEntriesButDropsType2Command) {
    std::vector<TSchedule> entries = ExampleEntries();
    entries.push_back(TSchedule{});       // all empty: empty time fields survive
    entries.back().Comment = {"", " x "}; // an empty comment line too
    auto loaded = ParseScheduleFile(FormatScheduleFile(Pointers(entries)));
    ASSERT_EQ(loaded.size(), entries.size());
    entries[1].Command.clear();
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_FALSE(EntriesDiffer(*loaded[i], entries[i])) << "entry " << i;
}

TEST(ParseScheduleFileTest, BlankInsideTimeFieldSpillsOver) {
    TSchedule entry;
    entry.Minutes = "1 2";
    entry.Hours = "3";
    entry.Days = entry.Months = entry.WeekDays = "*";
    auto loaded = ParseScheduleFile(FormatScheduleFile({&entry}));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->Minutes, "1");
    EXPECT_EQ(loaded[0]->Hours, "2");
    EXPECT_EQ(loaded[0]->Days, "3");
}

TEST(ParseScheduleFileTest, LineEndsAndCtrlZ) {
    // CR alone ends a line; a lone LF stays in the text; Ctrl-Z ends the file.
    auto loaded = ParseScheduleFile("[Schedule 9]\rName=a\nb\r\nComment=c\r\x1a"
                                    "[Schedule 1]\r\nName=lost\r\n");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->Name, "a\nb");
    EXPECT_EQ(loaded[0]->Comment, std::vector<std::string>{"c"});
    // LF-only files are one long line: a header, and nothing else.
    auto lfOnly = ParseScheduleFile("[Schedule 0]\nName=x\n");
    ASSERT_EQ(lfOnly.size(), 1u);
    EXPECT_EQ(lfOnly[0]->Name, "");
}

TEST(ParseScheduleFileTest, HeadersDecideTheEntries) {
    EXPECT_EQ(ParseScheduleFile("Name=x\r\nTime=* * * * *\r\n").size(), 0u);
    EXPECT_EQ(ParseScheduleFile("").size(), 0u);
    auto same = ParseScheduleFile("[Schedule 0]\r\nName=a\r\n[Schedule 0]\r\nName=b\r\n"
                                  "[Schedule ]\r\n[Schedule x\r\n");
    ASSERT_EQ(same.size(), 4u);
    EXPECT_EQ(same[0]->Name, "a");
    EXPECT_EQ(same[1]->Name, "b");
}

TEST(ParseScheduleFileTest, LinesOfAnyLength) {
    std::string name(1 << 20, 'n');
    auto loaded = ParseScheduleFile("[Schedule 0]\r\nName=" + name + "\r\n");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->Name, name);
}

// One line inside a section that already has Name=old, CommandType=0, and a fresh
// entry's other values; what the entry holds afterwards.
struct TLineCase {
    const char* What;
    std::string Line;
    void (*Expect)(const TSchedule&);
};

class SingleLineTest : public ::testing::TestWithParam<TLineCase> {};

TEST_P(SingleLineTest, AffectsTheEntryAsTheReaderSays) {
    std::string text = "[Schedule 0]\r\nName=old\r\nActive=Yes\r\n" + GetParam().Line + "\r\n";
    auto loaded = ParseScheduleFile(text);
    ASSERT_EQ(loaded.size(), 1u) << GetParam().What;
    GetParam().Expect(*loaded[0]);
}

void KeepsName(const TSchedule& e) {
    EXPECT_EQ(e.Name, "old");
}
void ActiveTrue(const TSchedule& e) {
    EXPECT_TRUE(e.Active);
}
void ActiveFalse(const TSchedule& e) {
    EXPECT_FALSE(e.Active);
}
void TypeUnchanged(const TSchedule& e) {
    EXPECT_EQ(e.CommandType, ctDirectExecute);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SingleLineTest,
    ::testing::Values(
        TLineCase{"lower-case key", "name=x", KeepsName},
        TLineCase{"leading blank", " Name=x", KeepsName},
        TLineCase{"value kept verbatim", "Name= x ",
                  [](const TSchedule& e) { EXPECT_EQ(e.Name, " x "); }},
        TLineCase{"YES", "Active=YES", ActiveTrue}, TLineCase{"yes", "Active=yes", ActiveTrue},
        TLineCase{"Y", "Active=Y", ActiveFalse}, TLineCase{"1", "Active=1", ActiveFalse},
        TLineCase{"True", "Active=True", ActiveFalse},
        TLineCase{"yes and blank", "Active=yes ", ActiveFalse},
        TLineCase{"type 3", "CommandType=3", TypeUnchanged},
        TLineCase{"type -1", "CommandType=-1", TypeUnchanged},
        TLineCase{"type abc reads as 0", "CommandType=abc",
                  [](const TSchedule& e) { EXPECT_EQ(e.CommandType, ctDosCommand); }},
        TLineCase{"type hex", "CommandType=$2",
                  [](const TSchedule& e) { EXPECT_EQ(e.CommandType, ctBuiltinResetTime); }},
        TLineCase{"WinState 7", "WinState=7",
                  [](const TSchedule& e) { EXPECT_EQ(e.WinState, wsNormal); }},
        TLineCase{"WinState 2", "WinState=2",
                  [](const TSchedule& e) { EXPECT_EQ(e.WinState, wsMinimized); }},
        TLineCase{"two fields", "Time=0 12",
                  [](const TSchedule& e) {
                      EXPECT_EQ(e.Minutes, "0");
                      EXPECT_EQ(e.Hours, "12");
                      EXPECT_EQ(e.Days + e.Months + e.WeekDays, "");
                  }},
        TLineCase{"two blanks", "Time=0  12 * * *",
                  [](const TSchedule& e) {
                      EXPECT_EQ(e.Minutes, "0");
                      EXPECT_EQ(e.Hours, "");
                      EXPECT_EQ(e.Days, "12");
                      EXPECT_EQ(e.Months, "*");
                      EXPECT_EQ(e.WeekDays, "*");
                  }},
        TLineCase{"sixth value", "Time=0 12 * * * 9",
                  [](const TSchedule& e) { EXPECT_EQ(e.WeekDays, "*"); }},
        TLineCase{"header without blank", "[Schedule]\r\nName=x",
                  [](const TSchedule& e) { EXPECT_EQ(e.Name, "x"); }},
        TLineCase{"lower-case header", "[schedule 1]\r\nName=x",
                  [](const TSchedule& e) { EXPECT_EQ(e.Name, "x"); }},
        TLineCase{"indented header", " [Schedule 1]\r\nName=x",
                  [](const TSchedule& e) { EXPECT_EQ(e.Name, "x"); }},
        TLineCase{"second key wins", "Name=a\r\nName=b",
                  [](const TSchedule& e) { EXPECT_EQ(e.Name, "b"); }},
        TLineCase{"empty comment", "Comment=",
                  [](const TSchedule& e) { EXPECT_EQ(e.Comment, std::vector<std::string>{""}); }},
        TLineCase{"CommandType is not Command", "CommandType=0", [](const TSchedule& e) {
                      EXPECT_EQ(e.Command, "");
                      EXPECT_EQ(e.CommandType, ctDosCommand);
                  }}));

TEST(ParseScheduleFileTest, KeyLinesBeforeTheFirstHeaderAreIgnored) {
    auto loaded = ParseScheduleFile("Name=early\r\n[Schedule 0]\r\nTime=1 2 3 4 5\r\n");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->Name, "");
    EXPECT_EQ(loaded[0]->CommandType, ctDirectExecute);
    EXPECT_FALSE(loaded[0]->Active);
}

} // namespace
} // namespace vantle
