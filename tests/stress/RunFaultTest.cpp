// The scheduler's run when its files misbehave: a log that cannot be written stops
// every operation before it starts anything, and a schedule file that another program
// deletes, replaces or rewrites is reloaded (or not) without losing what it wrote.
#include "StressSupport.h"
#include "engine/Scheduler.h"
#include "netware/NetSession.h"
#include "platform/DateTime.h"
#include "platform/SysErrors.h"
#include "sched/SchedFile.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class TRecordingStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string&, int) override {
        Requests.push_back(file + " " + parameters);
        return SE_START_ACCEPTED;
    }
    std::vector<std::string> Requests;
};

class TRecordingClockSetter : public TClockSetter {
public:
    bool SetSystemTime(const TSystemTime&) override {
        ++Calls;
        return true;
    }
    int Calls = 0;
};

// A network that is there, so the built-in operation would go on to read the server.
class TCountingSession : public TNetSession {
public:
    explicit TCountingSession(int& reads) : FReads(reads) {}
    bool NetAvailable() const override { return true; }
    TDateTime ServerDate() override {
        ++FReads;
        return EncodeDate(2026, 12, 7);
    }

private:
    int& FReads;
};

std::unique_ptr<TSchedule> EveryMinute(const std::string& name, std::uint8_t type) {
    auto entry = std::make_unique<TSchedule>();
    entry->Name = name;
    entry->Minutes = entry->Hours = entry->Days = entry->Months = entry->WeekDays = "*";
    entry->Command = "/usr/local/bin/" + name;
    entry->Parms = "$D";
    entry->CommandType = type;
    entry->Active = true;
    return entry;
}

// A schedule file as another program writes it: `count` entries, every one named
// with `tag` and a two-digit number, so files of one count have one size.
std::string ExternalText(const std::string& tag, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s %02d", tag.c_str(), i);
        if (i > 0)
            text += "\r\n";
        text += "[Schedule " + std::to_string(i) + "]\r\nName=" + name +
                "\r\nTime=0 3 * * *\r\nActive=Yes\r\nCommandType=1\r\nWinState=0\r\n"
                "Command=/bin/true\r\nParms=\r\nWorkDir=\r\n";
    }
    return text;
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

std::timespec ModifiedOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtim;
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

bool LockIsFree(TSchedList& list) {
    auto probe = std::async(std::launch::async, [&] {
        list.Lock();
        list.Unlock();
    });
    return probe.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

class RunFaultTest : public ::testing::Test {
protected:
    RunFaultTest() : FClock(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0)) {
        FExecutable = FDir.File("vantle-scheduler");
        FScheduleFile = FExecutable + ".INI";
        FLogFile = FExecutable + ".LOG";
        FList.SetFileName(FScheduleFile);
        FSettings = FixedFormatSettings();
    }

    TSchedulerServices Services() {
        TSchedulerServices services;
        services.Clock = &FClock;
        services.Environment = &ProcessEnvironment();
        services.Starter = &FStarter;
        services.ClockSetter = &FClockSetter;
        services.FormatSettings = &FSettings;
        services.MakeSession = [this] { return std::make_unique<TCountingSession>(FServerReads); };
        services.MakeLog = [this](const std::string& path) {
            return std::make_unique<TLog>(path, FClock);
        };
        services.ExecutablePath = FExecutable;
        return services;
    }

    std::vector<std::string> LogLines() { return LogMessages(ReadFile(FLogFile)); }

    TTempDir FDir;
    std::string FExecutable, FScheduleFile, FLogFile;
    TFakeClock FClock;
    TFormatSettings FSettings;
    TRecordingStarter FStarter;
    TRecordingClockSetter FClockSetter;
    int FServerReads = 0;
    TSchedList FList;
};

} // namespace

// ---- A log file that cannot be written ----

enum class TLogObstacle { DirectoryInItsPlace, MissingFolder, ReadOnlyFile };

class UnwritableLogTest : public RunFaultTest,
                          public ::testing::WithParamInterface<TLogObstacle> {};

TEST_P(UnwritableLogTest, EveryOperationStopsBeforeItStartsAnything) {
    if (GetParam() == TLogObstacle::ReadOnlyFile && geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only files; the directory case covers root";
    }
    std::string expectedText;
    switch (GetParam()) {
    case TLogObstacle::DirectoryInItsPlace:
        ASSERT_EQ(mkdir(FLogFile.c_str(), 0755), 0);
        expectedText = "File access denied";
        break;
    case TLogObstacle::MissingFolder:
        FExecutable = FDir.File("gone/vantle-scheduler");
        break;
    case TLogObstacle::ReadOnlyFile:
        WriteFile(FLogFile, "");
        chmod(FLogFile.c_str(), 0444);
        expectedText = "File access denied";
        break;
    }
    FList.Add(EveryMinute("dos", ctDosCommand));
    FList.Add(EveryMinute("direct", ctDirectExecute));
    FList.Add(EveryMinute("clock", ctBuiltinResetTime));
    FList.Save();

    auto scheduler = std::make_unique<TScheduler>(FList, Services());
    auto expectLogError = [&](const std::function<void()>& step, const char* what) {
        try {
            step();
            ADD_FAILURE() << what << " did not raise the log's error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Message(), EInOutError::TextOf(e.ErrorCode())) << what;
            if (!expectedText.empty()) {
                EXPECT_EQ(e.Message(), expectedText) << what;
            }
        }
    };

    expectLogError([&] { scheduler->SetEnabled(true); }, "SetEnabled");
    EXPECT_TRUE(scheduler->Enabled()) << "the flag changes before the line is written";
    expectLogError([&] { scheduler->RunCycle(); }, "RunCycle");
    EXPECT_TRUE(LockIsFree(FList));
    for (std::int32_t i = 0; i < 3; ++i)
        expectLogError([&] { scheduler->ExecuteEntry(i); }, "ExecuteEntry");

    EXPECT_TRUE(FStarter.Requests.empty());
    EXPECT_EQ(FClockSetter.Calls, 0);
    EXPECT_EQ(FServerReads, 0);
    EXPECT_TRUE(LockIsFree(FList));
    scheduler.reset(); // its last line cannot be written either: no crash on the way out
}

INSTANTIATE_TEST_SUITE_P(Obstacles, UnwritableLogTest,
                         ::testing::Values(TLogObstacle::DirectoryInItsPlace,
                                           TLogObstacle::MissingFolder, TLogObstacle::ReadOnlyFile),
                         [](const ::testing::TestParamInfo<TLogObstacle>& info) {
                             switch (info.param) {
                             case TLogObstacle::DirectoryInItsPlace:
                                 return "DirectoryInItsPlace";
                             case TLogObstacle::MissingFolder:
                                 return "MissingFolder";
                             default:
                                 return "ReadOnlyFile";
                             }
                         });

// ---- A schedule file changed behind the scheduler's back ----

TEST_F(RunFaultTest, DeletedFileGivesNoReloadAndTheNextSaveBringsItBack) {
    WriteFile(FScheduleFile, ExternalText("first", 3));
    FList.Load();
    TScheduler scheduler(FList, Services());
    scheduler.SetEnabled(true);

    ASSERT_EQ(unlink(FScheduleFile.c_str()), 0);
    scheduler.RunCycle();
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
    std::timespec lastWeek{std::time(nullptr) - 7 * 86400, 0};
    SetModified(copy, lastWeek);

    WriteFile(FScheduleFile, ExternalText("newer", 4));
    FList.Load();
    TScheduler scheduler(FList, Services());
    scheduler.SetEnabled(true);

    ASSERT_EQ(rename(copy.c_str(), FScheduleFile.c_str()), 0);
    scheduler.RunCycle();
    EXPECT_TRUE(FList.Reloaded());
    EXPECT_EQ(NamesIn(FList), NamesOf(older));
    EXPECT_EQ(LogLines().at(1), "INI file changed, new schedule loaded");
}

TEST_F(RunFaultTest, EditsWithinOneSecondAreAllReloadedAndNeverLostBySave) {
    WriteFile(FScheduleFile, ExternalText("start", 5));
    FList.Load();
    TScheduler scheduler(FList, Services());
    scheduler.SetEnabled(true);

    // Another program rewrites the file in place again and again, each time with the
    // same size and a modification time put back, as a one-second clock would show.
    const std::timespec stamp = ModifiedOf(FScheduleFile);
    int reloads = 0;
    for (int edit = 0; edit < 20; ++edit) {
        std::string text = ExternalText("edit" + std::to_string(edit % 10), 5);
        RewriteInPlace(FScheduleFile, text);
        SetModified(FScheduleFile, stamp);
        FList.SetReloaded(false);
        scheduler.RunCycle();
        reloads += FList.Reloaded() ? 1 : 0;
        ASSERT_EQ(NamesIn(FList), NamesOf(text)) << "edit " << edit << " was not seen";
    }
    EXPECT_EQ(reloads, 20);

    // The user's own change goes on top of what the other program wrote.
    FList.Add(EveryMinute("mine", ctDirectExecute));
    FList.Save();
    std::vector<std::string> expected = NamesOf(ExternalText("edit9", 5));
    expected.push_back("mine");
    EXPECT_EQ(NamesOf(ReadFile(FScheduleFile)), expected);
}

TEST_F(RunFaultTest, EditRightAfterOwnSaveIsNotOverwrittenByTheNextSave) {
    FList.Add(EveryMinute("ours", ctDirectExecute));
    FList.Save();
    TScheduler scheduler(FList, Services());
    scheduler.SetEnabled(true);

    // Within the same tick as our save, another program puts its own text there.
    const std::timespec saved = ModifiedOf(FScheduleFile);
    std::string theirs = ReadFile(FScheduleFile);
    theirs.replace(theirs.find("Name=ours"), 9, "Name=ther");
    RewriteInPlace(FScheduleFile, theirs);
    SetModified(FScheduleFile, saved);

    scheduler.RunCycle();
    EXPECT_EQ(NamesIn(FList), std::vector<std::string>{"ther"});
    FList.Add(EveryMinute("later", ctDirectExecute));
    FList.Save();
    EXPECT_EQ(NamesOf(ReadFile(FScheduleFile)), (std::vector<std::string>{"ther", "later"}));
}

TEST_F(RunFaultTest, DirectoryInPlaceOfScheduleKeepsEntriesAndFailsTheSave) {
    WriteFile(FScheduleFile, ExternalText("kept", 3));
    FList.Load();
    TScheduler scheduler(FList, Services());
    scheduler.SetEnabled(true);

    std::string aside = FDir.File("aside.INI");
    ASSERT_EQ(rename(FScheduleFile.c_str(), aside.c_str()), 0);
    ASSERT_EQ(mkdir(FScheduleFile.c_str(), 0755), 0);
    scheduler.RunCycle(); // a directory has no time stamp: like a deleted file
    EXPECT_FALSE(FList.Reloaded());
    EXPECT_EQ(NamesIn(FList), NamesOf(ExternalText("kept", 3)));

    FList.Add(EveryMinute("new", ctDirectExecute));
    try {
        FList.Save();
        ADD_FAILURE() << "saving over a directory succeeded";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), EInOutError::TextOf(e.ErrorCode()));
    }
    EXPECT_TRUE(FList.Modified());
    EXPECT_TRUE(std::filesystem::is_directory(FScheduleFile));
    EXPECT_TRUE(std::filesystem::is_empty(FScheduleFile));
}

TEST_F(RunFaultTest, FileThatCannotBeOpenedKeepsEntriesUntilItCanBeRead) {
    WriteFile(FScheduleFile, ExternalText("before", 3));
    FList.Load();
    const TDateTime fileTime = FList.FileTime();

    // Root reads any file, so the open is made to fail by running out of descriptors,
    // in a child that alone carries the limit.
    TChildResult result = RunInChild([&] {
        TScheduler scheduler(FList, Services());
        scheduler.SetEnabled(true);
        std::string report;
        RewriteInPlace(FScheduleFile, ExternalText("after", 4));
        rlimit old{};
        getrlimit(RLIMIT_NOFILE, &old);
        rlimit none{3, old.rlim_max}; // 0, 1 and 2 are open: no new descriptor fits
        setrlimit(RLIMIT_NOFILE, &none);
        try {
            scheduler.RunCycle();
            report = "no error";
        } catch (const EInOutError& e) {
            report = e.Message();
        }
        setrlimit(RLIMIT_NOFILE, &old);
        report += "|" + std::to_string(FList.Count()) + (FList.Modified() ? "|modified" : "|") +
                  (FList.FileTime() == fileTime ? "|same time" : "|new time");
        scheduler.RunCycle(); // the next cycle tries again, and now reads it
        report += "|" + std::to_string(FList.Count()) + "|" + LogLines().back();
        return report;
    });
    ASSERT_TRUE(WIFEXITED(result.Status)) << result.Output;
    EXPECT_EQ(result.Output,
              "Too many open files|3||same time|4|INI file changed, new schedule loaded");
}
