#include "NWSimSupport.h"
#include "engine/Scheduler.h"
#include "netware/nwbase.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace vantle;
using namespace vantle::test;

namespace {

/// Runs one built-in entry named "Sync" through a scheduler whose session binds the
/// client in `dir`, in a time zone five hours behind UTC; reports the clock setter's
/// calls and the programs started.
TReport RunBuiltin(const TTempDir& dir, TEnvironmentSettings environment) {
    environment.emplace_back("TZ", "EST5");
    return RunIsolated(environment, [&] {
        TFakeServices fake;
        fake.Clock.Set(EncodeDate(2024, 1, 15) + EncodeTime(9, 0, 5, 0));
        fake.ExecutablePath = dir.File("vantle-schedctl");
        TSchedulerServices services = fake.Services();
        services.MakeSession = [&] {
            return std::make_unique<TNWBase>(
                std::make_unique<TDlLibraryLoader>(dir.Path().string()), fake.Clock);
        };
        TSchedList list;
        auto entry = std::make_unique<TSchedule>();
        entry->Name = "Sync";
        entry->CommandType = ctBuiltinResetTime;
        entry->Command = "ignored";
        entry->Active = true;
        list.Add(std::move(entry));
        TScheduler(list, services).ExecuteEntry(0);
        std::string set;
        for (const TSystemTime& utc : fake.ClockSetter.Records) {
            char text[64];
            std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u weekday %u; ",
                          utc.Year, utc.Month, utc.Day, utc.Hour, utc.Minute, utc.Second,
                          utc.Milliseconds, utc.DayOfWeek);
            set += text;
        }
        return TReport{{"set", set}, {"started", std::to_string(fake.Starter.Requests.size())}};
    });
}

// Without a client the operation fails and logs it: vantle-schedctl run shows that.
TEST(BuiltinResetTime, SetsTheClockToTheServersTimeInUtc) {
    TTempDir dir;
    PlaceLibraries(dir.Path(), FullClient);
    // 15 January 2024 21:30:00 on the server is 02:30 the next day in UTC.
    TReport report = RunBuiltin(dir, {{"NWSIM_SERVER_BYTES", "124,1,15,21,30,0,1"}});
    EXPECT_EQ(report.count("raised"), 0u) << report["raised"];
    EXPECT_EQ(report["set"], "2024-01-16 02:30:00.000 weekday 2; ");
    EXPECT_EQ(report["started"], "0");
    EXPECT_EQ(LogMessages(ReadFile(dir.File("vantle-schedctl.LOG"))),
              (std::vector<std::string>{"Builtin ResetTime (Sync)"}));
}

} // namespace
