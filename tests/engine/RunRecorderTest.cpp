// The run records written beside the run path: a store that another program holds
// locked, one locked at the start, a full disk and a scheduler killed with records still
// queued cost no start, no stop and no record. Real starts of the suite's helper, through
// the real store; a process of its own: becoming a subreaper lasts for life.
#include "engine/RunRecorder.h"
#include "engine/Scheduler.h"

#include "platform/ChildWatch.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/ThreadPriority.h"
#include "support/FakeServices.h"
#include "support/ReapAll.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;
using namespace std::chrono_literals;
using TSteady = std::chrono::steady_clock;

namespace {

// Another program that holds a write transaction open, as a backup tool or a curious
// user with sqlite3 can.
class TLockHolder {
public:
    explicit TLockHolder(const std::string& database) {
        EXPECT_EQ(sqlite3_open(database.c_str(), &FDb), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(FDb, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~TLockHolder() { Release(); }
    void Release() {
        if (FDb == nullptr)
            return;
        sqlite3_exec(FDb, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(FDb);
        FDb = nullptr;
    }

private:
    sqlite3* FDb = nullptr;
};

class RunRecorderTest : public testing::Test {
protected:
    RunRecorderTest() {
        List.SetFileName(Dir.File("jobs.INI"));
        Fake.ExecutablePath = Dir.File("jobs.exe");
        Fake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0));
    }

    std::string Folder() const { return Dir.File("state"); }
    std::string StateFile() const { return Dir.File("jobs.STATE"); }
    // A short grace keeps the stop's bound clear of a loaded machine's delays.
    static TRunRecorderOptions Quick() {
        return {.RetryMs = 20, .ReportAfterMs = 200, .StopGraceMs = 300};
    }
    void MakeStore() const { TRunStore(Folder(), List.FileName(), TRunStoreMode::Writer); }
    std::vector<TStoredRun> Records() const {
        return TRunStore(Folder(), List.FileName(), TRunStoreMode::Reader).Runs({});
    }

    TSchedulerServices Services(TRunRecorder& recorder) {
        TSchedulerServices services = Fake.Services();
        services.Starter = &Starter;
        services.Recorder = &recorder;
        return services;
    }

    TTempDir Dir;
    TFakeServices Fake;
    TPosixProgramStarter Starter;
    TSchedList List;
};

// Three entries due at once while the store is locked: each starts at once, the stop
// takes less than a second, and the next start writes every record the stop left.
TEST_F(RunRecorderTest, ALockedStoreDelaysNoStartAndNoStopAndLosesNoRecord) {
    TChildWatch::BlockChildSignal();
    TChildWatch children;
    WriteFile(List.FileName(),
              ScheduleText({{.Name = "A", .Command = VANTLE_ENDHELPER, .Parms = "exit 0"},
                            {.Name = "B", .Command = VANTLE_ENDHELPER, .Parms = "exit 3"},
                            {.Name = "C", .Command = VANTLE_ENDHELPER, .Parms = "print 0"}}));
    MakeStore();
    TLockHolder lock(Folder() + "/runs.sqlite");
    std::vector<TSteady::time_point> starts;
    std::vector<std::int64_t> keys;
    {
        auto recorder = std::make_unique<TRunRecorder>(Folder(), List.FileName(), Quick());
        TSchedulerServices services = Services(*recorder);
        services.OnRunEvent = [&](const TRunEvent& event) {
            if (event.Kind == TRunEvent::Started) {
                starts.push_back(TSteady::now());
                keys.push_back(event.Record);
            }
        };
        auto scheduler = std::make_unique<TScheduler>(List, services);
        scheduler->SetEnabled(true);
        List.Load();
        const TSteady::time_point cycle = TSteady::now();
        scheduler->RunCycle();
        ASSERT_EQ(starts.size(), 3u);
        // A store that waited would take its 5 s busy timeout before each record.
        EXPECT_LT(starts.back() - cycle, 1000ms);
        ReapAll(*scheduler, children);
        const TSteady::time_point stop = TSteady::now();
        scheduler.reset();
        recorder.reset();
        EXPECT_LT(TSteady::now() - stop, 1000ms) << "a stop gives the records a second at most";
    }
    lock.Release();
    {
        TRunRecorder recorder(Folder(), List.FileName(), Quick());
        TScheduler next(List, Services(recorder));
        ASSERT_TRUE(recorder.Flush(10'000));
    }
    std::vector<TStoredRun> runs = Records();
    ASSERT_EQ(runs.size(), 3u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].Id, keys[i]);
        EXPECT_EQ(runs[i].Name, std::string(1, char('A' + i)));
        EXPECT_EQ(runs[i].Result, EndedUnwatchedResult);
    }
}

// Locked when the scheduler starts and released later: told once that runs are not
// recorded, once that they are again, and what waited is written then.
TEST_F(RunRecorderTest, AStoreLockedAtStartIsToldOnceEachWayAndRecordsAgain) {
    WriteFile(List.FileName(), ScheduleText({{.Name = "Clock", .Type = ctBuiltinResetTime}}));
    MakeStore();
    TLockHolder lock(Folder() + "/runs.sqlite");
    TRunRecorder recorder(Folder(), List.FileName(), Quick());
    TSchedulerServices services = Services(recorder);
    std::vector<std::string> told;
    services.OnRunEvent = [&](const TRunEvent& event) {
        if (event.Kind == TRunEvent::Records && event.Code != TRecorderNews::Written)
            told.push_back(event.Text);
    };
    TScheduler scheduler(List, services);
    scheduler.SetEnabled(true);
    List.Load();
    scheduler.RunCycle(); // a clock setting without a network: a record at once
    auto toldCount = [&](std::size_t count) {
        return WaitUntil(
            [&] {
                scheduler.TakeRecordNews();
                return told.size() >= count;
            },
            10s);
    };
    ASSERT_TRUE(toldCount(1));
    std::this_thread::sleep_for(300ms); // more failures, and nothing more told
    scheduler.TakeRecordNews();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].starts_with("Runs are not recorded for now: ")) << told[0];
    EXPECT_NE(std::find(Fake.LogLines.begin(), Fake.LogLines.end(), told[0]), Fake.LogLines.end());

    lock.Release();
    ASSERT_TRUE(toldCount(2));
    EXPECT_EQ(told[1], "Runs are recorded again");
    ASSERT_TRUE(recorder.Flush(10'000));
    std::vector<TStoredRun> runs = Records();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Result, "No network connection");
    EXPECT_EQ(runs[0].OutputBytes, 0u) << "no program, no output";
}

// A full file system: the cut of an output keeps its head when there is no room for a
// copy of its tail; records wait in the queue, the full disk is told once, and every
// record is complete once space returns, with nobody cleaning up.
TEST_F(RunRecorderTest, AFullDiskCompletesEveryRecordOnceSpaceReturns) {
    TTempDir small;
    if (::mount("tmpfs", small.Path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a small tmpfs cannot be mounted here: " << std::strerror(errno);
    struct TUnmount {
        std::string Path;
        ~TUnmount() { ::umount2(Path.c_str(), MNT_DETACH); }
    } unmount{small.Path().string()};
    const std::string folder = small.File("state");
    TRunOutputs outputs(folder, List.FileName(), true);
    const std::string filler = small.File("filler");
    auto fill = [&] {
        TOwnFd fd(::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600));
        const std::string block(4096, 'f');
        while (::write(fd.Get(), block.data(), block.size()) > 0) {
        }
    };

    std::string text;
    for (int line = 0; text.size() < 400'000; ++line)
        text += "line " + std::to_string(line) + "\n";
    {
        TOwnFd out = outputs.Create(7);
        ASSERT_EQ(::write(out.Get(), text.data(), text.size()), ssize_t(text.size()));
    }
    fill();
    const TOutputCut cut = outputs.Cut(7, 100'000, text.size());
    EXPECT_TRUE(cut.Cut);
    EXPECT_TRUE(cut.HeadKept);
    EXPECT_EQ(outputs.Read(7, 1 << 20, text.size(), true),
              text.substr(0, 100'000) + "\n... " + std::to_string(text.size() - 100'000) +
                  " bytes left out: the disk was full when the output was cut ...\n");
    std::vector<std::string> left;
    for (const auto& file : std::filesystem::directory_iterator(outputs.Folder()))
        left.push_back(file.path().string());
    EXPECT_EQ(left, std::vector<std::string>{outputs.PathOf(7)}) << "the cut's copy is gone";

    fill(); // what the cut freed
    TRunRecorderOptions options = Quick();
    std::int64_t nextKey = 0;
    options.MakeKey = [&] { return ++nextKey; };
    TRunRecorder recorder(folder, List.FileName(), options);
    for (const char* name : {"Backup", "Report"}) {
        TStoredRun run;
        run.Id = recorder.NewKey();
        run.Name = name;
        run.Started = Fake.Clock.Now();
        recorder.Begin(run);
        recorder.Finish(run.Id, {.Ended = Fake.Clock.Now(), .Result = "Exited 0"});
    }
    std::vector<TRecorderNews> news;
    auto waitFor = [&](TRecorderNews::TKind kind) {
        return WaitUntil(
            [&] {
                for (TRecorderNews& item : recorder.TakeNews())
                    news.push_back(std::move(item));
                return std::any_of(news.begin(), news.end(),
                                   [&](const TRecorderNews& item) { return item.Kind == kind; });
            },
            10s);
    };
    ASSERT_TRUE(waitFor(TRecorderNews::Failing));
    ASSERT_TRUE(waitFor(TRecorderNews::DiskFull)) << news.front().Text;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.TakeNews().size(), 0u) << "each told once";
    EXPECT_EQ(news.size(), 2u);

    ASSERT_EQ(::unlink(filler.c_str()), 0);
    ASSERT_TRUE(waitFor(TRecorderNews::Recovered));
    ASSERT_TRUE(recorder.Flush(10'000));
    std::vector<TStoredRun> runs =
        TRunStore(folder, List.FileName(), TRunStoreMode::Reader).Runs({});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Name, "Backup");
    EXPECT_EQ(runs[1].Result, "Exited 0");
}

// A scheduler killed while its records wait behind a lock: its successor writes them from
// the state file, follows the run that still goes on (its entry skips overlaps, so the
// next minute is skipped), closes its record when it ends, and runs the entry again.
TEST_F(RunRecorderTest, AKilledSchedulerLosesNoRunAndItsSuccessorFollowsWhatStillRuns) {
    TChildWatch::BlockChildSignal();
    TChildWatch children;
    WriteFile(List.FileName(), ScheduleText({{.Name = "Long",
                                              .Command = VANTLE_ENDHELPER,
                                              .Parms = "sleep 1500",
                                              .More = "Overlap=Skip\r\nTimeLimit=5\r\n"}}));
    MakeStore();
    std::string state;
    std::int64_t key = 0;
    int pid = 0;
    {
        TLockHolder lock(Folder() + "/runs.sqlite");
        TRunRecorder recorder(Folder(), List.FileName(), {.StopGraceMs = 0});
        TSchedulerServices services = Services(recorder);
        services.OnRunEvent = [&](const TRunEvent& event) {
            if (event.Kind == TRunEvent::Started) {
                key = event.Record;
                pid = event.Pid;
            }
        };
        TScheduler scheduler(List, services);
        scheduler.SetEnabled(true);
        List.Load();
        scheduler.RunCycle();
        state = ReadFile(StateFile()); // all a kill leaves behind
    }
    ASSERT_GT(pid, 0);
    WriteFile(StateFile(), state);

    TRunRecorder recorder(Folder(), List.FileName(), Quick());
    TSchedulerServices services = Services(recorder);
    std::vector<TRunEvent> events;
    services.OnRunEvent = [&](const TRunEvent& event) { events.push_back(event); };
    TScheduler scheduler(List, services);
    EXPECT_EQ(Fake.LogLines.back(), "Long started before the scheduler restarted and still runs "
                                    "(process " +
                                        std::to_string(pid) + "): followed to its end");
    ASSERT_TRUE(recorder.Flush(10'000));
    std::optional<TStoredRun> run =
        TRunStore(Folder(), List.FileName(), TRunStoreMode::Reader).Run(key);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->Result, "");
    scheduler.SetEnabled(true);
    List.Load();
    EXPECT_TRUE(scheduler.NextOverdue()) << "its time limit is kept";
    Fake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 31, 5, 0));
    scheduler.RunCycle();
    EXPECT_EQ(Fake.LogLines.back(), "Long skipped: the run started at 02.30 is still running "
                                    "(process " +
                                        std::to_string(pid) + ")");

    ASSERT_TRUE(WaitUntil(
        [&] {
            scheduler.FollowInherited();
            return !events.empty() && events.back().Kind == TRunEvent::Followed;
        },
        20s));
    EXPECT_TRUE(Fake.LogLines.back().starts_with("Long ended after the scheduler restarted, "))
        << Fake.LogLines.back();
    EXPECT_FALSE(scheduler.NextOverdue());
    ASSERT_TRUE(recorder.Flush(10'000));
    run = TRunStore(Folder(), List.FileName(), TRunStoreMode::Reader).Run(key);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->Result, EndedAfterRestartResult);
    EXPECT_FALSE(run->Failure);
    EXPECT_GE(run->DurationMs, 1000);

    Fake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 32, 5, 0));
    scheduler.RunCycle();
    EXPECT_EQ(events.back().Kind, TRunEvent::Started) << "no longer skipped once it ended";
    ReapAll(scheduler, children);
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

// Held up by a lock: the output is cut once, and the record, written after the lock is
// gone, still says all the program wrote; runs the queue had no room for are told.
TEST_F(RunRecorderTest, WhatWaitsIsWrittenAsItWasAndWhatDidNotFitIsTold) {
    MakeStore();
    TRunRecorderOptions options = Quick();
    options.QueueLimit = 2;
    std::int64_t nextKey = 0;
    options.MakeKey = [&] { return ++nextKey; };
    TRunRecorder recorder(Folder(), List.FileName(), options);
    TStoredRun run;
    run.Name = "Chatty";
    run.Started = Fake.Clock.Now();
    run.Id = recorder.NewKey();
    recorder.Begin(run);
    ASSERT_TRUE(recorder.Flush(10'000));
    TLockHolder lock(Folder() + "/runs.sqlite");
    {
        TOwnFd out = recorder.Outputs().Create(run.Id);
        const std::string text(3000, 'x');
        ASSERT_EQ(::write(out.Get(), text.data(), text.size()), 3000);
    }
    recorder.Finish(run.Id, {.Result = "Exited 0", .HasOutput = true, .OutputKeep = 1000});
    for (const char* name : {"Second", "Third", "Fourth"}) {
        run.Name = name;
        run.Id = recorder.NewKey();
        recorder.Begin(run);
    }
    std::vector<TRecorderNews> news;
    auto told = [&](std::size_t count) {
        return WaitUntil(
            [&] {
                for (TRecorderNews& item : recorder.TakeNews())
                    if (item.Kind != TRecorderNews::Written)
                        news.push_back(std::move(item));
                return news.size() >= count;
            },
            10s);
    };
    ASSERT_TRUE(told(1));
    lock.Release();
    ASSERT_TRUE(told(3));
    EXPECT_EQ(news[1].Text, "Runs are recorded again");
    const std::string lost = news[2].Text;
    EXPECT_TRUE(lost.ends_with(" not recorded: too many waited for the store (the log has them)"))
        << lost;
    ASSERT_TRUE(recorder.Flush(10'000));
    std::vector<TStoredRun> runs = Records();
    EXPECT_EQ(runs.size(), std::size_t(4 - std::stoi(lost)));
    ASSERT_GE(runs.size(), 2u);
    EXPECT_EQ(runs[0].OutputBytes, 3000u) << "all it wrote, not what the cut left";
    EXPECT_TRUE(runs[0].OutputCut);
    EXPECT_EQ(runs[1].Name, "Second");
}

// A run that fails before its program could start is recorded as failed, and why.
TEST_F(RunRecorderTest, ARunThatFailsBeforeItsStartIsRecordedAsFailed) {
    WriteFile(List.FileName(),
              ScheduleText({{.Name = "Leap", .Command = "/bin/leap", .Parms = "$D+1Y"},
                            {.Name = "Nul", .Command = {"/bin/x\0y", 8}}}));
    Fake.Clock.Set(EncodeDate(2000, 2, 29) + EncodeTime(10, 0, 5, 0));
    TRunRecorder recorder(Folder(), List.FileName(), Quick());
    TSchedulerServices services = Fake.Services(); // starts nothing
    services.Recorder = &recorder;
    TScheduler scheduler(List, services);
    scheduler.SetEnabled(true);
    List.Load();
    scheduler.RunCycle();
    ASSERT_TRUE(recorder.Flush(10'000));
    std::vector<TStoredRun> runs = Records();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Result, "Failed: Invalid argument to date encode");
    EXPECT_EQ(runs[1].Result, "Failed: the command holds a NUL byte");
    EXPECT_TRUE(runs[0].Failure && runs[1].Failure);
    EXPECT_FALSE(runs[0].OutputCut || runs[1].OutputCut) << "no output, so none was cut";
    EXPECT_TRUE(Fake.Starter.Requests.empty());
}

// A store that keeps failing is tried again at the recorder's pace, not in a loop that
// takes a core, and at a stop it is given up within the grace.
TEST_F(RunRecorderTest, AFailingStoreIsTriedAgainAtItsPace) {
    std::atomic<int> tries{0};
    TRunRecorderOptions options{.RetryMs = 100, .ReportAfterMs = 100'000};
    options.OpenStore = [&tries]() -> std::unique_ptr<TRunStore> {
        ++tries;
        throw ERunStore("runs.sqlite", "disk I/O error");
    };
    {
        TRunRecorder recorder(Folder(), List.FileName(), options);
        recorder.Prune(1, 1);
        std::this_thread::sleep_for(500ms);
    }
    EXPECT_GE(tries.load(), 2);
    EXPECT_LE(tries.load(), 20);
}

// The recorder's thread takes no signal, whatever the thread that made it takes: a
// SIGCHLD or SIGTERM the program reads from a descriptor would be swallowed there, and
// no program's end would ever be seen.
// A run's output file is made before its record reaches the store: a prune in between
// takes it for no leftover. Once recorded and ended, it goes as any other.
TEST_F(RunRecorderTest, APruneKeepsTheOutputOfARunNotYetRecorded) {
    TRunRecorder recorder(Folder(), List.FileName(), Quick());
    const std::int64_t key = recorder.NewKey();
    {
        TOwnFd out = recorder.Outputs().Create(key);
        ASSERT_EQ(::write(out.Get(), "x", 1), 1);
    }
    recorder.Prune(0, 0);
    ASSERT_TRUE(recorder.Flush(10'000));
    EXPECT_EQ(ReadFile(recorder.Outputs().PathOf(key)), "x");
    pollfd news{recorder.NewsFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&news, 1, 0), 1) << "what was written is told through the descriptor";

    TStoredRun run;
    run.Id = key;
    run.Name = "A";
    run.Started = Fake.Clock.Now();
    recorder.Begin(run);
    // A failure: an entry's latest good run would stay whatever the limits.
    recorder.Finish(key, {.Ended = Fake.Clock.Now(), .Result = "Exited 1", .Failure = true});
    recorder.Prune(0, 0);
    ASSERT_TRUE(recorder.Flush(10'000));
    EXPECT_FALSE(std::filesystem::exists(recorder.Outputs().PathOf(key)));
}

// Nor does it take a core from a program starting beside it: it alone runs lower.
TEST_F(RunRecorderTest, ItsThreadTakesNoSignalAndGivesWay) {
    sigset_t wanted, previous;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGCHLD);
    sigaddset(&wanted, SIGTERM);
    pthread_sigmask(SIG_UNBLOCK, &wanted, &previous);
    TRunRecorder recorder(Folder(), List.FileName());
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // Once it has worked: a thread being made has every signal blocked for a moment.
    recorder.Prune(10, 1 << 20);
    ASSERT_TRUE(recorder.Flush(10'000));
    const int ours = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    int threads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == std::to_string(::getpid()))
            continue;
        const std::string status = ReadFile((task.path() / "status").string());
        const std::size_t at = status.find("SigBlk:\t");
        ASSERT_NE(at, std::string::npos);
        const std::uint64_t blocked = std::stoull(status.substr(at + 8, 16), nullptr, 16);
        EXPECT_TRUE(blocked & (1ull << (SIGCHLD - 1))) << status.substr(at, 25);
        EXPECT_TRUE(blocked & (1ull << (SIGTERM - 1))) << status.substr(at, 25);
        const id_t tid = static_cast<id_t>(std::stoi(task.path().filename().string()));
        EXPECT_EQ(::getpriority(PRIO_PROCESS, tid), std::max(ours, LoweredNice));
        ++threads;
    }
    EXPECT_EQ(threads, 1);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid())), ours);
}

} // namespace

namespace {

// The state file keeps a started run whatever its texts hold: tabs, line ends and
// backslashes come back as they were, and a line that is not whole is left out.
TEST(StateFileText, KeepsStartedRunsWhateverTheirTextsHold) {
    TSchedulerState state;
    state.Latest = LocalMinuteOf(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 0, 0));
    TStartedRun started;
    started.Run.Id = 117747300761611393;
    started.Run.Name = "Back\tup\\ \r\n";
    started.Run.Command = "C:\\t\\n";
    started.Run.Parameters = "-a\t-b";
    started.Run.Trigger = TRunTrigger::CatchUp;
    started.Run.Started = EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0);
    started.Run.Process = TProcessIdentity{4242, "boot-id", 9876543};
    started.StartedBootNs = 123;
    started.StartedRunNs = 456;
    started.TimeLimit = 5;
    state.Runs.push_back(started);
    const std::string text = StateText(state) + "Run\t1\t2\r\n";
    const TSchedulerState read = ParseState(text);
    EXPECT_EQ(read.Latest, state.Latest);
    ASSERT_EQ(read.Runs.size(), 1u);
    const TStartedRun& back = read.Runs[0];
    EXPECT_EQ(back.Run.Id, started.Run.Id);
    EXPECT_EQ(back.Run.Name, started.Run.Name);
    EXPECT_EQ(back.Run.Command, started.Run.Command);
    EXPECT_EQ(back.Run.Parameters, started.Run.Parameters);
    EXPECT_EQ(back.Run.Trigger, TRunTrigger::CatchUp);
    EXPECT_EQ(back.Run.Started, started.Run.Started);
    EXPECT_EQ(back.Run.Process, started.Run.Process);
    EXPECT_EQ(back.StartedBootNs, 123);
    EXPECT_EQ(back.StartedRunNs, 456);
    EXPECT_EQ(back.TimeLimit, 5);
}

// Retries, waiting runs and the alarm's marks come back as written, their texts escaped;
// a line no scheduler writes (a retry of the first try, a wait past its last try, a mark
// never seen) is left out rather than acted on.
TEST(StateFileText, KeepsRetriesWaitsAndAlarmsAndDropsWhatNoSchedulerWrites) {
    TSchedulerState state;
    state.Latest = LocalMinuteOf(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 0, 0));
    TPendingRetry retry;
    retry.Name = "Sync\t2";
    retry.Attempt = {.Number = 2, .Of = 4, .DelayMinutes = 7, .Entry = 99};
    retry.Due = *state.Latest + 7;
    retry.Failed = *state.Latest;
    retry.Trigger = TRunTrigger::CatchUp;
    state.Retries.push_back(retry);
    TWaitingRun waiting;
    waiting.Name = "Back up\r\n";
    waiting.Trigger = TRunTrigger::StartUp;
    waiting.Attempt = {.Number = 3, .Of = 3, .DelayMinutes = 1, .Entry = 5};
    waiting.Since = *state.Latest - 20;
    waiting.Reason = "no network";
    state.Waiting.push_back(waiting);
    const TDateTime seen = EncodeDate(2026, 12, 1) + EncodeTime(8, 0, 0, 0);
    state.Alarms.push_back({.Name = "Never good", .LastGood = 0, .Seen = seen, .Told = true});
    state.Alarms.push_back({.Name = "Good", .LastGood = seen + 1.5, .Seen = seen, .Told = false});
    const std::string damaged = "Retry\t1\t1\t1\t4\t5\t9\t0\tFirst\r\n"
                                "Wait\t1\t0\t4\t3\t5\t9\ton battery\tPast\r\n"
                                "Alarm\t0\t0\t1\tUnseen\r\n"
                                "Alarm\t0\t5\t2\tHalf told\r\n";
    const TSchedulerState read = ParseState(StateText(state) + damaged);
    EXPECT_EQ(read.Retries, state.Retries);
    EXPECT_EQ(read.Waiting, state.Waiting);
    EXPECT_EQ(read.Alarms, state.Alarms);
}

// A state file that cannot be looked at is kept as an error to tell, never raised into the
// switch-on: here its folder is a regular file.
TEST(StateFileText, AStateThatCannotBeReadIsAnErrorToTell) {
    TTempDir dir;
    WriteFile(dir.File("file"), "x");
    TStateKeeper keeper(true);
    const TSchedulerState state = keeper.Read(dir.File("file/s.STATE"), dir.File("file/s.STATE"));
    EXPECT_FALSE(state.Latest);
    const std::optional<EInOutError> error = keeper.TakeError();
    ASSERT_TRUE(error.has_value());
    // The cause as the system gave it, not a guess from a file it could not look at.
    EXPECT_EQ(DescribeError(*error).find("regular file"), std::string::npos)
        << DescribeError(*error);
}

} // namespace
