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
            "2026.12.06 02.32.00:E ended by signal 9 after 1 s\r\n"
            "2026.12.06 02.33.00:F Failed (2)\r\n";
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
    for (const char* name : {"C", "D", "E", "F"})
        EXPECT_TRUE(history.Find(name)->Error) << name;
}

// The bug seen: an entry whose 19:27 minute was skipped showed Last Run 19:27 beside the
// 19:26 run's "Stopped by the user". Both come from the entry's latest record.
TEST(RunHistoryTest, LastRunAndResultComeFromTheLatestRecordASkipIncluded) {
    auto at = [](int minute, int second = 5) {
        return EncodeDate(2026, 12, 7) + EncodeTime(19, minute, second, 0);
    };
    auto event = [](TRunEvent::TKind kind, TDateTime moment, std::int64_t record) {
        TRunEvent e;
        e.Kind = kind;
        e.Name = "Backup";
        e.Moment = moment;
        e.Record = record;
        e.Pid = kind == TRunEvent::Started ? 4711 : 0;
        return e;
    };
    TRunHistory history;
    history.Apply(event(TRunEvent::Started, at(26), 1));
    history.Apply(event(TRunEvent::Skipped, at(27), 0));
    const TRunRecord* backup = history.Find("Backup");
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->LastRun, at(27));
    EXPECT_EQ(backup->Result, "Skipped: the 19:26 run is still running");
    history.Apply(event(TRunEvent::Skipped, at(28), 0));
    EXPECT_EQ(backup->Result, "Skipped: the 19:26 run is still running");
    TRunEvent stopped = event(TRunEvent::Signalled, at(28, 30), 1);
    stopped.Code = 15;
    stopped.ByUser = true;
    history.Apply(stopped);
    EXPECT_EQ(backup->LastRun, at(28));
    EXPECT_EQ(backup->Result, "Skipped: the 19:26 run is still running");
    EXPECT_FALSE(backup->Error);

    // Two runs at once (Overlap=Allow): the earlier one's end is not the later one's.
    history.Apply(event(TRunEvent::Started, at(30), 3));
    history.Apply(event(TRunEvent::Started, at(31), 4));
    TRunEvent first = event(TRunEvent::Exited, at(31, 40), 3);
    first.Code = 3;
    history.Apply(first);
    EXPECT_EQ(backup->LastRun, at(31));
    EXPECT_EQ(backup->Result, "Running");
    TRunEvent second = event(TRunEvent::Exited, at(32), 4);
    second.Seconds = 55;
    history.Apply(second);
    EXPECT_EQ(backup->Result, "Exited 0 after 55 s");

    // A skip on record, read back at start-up, is the latest run too.
    TStoredRun skip;
    skip.Id = 9;
    skip.Name = "Backup";
    skip.Started = at(40);
    skip.Ended = at(40);
    skip.Result = "Skipped";
    history.Take(skip);
    TRunEvent late = event(TRunEvent::Exited, at(41), 8);
    late.Code = 1;
    history.Apply(late);
    EXPECT_EQ(backup->LastRun, at(40));
    EXPECT_EQ(backup->Result, "Skipped");
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
    store.Finish(2, run.Started, 3'599'500, "Exited 0", false, 0, false);
    fromRecords.ReadBack(&store, log.FileName());
    EXPECT_EQ(fromRecords.Find("New")->Result, "Exited 0 after 3600 s") << "to the nearest";
}

} // namespace
