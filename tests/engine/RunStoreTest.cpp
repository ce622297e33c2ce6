#include "engine/RunStore.h"

#include "platform/InstanceLock.h"
#include "platform/PathChecks.h"
#include "support/Child.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

TDateTime At(int day, int hour, int minute = 0) {
    return EncodeDate(2026, 3, day) + EncodeTime(hour, minute, 0, 0);
}

TStoredRun Started(const std::string& name, TDateTime started,
                   TRunTrigger trigger = TRunTrigger::Schedule) {
    TStoredRun run;
    run.Name = name;
    run.Command = "/opt/" + name;
    run.Parameters = "-v";
    run.Trigger = trigger;
    run.Started = started;
    return run;
}

std::vector<std::int64_t> IdsOf(const std::vector<TStoredRun>& runs) {
    std::vector<std::int64_t> ids;
    for (const TStoredRun& run : runs)
        ids.push_back(run.Id);
    return ids;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

class RunStoreTest : public ::testing::Test {
protected:
    std::string Folder() const { return FDir.File("state/vantle-scheduler"); }
    std::string Schedule() const { return FDir.File("s.INI"); }
    TRunStore Writer() const { return {Folder(), Schedule(), TRunStoreMode::Writer}; }
    TRunStore Reader() const { return {Folder(), Schedule(), TRunStoreMode::Reader}; }

    // A finished run with `bytes` of output.
    std::int64_t AddRun(TRunStore& store, const std::string& name, TDateTime started,
                        bool failure = false, std::size_t bytes = 0) {
        std::int64_t id = store.Begin(Started(name, started));
        if (bytes > 0) {
            TOwnFd out = store.CreateOutput(id);
            std::string text(bytes, 'x');
            EXPECT_EQ(write(out.Get(), text.data(), text.size()), ssize_t(bytes));
        }
        store.Finish(id, IncSeconds(started, 2), 2000, failure ? "Exited 3" : "Exited 0", failure,
                     bytes, false);
        return id;
    }

    TTempDir FDir;
};

TEST_F(RunStoreTest, KeepsARunFromItsStartToItsEnd) {
    TRunStore store = Writer();
    TStoredRun run = Started("Backup", At(6, 2, 30), TRunTrigger::ExecuteNow);
    run.Name = "Back\"up'; DROP TABLE runs; --";
    run.Environment = "PATH, BACKUP_PASSFILE";
    const std::int64_t id = store.Begin(run);
    std::optional<TStoredRun> started = store.Run(id);
    ASSERT_TRUE(started.has_value());
    EXPECT_EQ(started->Name, run.Name);
    EXPECT_EQ(started->Command, "/opt/Backup");
    EXPECT_EQ(started->Parameters, "-v");
    EXPECT_EQ(started->Trigger, TRunTrigger::ExecuteNow);
    EXPECT_EQ(started->Environment, "PATH, BACKUP_PASSFILE");
    EXPECT_EQ(started->Started, At(6, 2, 30));
    EXPECT_EQ(started->Result, "");
    EXPECT_FALSE(started->Ended.has_value());
    EXPECT_FALSE(started->Process.has_value());

    const TProcessIdentity process{4242, "boot-a", 987654};
    store.SetProcess(id, process);
    const TDateTime ended = IncMSecs(At(6, 2, 30), 7250);
    store.Finish(id, ended, 7250, "Killed by signal 9", true, 12345, true);
    std::optional<TStoredRun> finished = store.Run(id);
    ASSERT_TRUE(finished.has_value());
    EXPECT_EQ(finished->Ended, ended);
    EXPECT_EQ(finished->DurationMs, 7250);
    EXPECT_EQ(finished->Result, "Killed by signal 9");
    EXPECT_TRUE(finished->Failure);
    EXPECT_EQ(finished->Process, process);
    EXPECT_EQ(finished->OutputBytes, 12345u);
    EXPECT_TRUE(finished->OutputCut);
    EXPECT_EQ(store.LastRuns().at(run.Name).Id, id);
    EXPECT_FALSE(store.Run(id + 1).has_value());
    EXPECT_THROW(store.Finish(id + 1, ended, 0, "Exited 0", false, 0, false), ERunStore);
    EXPECT_STREQ(TriggerText(TRunTrigger::Schedule), "schedule");
    EXPECT_STREQ(TriggerText(TRunTrigger::CatchUp), "catch-up");
}

TEST_F(RunStoreTest, FindsRunsByEntryFailureMomentTextAndCount) {
    TRunStore store = Writer();
    const std::int64_t a1 = AddRun(store, "Alpha", At(1, 10));
    const std::int64_t b1 = AddRun(store, "Beta", At(2, 10), true);
    const std::int64_t a2 = AddRun(store, "Alpha", At(3, 10), true);
    const std::int64_t p = AddRun(store, "50% done", At(4, 10));
    const std::int64_t q = AddRun(store, "500 done", At(5, 10));
    const std::int64_t a3 = AddRun(store, "Alpha", At(6, 10));
    struct TCase {
        const char* What;
        TRunQuery Query;
        std::vector<std::int64_t> Ids;
    };
    const std::vector<TCase> cases = {
        {"everything, oldest first", {}, {a1, b1, a2, p, q, a3}},
        {"one entry", {.Name = "Alpha"}, {a1, a2, a3}},
        {"failures", {.FailuresOnly = true}, {b1, a2}},
        {"an entry's failures", {.Name = "Alpha", .FailuresOnly = true}, {a2}},
        {"since a moment, which counts", {.Since = At(3, 10)}, {a2, p, q, a3}},
        {"the newest three", {.Count = 3}, {p, q, a3}},
        {"an entry's newest two", {.Name = "Alpha", .Count = 2}, {a2, a3}},
        {"text without case", {.Text = "ALPH"}, {a1, a2, a3}},
        {"LIKE's own characters as text", {.Text = "50%"}, {p}},
        {"an underscore is no wildcard", {.Text = "0_d"}, {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IdsOf(store.Runs(c.Query)), c.Ids) << c.What;

    // The caller looks in the output for what names do not hold; the count still
    // counts matches only.
    TRunQuery inOutput{.Text = "needle", .Count = 2};
    inOutput.OutputMatches = [&](const TStoredRun& run) { return run.Id == a1 || run.Id == b1; };
    EXPECT_EQ(IdsOf(store.Runs(inOutput)), (std::vector<std::int64_t>{a1, b1}));
    inOutput.Text = "beta";
    inOutput.OutputMatches = [&](const TStoredRun& run) { return run.Id == a1; };
    EXPECT_EQ(IdsOf(store.Runs(inOutput)), (std::vector<std::int64_t>{a1, b1}));

    std::map<std::string, TStoredRun> last = store.LastRuns();
    ASSERT_EQ(last.size(), 4u);
    EXPECT_EQ(last.at("Alpha").Id, a3);
    EXPECT_EQ(last.at("Beta").Id, b1);
}

TEST_F(RunStoreTest, SchedulesSharingTheDatabaseKeepTheirRunsApart) {
    TRunStore first = Writer();
    TRunStore second(Folder(), FDir.File("other.INI"), TRunStoreMode::Writer);
    const std::int64_t mine = AddRun(first, "Job", At(1, 10), true, 10);
    const std::int64_t theirs = AddRun(second, "Job", At(1, 11), false, 10);
    EXPECT_EQ(IdsOf(first.Runs({})), std::vector<std::int64_t>{mine});
    EXPECT_EQ(IdsOf(second.Runs({})), std::vector<std::int64_t>{theirs});
    EXPECT_EQ(first.LastRuns().at("Job").Id, mine);
    EXPECT_FALSE(first.Run(theirs).has_value());
    EXPECT_THROW(first.Finish(theirs, At(1, 12), 0, "Exited 0", false, 0, false), ERunStore);
    EXPECT_NE(first.OutputPath(mine), second.OutputPath(mine));
    // Every name of the schedule file is the same schedule.
    std::filesystem::create_directory(FDir.File("sub"));
    TRunStore again(Folder(), FDir.File("sub/../s.INI"), TRunStoreMode::Reader);
    EXPECT_EQ(IdsOf(again.Runs({})), std::vector<std::int64_t>{mine});
    // Pruning one schedule leaves the other's records and output alone.
    first.Prune(0, 0);
    EXPECT_TRUE(first.Runs({}).empty());
    EXPECT_EQ(IdsOf(second.Runs({})), std::vector<std::int64_t>{theirs});
    EXPECT_EQ(ReadFile(second.OutputPath(theirs)), std::string(10, 'x'));
}

TEST_F(RunStoreTest, ClosesTheRunsLeftOpenUnlessTheirProgramStillRuns) {
    TRunStore store = Writer();
    const std::optional<TProcessIdentity> self = IdentifyProcess(getpid());
    ASSERT_TRUE(self.has_value());
    TProcessIdentity reused = *self; // the same pid, another program
    reused.StartTicks += 1;
    const std::int64_t running = store.Begin(Started("Running", At(1, 10)));
    store.SetProcess(running, *self);
    TStoredRun withReused = Started("Reused", At(1, 10));
    withReused.Process = reused;
    const std::int64_t gone = store.Begin(withReused);
    const std::int64_t unstarted = store.Begin(Started("Unstarted", At(1, 10)));
    const std::int64_t done = AddRun(store, "Done", At(1, 10));

    TRunStore restarted = Writer();
    std::vector<TStoredRun> watched = restarted.CloseOrphans();
    EXPECT_EQ(IdsOf(watched), std::vector<std::int64_t>{running});
    for (std::int64_t id : {gone, unstarted}) {
        TStoredRun run = restarted.Run(id).value();
        EXPECT_EQ(run.Result, EndedUnwatchedResult) << run.Name;
        EXPECT_TRUE(run.Failure) << run.Name;
        EXPECT_FALSE(run.Ended.has_value()) << run.Name; // when it ended is not known
    }
    EXPECT_EQ(restarted.Run(running)->Result, "");
    EXPECT_EQ(restarted.Run(done)->Result, "Exited 0");
}

TEST_F(RunStoreTest, PrunesTheOldestRunsBeyondEitherLimitWithTheirOutput) {
    TRunStore store = Writer();
    std::vector<std::int64_t> ids;
    for (int day = 1; day <= 5; ++day)
        ids.push_back(AddRun(store, "Job", At(day, 10), false, 100));
    const std::int64_t open = store.Begin(Started("Open", At(6, 10)));
    store.CreateOutput(open);
    // A file a crash left between removing a record and its output.
    const std::string stale = store.OutputPath(ids.back() + 100);
    WriteFile(stale, "stale");

    store.Prune(4, 1000);
    EXPECT_EQ(IdsOf(store.Runs({})), (std::vector<std::int64_t>{ids[2], ids[3], ids[4], open}));
    EXPECT_FALSE(std::filesystem::exists(store.OutputPath(ids[0])));
    EXPECT_FALSE(std::filesystem::exists(store.OutputPath(ids[1])));
    EXPECT_TRUE(std::filesystem::exists(store.OutputPath(ids[2])));
    EXPECT_FALSE(std::filesystem::exists(stale));

    store.Prune(1000, 250);
    EXPECT_EQ(IdsOf(store.Runs({})), (std::vector<std::int64_t>{ids[3], ids[4], open}));
    EXPECT_FALSE(std::filesystem::exists(store.OutputPath(ids[2])));
    // A running program's record and output stay whatever the limits, and so does each
    // entry's latest good run, however many failures came after it.
    const std::int64_t failed = AddRun(store, "Job", At(7, 10), true);
    AddRun(store, "Job", At(8, 10), true);
    store.Prune(0, 0);
    EXPECT_EQ(IdsOf(store.Runs({})), (std::vector<std::int64_t>{ids[4], open}));
    EXPECT_TRUE(std::filesystem::exists(store.OutputPath(open)));
    EXPECT_FALSE(store.Run(failed));
    // Ids are not given out again, so no new run meets an old output.
    EXPECT_GT(store.Begin(Started("Next", At(9, 10))), open);
}

// Only a writer adds the columns later releases brought: a reader of a store an older
// program wrote reads them as their defaults rather than failing.
TEST_F(RunStoreTest, AReaderReadsAStoreWithoutTheLaterColumns) {
    {
        TRunStore store = Writer();
        AddRun(store, "Job", At(1, 10));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.DatabasePath().c_str(), &db), SQLITE_OK);
        for (const char* column : {"output_head", "attempt", "attempts", "environment"})
            EXPECT_EQ(sqlite3_exec(db,
                                   (std::string("ALTER TABLE runs DROP COLUMN ") + column).c_str(),
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
        sqlite3_close(db);
    }
    const std::vector<TStoredRun> runs = Reader().Runs({});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Attempt, 1);
    EXPECT_EQ(runs[0].Attempts, 1);
    EXPECT_EQ(runs[0].Environment, "");
    EXPECT_EQ(Reader().LastRuns().at("Job").Result, "Exited 0");
}

TEST_F(RunStoreTest, CutsOutputToItsEndBehindALineSayingWhatIsLeftOut) {
    TRunStore store = Writer();
    std::string text;
    for (int i = 0; text.size() < 3000; ++i)
        text += "line " + std::to_string(i) + "\n";
    text.resize(3000);
    const std::int64_t id = store.Begin(Started("Chatty", At(1, 10)));
    {
        TOwnFd out = store.CreateOutput(id);
        ASSERT_EQ(write(out.Get(), text.data(), text.size()), ssize_t(text.size()));
    }
    store.Finish(id, At(1, 11), 1000, "Exited 0", false, text.size(), false);
    EXPECT_EQ(store.ReadOutput(id), text);
    EXPECT_EQ(store.ReadOutput(id, 100), "... 2900 bytes left out ...\n" + text.substr(2900));

    EXPECT_TRUE(store.CutOutput(id, 1000));
    EXPECT_EQ(ReadFile(store.OutputPath(id)), "... 2000 bytes left out ...\n" + text.substr(2000));
    EXPECT_TRUE(store.Run(id)->OutputCut);
    // Reading less of a cut output counts from all the program wrote.
    EXPECT_EQ(store.ReadOutput(id, 100), "... 2900 bytes left out ...\n" + text.substr(2900));
    EXPECT_FALSE(store.CutOutput(id, 5000));

    // A cut never starts inside a character.
    const std::int64_t utf8 = store.Begin(Started("Accents", At(1, 12)));
    WriteFile(store.OutputPath(utf8), "\xC3\xA9\xC3\xA9\xC3\xA9");
    store.Finish(utf8, At(1, 13), 0, "Exited 0", false, 6, false);
    EXPECT_EQ(store.ReadOutput(utf8, 3), "... 4 bytes left out ...\n\xC3\xA9");
    EXPECT_EQ(store.ReadOutput(utf8 + 1), "");

    // An output put in place as a link is refused by name, never followed.
    const std::int64_t linked = store.Begin(Started("Linked", At(1, 14)));
    std::filesystem::create_symlink(store.OutputPath(id), store.OutputPath(linked));
    EXPECT_THROW(store.ReadOutput(linked), EPathRefused);
}

TEST_F(RunStoreTest, EveryFolderAndFileIsPrivateWhateverTheUmask) {
    std::filesystem::create_directories(Folder());
    chmod(Folder().c_str(), 0755); // the user's own, open to others: made private
    mode_t saved = umask(0);
    {
        TRunStore store = Writer();
        const std::int64_t id = AddRun(store, "Job", At(1, 10), false, 10);
        EXPECT_EQ(ModeOf(Folder()), 0700u);
        EXPECT_EQ(ModeOf(Folder() + "/outputs"), 0700u);
        EXPECT_EQ(ModeOf(store.DatabasePath()), 0600u);
        EXPECT_EQ(ModeOf(store.DatabasePath() + "-wal"), 0600u);
        EXPECT_EQ(ModeOf(store.DatabasePath() + "-shm"), 0600u);
        EXPECT_EQ(ModeOf(store.OutputPath(id)), 0600u);
    }
    umask(saved);
    // A database someone widened is made private again before SQLite opens it.
    chmod((Folder() + "/runs.sqlite").c_str(), 0644);
    TRunStore store = Writer();
    EXPECT_EQ(ModeOf(store.DatabasePath()), 0600u);
}

TEST_F(RunStoreTest, AReaderSeesWhatTheWriterCommittedAndWritesNothing) {
    try {
        Reader();
        ADD_FAILURE() << "opened a store that is not there";
    } catch (const ERunStore& e) {
        EXPECT_TRUE(e.Missing()) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(Folder()));

    TRunStore writer = Writer();
    const std::int64_t id = writer.Begin(Started("Job", At(1, 10)));
    TRunStore reader = Reader();
    EXPECT_EQ(reader.Run(id)->Result, "");
    writer.Finish(id, At(1, 11), 60000, "Exited 0", false, 0, false);
    EXPECT_EQ(reader.Run(id)->Result, "Exited 0");
    for (int i = 0; i < 20; ++i)
        AddRun(writer, "Job", At(2, 10, i));
    EXPECT_EQ(reader.Runs({.Count = 5}).size(), 5u);
    EXPECT_EQ(reader.LastRuns().at("Job").Started, At(2, 10, 19));
    EXPECT_THROW(reader.Begin(Started("Job", At(3, 10))), ERunStore);
}

TEST_F(RunStoreTest, RefusesAFolderThatIsALinkOrAnotherUsers) {
    TTempDir elsewhere;
    chmod(elsewhere.Path().c_str(), 0700);
    std::filesystem::create_directories(FDir.File("state"));
    std::filesystem::create_directory_symlink(elsewhere.Path(), Folder());
    for (TRunStoreMode mode : {TRunStoreMode::Writer, TRunStoreMode::Reader})
        EXPECT_THROW(TRunStore(Folder(), Schedule(), mode), EPathRefused);
    EXPECT_TRUE(elsewhere.Names().empty()) << "made through a link";
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make another user's folder";
    std::filesystem::remove(Folder());
    std::filesystem::create_directory(Folder());
    chmod(Folder().c_str(), 0700);
    ASSERT_EQ(chown(Folder().c_str(), 65534, 65534), 0);
    try {
        Writer();
        ADD_FAILURE() << "used another user's folder";
    } catch (const EPathRefused& e) {
        EXPECT_EQ(std::string(e.what()), Folder() +
                                             ": not used as the run record folder: it belongs to "
                                             "user 65534 (nobody), not to user 0 (root)");
    }
    EXPECT_TRUE(std::filesystem::is_empty(Folder()));
}

// A home reached through a link (/home -> /var/home, owned by root) keeps its records;
// so does one through a link of the user's own or of anybody else.
struct TLinkedHome {
    const char* Name;
    uid_t LinkOwner;  // of the link on the way to the state folder
    uid_t StoreOwner; // the user who runs the store
};

void PrintTo(const TLinkedHome& c, std::ostream* out) {
    *out << c.Name;
}

class LinkedHomeTest : public testing::TestWithParam<TLinkedHome> {};

TEST_P(LinkedHomeTest, KeepsTheRecordsThroughALinkAboveTheFolder) {
    const TLinkedHome& c = GetParam();
    if (geteuid() != 0 && (c.LinkOwner != 0 || c.StoreOwner != 0))
        GTEST_SKIP() << "needs root to make another user's link";
    TTempDir dir;
    const uid_t user = geteuid() == 0 ? c.StoreOwner : geteuid();
    const uid_t linkOwner = geteuid() == 0 ? c.LinkOwner : geteuid();
    // The home the link leads to, the user's own; the others may pass through `dir`.
    chmod(dir.Path().c_str(), 0711);
    std::filesystem::create_directory(dir.File("var"));
    std::filesystem::create_directory(dir.File("var/home"));
    ASSERT_EQ(chown(dir.File("var/home").c_str(), user, user), 0);
    std::filesystem::create_directory_symlink("var/home", dir.File("home"));
    ASSERT_EQ(lchown(dir.File("home").c_str(), linkOwner, linkOwner), 0);
    const std::string folder = dir.File("home/state/vantle-scheduler");
    const std::string schedule = dir.File("home/s.INI");
    test::TChildResult child = test::RunInChild([&] {
        if (user != geteuid() && (setgid(user) != 0 || setuid(user) != 0))
            return std::string("not user ") + std::to_string(user);
        TRunStore writer(folder, schedule, TRunStoreMode::Writer);
        const std::int64_t id = writer.Begin(Started("Job", At(1, 10)));
        writer.Finish(id, At(1, 11), 60000, "Exited 0", false, 0, false);
        TRunStore reader(folder, schedule, TRunStoreMode::Reader);
        return reader.Run(id)->Result;
    });
    EXPECT_EQ(child.Output, "Exited 0");
    EXPECT_TRUE(child.Succeeded());
    EXPECT_GT(std::filesystem::file_size(dir.File("var/home/state/vantle-scheduler/runs.sqlite")),
              0u);
}

INSTANTIATE_TEST_SUITE_P(Links, LinkedHomeTest,
                         testing::Values(TLinkedHome{"TheUsersOwnLink", 0, 0},
                                         TLinkedHome{"RootsLinkToAUsersHome", 0, 65534},
                                         TLinkedHome{"AUsersLinkInRootsHome", 65534, 0},
                                         TLinkedHome{"TheUsersLinkToTheirHome", 65534, 65534}),
                         [](const auto& info) { return std::string(info.param.Name); });

// The folder, the database and the outputs folder themselves are never links.
TEST_F(RunStoreTest, RefusesTheRecordsThemselvesAsLinksByName) {
    TTempDir elsewhere;
    chmod(elsewhere.Path().c_str(), 0700);
    const std::string database = Folder() + "/runs.sqlite";
    const std::string outputs = Folder() + "/outputs";
    {
        TRunStore store = Writer();
        AddRun(store, "Job", At(1, 10));
    }
    std::filesystem::rename(database, elsewhere.File("runs.sqlite"));
    std::filesystem::create_symlink(elsewhere.File("runs.sqlite"), database);
    for (TRunStoreMode mode : {TRunStoreMode::Writer, TRunStoreMode::Reader}) {
        try {
            TRunStore(Folder(), Schedule(), mode);
            ADD_FAILURE() << "opened a linked database";
        } catch (const EPathRefused& e) {
            EXPECT_EQ(std::string(e.what()),
                      database + ": not used as the run record file: it is a symbolic link");
        }
    }
    std::filesystem::remove(database);
    std::filesystem::rename(elsewhere.File("runs.sqlite"), database);
    std::filesystem::rename(outputs, elsewhere.File("outputs"));
    std::filesystem::create_directory_symlink(elsewhere.File("outputs"), outputs);
    for (TRunStoreMode mode : {TRunStoreMode::Writer, TRunStoreMode::Reader}) {
        try {
            TRunStore(Folder(), Schedule(), mode);
            ADD_FAILURE() << "opened a linked outputs folder";
        } catch (const EPathRefused& e) {
            EXPECT_EQ(std::string(e.what()),
                      outputs + ": not used as the run record folder: it is a symbolic link, "
                                "not a folder");
        }
    }
    std::filesystem::remove(outputs);
    std::filesystem::rename(elsewhere.File("outputs"), outputs);
    std::filesystem::rename(Folder(), elsewhere.File("records"));
    std::filesystem::create_directory_symlink(elsewhere.File("records"), Folder());
    for (TRunStoreMode mode : {TRunStoreMode::Writer, TRunStoreMode::Reader}) {
        try {
            TRunStore(Folder(), Schedule(), mode);
            ADD_FAILURE() << "opened a linked records folder";
        } catch (const EPathRefused& e) {
            EXPECT_EQ(std::string(e.what()),
                      Folder() + ": not used as the run record folder: it is a symbolic link, "
                                 "not a folder");
        }
    }
}

// Whoever may write a folder on the way could rename the records folder and put one of
// their own in its place; the sticky bit (/tmp) keeps others' names apart.
// A loop of links on the way ends in an error, as the kernel's own walk does.
TEST_F(RunStoreTest, ALoopOfLinksOnTheWayIsAnError) {
    std::filesystem::create_directory_symlink("loop", FDir.File("loop"));
    EXPECT_THROW(RefuseSharedAncestors(FDir.File("loop/records"), "the run records"), EInOutError);
}

TEST_F(RunStoreTest, RefusesAFolderUnderOneOthersCanWriteWithoutTheStickyBit) {
    const std::string real = CanonicalPath(FDir.Path().string());
    std::filesystem::create_directory(FDir.File("shared"));
    chmod(FDir.File("shared").c_str(), 0777);
    const std::string refused = real + "/shared: others can write it without the sticky bit, "
                                       "so the run records are not kept there";
    // The folder in it, or a link in it to a folder elsewhere.
    std::filesystem::create_directory(FDir.File("home"));
    std::filesystem::create_directory_symlink(FDir.File("home"), FDir.File("shared/link"));
    for (const std::string& folder : {FDir.File("shared/state/vantle-scheduler"),
                                      FDir.File("shared/link/state/vantle-scheduler")}) {
        for (TRunStoreMode mode : {TRunStoreMode::Writer, TRunStoreMode::Reader}) {
            try {
                TRunStore(folder, Schedule(), mode);
                ADD_FAILURE() << "kept records under " << folder;
            } catch (const EPathRefused& e) {
                EXPECT_EQ(std::string(e.what()), refused);
            }
        }
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FDir.File("shared")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"link"}) << "made in the shared folder";
    EXPECT_TRUE(std::filesystem::is_empty(FDir.File("home")));
    // With the sticky bit, as /tmp has it, the records are kept.
    chmod(FDir.File("shared").c_str(), 01777);
    TRunStore store(FDir.File("shared/link/state/vantle-scheduler"), Schedule(),
                    TRunStoreMode::Writer);
    EXPECT_TRUE(std::filesystem::exists(FDir.File("home/state/vantle-scheduler/runs.sqlite")));
}

// Outputs go through the folder opened at the start: a records folder renamed away and
// replaced gets nothing of ours, written or removed; a file of ours left under a run's
// name is replaced, and the new one is appended to.
TEST_F(RunStoreTest, OutputsGoToTheFolderOpenedAtTheStartWhateverTakesItsName) {
    TRunStore store = Writer();
    const std::int64_t id = store.Begin(Started("Job", At(1, 10)));
    const std::string name = std::filesystem::path(store.OutputPath(id)).filename();
    std::filesystem::rename(Folder(), Folder() + ".moved");
    std::filesystem::create_directories(Folder() + "/outputs");
    WriteFile(store.OutputPath(id + 1), "theirs");
    WriteFile(Folder() + ".moved/outputs/" + name, "left by a crash");
    {
        TOwnFd out = store.CreateOutput(id);
        EXPECT_NE(fcntl(out.Get(), F_GETFL) & O_APPEND, 0);
        ASSERT_EQ(write(out.Get(), "mine", 4), 4);
    }
    EXPECT_EQ(ReadFile(Folder() + ".moved/outputs/" + name), "mine");
    EXPECT_FALSE(std::filesystem::exists(store.OutputPath(id)));
    store.Outputs().Sweep({});
    EXPECT_EQ(ReadFile(store.OutputPath(id + 1)), "theirs");
    EXPECT_FALSE(std::filesystem::exists(Folder() + ".moved/outputs/" + name));
}

// What a cap released while the program wrote on reads as the end of the output, not
// as zeros.
TEST_F(RunStoreTest, AnOutputHeldToItsCapReadsUpToTheCap) {
    TRunOutputs outputs(Folder(), Schedule(), true);
    TOwnFd out = outputs.Create(9);
    const std::string text(100'000, 'x');
    ASSERT_EQ(write(out.Get(), text.data(), text.size()), ssize_t(text.size()));
    EXPECT_EQ(DropOutputPast(out.Get(), 8192), text.size());
    ASSERT_EQ(write(out.Get(), "after", 5), 5);
    EXPECT_EQ(outputs.Read(9, 1 << 20, text.size() + 5), std::string(8192, 'x'));
    EXPECT_LE(outputs.SizeOf(9), 16384u);
    // What holds it to the cap is never handed on to a program the scheduler starts.
    EXPECT_NE(fcntl(outputs.Open(9).Get(), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_NE(fcntl(out.Get(), F_GETFD) & FD_CLOEXEC, 0);
}

// A reader before any run was recorded finds no outputs folder: nothing to read.
TEST_F(RunStoreTest, AReaderWithoutAnOutputsFolderReadsNothing) {
    std::filesystem::create_directories(Folder());
    chmod(Folder().c_str(), 0700);
    const TRunOutputs outputs(Folder(), Schedule(), false);
    EXPECT_EQ(outputs.Read(1, 100, 0), "");
    EXPECT_EQ(outputs.SizeOf(1), 0u);
    EXPECT_EQ(outputs.Open(1).Get(), -1);
    outputs.Sweep({});
}

// A file of another user's under a run's name is neither written, cut nor removed.
TEST_F(RunStoreTest, AnotherUsersFileInTheOutputsIsLeftAlone) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to plant another user's file";
    TRunOutputs outputs(Folder(), Schedule(), true);
    const std::string planted = outputs.PathOf(7);
    WriteFile(planted, "theirs");
    chmod(planted.c_str(), 0600);
    ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
    try {
        outputs.Create(7);
        ADD_FAILURE() << "wrote another user's file";
    } catch (const EPathRefused& e) {
        EXPECT_EQ(std::string(e.what()),
                  planted + ": not used as the run record file: it belongs to user 65534 "
                            "(nobody), so it is neither written nor removed");
    }
    EXPECT_THROW(outputs.Open(7), EPathRefused);
    EXPECT_THROW(outputs.Cut(7, 2, 6), EPathRefused);
    outputs.Sweep({});
    EXPECT_EQ(ReadFile(planted), "theirs");
}

} // namespace
} // namespace vantle
