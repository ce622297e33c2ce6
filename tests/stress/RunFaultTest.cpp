// The scheduler's run when its log cannot be written: every operation stops before it
// starts anything. (A schedule file changed behind its back is the list's own test.)
#include "engine/Scheduler.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

// A folder in its place stops even root; which error says so is the log's own test.
TEST(RunFaultTest, WithAnUnwritableLogEveryOperationStopsBeforeItStartsAnything) {
    TTempDir dir;
    TFakeServices fake;
    fake.NetAvailable = true; // the built-in operation would go on to read the server
    fake.ExecutablePath = dir.File("vantle-scheduler");
    ASSERT_EQ(mkdir(dir.File("vantle-scheduler.LOG").c_str(), 0755), 0);
    TSchedList list;
    list.SetFileName(dir.File("vantle-scheduler.INI"));
    for (int type : {ctDosCommand, ctDirectExecute, ctBuiltinResetTime}) // all due every minute
        list.Add(EntryOf({.Name = "every minute", .Type = type, .Command = "/bin/true"}));
    list.Save();

    auto scheduler = std::make_unique<TScheduler>(list, fake.Services());
    EXPECT_THROW(scheduler->SetEnabled(true), EInOutError);
    EXPECT_TRUE(scheduler->Enabled()) << "the flag changes before the line is written";
    EXPECT_THROW(scheduler->RunCycle(), EInOutError);
    for (std::int32_t i = 0; i < 3; ++i)
        EXPECT_THROW(scheduler->ExecuteEntry(i), EInOutError) << "entry " << i;

    EXPECT_TRUE(fake.Starter.Requests.empty());
    EXPECT_TRUE(fake.ClockSetter.Records.empty());
    EXPECT_EQ(fake.ServerReads, 0);
    EXPECT_TRUE(LockIsFree(list));
    scheduler.reset(); // its last line cannot be written either: no crash on the way out
}

} // namespace
