#include "engine/Scheduler.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vantle;
using namespace vantle::test;

namespace {

std::unique_ptr<TSchedule> Entry(const std::string& name, const std::string& time = "* * * * *",
                                 int type = ctDirectExecute) {
    return EntryOf({.Name = name, .Time = time, .Type = type, .Command = "/opt/" + name});
}

class SchedulerTest : public testing::Test {
protected:
    SchedulerTest() {
        List.SetFileName(Dir.File("Sched.INI"));
        Fake.Clock.Set(EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0));
        Fake.ExecutablePath = Dir.File("Sched.exe");
    }

    TTempDir Dir;
    TFakeServices Fake;
    std::vector<std::string>& Lines = Fake.LogLines;
    TSchedList List;
};

using TLines = std::vector<std::string>;

// A piece left empty is the system's, and only that piece: the fake clock stays.
TEST_F(SchedulerTest, AnEmptyServiceIsTheSystemsAndOnlyThatOne) {
    List.Add(EntryOf({.Name = "a", .Command = "/opt/a", .Parms = "$V[VANTLE_SERVICE_TEST]"}));
    ::setenv("VANTLE_SERVICE_TEST", "from the process", 1);
    TSchedulerServices services = Fake.Services();
    services.Environment = nullptr;
    services.FormatSettings = nullptr;
    TScheduler scheduler(List, services);
    scheduler.SetEnabled(true);
    scheduler.RunCycle();
    EXPECT_EQ(scheduler.LatestTested(), LocalMinuteOf(Fake.Clock.Now())); // its minute
    ASSERT_EQ(Fake.Starter.Requests.size(), 1u);
    EXPECT_EQ(Fake.Starter.Requests[0].Parameters, "from the process");
    ::unsetenv("VANTLE_SERVICE_TEST");
}

// Disabled, as it starts, a cycle does nothing; of the switches only real changes are
// logged, beside the executable.
TEST_F(SchedulerTest, ADisabledCycleAndInactiveOrMissingEntriesDoNothing) {
    List.SetFileName(""); // the change check would raise
    List.Add(Entry("a"));
    List.Add(Entry("off"));
    List.Items(1).Active = false;
    {
        TScheduler scheduler(List, Fake.Services());
        EXPECT_EQ(Fake.LogPath, Dir.File("Sched.LOG"));
        Fake.Clock.Readings = 0;
        scheduler.RunCycle();
        EXPECT_EQ(Fake.Clock.Readings, 0);
        for (std::int32_t index : {1, -1, 2})
            scheduler.ExecuteEntry(index);
        EXPECT_TRUE(Fake.Starter.Requests.empty());
        scheduler.SetEnabled(false);
        scheduler.SetEnabled(true);
        scheduler.SetEnabled(true);
    }
    EXPECT_EQ(Lines, (TLines{"Scheduler has been Enabled", "Scheduler has been Disabled"}));
    Lines.clear();
    { TScheduler scheduler(List, Fake.Services()); }
    EXPECT_TRUE(Lines.empty());
}

TEST_F(SchedulerTest, RunsDueEntriesInListOrderAgainstOneMoment) {
    List.Add(Entry("first"));
    List.Add(Entry("inactive"));
    List.Items(1).Active = false;
    List.Add(Entry("not now", "6 14 * * *"));
    List.Add(Entry("second", "5 14 15 3 4")); // Thursday 15 March, 14:05
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    // The first start carries the wall clock into the next minute; the pass keeps its moment.
    Fake.Starter.OnStart = [this] { Fake.Clock.Advance(1.0 / 1440); };
    Fake.Starter.Result = 2;
    Lines.clear();
    scheduler.RunCycle();
    EXPECT_EQ(Lines, (TLines{"Executing first (Command /opt/first)", "first Failed (2)",
                             "first could not start: file not found (2)",
                             "Executing second (Command /opt/second)", "second Failed (2)",
                             "second could not start: file not found (2)"}));
    EXPECT_EQ(scheduler.LatestTested(),
              LocalMinuteOf(EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0)));
}

TEST_F(SchedulerTest, ALogThatCannotBeWrittenEndsThePassBeforeAnythingStarts) {
    List.Add(Entry("a"));
    List.Add(Entry("b"));
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    Fake.FailLogFrom = static_cast<int>(Lines.size()) + 1; // a's line goes, b's does not
    EXPECT_THROW(scheduler.RunCycle(), EInOutError);
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
    EXPECT_TRUE(LockIsFree(List));

    Fake.FailLogFrom = -1;
    Fake.Clock.Advance(1.0 / 1440);
    scheduler.RunCycle();
    EXPECT_EQ(Fake.Starter.Requests.size(), 3u);

    List.SetFileName(""); // a nameless list ends the pass with its error
    Fake.Clock.Advance(1.0 / 1440);
    EXPECT_THROW(scheduler.RunCycle(), ENoFileName);
    EXPECT_TRUE(LockIsFree(List));
}

TEST_F(SchedulerTest, AFileThatCannotBeReloadedKeepsTheListUntilItCanAndIsToldOncePerChange) {
    List.Add(Entry("kept"));
    List.Save();
    // A directory in the file's place cannot be read; the stamp reader says when it
    // "changes".
    std::filesystem::remove(List.FileName());
    std::filesystem::create_directory(List.FileName());
    off_t version = 1;
    List.SetStampReader([&version](const std::string&) {
        return std::optional<TFileStamp>(TFileStamp{.Size = version});
    });
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    Lines.clear();
    for (int minute = 0; minute < 4; ++minute, Fake.Clock.Advance(1.0 / 1440)) {
        if (minute == 2)
            version = 2;
        scheduler.RunCycle();
    }
    const std::string refused =
        "INI file could not be loaded: File access denied; the previous schedule stays in use";
    const std::string kept = "Executing kept (Command /opt/kept)";
    EXPECT_EQ(Lines, (TLines{refused, kept, kept, refused, kept, kept}));

    // Readable again, the reload is logged before the reloaded entries run.
    std::filesystem::remove(List.FileName());
    WriteFile(List.FileName(), "[Schedule 0]\r\nName=new\r\nTime=9 14 15 3 4\r\nActive=Yes\r\n"
                               "CommandType=0\r\nWinState=3\r\nCommand=/opt/new\r\n"
                               "Parms=$D /q\r\nWorkDir=/tmp\r\n");
    version = 3;
    Lines.clear();
    scheduler.RunCycle(); // Thursday 15 March, 14:09
    EXPECT_EQ(Lines, (TLines{"INI file changed, new schedule loaded",
                             "Executing new (DOS Command /opt/new)"}));
    EXPECT_EQ(Fake.Starter.Requests.back(), (TStartRequest{"/opt/new", "20010315 /q", "/tmp", 0}));
    EXPECT_EQ(List.Items(0).Name, "new"); // the list holds what was reloaded
}

// Cron text written by hand runs at other times than it says: the log tells so once for
// each load of the file (the first cycle after switching on, and each reload), not at
// every cycle.
TEST_F(SchedulerTest, FieldsReadAsSomethingElseAreLoggedOncePerLoad) {
    WriteFile(List.FileName(), ScheduleText({{.Name = "hand", .Time = "*/15 9-17 * * mon-fri"},
                                             {.Name = "plain", .Time = "0,30 9-17 * * 1-5"}}));
    List.Load();
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    const TLines told = {"hand: field Minutes '*/15' reads as '0' (see check)",
                         "hand: field WeekDays 'mon-fri' reads as '0' (see check)"};
    auto toldLines = [&] {
        TLines lines;
        for (const std::string& line : Lines)
            if (line.find("(see check)") != std::string::npos)
                lines.push_back(line);
        Lines.clear();
        return lines;
    };
    for (int minute = 0; minute < 3; ++minute, Fake.Clock.Advance(1.0 / 1440))
        scheduler.RunCycle();
    EXPECT_EQ(toldLines(), told);
    // A reload tells again; the cycles after it do not.
    WriteFile(List.FileName(), ScheduleText({{.Name = "hand", .Time = "*/15 9-17 * * mon-fri"},
                                             {.Name = "more", .Time = "0 3O * * *"}}));
    List.SetStampReader(
        [](const std::string&) { return std::optional<TFileStamp>(TFileStamp{.Size = 2}); });
    for (int minute = 0; minute < 3; ++minute, Fake.Clock.Advance(1.0 / 1440))
        scheduler.RunCycle();
    TLines again = told;
    again.push_back("more: field Hours '3O' reads as '0' (see check)");
    EXPECT_EQ(toldLines(), again);
}

// A section appended with `cat >>` to a saved file ends its lines with bare line feeds:
// every one ends a line, so the appended entry runs, and the log says once per load that
// the file's line ends are mixed and the next save writes CR LF.
TEST_F(SchedulerTest, MixedLineEndsRunEveryEntryAndAreLoggedOncePerLoad) {
    WriteFile(List.FileName(),
              "[Schedule 0]\r\nName=saved\r\nTime=* * * * *\r\nActive=Yes\r\nCommandType=0\r\n"
              "WinState=3\r\nCommand=/opt/saved\r\n\r\n[Schedule 1]\nName=added\n"
              "Time=* * * * *\nActive=Yes\nCommandType=0\nWinState=3\nCommand=/opt/added\n");
    List.Load();
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    Lines.clear();
    const std::string mixed = List.FileName() +
                              ": mixed line ends; every line feed ends a line; the next save "
                              "writes CR LF";
    for (int minute = 0; minute < 2; ++minute, Fake.Clock.Advance(1.0 / 1440))
        scheduler.RunCycle();
    EXPECT_EQ(Lines, (TLines{mixed, "Executing saved (DOS Command /opt/saved)",
                             "Executing added (DOS Command /opt/added)",
                             "Executing saved (DOS Command /opt/saved)",
                             "Executing added (DOS Command /opt/added)"}));
    // The save writes CR LF throughout; a reload of it says nothing about line ends.
    List.Save();
    EXPECT_EQ(ReadFile(List.FileName()).find("\r\n[Schedule 1]\r\nName=added\r\n") ==
                  std::string::npos,
              false);
    EXPECT_FALSE(HasMixedLineEnds(ReadFile(List.FileName())));
    EXPECT_FALSE(List.MixedLineEnds());
}

// The starter would hand the program each text cut at its NUL, which is not what the
// entry says: such an entry starts nothing, fails, and the next one still runs.
TEST_F(SchedulerTest, AnEntryWhoseTextsHoldANulStartsNothing) {
    const std::string nul("\0", 1);
    List.Add(EntryOf({.Name = "command", .Command = "/opt/a" + nul + "b"}));
    List.Add(EntryOf({.Name = "parms", .Command = "/opt/p", .Parms = "-x" + nul}));
    List.Add(EntryOf({.Name = "dir", .Command = "/opt/d", .WorkDir = nul + "/tmp"}));
    List.Add(Entry("next"));
    TScheduler scheduler(List, Fake.Services());
    scheduler.SetEnabled(true);
    Lines.clear();
    scheduler.RunCycle();
    EXPECT_EQ(
        Lines,
        (TLines{"Executing command (Command /opt/a" + nul + "b)",
                "command failed: the command holds a NUL byte", "Executing parms (Command /opt/p)",
                "parms failed: the parameters hold a NUL byte", "Executing dir (Command /opt/d)",
                "dir failed: the working directory holds a NUL byte",
                "Executing next (Command /opt/next)"}));
    EXPECT_EQ(Fake.Starter.Requests, (std::vector<TStartRequest>{{"/opt/next", "", "", 1}}));
    EXPECT_EQ(scheduler.Failures(),
              (std::vector<TEntryFailure>{{"command", "the command holds a NUL byte"},
                                          {"parms", "the parameters hold a NUL byte"},
                                          {"dir", "the working directory holds a NUL byte"}}));
    EXPECT_NE(ReadFile(Fake.LogPath).find(":Executing command (Command /opt/a\\x00b)\r\n"),
              std::string::npos);
    // Execute Now refuses it alike.
    Lines.clear();
    scheduler.ExecuteEntry(0);
    EXPECT_EQ(Lines.back(), "command failed: the command holds a NUL byte");
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
}

TEST_F(SchedulerTest, AServerTimeInTheRepeatedHourIsTakenAsTheReadingNearestOurs) {
    TZoneGuard zone("Europe/Berlin");
    List.Add(Entry("Clock", "* * * * *", ctBuiltinResetTime));
    Fake.NetAvailable = true;
    Fake.ServerTime = EncodeDate(2026, 10, 25) + EncodeTime(2, 41, 0, 0); // a minute ahead
    Fake.Clock.Set(EncodeDate(2026, 10, 25) + EncodeTime(2, 40, 0, 0));
    TScheduler scheduler(List, Fake.Services());
    for (long offset : {7200L, 3600L}) { // summer time, then the same hour on winter time
        Fake.Clock.UtcOffset = offset;
        scheduler.ExecuteEntry(0);
    }
    ASSERT_EQ(Fake.ClockSetter.Records.size(), 2u);
    EXPECT_EQ(Fake.ClockSetter.Records[0].Hour, 0);
    EXPECT_EQ(Fake.ClockSetter.Records[1].Hour, 1);
    EXPECT_EQ(Fake.ClockSetter.Records[1].Minute, 41); // the server's minute, not ours
}

TEST_F(SchedulerTest, StartsProgramsWithExpandedParametersAndTheirShowCommand) {
    // Only the parameters are expanded; each WinState gives its own show command.
    for (int state = 0; state < 4; ++state)
        List.Add(EntryOf(
            {.WinState = state, .Command = "/opt/$D", .Parms = "-d $D %s", .WorkDir = "/var/$D"}));
    TScheduler scheduler(List, Fake.Services());
    for (std::int32_t i = 0; i < 4; ++i)
        scheduler.ExecuteEntry(i);
    const int shows[4] = {1, 3, 6, 0}; // normal, maximized, minimized, hidden
    ASSERT_EQ(Fake.Starter.Requests.size(), 4u);
    for (std::size_t state = 0; state < 4; ++state)
        EXPECT_EQ(Fake.Starter.Requests[state],
                  (TStartRequest{"/opt/$D", "-d 20010315 %s", "/var/$D", shows[state]}))
            << "WinState " << state;
}

// Failures and the missing network are told as events too: the failure watch's tests
// see them.
TEST_F(SchedulerTest, TellsEachOutcomeAndLogsHowAStartedProgramEnded) {
    List.Add(Entry("ok"));
    List.Add(Entry("clock", "* * * * *", ctBuiltinResetTime));
    Fake.NetAvailable = true;
    TSchedulerServices services = Fake.Services();
    std::vector<TRunEvent> events;
    services.OnRunEvent = [&](const TRunEvent& event) { events.push_back(event); };
    TScheduler scheduler(List, services);
    Fake.Starter.Pid = 4242;
    scheduler.ExecuteEntry(0);
    scheduler.ExecuteEntry(1);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Pid, 4242);
    EXPECT_EQ(events[1].Kind, TRunEvent::ClockSet);
    EXPECT_EQ(events[1].Name, "clock");

    Lines.clear();
    Fake.Clock.Set(Fake.Clock.Now() + EncodeTime(0, 0, 12, 400));
    EXPECT_FALSE(scheduler.ProgramEnded(99, false, 0)); // not started here: an orphan
    EXPECT_TRUE(scheduler.ProgramEnded(4242, false, 3));
    EXPECT_FALSE(scheduler.ProgramEnded(4242, false, 3)); // told once
    Fake.Starter.Pid = 7;
    scheduler.ExecuteEntry(0);
    // A daylight-saving change or a set clock is no time the program ran.
    Fake.Clock.StepWallClock(EncodeTime(1, 0, 0, 0));
    Fake.Clock.Advance(EncodeTime(0, 1, 0, 0));
    EXPECT_TRUE(scheduler.ProgramEnded(7, true, 9));
    EXPECT_EQ(Lines, (TLines{"ok ended with code 3 after 12 s", "Executing ok (Command /opt/ok)",
                             "ok ended by signal 9 after 60 s"}));
    // How the ends show in the window is its own test, with real programs.
    EXPECT_EQ(events.size(), 5u);
}

} // namespace
