#include "engine/FailureWatch.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TWatchCase {
    const char* Name;
    int Type;
    std::uint32_t StartResult;
    bool Net;
    int ClockError;
    const char* Report;  // "" when nothing is reported
    const char* Logged;  // the log's last line
    const char* Failure; // what the scheduler keeps for its callers, "" for none
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
    std::string reports;
    watch.OnNotice = [&](const TNotice& notice) {
        if (notice.Kind == TNotice::Failure)
            reports += notice.Text;
    };
    TSchedulerServices services = fake.Services();
    watch.Attach(services);
    TScheduler scheduler(list, services);
    scheduler.SetEnabled(true);
    scheduler.RunCycle();
    EXPECT_EQ(reports, c.Report);
    EXPECT_EQ(LogMessages(ReadFile(dir.File("s.LOG"))).back(), c.Logged);
    std::string failure;
    for (const TEntryFailure& kept : scheduler.Failures())
        failure += kept.Name + ": " + kept.Text;
    EXPECT_EQ(failure, c.Failure);
    EXPECT_EQ(fake.Starter.Requests.size() + fake.ClockSetter.Records.size(), c.Net ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FailureWatchTest,
    testing::Values(
        TWatchCase{"RefusedStart", ctDirectExecute, 2, true, 0,
                   "Job could not start: file not found (2)",
                   "Job could not start: file not found (2)",
                   "Job: could not start /opt/job: file not found (2)"},
        TWatchCase{"Start", ctDirectExecute, SE_START_ACCEPTED, true, 0, "",
                   "Executing Job (Command /opt/job)", ""},
        TWatchCase{"ClockWithoutNetwork", ctBuiltinResetTime, 0, false, 0,
                   "Job could not set the clock: no NetWare connection",
                   "Builtin Job failed; no netware connection", "Job: no netware connection"},
        TWatchCase{"ClockRefused", ctBuiltinResetTime, 0, true, EPERM,
                   "Job could not set the clock: access denied",
                   "Builtin Job failed; could not set the clock: access denied",
                   "Job: could not set the clock: access denied"},
        TWatchCase{"ClockSet", ctBuiltinResetTime, 0, true, 0, "", "Builtin ResetTime (Job)", ""}),
    [](const auto& info) { return std::string(info.param.Name); });

// A notification is one line of UTF-8 whatever the name holds.
TEST(FailureTextTest, ShowsControlCharactersAndStrayBytesAsEscapes) {
    TRunEvent event;
    event.Kind = TRunEvent::Failed;
    event.Name = "a\nb\x1b[2J caf\xe9";
    event.Code = 2;
    EXPECT_EQ(FailureText(event), "a\\x0ab\\x1b[2J caf\\xe9 could not start: file not found (2)");
}

// A run its time limit stopped failed, whatever signal ended it; a skipped minute did not.
TEST(FailureTextTest, ATimeLimitIsAFailureAndASkipIsNot) {
    TRunEvent event;
    event.Kind = TRunEvent::Signalled;
    event.Name = "Backup";
    event.Code = 15;
    event.TimeLimit = 120;
    EXPECT_EQ(FailureText(event), "Backup stopped after 120 minutes (time limit)");
    event.TimeLimit = 1; // one of anything is singular
    EXPECT_EQ(FailureText(event), "Backup stopped after 1 minute (time limit)");
    event.Kind = TRunEvent::Skipped;
    event.TimeLimit = 0;
    EXPECT_EQ(FailureText(event), std::nullopt);
}

// An entry that keeps failing the same way is told once; a new way of failing is told
// again, and the first good run after failures says it works again.
TEST(FailureWatchOnce, TellsEachFailureOnceAndTheRecovery) {
    TFailureWatch watch;
    std::vector<std::string> told; // what a user who wants failures only is shown
    watch.OnNotice = [&](const TNotice& notice) {
        if ((notice.Kind == TNotice::Failure && !notice.Repeated) ||
            notice.Kind == TNotice::Recovered)
            told.push_back(notice.Text);
    };
    auto event = [](TRunEvent::TKind kind, const char* name, std::int64_t code) {
        TRunEvent e;
        e.Kind = kind;
        e.Name = name;
        e.Code = code;
        return e;
    };
    for (int cycle = 0; cycle < 3; ++cycle) {
        watch.See(event(TRunEvent::Started, "Backup", 0));
        watch.See(event(TRunEvent::Exited, "Backup", 3));
    }
    EXPECT_EQ(watch.FailingCount(), 1u);
    watch.See(event(TRunEvent::Signalled, "Backup", 9));
    watch.See(event(TRunEvent::Failed, "Other", 2));
    watch.See(event(TRunEvent::Started, "Backup", 0)); // started is not yet good
    EXPECT_EQ(watch.FailingCount(), 2u);
    watch.See(event(TRunEvent::Exited, "Backup", 0));
    watch.See(event(TRunEvent::Exited, "Backup", 0));
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Backup ended with code 3", "Backup ended by signal 9",
                        "Other could not start: file not found (2)", "Backup works again"}));
    EXPECT_EQ(watch.FailingCount(), 1u);
}

// The run records' news is told as it is (failing, back, disk full), and their being
// written is no news for a person; an inherited run's end is no failure.
TEST(FailureWatchOnce, TellsTheRecordsNewsButNotTheirWriting) {
    TFailureWatch watch;
    std::vector<std::pair<TNotice::TKind, std::string>> told;
    watch.OnNotice = [&](const TNotice& notice) { told.push_back({notice.Kind, notice.Text}); };
    for (auto [kind, text] : {std::pair{TRecorderNews::Failing, "Runs are not recorded for now: x"},
                              std::pair{TRecorderNews::Written, ""},
                              std::pair{TRecorderNews::Recovered, "Runs are recorded again"}}) {
        TRunEvent records;
        records.Kind = TRunEvent::Records;
        records.Code = kind;
        records.Text = text;
        watch.See(records);
    }
    TRunEvent followed;
    followed.Kind = TRunEvent::Followed;
    followed.Name = "Backup";
    watch.See(followed);
    EXPECT_EQ(told, (std::vector<std::pair<TNotice::TKind, std::string>>{
                        {TNotice::Records, "Runs are not recorded for now: x"},
                        {TNotice::Records, "Runs are recorded again"},
                        {TNotice::Ran, "Backup ended after the scheduler restarted"}}));
    EXPECT_EQ(watch.FailingCount(), 0u);
}

} // namespace

namespace {

// What `vantle-schedctl run` prints on standard error: each kind of failure once per
// failing streak, in the notification's words, and "works again" after one.
TEST(FailureLinesTest, EachFailureKindIsToldOncePerStreakAndItsEndToo) {
    TSchedulerServices services;
    std::ostringstream err;
    TFailureLines lines(services, err);
    ASSERT_TRUE(services.OnRunEvent);
    auto ended = [&](const char* name, TRunEvent::TKind kind, std::int64_t code,
                     std::int32_t limit = 0) {
        TRunEvent event;
        event.Kind = kind;
        event.Name = name;
        event.Code = code;
        event.TimeLimit = limit;
        services.OnRunEvent(event);
    };
    ended("Backup", TRunEvent::Exited, 23);
    ended("Backup", TRunEvent::Exited, 23); // the same failure again: told already
    ended("Backup", TRunEvent::Exited, 1);  // another one
    ended("Backup", TRunEvent::Started, 0); // a start is no good run yet
    ended("Backup", TRunEvent::Exited, 0);
    ended("Backup", TRunEvent::Exited, 0);
    ended("Sync", TRunEvent::Signalled, 9);
    ended("Sync", TRunEvent::Signalled, 9);
    ended("Hang", TRunEvent::Signalled, 15, 120);
    ended("Hang", TRunEvent::Signalled, 15, 120);
    TRunEvent byUser;
    byUser.Kind = TRunEvent::Signalled;
    byUser.Name = "Stopped";
    byUser.Code = 15;
    byUser.ByUser = true; // Stop Run: no failure
    services.OnRunEvent(byUser);
    EXPECT_EQ(err.str(), "Backup ended with code 23\n"
                         "Backup ended with code 1\n"
                         "Backup works again\n"
                         "Sync ended by signal 9\n"
                         "Hang stopped after 120 minutes (time limit)\n");
    EXPECT_FALSE(lines.Told("Backup")) << "program ends are no failures of a cycle";

    // Failures the cycle lists too are counted off, once each, until the cycle's report.
    err.str("");
    ended("Lost", TRunEvent::Failed, 2);
    ended("Lost", TRunEvent::Failed, 2);
    ended("Clock", TRunEvent::NoNetwork, 0);
    ended("Clock", TRunEvent::NoNetwork, 0);
    ended("Clock", TRunEvent::ClockNotSet, EPERM);
    EXPECT_EQ(err.str(), "Lost could not start: file not found (2)\n"
                         "Clock could not set the clock: no NetWare connection\n"
                         "Clock could not set the clock: access denied\n");
    EXPECT_TRUE(lines.Told("Lost"));
    EXPECT_TRUE(lines.Told("Lost"));
    EXPECT_FALSE(lines.Told("Lost"));
    EXPECT_TRUE(lines.Told("Clock"));
    lines.CycleReported();
    EXPECT_FALSE(lines.Told("Clock"));
}

} // namespace
