// An entry's environment at its runs, on the fake clock: values expanded and handed to
// the starter, never written to the log, the state or the run's record.
#include "support/ScheduleRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace vantle;
using namespace vantle::test;

namespace {

class EntryEnvironmentTest : public TScheduleRunTest {
protected:
    // Every file the scheduler wrote, the log and the state among them, and the record.
    void ExpectSecretNowhere() {
        for (const std::string& line : Fake.LogLines)
            EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        for (const auto& file : std::filesystem::recursive_directory_iterator(Dir.Path())) {
            if (!file.is_regular_file() || file.path().filename() == "Sched.INI")
                continue;
            EXPECT_EQ(ReadFile(file.path().string()).find("s3cret"), std::string::npos)
                << file.path();
        }
        for (const TStoredRun& run : Runs())
            for (const std::string* text : {&run.Command, &run.Parameters, &run.Result})
                EXPECT_EQ(text->find("s3cret"), std::string::npos) << *text;
    }
};

TEST_F(EntryEnvironmentTest, ValuesAreExpandedAndHandedOnButOnlyTheNamesAreRecorded) {
    Load("Environment=PATH=/opt/sync/bin:$V[PATH];SYNC_PASS=s3cret-$D;EMPTY=\r\n");
    Start();
    CycleAt(2, 30);
    ASSERT_EQ(Fake.Starter.Extras.size(), 1u);
    const char* path = std::getenv("PATH");
    EXPECT_EQ(Fake.Starter.Extras[0].Environment,
              (TLines{"PATH=/opt/sync/bin:" + std::string(path != nullptr ? path : ""),
                      "SYNC_PASS=s3cret-20260610", "EMPTY="}));
    EXPECT_EQ(LogWith("Executing"), TLines{"Executing Sync (Command /opt/sync)"});
    EndLast(0);
    ASSERT_EQ(Runs().size(), 1u);
    EXPECT_EQ(Runs()[0].Environment, "PATH, SYNC_PASS, EMPTY");
    EXPECT_EQ(Runs()[0].Result, "Exited 0");
    ExpectSecretNowhere();
}

// What the program is given is part of what a retry tries again: a change drops it.
TEST_F(EntryEnvironmentTest, APendingRetryGivesWayToAChangedEnvironment) {
    Load("Retries=2\r\nEnvironment=DEST=/mnt/a\r\n");
    Start();
    CycleAt(2, 30);
    EndLast(1);
    EXPECT_EQ(Scheduler->Retries().Pending().size(), 1u);
    Load("Retries=2\r\nEnvironment=DEST=/mnt/b\r\n");
    CycleAt(2, 31);
    EXPECT_TRUE(Scheduler->Retries().Pending().empty());
    CycleAt(2, 35);
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
}

// A pair the program could not be given fails the run as a NUL byte does: nothing starts,
// and what is said names the pair, never its value.
struct TMalformedRow {
    std::string Pairs, Text;
};

class MalformedEnvironmentTest : public EntryEnvironmentTest,
                                 public testing::WithParamInterface<TMalformedRow> {};

TEST_P(MalformedEnvironmentTest, FailsTheRunWithoutTellingAValue) {
    const auto& [pairs, text] = GetParam();
    Load("Environment=" + pairs + "\r\n");
    Start();
    CycleAt(2, 30);
    EXPECT_TRUE(Fake.Starter.Requests.empty());
    EXPECT_EQ(LogWith("failed"), TLines{"Sync failed: " + text});
    ASSERT_EQ(Scheduler->Failures().size(), 1u);
    EXPECT_EQ(Scheduler->Failures()[0].Text, text);
    EXPECT_EQ(Marks(), TLines{"schedule 1/1 Failed: " + text});
    ExpectSecretNowhere();
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, MalformedEnvironmentTest,
    testing::Values(
        TMalformedRow{"GOOD=1;bad name=s3cret",
                      "the environment's pair 'bad name' has no valid name (letters, digits and "
                      "_, not starting with a digit)"},
        TMalformedRow{"GOOD=1;s3cret",
                      "the environment's pair 2 has no '=' (a ';' in a value is written '\\;')"},
        TMalformedRow{"=s3cret", "the environment's pair 1 has no name before its '='"},
        TMalformedRow{"9LIVES=s3cret", "the environment's pair '9LIVES' has no valid name "
                                       "(letters, digits and _, not starting with a digit)"},
        TMalformedRow{std::string("KEY=s3\0cret", 11), "the environment holds a NUL byte"}));

} // namespace
