// The scheduler's run when its files misbehave: a log that cannot be written stops
// every operation before it starts anything, and a schedule file that another program
// deletes, replaces or rewrites is reloaded (or not) without losing what it wrote.
#include "engine/Scheduler.h"
#include "sched/SchedFile.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

std::unique_ptr<TSchedule> EveryMinute(const std::string& name, int type) {
    return EntryOf(
        {.Name = name, .Type = type, .Command = "/usr/local/bin/" + name, .Parms = "$D"});
}

// A schedule file as another program writes it: `count` entries, every one named
// with `tag` and a two-digit number, so files of one count have one size.
std::string ExternalText(const std::string& tag, int count) {
    std::vector<TEntryText> entries;
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s %02d", tag.c_str(), i);
        entries.push_back({.Name = name, .Time = "0 3 * * *", .Command = "/bin/true"});
    }
    return ScheduleText(entries);
}

// Rewrites the file in place, as an editor that does not rename would.
void RewriteInPlace(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
}

void SetModified(const std::string& path, const std::timespec& when) {
    std::timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<std::string> NamesIn(TSchedList& list) {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < list.Count(); ++i)
        names.push_back(list.Items(i).Name);
    return names;
}

std::vector<std::string> NamesOf(const std::string& text) {
    std::vector<std::string> names;
    for (const auto& entry : ParseScheduleFile(text))
        names.push_back(entry->Name);
    return names;
}

class RunFaultTest : public ::testing::Test {
protected:
    RunFaultTest() {
        FFake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0));
        FFake.NetAvailable = true; // the built-in operation would go on to read the server
        FFake.ExecutablePath = FDir.File("vantle-scheduler");
        FList.SetFileName(FScheduleFile);
    }

    /// Loads `text` as the schedule file and starts an enabled scheduler on it.
    std::unique_ptr<TScheduler> RunningOn(const std::string& text) {
        WriteFile(FScheduleFile, text);
        FList.Load();
        auto scheduler = std::make_unique<TScheduler>(FList, FFake.Services());
        scheduler->SetEnabled(true);
        return scheduler;
    }

    std::vector<std::string> LogLines() { return LogMessages(ReadFile(FLogFile)); }

    TTempDir FDir;
    std::string FScheduleFile = FDir.File("vantle-scheduler.INI");
    std::string FLogFile = FDir.File("vantle-scheduler.LOG");
    TFakeServices FFake;
    TSchedList FList;
};

// A folder in its place stops even root; which error says so is the log's own test.
TEST_F(RunFaultTest, WithAnUnwritableLogEveryOperationStopsBeforeItStartsAnything) {
    ASSERT_EQ(mkdir(FLogFile.c_str(), 0755), 0);
    FList.Add(EveryMinute("dos", ctDosCommand));
    FList.Add(EveryMinute("direct", ctDirectExecute));
    FList.Add(EveryMinute("clock", ctBuiltinResetTime));
    FList.Save();

    auto scheduler = std::make_unique<TScheduler>(FList, FFake.Services());
    EXPECT_THROW(scheduler->SetEnabled(true), EInOutError);
    EXPECT_TRUE(scheduler->Enabled()) << "the flag changes before the line is written";
    EXPECT_THROW(scheduler->RunCycle(), EInOutError);
    EXPECT_TRUE(LockIsFree(FList));
    for (std::int32_t i = 0; i < 3; ++i)
        EXPECT_THROW(scheduler->ExecuteEntry(i), EInOutError) << "entry " << i;

    EXPECT_TRUE(FFake.Starter.Requests.empty());
    EXPECT_TRUE(FFake.ClockSetter.Records.empty());
    EXPECT_EQ(FFake.ServerReads, 0);
    EXPECT_TRUE(LockIsFree(FList));
    scheduler.reset(); // its last line cannot be written either: no crash on the way out
}

// ---- A schedule file changed behind the scheduler's back ----

TEST_F(RunFaultTest, DeletedFileGivesNoReloadAndTheNextSaveBringsItBack) {
    auto scheduler = RunningOn(ExternalText("first", 3));
    ASSERT_EQ(unlink(FScheduleFile.c_str()), 0);
    scheduler->RunCycle();
    EXPECT_FALSE(FList.Reloaded());
    EXPECT_EQ(NamesIn(FList), NamesOf(ExternalText("first", 3)));
    EXPECT_EQ(LogLines(), std::vector<std::string>{"Scheduler has been Enabled"});
    FList.Save();
    EXPECT_EQ(NamesOf(ReadFile(FScheduleFile)), NamesOf(ExternalText("first", 3)));
}

TEST_F(RunFaultTest, ReloadsWhenReplacedByOlderCopy) {
    const std::string older = ExternalText("older", 2);
    std::string copy = FDir.File("backup.INI");
    WriteFile(copy, older);
    SetModified(copy, {std::time(nullptr) - 7 * 86400, 0});
    auto scheduler = RunningOn(ExternalText("newer", 4));
    ASSERT_EQ(rename(copy.c_str(), FScheduleFile.c_str()), 0);
    scheduler->RunCycle();
    EXPECT_TRUE(FList.Reloaded());
    EXPECT_EQ(NamesIn(FList), NamesOf(older));
    EXPECT_EQ(LogLines().at(1), "INI file changed, new schedule loaded");
    FList.SetReloaded(false);
    scheduler->RunCycle();
    EXPECT_FALSE(FList.Reloaded());
}

TEST_F(RunFaultTest, EditsWithinOneSecondAreAllReloadedAndNeverLostBySave) {
    auto scheduler = RunningOn(ExternalText("start", 5));
    // Another program rewrites the file in place again and again, each time with the
    // same size and a modification time put back, as a one-second clock would show.
    struct stat st {};
    ASSERT_EQ(stat(FScheduleFile.c_str(), &st), 0);
    for (int edit = 0; edit < 20; ++edit) {
        std::string text = ExternalText("edit" + std::to_string(edit % 10), 5);
        RewriteInPlace(FScheduleFile, text);
        SetModified(FScheduleFile, st.st_mtim);
        FList.SetReloaded(false);
        scheduler->RunCycle();
        ASSERT_TRUE(FList.Reloaded()) << "edit " << edit << " was not seen";
        ASSERT_EQ(NamesIn(FList), NamesOf(text)) << "edit " << edit;
    }
    // The user's own change goes on top of what the other program wrote.
    FList.Add(EveryMinute("mine", ctDirectExecute));
    FList.Save();
    std::vector<std::string> expected = NamesOf(ExternalText("edit9", 5));
    expected.push_back("mine");
    EXPECT_EQ(NamesOf(ReadFile(FScheduleFile)), expected);
}

} // namespace
