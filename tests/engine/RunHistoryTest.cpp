#include "engine/RunHistory.h"

#include "engine/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TLineCase {
    const char* Message; // after the stamp "2026.12.06 02.30.05:"
    TRunEvent::TKind Kind;
    const char* Name;
    std::int64_t Code;
};

class RunEventOfLogLineTest : public testing::TestWithParam<TLineCase> {};

TEST_P(RunEventOfLogLineTest, ReadsTheEventsOfTheLog) {
    std::optional<TRunEvent> event =
        RunEventOfLogLine(std::string("2026.12.06 02.30.05:") + GetParam().Message);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->Kind, GetParam().Kind);
    EXPECT_EQ(event->Name, GetParam().Name);
    EXPECT_EQ(event->Code, GetParam().Code);
    EXPECT_EQ(event->Moment, EncodeDate(2026, 12, 6) + EncodeTime(2, 30, 5, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RunEventOfLogLineTest,
    testing::Values(TLineCase{"Executing Night (Command) (Command /bin/x (y))", TRunEvent::Started,
                              "Night (Command)", 0},
                    TLineCase{"Executing A b (DOS Command run.sh)", TRunEvent::Started, "A b", 0},
                    TLineCase{"A b Failed (31)", TRunEvent::Failed, "A b", 31},
                    TLineCase{"A ended with code 3 after 12 s", TRunEvent::Exited, "A", 3},
                    TLineCase{"A ended by signal 9 after 0 s", TRunEvent::Signalled, "A", 9},
                    TLineCase{"Builtin ResetTime (Clock)", TRunEvent::ClockSet, "Clock", 0},
                    TLineCase{"Builtin Clock failed; no netware connection", TRunEvent::NoNetwork,
                              "Clock", 0},
                    TLineCase{"Builtin Clock failed; could not set the clock: Operation not "
                              "permitted",
                              TRunEvent::ClockNotSet, "Clock", 0}));

TEST(RunHistoryTest, TheNewestEventOfANameWinsAndOnlyTheTailIsRead) {
    TTempDir dir;
    std::string path = dir.File("s.LOG");
    std::string text = "2026.12.06 01.00.00:Executing Old (Command a)\r\n";
    text += std::string(100, 'x') + "\r\n";
    text += "2026.12.06 02.00.00:Executing A (Command a)\r\n"
            "2026.12.06 02.00.00:A Failed (2)\r\n"
            "2026.12.06 02.30.00:Executing A (Command a)\r\n"
            "2026.12.06 02.30.00:Executing B (Command b)\r\n"
            "2026.12.06 02.30.12:A ended with code 0 after 12 s\r\n"
            // Lines of no event, or of none quite, change nothing.
            "2026.12.06 02.30.13:A Failed (x)\r\n"
            "2026.13.06 02.30.13:A Failed (2)\r\n"
            "2026.12.06 02.30.13:Scheduler has been Enabled\r\n"
            "garbage\r\n"
            "2026.12.06 02.31.00:Builtin ResetTime (C)\r\n"
            "2026.12.06 02.31.00:Builtin C failed; no netware connection\r\n"
            "2026.12.06 02.32.00:D ended with code 3 after 1 s\r\n"
            "2026.12.06 02.32.00:E ended by signal 9 after 1 s\r\n";
    WriteFile(path, text);
    TRunHistory history;
    history.ReadLog(path, text.size() - 60); // cuts into the first line: it is skipped
    EXPECT_EQ(history.Find("Old"), nullptr);
    const TRunRecord* a = history.Find("A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->LastRun, EncodeDate(2026, 12, 6) + EncodeTime(2, 30, 0, 0));
    EXPECT_EQ(a->Result, "Exited 0 after 12 s");
    EXPECT_FALSE(a->Error);
    EXPECT_EQ(history.Find("B")->Result, ""); // how it ended is not known
    EXPECT_EQ(history.Find("C")->Result, "No network connection");
    // Any end but a clean exit counts as an error.
    for (const char* name : {"C", "D", "E"})
        EXPECT_TRUE(history.Find(name)->Error) << name;
}

// The log shows control characters as escapes; an entry whose name holds them still
// finds its line, live and read back.
TEST(RunHistoryTest, ANameWithControlCharactersMapsBackToItsEntry) {
    TTempDir dir;
    const std::string name = "a\nb\x1b[2J";
    TLog log(dir.File("s.LOG"));
    log.WriteFmt("Executing %s (Command %s)", {name, "/opt/x"});
    log.WriteFmt("%s Failed (%d)", {name, std::int64_t{2}});
    TRunHistory history;
    history.ReadLog(log.FileName());
    const TRunRecord* record = history.Find(name);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Result, "Failed: file not found (2)");
    TRunEvent event;
    event.Name = name;
    event.Kind = TRunEvent::Exited;
    history.Apply(event);
    EXPECT_EQ(history.Find(name)->Result, "Exited 0 after 0 s");
}

// Once runs are on record the grid reads them; before the first (an upgrade), the log.
TEST(RunHistoryTest, ReadsTheRecordsOrTheLogBeforeThereAreAny) {
    TTempDir dir;
    TLog log(dir.File("s.LOG"));
    log.WriteFmt("Executing %s (Command %s)", {"Old", "/opt/x"});
    log.WriteFmt("%s Failed (%d)", {"Old", std::int64_t{2}});
    TRunStore store(dir.File("state"), dir.File("s.INI"), TRunStoreMode::Writer);
    TRunHistory fromLog;
    fromLog.ReadBack(&store, log.FileName());
    ASSERT_NE(fromLog.Find("Old"), nullptr);

    TStoredRun run;
    run.Name = "New";
    run.Started = EncodeDate(2026, 12, 7);
    store.Finish(store.Begin(run), run.Started, 12'400, "Exited 0", false, 0, false);
    store.Begin(run); // the same entry again, still running
    run.Name = "Bad";
    store.Finish(store.Begin(run), run.Started, 0, "Exited 3", true, 0, false);
    TRunHistory fromRecords;
    fromRecords.ReadBack(&store, log.FileName());
    EXPECT_EQ(fromRecords.Find("Old"), nullptr);
    EXPECT_EQ(fromRecords.Find("New")->Result, "Running");
    EXPECT_EQ(fromRecords.Find("Bad")->Result, "Exited 3");
    EXPECT_TRUE(fromRecords.Find("Bad")->Error);
    store.Finish(2, run.Started, 12'400, "Exited 0", false, 0, false);
    fromRecords.ReadBack(&store, log.FileName());
    EXPECT_EQ(fromRecords.Find("New")->Result, "Exited 0 after 12 s");
}

} // namespace
