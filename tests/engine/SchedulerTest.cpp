#include "engine/Scheduler.h"

#include "platform/SysErrors.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TStartRequest {
    std::string File, Parameters, Directory;
    int Show;
    bool operator==(const TStartRequest&) const = default;
};

class TRecordingStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showCommand) override {
        Requests.push_back({file, parameters, directory, showCommand});
        if (OnStart)
            OnStart();
        return Result;
    }
    std::vector<TStartRequest> Requests;
    std::uint32_t Result = SE_START_ACCEPTED;
    std::function<void()> OnStart;
};

class TRecordingClockSetter : public TClockSetter {
public:
    bool SetSystemTime(const TSystemTime& utc) override {
        Records.push_back(utc);
        return false;
    }
    std::vector<TSystemTime> Records;
};

class TFakeSession : public TNetSession {
public:
    TFakeSession(bool available, TDateTime serverDate, int& reads)
        : FAvailable(available), FServerDate(serverDate), FReads(reads) {}
    bool NetAvailable() const override { return FAvailable; }
    TDateTime ServerDate() override {
        ++FReads;
        return FServerDate;
    }

private:
    bool FAvailable;
    TDateTime FServerDate;
    int& FReads;
};

// Keeps the messages in memory; can be told to fail on a given line.
class TMemoryLog : public TLog {
public:
    TMemoryLog(const std::string& path, std::vector<std::string>& lines, int& failAt)
        : TLog(path), FLines(lines), FFailAt(failAt) {}
    void WriteLine(const std::string& message) override {
        if (static_cast<int>(FLines.size()) == FFailAt)
            throw EInOutError(101);
        FLines.push_back(message);
    }

private:
    std::vector<std::string>& FLines;
    int& FFailAt;
};

class TCountingClock : public TFakeClock {
public:
    using TFakeClock::TFakeClock;
    TDateTime Now() const override {
        ++Readings;
        return TFakeClock::Now();
    }
    mutable int Readings = 0;
};

TDateTime At(int year, int month, int day, int hour, int minute, int second = 9) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

std::unique_ptr<TSchedule> Entry(const std::string& name, const std::string& time = "* * * * *",
                                 std::uint8_t type = ctDirectExecute) {
    auto entry = std::make_unique<TSchedule>();
    entry->Name = name;
    std::vector<std::string*> fields{&entry->Minutes, &entry->Hours, &entry->Days, &entry->Months,
                                     &entry->WeekDays};
    std::size_t start = 0;
    for (std::string* field : fields) {
        std::size_t blank = time.find(' ', start);
        *field = time.substr(start, blank - start);
        start = blank + 1;
    }
    entry->Command = "/opt/" + name;
    entry->CommandType = type;
    entry->Active = true;
    return entry;
}

bool LockIsFree(TSchedList& list) {
    std::atomic<bool> taken{false};
    std::thread probe([&] {
        list.Lock();
        taken = true;
        list.Unlock();
    });
    for (int i = 0; i < 500 && !taken; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bool free = taken;
    if (!free)
        list.Unlock(); // this thread kept it: give it up so the probe can end
    probe.join();
    return free;
}

class SchedulerTest : public testing::Test {
protected:
    SchedulerTest() { List.SetFileName(Dir.File("Sched.INI")); }

    TSchedulerServices Services() {
        TSchedulerServices services;
        services.Clock = &Clock;
        services.Environment = &ProcessEnvironment();
        services.Starter = &Starter;
        services.ClockSetter = &ClockSetter;
        services.FormatSettings = &Settings;
        services.MakeSession = [this] {
            return std::make_unique<TFakeSession>(NetAvailable, ServerDate, ServerReads);
        };
        services.MakeLog = [this](const std::string& path) {
            LogPath = path;
            return std::make_unique<TMemoryLog>(path, Lines, FailAtLine);
        };
        services.ExecutablePath = "/opt/vantle/Sched.exe";
        return services;
    }

    TTempDir Dir;
    TCountingClock Clock{At(2001, 3, 15, 14, 5)};
    TFormatSettings Settings = FixedFormatSettings();
    TRecordingStarter Starter;
    TRecordingClockSetter ClockSetter;
    bool NetAvailable = false;
    TDateTime ServerDate = 0;
    int ServerReads = 0;
    std::vector<std::string> Lines;
    int FailAtLine = -1;
    std::string LogPath;
    TSchedList List;
};

TEST_F(SchedulerTest, NamesTheLogAfterTheExecutableAndStartsDisabled) {
    TScheduler scheduler(List, Services());
    EXPECT_EQ(LogPath, "/opt/vantle/Sched.LOG");
    EXPECT_FALSE(scheduler.Enabled());
    EXPECT_TRUE(Lines.empty());
    EXPECT_EQ(EnabledText(true), "Enabled");
    EXPECT_EQ(EnabledText(false), "Disabled");
}

TEST_F(SchedulerTest, LogsEveryRealChangeOfTheEnabledState) {
    {
        TScheduler scheduler(List, Services());
        scheduler.SetEnabled(false);
        scheduler.SetEnabled(true);
        scheduler.SetEnabled(true);
    }
    EXPECT_EQ(Lines, (std::vector<std::string>{"Scheduler has been Enabled",
                                               "Scheduler has been Disabled"}));
    Lines.clear();
    { TScheduler scheduler(List, Services()); }
    EXPECT_TRUE(Lines.empty());
}

TEST_F(SchedulerTest, KeepsTheNewStateWhenItsLineCannotBeWritten) {
    TScheduler scheduler(List, Services());
    FailAtLine = 0;
    EXPECT_THROW(scheduler.SetEnabled(true), EInOutError);
    EXPECT_TRUE(scheduler.Enabled());
    // Nor may the destructor's line escape.
}

TEST_F(SchedulerTest, ADisabledCycleDoesNothing) {
    List.SetFileName(""); // the change check would raise
    List.Add(Entry("a"));
    TScheduler scheduler(List, Services());
    scheduler.RunCycle();
    EXPECT_TRUE(Lines.empty());
    EXPECT_TRUE(Starter.Requests.empty());
    EXPECT_EQ(Clock.Readings, 0);
}

TEST_F(SchedulerTest, LogsTheReloadBeforeRunningTheReloadedEntries) {
    List.Add(Entry("old"));
    List.Save();
    TScheduler scheduler(List, Services());
    scheduler.SetEnabled(true);
    WriteFile(List.FileName(), "[Schedule 0]\r\nName=new\r\nTime=5 14 15 3 4\r\nActive=Yes\r\n"
                               "CommandType=0\r\nWinState=3\r\nCommand=/opt/new\r\n"
                               "Parms=$D /q\r\nWorkDir=/tmp\r\n");
    Lines.clear();
    scheduler.RunCycle();
    EXPECT_EQ(Lines, (std::vector<std::string>{"INI file changed, new schedule loaded",
                                               "Executing new (DOS Command /opt/new)"}));
    EXPECT_EQ(Starter.Requests,
              (std::vector<TStartRequest>{{"/opt/new", "20010315 /q", "/tmp", 0}}));
    EXPECT_TRUE(List.Reloaded());
}

TEST_F(SchedulerTest, RunsDueEntriesInListOrderAgainstOneMoment) {
    List.Add(Entry("first"));
    List.Add(Entry("inactive"));
    List.Items(1).Active = false;
    List.Add(Entry("not now", "6 14 * * *"));
    List.Add(Entry("second", "5 14 15 3 4")); // Thursday 15 March, 14:05
    TScheduler scheduler(List, Services());
    scheduler.SetEnabled(true);
    // The first start carries the wall clock into the next minute; the pass keeps its moment.
    Starter.OnStart = [this] { Clock.Advance(1.0 / 1440); };
    Starter.Result = 2;
    Lines.clear();
    scheduler.RunCycle();
    EXPECT_EQ(Lines, (std::vector<std::string>{
                         "Executing first (Command /opt/first)", "first Failed (2)",
                         "Executing second (Command /opt/second)", "second Failed (2)"}));
    EXPECT_EQ(scheduler.CycleTime(), At(2001, 3, 15, 14, 5));
}

TEST_F(SchedulerTest, AnErrorEndsThePassAndLeavesTheListUnlocked) {
    List.Add(Entry("bad"));
    List.Items(0).Parms = "$D+1Y"; // no 29 February in 2001
    List.Add(Entry("after"));
    Clock.Set(At(2000, 2, 29, 14, 5));
    TScheduler scheduler(List, Services());
    scheduler.SetEnabled(true);
    EXPECT_THROW(scheduler.RunCycle(), EConvertError);
    EXPECT_TRUE(Starter.Requests.empty());
    EXPECT_EQ(Lines.back(), "Executing bad (Command /opt/bad)");
    EXPECT_TRUE(LockIsFree(List));

    // A log that fails halfway through ends the pass the same way.
    List.Items(0).Parms = "";
    FailAtLine = static_cast<int>(Lines.size()) + 1;
    EXPECT_THROW(scheduler.RunCycle(), EInOutError);
    EXPECT_EQ(Starter.Requests.size(), 1u);
    EXPECT_TRUE(LockIsFree(List));

    FailAtLine = -1;
    scheduler.RunCycle();
    EXPECT_EQ(Starter.Requests.size(), 3u);
}

TEST_F(SchedulerTest, ANamelessListEndsThePassWithItsError) {
    List.SetFileName("");
    TScheduler scheduler(List, Services());
    scheduler.SetEnabled(true);
    EXPECT_THROW(scheduler.RunCycle(), ENoFileName);
    EXPECT_TRUE(LockIsFree(List));
}

TEST_F(SchedulerTest, StartsProgramsWithExpandedParametersOnly) {
    List.Add(Entry("dos", "* * * * *", ctDosCommand));
    List.Add(Entry("direct", "* * * * *", ctDirectExecute));
    for (std::int32_t i = 0; i < 2; ++i) {
        List.Items(i).Command = "/opt/$D";
        List.Items(i).Parms = "-d $D %s";
        List.Items(i).WorkDir = "/var/$D";
    }
    TScheduler scheduler(List, Services());
    scheduler.ExecuteEntry(0);
    scheduler.ExecuteEntry(1);
    EXPECT_EQ(Lines, (std::vector<std::string>{"Executing dos (DOS Command /opt/$D)",
                                               "Executing direct (Command /opt/$D)"}));
    TStartRequest expected{"/opt/$D", "-d 20010315 %s", "/var/$D", 1};
    EXPECT_EQ(Starter.Requests, (std::vector<TStartRequest>{expected, expected}));
}

TEST_F(SchedulerTest, MapsWindowStatesToShowCommands) {
    for (std::uint8_t state = 0; state < 4; ++state) {
        List.Add(Entry("e"));
        List.Items(state).WinState = state;
    }
    TScheduler scheduler(List, Services());
    for (std::int32_t i = 0; i < 4; ++i)
        scheduler.ExecuteEntry(i);
    ASSERT_EQ(Starter.Requests.size(), 4u);
    const int expected[4] = {1, 3, 6, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Starter.Requests[i].Show, expected[i]);
        EXPECT_EQ(ShowCommands[i], expected[i]);
    }
}

TEST_F(SchedulerTest, ExecuteNowSkipsInactiveEntriesAndBadIndexes) {
    List.Add(Entry("off"));
    List.Items(0).Active = false;
    TScheduler scheduler(List, Services());
    scheduler.ExecuteEntry(0);
    scheduler.ExecuteEntry(-1);
    scheduler.ExecuteEntry(1);
    EXPECT_FALSE(scheduler.IsEntryDue(0));
    EXPECT_FALSE(scheduler.IsEntryDue(5));
    EXPECT_TRUE(Lines.empty());
    EXPECT_TRUE(Starter.Requests.empty());
}

TEST_F(SchedulerTest, AnUnwritableLogStopsTheOperationBeforeItStarts) {
    std::filesystem::create_directory(Dir.File("Sched.LOG"));
    TSchedulerServices services = Services();
    services.MakeLog = [this](const std::string&) {
        return std::make_unique<TLog>(Dir.File("Sched.LOG"), Clock);
    };
    List.Add(Entry("program"));
    List.Add(Entry("clock", "* * * * *", ctBuiltinResetTime));
    NetAvailable = true;
    TScheduler scheduler(List, services);
    for (std::int32_t i = 0; i < 2; ++i) {
        try {
            scheduler.ExecuteEntry(i);
            ADD_FAILURE() << "the operation went on without its log line";
        } catch (const EInOutError& e) {
            EXPECT_STREQ(e.what(), "File access denied");
        }
    }
    EXPECT_TRUE(Starter.Requests.empty());
    EXPECT_EQ(ServerReads, 0);
    EXPECT_TRUE(ClockSetter.Records.empty());
}

TEST_F(SchedulerTest, BuiltinWithoutNetworkLogsAndLeavesTheClockAlone) {
    List.Add(Entry("Sync", "* * * * *", ctBuiltinResetTime));
    List.Items(0).Command = "/opt/ignored";
    List.Items(0).Parms = "$D+1Y";
    TScheduler scheduler(List, Services());
    scheduler.ExecuteEntry(0);
    EXPECT_EQ(Lines, (std::vector<std::string>{"Builtin ResetTime (Sync)",
                                               "Builtin Sync failed; no netware connection"}));
    EXPECT_EQ(ServerReads, 0);
    EXPECT_TRUE(ClockSetter.Records.empty());
    EXPECT_TRUE(Starter.Requests.empty());
}

TEST_F(SchedulerTest, BuiltinSetsTheClockFromTheServersLocalTime) {
    const char* savedZone = std::getenv("TZ");
    std::string saved = savedZone != nullptr ? savedZone : "";
    setenv("TZ", "EST5", 1);
    tzset();
    NetAvailable = true;
    ServerDate = EncodeDate(2001, 3, 15) + EncodeTime(22, 5, 9, 250);
    List.Add(Entry("Sync", "* * * * *", ctBuiltinResetTime));
    TScheduler scheduler(List, Services());
    scheduler.ExecuteEntry(0);
    if (savedZone != nullptr)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    EXPECT_EQ(Lines, std::vector<std::string>{"Builtin ResetTime (Sync)"});
    ASSERT_EQ(ClockSetter.Records.size(), 1u);
    const TSystemTime& utc = ClockSetter.Records[0];
    EXPECT_EQ(utc.Year, 2001);
    EXPECT_EQ(utc.Month, 3);
    EXPECT_EQ(utc.Day, 16);
    EXPECT_EQ(utc.DayOfWeek, 5); // Friday
    EXPECT_EQ(utc.Hour, 3);
    EXPECT_EQ(utc.Minute, 5);
    EXPECT_EQ(utc.Second, 9);
    EXPECT_EQ(utc.Milliseconds, 250);
}

struct TIntervalCase {
    int Second, MSec, Expected;
};

class NextCycleIntervalTest : public testing::TestWithParam<TIntervalCase> {};

TEST_P(NextCycleIntervalTest, FallsFiveSecondsPastTheNextMinute) {
    TDateTime now = EncodeDate(2001, 3, 15) + EncodeTime(12, 0, GetParam().Second, GetParam().MSec);
    EXPECT_EQ(NextCycleInterval(now), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Rearm, NextCycleIntervalTest,
                         testing::Values(TIntervalCase{2, 300, 62700}, TIntervalCase{5, 0, 60000},
                                         TIntervalCase{4, 999, 60001}, TIntervalCase{59, 999, 5001},
                                         TIntervalCase{0, 0, 65000}));

} // namespace
