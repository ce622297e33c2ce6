#include "NWSimSupport.h"
#include "engine/Scheduler.h"
#include "netware/nwbase.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

using namespace vantle;
using namespace vantle::test;

namespace {

class TRecordingClockSetter : public TClockSetter {
public:
    bool SetSystemTime(const TSystemTime& utc) override {
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u weekday %u", utc.Year,
                      utc.Month, utc.Day, utc.Hour, utc.Minute, utc.Second, utc.Milliseconds,
                      utc.DayOfWeek);
        Calls += (Calls.empty() ? "" : "; ") + std::string(text);
        return true;
    }
    std::string Calls;
};

class TNoStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string&, const std::string&, const std::string&,
                               int) override {
        return SE_ERR_FNF;
    }
};

/// Runs one built-in entry named "Sync" through a scheduler whose session binds the
/// client in `dir`, in a time zone five hours behind UTC; reports the clock setter's calls.
TReport RunBuiltin(const TTempDir& dir, const TEnvironmentSettings& environment) {
    return RunIsolated(environment, [&] {
        setenv("TZ", "EST5", 1);
        tzset();
        TFakeClock clock(EncodeDate(2024, 1, 15) + EncodeTime(9, 0, 5, 0));
        TNoStarter starter;
        TRecordingClockSetter clockSetter;
        TFormatSettings formatSettings = FixedFormatSettings();
        TSchedulerServices services;
        services.Clock = &clock;
        services.Environment = &ProcessEnvironment();
        services.Starter = &starter;
        services.ClockSetter = &clockSetter;
        services.FormatSettings = &formatSettings;
        services.MakeSession = [&] {
            return std::make_unique<TNWBase>(
                std::make_unique<TDlLibraryLoader>(dir.Path().string()), clock);
        };
        services.ExecutablePath = dir.File("vantle-schedctl");

        TSchedList list;
        auto entry = std::make_unique<TSchedule>();
        entry->Name = "Sync";
        entry->CommandType = ctBuiltinResetTime;
        entry->Command = "ignored";
        entry->Active = true;
        list.Add(std::move(entry));
        {
            TScheduler scheduler(list, services);
            scheduler.ExecuteEntry(0);
        }
        return TReport{{"set", clockSetter.Calls}};
    });
}

/// The log's messages, without their time stamps.
std::vector<std::string> LogMessages(const TTempDir& dir) {
    std::vector<std::string> messages;
    for (std::string line : ReadLines(dir.File("vantle-schedctl.LOG"))) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        messages.push_back(line.size() > 20 ? line.substr(20) : line);
    }
    return messages;
}

TEST(BuiltinResetTime, WithoutNetworkLogsTheFailureAndLeavesTheClock) {
    TTempDir dir;
    TReport report = RunBuiltin(dir, {});
    EXPECT_EQ(report.count("raised"), 0u) << report["raised"];
    EXPECT_EQ(report["set"], "");
    EXPECT_EQ(LogMessages(dir),
              (std::vector<std::string>{"Builtin ResetTime (Sync)",
                                        "Builtin Sync failed; no netware connection"}));
}

TEST(BuiltinResetTime, SetsTheClockToTheServersTimeInUtc) {
    TTempDir dir;
    PlaceLibraries(dir.Path(), {SimCalls, SimClient, SimDirectory, SimLocale});
    // 15 January 2024 21:30:00 on the server is 02:30 the next day in UTC.
    TReport report = RunBuiltin(dir, {{"NWSIM_SERVER_BYTES", "124,1,15,21,30,0,1"}});
    EXPECT_EQ(report.count("raised"), 0u) << report["raised"];
    EXPECT_EQ(report["set"], "2024-01-16 02:30:00.000 weekday 2");
    EXPECT_EQ(LogMessages(dir), (std::vector<std::string>{"Builtin ResetTime (Sync)"}));
}

} // namespace
