#include "engine/FailureWatch.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vantle;
using namespace vantle::test;

namespace {

class TRefusingClockSetter : public TClockSetter {
public:
    int SetSystemTime(const TSystemTime&) override { return EPERM; }
};

class FailureWatchTest : public testing::Test {
protected:
    FailureWatchTest() {
        List.SetFileName(Dir.File("s.INI"));
        Fake.ExecutablePath = Dir.File("s");
        Watch.OnFailure = [this](const std::string& text) { Reports.push_back(text); };
    }
    TScheduler& Scheduler() {
        TSchedulerServices services = Fake.Services();
        if (Refuse)
            services.ClockSetter = &Refusing;
        Watch.Attach(services);
        FScheduler = std::make_unique<TScheduler>(List, services);
        return *FScheduler;
    }

    TTempDir Dir;
    TFakeServices Fake;
    TSchedList List;
    TFailureWatch Watch;
    TRefusingClockSetter Refusing;
    bool Refuse = false;
    std::vector<std::string> Reports;
    std::unique_ptr<TScheduler> FScheduler;
};

TEST_F(FailureWatchTest, ReportsARefusedStartAndStillLogsIt) {
    List.Add(EntryOf({.Name = "Backup", .Command = "/opt/backup"}));
    Fake.Starter.Result = 2;
    TScheduler& scheduler = Scheduler();
    scheduler.SetEnabled(true);
    scheduler.RunCycle();
    EXPECT_EQ(Reports, std::vector<std::string>{"Backup could not start: file not found"});
    EXPECT_EQ(Fake.LogLines.back(), "Backup Failed (2)");
    EXPECT_NE(ReadFile(Dir.File("s.LOG")).find("Backup Failed (2)\r\n"), std::string::npos);
}

TEST_F(FailureWatchTest, ReportsNothingForAStartThatWorks) {
    List.Add(EntryOf({.Name = "Backup", .Command = "/opt/backup"}));
    TScheduler& scheduler = Scheduler();
    scheduler.ExecuteEntry(0);
    EXPECT_TRUE(Reports.empty());
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
}

TEST_F(FailureWatchTest, ReportsAClockOperationWithoutNetwork) {
    List.Add(EntryOf({.Name = "Clock", .Type = ctBuiltinResetTime}));
    Scheduler().ExecuteEntry(0);
    EXPECT_EQ(Reports,
              std::vector<std::string>{"Clock could not set the clock: no NetWare connection"});
}

TEST_F(FailureWatchTest, ReportsAClockThePlatformWouldNotSet) {
    List.Add(EntryOf({.Name = "Clock", .Type = ctBuiltinResetTime}));
    Fake.NetAvailable = true;
    Fake.ServerTime = EncodeDate(2024, 1, 2);
    Refuse = true;
    Scheduler().ExecuteEntry(0);
    EXPECT_EQ(Reports, std::vector<std::string>{"Clock could not set the clock: access denied"});
}

TEST_F(FailureWatchTest, AClockThatIsSetReportsNothing) {
    List.Add(EntryOf({.Name = "Clock", .Type = ctBuiltinResetTime}));
    Fake.NetAvailable = true;
    Fake.ServerTime = EncodeDate(2024, 1, 2);
    Scheduler().ExecuteEntry(0);
    EXPECT_TRUE(Reports.empty());
    EXPECT_EQ(Fake.ClockSetter.Records.size(), 1u);
}

} // namespace
