// Each due minute runs once, on real clocks: late ticks, steps of the clock, daylight
// saving changes and restarts, played on a fake clock in two zones.
#include "engine/Scheduler.h"
#include "sched/NextDue.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TStep {
    std::string At;       // local "YYYY-MM-DD hh:mm:ss" of the tick
    std::string Started;  // names started by the cycle, in list order
    std::string Note{};   // the one line the cycle logs besides its starts, if any
    bool Restart = false; // the program was ended and started again before this tick
};

struct TScenario {
    std::string Name, Zone;
    std::vector<TStep> Steps;
    std::vector<TEntryText> Schedule{}; // none: Entries
};

TDateTime MomentOf(const std::string& text) {
    auto number = [&](std::size_t at, std::size_t count) {
        return std::stoi(text.substr(at, count));
    };
    return EncodeDate(number(0, 4), number(5, 2), number(8, 2)) +
           EncodeTime(number(11, 2), number(14, 2), number(17, 2), 0);
}

// E every minute, A every minute spelled out (it runs wherever E does), H hourly, D and Q
// fixed in the small hours (the changes fall there), F fixed at noon.
const std::vector<TEntryText> Entries = {
    {.Name = "E", .Time = "* * * * *", .Command = "E"},
    {.Name = "A", .Time = "0-59 0-23 * * *", .Command = "A"},
    {.Name = "H", .Time = "0 * * * *", .Command = "H"},
    {.Name = "D", .Time = "30 2 * * *", .Command = "D"},
    {.Name = "Q", .Time = "30 1 * * *", .Command = "Q"},
    {.Name = "F", .Time = "10 12 * * *", .Command = "F"},
};

std::vector<TScenario> Scenarios() {
    std::vector<TScenario> all;
    // The steps give the time of day, on `date`.
    auto add = [&](const std::string& name, const std::string& zone, const std::string& date,
                   std::vector<TStep> steps) {
        for (TStep& step : steps) {
            step.At = date + " " + step.At;
            if (step.Started.starts_with("E"))
                step.Started.insert(1, " A");
        }
        all.push_back({name, zone, std::move(steps)});
    };
    for (std::string zone : {"Europe/Berlin", "America/New_York"}) {
        std::string in = zone == "Europe/Berlin" ? "InBerlin" : "InNewYork";
        const std::string day = "2026-06-10";
        add("GapOfTwoAndAHalfHours" + in, zone, day,
            {{"10:05:05", "E"}, {"12:35:05", "E H F", "Running entries due since 10.06"}});
        // Three hours is still a gap to catch up on, either way; a minute more is a
        // moved clock.
        add("GapOfExactlyThreeHours" + in, zone, day,
            {{"09:05:05", "E"},
             {"12:05:05", "E H", "Running entries due since 09.06"},
             {"09:05:05", "E"},
             {"12:06:05", "E"}});
        add("GapOfThreeHoursAndAMinute" + in, zone, day,
            {{"09:05:05", "E"},
             {"12:06:05", "E",
              "Clock moved from 2026.06.10 09.05 to 2026.06.10 12.06; missed minutes not run"},
             {"09:05:05", "E",
              "Clock moved from 2026.06.10 12.06 to 2026.06.10 09.05; missed minutes not run"}});
        add("JumpOfSixHours" + in, zone, day,
            {{"06:05:05", "E"},
             {"12:10:05", "E F",
              "Clock moved from 2026.06.10 06.05 to 2026.06.10 12.10; missed minutes not run"},
             {"12:11:05", "E"}});
        add("StepsBack" + in, zone, day,
            {{"12:10:05", "E F"},
             {"12:10:05", ""}, // the same minute again
             {"12:30:05", "E", "Running entries due since 12.11"},
             {"12:10:05", "E"},
             {"12:11:05", "E"},
             {"12:31:05", "E"}});
        add("RestartInTheSameMinute" + in, zone, day,
            {{"12:10:05", "E F"}, {"12:10:40", "", "", true}, {"12:11:05", "E"}});
        // The clock reads a minute before the latest one tested: that minute is done.
        add("RestartOnAClockAMinuteBehind" + in, zone, day,
            {{"12:10:05", "E F"},
             {"12:11:05", "E"},
             {"12:10:30", "E",
              "The clock is behind the latest minute tested (2026.06.10 12.11); entries with a "
              "fixed minute and hour wait until then",
              true},
             {"12:11:05", "E"}});
        // Set back further while the program was off: told as when it runs.
        add("RestartOnAClockFourHoursBehind" + in, zone, day,
            {{"12:10:05", "E F"},
             {"08:10:05", "E",
              "Clock moved from 2026.06.10 12.10 to 2026.06.10 08.10; missed minutes not run",
              true},
             {"08:11:05", "E"},
             {"12:10:05", "E F",
              "Clock moved from 2026.06.10 08.11 to 2026.06.10 12.10; missed minutes not run"}});
        add("RestartCatchesUpOnNothing" + in, zone, day,
            {{"10:59:05", "E"}, {"12:11:05", "E", "", true}, {"12:12:05", "E"}});
    }
    // Spring: the local hour from 02:00 is left out, and counts as passed.
    const std::vector<TStep> spring = {{"01:59:05", "E"},
                                       {"03:00:05", "E H D", "Running entries due since 02.00"},
                                       {"03:01:05", "E"}};
    // Catch-up: C and G catch up, N does not; M and O, due once a year, catch up too. At
    // most a month back; a minute the spring change left out counts as missed.
    const std::string catchUp = "CatchUp=Yes\r\n";
    const std::vector<TEntryText> late = {
        {.Name = "C", .Time = "0 14 * * *", .Command = "C", .More = catchUp},
        {.Name = "N", .Time = "0 14 * * *", .Command = "N"},
        {.Name = "M", .Time = "20 3 25 5 *", .Command = "M", .More = catchUp},
        {.Name = "O", .Time = "20 3 22 4 *", .Command = "O", .More = catchUp},
        {.Name = "G", .Time = "30 2 * * *", .Command = "G", .More = catchUp},
    };
    const std::string missedC = "Running C, missed at 2026.06.10 14.00";
    all.push_back({"CatchUpAfterTimeOff",
                   "Europe/Berlin",
                   {{"2026-06-10 12:10:05", ""},
                    {"2026-06-10 17:10:05", "C", missedC, true},
                    {"2026-06-10 17:10:40", "", "", true},
                    {"2026-06-10 17:11:05", ""}},
                   late});
    all.push_back({"CatchUpAfterASuspend",
                   "Europe/Berlin",
                   {{"2026-06-10 12:10:05", ""},
                    {"2026-06-10 17:10:05", "C",
                     "Clock moved from 2026.06.10 12.10 to 2026.06.10 17.10; entries that catch "
                     "up run once for the minutes missed" +
                         missedC},
                    {"2026-06-10 17:11:05", ""}},
                   late});
    all.push_back({"CatchUpLooksBackAMonth",
                   "Europe/Berlin",
                   {{"2026-04-20 12:10:05", ""},
                    {"2026-05-30 12:10:05", "C M G",
                     "Running C, missed at 2026.05.29 14.00Running M, missed at 2026.05.25 "
                     "03.20Running G, missed at 2026.05.30 02.30",
                     true}},
                   late});
    all.push_back({"CatchUpOverTheSpringChange",
                   "Europe/Berlin",
                   {{"2026-03-29 01:10:05", ""},
                    {"2026-03-29 06:10:05", "G", "Running G, missed at 2026.03.29 02.30", true}},
                   late});
    add("SpringInBerlin", "Europe/Berlin", "2026-03-29", spring);
    add("SpringInNewYork", "America/New_York", "2026-03-08", spring);
    // Autumn: Berlin's 02:00-02:59 and New York's 01:00-01:59 come twice.
    add("AutumnInBerlin", "Europe/Berlin", "2026-10-25",
        {{"01:59:05", "E"},
         {"02:00:05", "E H"},
         {"02:30:05", "E D", "Running entries due since 02.01"},
         {"02:59:05", "E", "Running entries due since 02.31"},
         {"02:00:05", "E H"}, // the same hour again, on winter time
         {"02:30:05", "E"},
         {"02:59:05", "E"},
         {"03:00:05", "E H"}});
    add("AutumnInNewYork", "America/New_York", "2026-11-01",
        {{"00:59:05", "E"},
         {"01:30:05", "E H Q", "Running entries due since 01.00"},
         {"01:59:05", "E", "Running entries due since 01.31"},
         {"01:00:05", "E H"},
         {"01:30:05", "E"},
         {"02:00:05", "E H"},
         {"02:30:05", "E D", "Running entries due since 02.01"}});
    return all;
}

class CycleMemoryTest : public testing::TestWithParam<TScenario> {};

TEST_P(CycleMemoryTest, RunsEachDueMinuteOnce) {
    const TScenario& scenario = GetParam();
    TZoneGuard zone(scenario.Zone);
    TTempDir dir;
    TFakeServices fake;
    fake.ExecutablePath = dir.File("Sched.exe");
    TSchedList list;
    list.SetFileName(dir.File("Sched.INI"));
    WriteFile(list.FileName(),
              ScheduleText(scenario.Schedule.empty() ? Entries : scenario.Schedule));
    list.Load();
    std::unique_ptr<TScheduler> scheduler;
    for (const TStep& step : scenario.Steps) {
        if (!scheduler || step.Restart) {
            scheduler.reset();
            scheduler = std::make_unique<TScheduler>(list, fake.Services());
            scheduler->SetEnabled(true);
        }
        fake.Clock.Set(MomentOf(step.At));
        fake.LogLines.clear();
        fake.Starter.Requests.clear();
        scheduler->RunCycle();
        std::string started, note;
        for (const TStartRequest& request : fake.Starter.Requests)
            started += (started.empty() ? "" : " ") + request.File;
        for (const std::string& line : fake.LogLines)
            if (line.rfind("Executing ", 0) != 0)
                note += line;
        EXPECT_EQ(started, step.Started) << "tick at " << step.At;
        EXPECT_EQ(note, step.Note) << "tick at " << step.At;
    }
}

INSTANTIATE_TEST_SUITE_P(Clocks, CycleMemoryTest, testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return info.param.Name; });

// The memory kept in the state file, through schedulers that end and start again.
class StateFileTest : public testing::Test {
protected:
    StateFileTest() {
        Fake.ExecutablePath = Dir.File("Sched.exe");
        Fake.Clock.Set(MomentOf("2026-06-10 12:10:05"));
    }
    // One pass of a new scheduler on `schedule`; returns what it started.
    std::string Cycle(TSchedList& list) {
        TScheduler scheduler(list, Fake.Services());
        scheduler.SetEnabled(true);
        Fake.Starter.Requests.clear();
        try {
            scheduler.RunCycle();
        } catch (const EInOutError& e) {
            Raised = DescribeError(e);
        }
        std::string started;
        for (const TStartRequest& request : Fake.Starter.Requests)
            started += request.File;
        return started;
    }
    void Load(TSchedList& list, const std::string& name, const std::vector<TEntryText>& entries) {
        list.SetFileName(Dir.File(name));
        WriteFile(list.FileName(), ScheduleText(entries));
        list.Load();
    }
    TTempDir Dir;
    TFakeServices Fake;
    std::string Raised;
};

TEST_F(StateFileTest, TwoSchedulesThatShareALogKeepTheirOwnMemory) {
    TSchedList a, b;
    Load(a, "a.INI", {{.Name = "A", .Command = "A"}});
    Load(b, "b.INI", {{.Name = "B", .Command = "B"}});
    Fake.ExecutablePath = Dir.File("s.exe"); // both log to s.LOG
    EXPECT_EQ(Cycle(a), "A");
    EXPECT_EQ(Cycle(b), "B");
    EXPECT_EQ(Cycle(b), "") << "a restart within the minute runs nothing twice";
}

TEST_F(StateFileTest, AStateOfTheOldNameIsReadSoAnUpgradeRunsNoMinuteTwice) {
    TSchedList list;
    Load(list, "Sched.INI", {{.Name = "A", .Command = "A"}});
    Fake.ExecutablePath = Dir.File("other.exe"); // logs to other.LOG
    WriteFile(Dir.File("other.STATE"), "2026.06.10 12.10\r\n");
    EXPECT_EQ(Cycle(list), "");
    Fake.Clock.Set(MomentOf("2026-06-10 12:11:05"));
    EXPECT_EQ(Cycle(list), "A");
}

TEST_F(StateFileTest, APassStoppedByTheLogIsTakenUpWithoutStartingAnythingTwice) {
    for (bool restart : {false, true}) {
        std::filesystem::remove(Dir.File("Sched.STATE"));
        Fake.Clock.Set(MomentOf("2026-06-10 12:10:05"));
        TSchedList list;
        Load(list, "Sched.INI",
             {{.Name = "A", .Time = "10 12 * * *", .Command = "A"},
              {.Name = "B", .Time = "10 12 * * *", .Command = "B"},
              {.Name = "C", .Time = "10 12 * * *", .Command = "C"}});
        auto scheduler = std::make_unique<TScheduler>(list, Fake.Services());
        scheduler->SetEnabled(true);
        // The disk fills up after A's line.
        Fake.FailLogFrom = static_cast<int>(Fake.LogLines.size()) + 1;
        Fake.Starter.Requests.clear();
        EXPECT_THROW(scheduler->RunCycle(), EInOutError);
        EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
        Fake.FailLogFrom = -1;
        if (restart) {
            // Room again, and a restart within the minute: B and C, not A again.
            scheduler.reset();
            EXPECT_EQ(Cycle(list), "BC");
        } else {
            // Room again: the next cycle takes the stopped minute up.
            Fake.Clock.Set(MomentOf("2026-06-10 12:11:05"));
            Fake.Starter.Requests.clear();
            scheduler->RunCycle();
            std::string started;
            for (const TStartRequest& request : Fake.Starter.Requests)
                started += request.File;
            EXPECT_EQ(started, "BC");
        }
    }
}

// A pass that a failure stopped after starting a catch-up, taken up by the next start
// within the minute: the catch-up it started is not started again, the other one is.
TEST_F(StateFileTest, ACatchUpOfAStoppedPassIsNotStartedAgainWhenThePassIsTakenUp) {
    TSchedList list;
    Load(list, "Sched.INI",
         {{.Name = "A", .Time = "0 9 * * *", .Command = "A", .More = "CatchUp=Yes\r\n"},
          {.Name = "B", .Time = "0 9 * * *", .Command = "B", .More = "CatchUp=Yes\r\n"}});
    WriteFile(Dir.File("Sched.STATE"),
              "2026.06.10 07.10\r\nPass 2026.06.10 12.10\r\nStarted 0 A\r\n");
    EXPECT_EQ(Cycle(list), "B");
}

TEST_F(StateFileTest, AStateFileThatCannotBeKeptIsReportedAfterThePass) {
    TSchedList list;
    Load(list, "Sched.INI", {{.Name = "A", .Command = "A"}});
    std::filesystem::create_directory(Dir.File("Sched.STATE"));
    EXPECT_EQ(Cycle(list), "A");
    EXPECT_EQ(Raised, Dir.File("Sched.STATE") + ": is a folder, not a file");
    EXPECT_EQ(Fake.LogLines.end()[-2], "Could not keep the latest minute tested: " + Raised);
}

// The next-due search lists what the scheduler runs, over days the clock changes on.
struct TChangeDays {
    std::string Zone, First, End; // local dates "YYYY-MM-DD", End excluded
};

void PrintTo(const TChangeDays& days, std::ostream* out) {
    *out << days.Zone << " " << days.First;
}

class ListedRunsTest : public testing::TestWithParam<TChangeDays> {};

// "MM-DD hh:mm +hh:mm NAME"
std::string RunText(TDateTime local, long offset, const std::string& name) {
    TDateParts date = DecodeDate(local);
    TTimeParts time = DecodeTime(local);
    char text[64];
    long minutes = (offset < 0 ? -offset : offset) / 60;
    std::snprintf(text, sizeof text, "%02d-%02d %02d:%02d %c%02ld:%02ld ", date.Month, date.Day,
                  time.Hour, time.Minute, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text + name;
}

TEST_P(ListedRunsTest, UpcomingListsWhatTheSchedulerRuns) {
    TZoneGuard zone(GetParam().Zone);
    TTempDir dir;
    TFakeServices fake;
    fake.ExecutablePath = dir.File("Sched.exe");
    std::vector<TEntryText> entries = Entries;
    entries.push_back({.Name = "B", .Time = "0,30 * * * *", .Command = "B"});
    entries.push_back({.Name = "M", .Time = "30 2 25-31 3 0", .Command = "M"});
    entries.push_back({.Name = "L", .Time = "15 2 * * *", .Command = "L"});
    TSchedList list;
    list.SetFileName(dir.File("Sched.INI"));
    WriteFile(list.FileName(), ScheduleText(entries));
    list.Load();
    TSchedulerServices services = fake.Services();
    services.KeepState = false;
    TScheduler scheduler(list, services);
    scheduler.SetEnabled(true);

    const TDateTime first = MomentOf(GetParam().First + " 00:00:00");
    const TDateTime end = MomentOf(GetParam().End + " 00:00:00");
    // A cycle five seconds into every minute the clock shows, in time order.
    std::vector<std::string> ran;
    for (std::time_t t = LocalReadings(first).front().tv_sec + 5;; t += 60) {
        const TDateTime local = LocalDateTimeOf({t, 0});
        if (local >= end)
            break;
        fake.Clock.Set(local);
        fake.Starter.Requests.clear();
        scheduler.RunCycle();
        for (const TStartRequest& request : fake.Starter.Requests)
            ran.push_back(RunText(local, UtcOffsetAt({t, 0}), request.File));
    }
    std::vector<const TSchedule*> listedEntries;
    for (std::int32_t i = 0; i < list.Count(); ++i)
        listedEntries.push_back(&list.Items(i));
    std::vector<std::string> listed;
    for (const TUpcomingRun& run : UpcomingRuns(listedEntries, first, end, SIZE_MAX))
        listed.push_back(RunText(run.Moment, UtcOffsetOf({run.Moment, run.Again, run.Instant}),
                                 list.Items(static_cast<std::int32_t>(run.Index)).Name));
    EXPECT_EQ(listed, ran);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, ListedRunsTest,
    testing::Values(TChangeDays{"Europe/Berlin", "2026-03-28", "2026-03-30"},
                    TChangeDays{"Europe/Berlin", "2026-10-25", "2026-10-26"},
                    TChangeDays{"America/New_York", "2026-03-08", "2026-03-09"},
                    TChangeDays{"America/New_York", "2026-11-01", "2026-11-02"},
                    TChangeDays{"Australia/Lord_Howe", "2026-04-05", "2026-04-06"},
                    TChangeDays{"Australia/Lord_Howe", "2026-10-04", "2026-10-05"},
                    TChangeDays{"Pacific/Apia", "2011-12-29", "2012-01-01"}),
    [](const auto& info) {
        std::string name = info.param.Zone + info.param.First;
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name;
    });

} // namespace
