#include "engine/FailureWatch.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TWatchCase {
    const char* Name;
    int Type;
    std::uint32_t StartResult;
    bool Net;
    int ClockError;
    std::vector<std::string> Reports;
};

class FailureWatchTest : public testing::TestWithParam<TWatchCase> {};

// A failure is reported and still logged; a start or clock setting that works is not.
TEST_P(FailureWatchTest, ReportsWhatFailed) {
    const TWatchCase& c = GetParam();
    TTempDir dir;
    TFakeServices fake;
    fake.ExecutablePath = dir.File("s");
    fake.Starter.Result = c.StartResult;
    fake.NetAvailable = c.Net;
    fake.ServerTime = EncodeDate(2024, 1, 2);
    fake.ClockSetter.Error = c.ClockError;
    TSchedList list;
    list.SetFileName(dir.File("s.INI"));
    list.Add(EntryOf({.Name = "Job", .Type = c.Type, .Command = "/opt/job"}));
    TFailureWatch watch;
    std::vector<std::string> reports;
    watch.OnFailure = [&](const std::string& text) { reports.push_back(text); };
    TSchedulerServices services = fake.Services();
    watch.Attach(services);
    TScheduler scheduler(list, services);
    scheduler.SetEnabled(true);
    scheduler.RunCycle();
    EXPECT_EQ(reports, c.Reports);
    EXPECT_EQ(fake.Starter.Requests.size() + fake.ClockSetter.Records.size(), c.Net ? 1u : 0u);
    if (c.StartResult == 2) {
        EXPECT_NE(ReadFile(dir.File("s.LOG")).find("Job Failed (2)\r\n"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FailureWatchTest,
    testing::Values(
        TWatchCase{
            "RefusedStart", ctDirectExecute, 2, true, 0, {"Job could not start: file not found"}},
        TWatchCase{"Start", ctDirectExecute, SE_START_ACCEPTED, true, 0, {}},
        TWatchCase{"ClockWithoutNetwork",
                   ctBuiltinResetTime,
                   0,
                   false,
                   0,
                   {"Job could not set the clock: no NetWare connection"}},
        TWatchCase{"ClockRefused",
                   ctBuiltinResetTime,
                   0,
                   true,
                   EPERM,
                   {"Job could not set the clock: access denied"}},
        TWatchCase{"ClockSet", ctBuiltinResetTime, 0, true, 0, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
