#include "sched/SchedFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantle {
namespace {

// Every key set; the saved text is written out by hand, so it pins the writer. What
// the reader and the writer make of each other is the reader stress test's round trip.
TEST(SchedFileTest, WritesTheExactSavedForm) {
    TSchedule backup = *test::EntryOf({.Name = "Nightly backup",
                                       .Time = "30 2 * * 1-5",
                                       .Type = ctDosCommand,
                                       .WinState = wsHidden,
                                       .Command = "C:\\BATCH\\BACKUP.BAT",
                                       .Parms = "/Q",
                                       .WorkDir = "C:\\BATCH"});
    backup.Comment = {"Weekday nights only.", "Ask the office before changing."};
    backup.CatchUp = true;
    backup.Overlap = TOverlap::Skip;
    backup.TimeLimit = 90;
    backup.Retries = 3;
    backup.RetryDelay = 10;
    backup.OnFailure = "notify-admin";
    backup.OnRecovery = "notify-admin --ok";
    backup.OnlyOnACPower = true;
    backup.OnlyWithNetwork = true;
    backup.WaitLimit = 240;
    backup.AtStart = true;
    backup.AlertAfter = 36;
    backup.Environment = {"PATH=/opt/backup/bin:/usr/bin", "NOTE=a;b\\c"};
    TSchedule clock = *test::EntryOf(
        {.Name = "Clock", .Time = "0 6,18 * * *", .Active = false, .Type = ctBuiltinResetTime});
    clock.Command = "dropped for type 2";
    EXPECT_EQ(FormatScheduleFile({&backup, &clock}),
              "[Schedule 0]\r\nName=Nightly backup\r\nTime=30 2 * * 1-5\r\nActive=Yes\r\n"
              "CommandType=0\r\nWinState=3\r\nCommand=C:\\BATCH\\BACKUP.BAT\r\nParms=/Q\r\n"
              "WorkDir=C:\\BATCH\r\nCatchUp=Yes\r\nOverlap=Skip\r\nTimeLimit=90\r\n"
              "Retries=3\r\nRetryDelay=10\r\nOnFailure=notify-admin\r\n"
              "OnRecovery=notify-admin --ok\r\nOnlyOnACPower=Yes\r\nOnlyWithNetwork=Yes\r\n"
              "WaitLimit=240\r\nAtStart=Yes\r\nAlertAfter=36\r\n"
              "Environment=PATH=/opt/backup/bin:/usr/bin;NOTE=a\\;b\\\\c\r\n"
              "Comment=Weekday nights only.\r\n"
              "Comment=Ask the office before changing.\r\n\r\n"
              "[Schedule 1]\r\nName=Clock\r\nTime=0 6,18 * * *\r\nActive=No\r\n"
              "CommandType=2\r\nWinState=0\r\n");
}

// A file without the key saves as it did before the key existed; one with it saves as
// written, and an escaped Ctrl-Z or line end inside a value ends nothing.
TEST(SchedFileTest, AFileSavesAsReadWithOrWithoutAnEnvironment) {
    const std::string head = "[Schedule 0]\r\nName=Backup\r\nTime=30 2 * * *\r\nActive=Yes\r\n"
                             "CommandType=1\r\nWinState=0\r\nCommand=/opt/backup\r\nParms=\r\n"
                             "WorkDir=\r\nAlertAfter=36\r\n";
    const std::string tail = "Comment=kept\r\n\r\n[Schedule 1]\r\nName=Next\r\nTime=* * * * *\r\n"
                             "Active=No\r\nCommandType=1\r\nWinState=0\r\nCommand=x\r\nParms=\r\n"
                             "WorkDir=\r\n";
    const std::string environment =
        "Environment=PATH=/opt/backup/bin:/usr/bin;K=a\\x1Ab\\r\\n\\;\xe9\\\\\r\n";
    for (const std::string& text : {head + tail, head + environment + tail}) {
        auto entries = ParseScheduleFile(text);
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0]->Comment, std::vector<std::string>{"kept"});
        EXPECT_EQ(FormatScheduleFile({entries[0].get(), entries[1].get()}), text);
    }
    auto entries = ParseScheduleFile(head + environment + tail);
    EXPECT_EQ(entries[0]->Environment,
              (std::vector<std::string>{"PATH=/opt/backup/bin:/usr/bin", "K=a\x1a"
                                                                         "b\r\n;\xe9\\"}));
    EXPECT_TRUE(entries[1]->Environment.empty());
}

TEST(ParseScheduleFileTest, LineEndsAndHeadersDecideTheEntries) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"Name=x\r\nTime=* * * * *\r\n", {}},
        // CR alone ends a line, and so does a lone LF; Ctrl-Z ends the file.
        {"[Schedule 9]\rName=a\nb\r\nComment=c\r\x1a[Schedule 1]\r\nName=lost\r\n", {"a"}},
        // No CR at all: a Linux editor's file, where LF ends a line.
        {"[Schedule 0]\nName=x\nComment=c\n\n[Schedule 1]\nName=y", {"x", "y"}},
        {"[Schedule 0]\nName=x\n\x1a\r", {"x"}}, // a CR after Ctrl-Z changes nothing
        // A section appended with `cat >>` to a saved file: both kinds, every entry read.
        {"[Schedule 0]\r\nName=saved\r\n\r\n[Schedule 1]\nName=added\n", {"saved", "added"}},
        {"[Schedule 0]\nName=a\n[Schedule 1]\r\nName=b\n\r[Schedule 2]\n\rName=c", {"a", "b", "c"}},
        {"[Schedule 0]\r\nName=a\r\n[Schedule 0]\r\nName=b\r\n[Schedule ]\r\n[Schedule x\r\n",
         {"a", "b", "", ""}},
        {"Name=early\r\n[Schedule 0]\r\nTime=1 2 3 4 5\r\n", {""}},
    };
    for (const auto& [text, names] : cases) {
        std::vector<std::string> loaded;
        for (const auto& entry : ParseScheduleFile(text))
            loaded.push_back(entry->Name);
        EXPECT_EQ(loaded, names) << text;
    }
}

// The lines as `check` numbers them: a line end of either kind, or CR LF, closes one.
TEST(ScheduleLineReaderTest, EachLineEndClosesOneLine) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\rb\x1a\n", {"a", "b"}},
    };
    for (const auto& [text, lines] : cases) {
        TScheduleLineReader reader(text);
        std::vector<std::string> read;
        for (std::string_view line; reader.Next(line);)
            read.emplace_back(line);
        EXPECT_EQ(read, lines) << text;
    }
}

TEST(ParseScheduleFileTest, MixedLineEndsAreFilesEndingLinesBothWays) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},
        {"[Schedule 0]\r\nName=x\r\n", false},
        {"[Schedule 0]\nName=x\n", false},
        {"[Schedule 0]\rName=x\r", false},
        {"[Schedule 0]\r\nName=x\n", true},
        {"\n[Schedule 0]\r", true},
        {"[Schedule 0]\rName=x\n", true},
        {"[Schedule 0]\nName=x\x1a\r\n", false}, // what follows Ctrl-Z is not read
        {"\n[Schedule 0]\r\x1a", true},
    };
    for (const auto& [text, mixed] : cases)
        EXPECT_EQ(HasMixedLineEnds(text), mixed) << text;
}

// Whatever a value holds, a save never lets it break its line: a one-line value gets a
// blank for each line break, a comment line becomes several, and the file reads back as
// it was written, to the same entries the list keeps.
TEST(FormatScheduleFileTest, ALineBreakInsideAValueIsWrittenSoItReadsBackAsSaved) {
    // Set after reading: the reader itself never gives a value a line break.
    TSchedule entry = *test::EntryOf({.Time = "0 2 * * *"});
    entry.Name = "two\nlines";
    entry.Command = "/opt/a\r\nb";
    entry.Parms = "\r\n--from x\r--to y";
    entry.WorkDir = "/srv\n";
    entry.Comment = {"first\nsecond\r\nthird", "fourth"};
    std::string text = FormatScheduleFile({&entry});
    EXPECT_NE(text.find("\r\nName=two lines\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nCommand=/opt/a b\r\nParms= --from x --to y\r\nWorkDir=/srv \r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\r\nComment=first\r\nComment=second\r\nComment=third\r\n"
                        "Comment=fourth\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));

    auto loaded = ParseScheduleFile(text);
    ASSERT_EQ(loaded.size(), 1u);
    TSchedule kept = entry;
    KeepOnLines(kept);
    EXPECT_FALSE(EntriesDiffer(*loaded[0], kept));
    EXPECT_EQ(loaded[0]->Comment, (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_EQ(FormatScheduleFile({loaded[0].get()}), text);
    EXPECT_EQ(FormatScheduleFile({&kept}), text);
}

TEST(ParseScheduleFileTest, TextWithoutAnySectionIsNoSchedule) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},
        {" \r\n\t\n", false},
        {"[Schedule 0]\r\n", false},
        {"Name=x\nTime=* * * * *\n", true},
        {"\032anything after the end", false}, // Ctrl-Z ends the file
        {"[schedule 0]\r\nName=x\r\n", true},
    };
    for (const auto& [text, foreign] : cases)
        EXPECT_EQ(HoldsTextButNoSection(text), foreign) << text;
}

// One line inside a section that already holds Name=old and Active=Yes, and the line of
// the saved form that shows what the reader made of it.
struct TLineCase {
    const char* Line;
    const char* Saved;
};

class SingleLineTest : public ::testing::TestWithParam<TLineCase> {};

TEST_P(SingleLineTest, AffectsTheEntryAsTheReaderSays) {
    auto loaded = ParseScheduleFile("[Schedule 0]\r\nName=old\r\nActive=Yes\r\n" +
                                    std::string(GetParam().Line) + "\r\n");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_NE(
        FormatScheduleFile({loaded[0].get()}).find("\r\n" + std::string(GetParam().Saved) + "\r\n"),
        std::string::npos)
        << GetParam().Line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SingleLineTest,
    ::testing::Values(
        TLineCase{"name=x", "Name=old"}, TLineCase{" Name=x", "Name=old"},
        TLineCase{"Name= x ", "Name= x "}, TLineCase{"Active=YES", "Active=Yes"},
        TLineCase{"Active=Y", "Active=No"}, TLineCase{"Active=yes ", "Active=No"},
        TLineCase{"CommandType=3", "CommandType=1"}, TLineCase{"CommandType=-1", "CommandType=1"},
        TLineCase{"CommandType=abc", "CommandType=0"}, TLineCase{"CommandType=$2", "CommandType=2"},
        TLineCase{"WinState=7", "WinState=0"}, TLineCase{"WinState=2", "WinState=2"},
        TLineCase{"Time=0 12", "Time=0 12   "}, TLineCase{"Time=0  12 * * *", "Time=0  12 * *"},
        TLineCase{"Time=1 2 3 * * 9", "Time=1 2 3 * *"},
        TLineCase{"[Schedule]\r\nName=x", "Name=x"}, TLineCase{"[schedule 1]\r\nName=x", "Name=x"},
        TLineCase{" [Schedule 1]\r\nName=x", "Name=x"}, TLineCase{"Name=a\r\nName=b", "Name=b"},
        TLineCase{"Comment=", "Comment="}, TLineCase{"CommandType=0", "Command="},
        TLineCase{"CatchUp=yes", "CatchUp=Yes"}, TLineCase{"Overlap=SKIP", "Overlap=Skip"},
        TLineCase{"TimeLimit=1440", "TimeLimit=1440"}, TLineCase{"Retries=100", "Retries=100"},
        TLineCase{"Retries=101", "Active=Yes"}, TLineCase{"RetryDelay=1", "RetryDelay=1"},
        TLineCase{"RetryDelay=0", "Active=Yes"},
        TLineCase{"OnFailure=mail -s \"$N failed\" me", "OnFailure=mail -s \"$N failed\" me"},
        TLineCase{"OnRecovery=x", "OnRecovery=x"},
        TLineCase{"OnlyOnACPower=yes", "OnlyOnACPower=Yes"},
        TLineCase{"OnlyWithNetwork=YES", "OnlyWithNetwork=Yes"},
        TLineCase{"OnlyWithNetwork=1", "Active=Yes"}, TLineCase{"WaitLimit=0", "Active=Yes"},
        TLineCase{"WaitLimit=527040", "WaitLimit=527040"}, TLineCase{"AtStart=Yes", "AtStart=Yes"},
        TLineCase{"AlertAfter=87840", "AlertAfter=87840"},
        TLineCase{"AlertAfter=87841", "Active=Yes"},
        // Malformed pairs and bad escapes are kept: a save changes no pair.
        TLineCase{"Environment=A=1;no equals;=x", "Environment=A=1;no equals;=x"},
        TLineCase{"Environment=D=C:\\temp", "Environment=D=C:\\\\temp"},
        TLineCase{"Environment=", "Active=Yes"}));

} // namespace
} // namespace vantle
