#include "engine/RunStore.h"

#include "platform/FileLocations.h"
#include "platform/InstanceLock.h"
#include "platform/NetworkFolder.h"
#include "platform/PathChecks.h"
#include "platform/TextUtils.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

const char* const EndedUnwatchedResult = "Ended while the scheduler was not running";
const char* const EndedAfterRestartResult = "Ended after the scheduler restarted";

namespace {

constexpr int SchemaVersion = 1;
// The writer works on a thread of its own and tries again later; a reader never waits,
// so a store locked by someone else never holds up a window or a command.
constexpr int WriterBusyTimeoutMs = 200;

const char* const Schema = R"(
CREATE TABLE runs (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    schedule TEXT NOT NULL,
    name TEXT NOT NULL,
    command TEXT NOT NULL,
    parameters TEXT NOT NULL,
    started_by TEXT NOT NULL,
    started INTEGER NOT NULL,
    ended INTEGER,
    duration_ms INTEGER NOT NULL DEFAULT 0,
    result TEXT NOT NULL DEFAULT '',
    failure INTEGER NOT NULL DEFAULT 0,
    pid INTEGER,
    boot_id TEXT,
    start_ticks INTEGER,
    output_bytes INTEGER NOT NULL DEFAULT 0,
    output_cut INTEGER NOT NULL DEFAULT 0,
    output_head INTEGER NOT NULL DEFAULT 0);
CREATE INDEX runs_by_schedule ON runs (schedule, id);
CREATE INDEX runs_by_name ON runs (schedule, name, id);
)";
// Ids are never reused (AUTOINCREMENT): output files are named by them. The scheduler
// makes its runs' ids itself (see TRunRecorder::NewKey), above every id AUTOINCREMENT
// gave, so an older program goes on numbering after them. Times are local, in
// milliseconds since 30 December 1899 (ToMSecs), so they come back exact.
// Columns that came later are added with defaults under the same version, so an older
// program still reads and records into the store.
const char* const LaterColumns[][3] = {
    {"output_head", "output_head INTEGER NOT NULL DEFAULT 0", "0"},
    {"attempt", "attempt INTEGER NOT NULL DEFAULT 1", "1"},
    {"attempts", "attempts INTEGER NOT NULL DEFAULT 1", "1"},
    {"environment", "environment TEXT NOT NULL DEFAULT ''", "''"},
};

// A whole run, in the order RunOf reads it; the later columns follow.
const char* const FirstRunColumns =
    "id, name, command, parameters, started_by, started, ended, duration_ms, result, failure, "
    "pid, boot_id, start_ticks, output_bytes, output_cut";

constexpr const char* TriggerTexts[] = {"schedule", "Execute Now", "catch-up", "retry", "start-up"};
static_assert(std::size(TriggerTexts) == static_cast<std::size_t>(LastRunTrigger) + 1);

// The database or one of SQLite's files beside it: a regular file of the user's own, of
// mode 0600 (SQLite gives its journal files the database's mode). `create` makes it.
void PrepareFile(const std::string& path, bool create) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            RaiseInOutError(errno, path);
        if (!create)
            return;
    } else if (S_ISLNK(st.st_mode)) {
        RefuseRunRecordFile(path, "it is a symbolic link");
    } else if (!S_ISREG(st.st_mode)) {
        RefuseRunRecordFile(path, "it is not a regular file");
    }
    TOwnFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_CREAT, 0600));
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    if (fstat(fd.Get(), &st) != 0)
        RaiseInOutError(errno, path);
    if (!S_ISREG(st.st_mode))
        RefuseRunRecordFile(path, "it is not a regular file");
    if (st.st_uid != geteuid())
        RefuseRunRecordFile(path, "it belongs to " + UserText(st.st_uid) + ", not to " +
                                      UserText(geteuid()));
    if ((st.st_mode & 0077) != 0 && fchmod(fd.Get(), 0600) != 0)
        RaiseInOutError(errno, path);
}

bool NameHolds(std::string_view name, std::string_view text) {
    return std::search(name.begin(), name.end(), text.begin(), text.end(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }) != name.end();
}

// LIKE's own characters taken as themselves.
std::string LikePattern(const std::string& text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

} // namespace

const char* TriggerText(TRunTrigger trigger) {
    return TriggerTexts[static_cast<int>(trigger)];
}

ERunStore::ERunStore(const std::string& path, const std::string& reason, TRunStoreFault fault)
    : Exception(path + ": " + reason), FFault(fault) {}

namespace {

TRunStoreFault FaultOf(int status) {
    switch (status & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return TRunStoreFault::Busy;
    case SQLITE_FULL:
        return TRunStoreFault::Full;
    default:
        return TRunStoreFault::Other;
    }
}

[[noreturn]] void FailWith(sqlite3* db, const std::string& path) {
    throw ERunStore(path, sqlite3_errmsg(db), FaultOf(sqlite3_extended_errcode(db)));
}

} // namespace

// One prepared statement, reset before each use so none keeps a read open.
class TStatement {
public:
    TStatement(sqlite3* db, const std::string& sql, const std::string& path)
        : FDb(db), FPath(path) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &FStatement, nullptr) != SQLITE_OK)
            Fail();
    }
    ~TStatement() { sqlite3_finalize(FStatement); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    TStatement& Start() {
        sqlite3_reset(FStatement);
        sqlite3_clear_bindings(FStatement);
        return *this;
    }
    // Named parameters (":name"); one the text does not hold is left alone.
    TStatement& Bind(const char* name, std::int64_t value) {
        return Check(sqlite3_bind_int64(FStatement, Index(name), value));
    }
    TStatement& Bind(const char* name, const std::string& value) {
        return Check(sqlite3_bind_text(FStatement, Index(name), value.data(), int(value.size()),
                                       SQLITE_TRANSIENT));
    }
    /// True while it gives a row.
    bool Step() {
        int status = sqlite3_step(FStatement);
        if (status == SQLITE_ROW)
            return true;
        if (status != SQLITE_DONE)
            Fail();
        return false;
    }
    /// Runs a write to its end; how many rows it changed.
    int Execute() {
        while (Step()) {
        }
        return sqlite3_changes(FDb);
    }

    std::int64_t Int(int column) const { return sqlite3_column_int64(FStatement, column); }
    bool IsNull(int column) const { return sqlite3_column_type(FStatement, column) == SQLITE_NULL; }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStatement, column));
        return text == nullptr
                   ? std::string()
                   : std::string(text, std::size_t(sqlite3_column_bytes(FStatement, column)));
    }

private:
    int Index(const char* name) const { return sqlite3_bind_parameter_index(FStatement, name); }
    TStatement& Check(int status) {
        if (status != SQLITE_OK && status != SQLITE_RANGE)
            Fail();
        return *this;
    }
    [[noreturn]] void Fail() const { FailWith(FDb, FPath); }

    sqlite3* FDb;
    const std::string& FPath;
    sqlite3_stmt* FStatement = nullptr;
};

class TRunDatabase {
public:
    TRunDatabase(const std::string& path, bool writer, bool networkFolder) : FPath(path) {
        const int flags =
            (writer ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOFOLLOW;
        if (sqlite3_open_v2(path.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
            std::string reason = FDb != nullptr ? sqlite3_errmsg(FDb) : "out of memory";
            sqlite3_close(FDb);
            throw ERunStore(path, reason);
        }
        try {
            sqlite3_busy_timeout(FDb, writer ? WriterBusyTimeoutMs : 0);
            if (writer)
                Prepare(networkFolder);
            else if (UserVersion() == 0)
                throw ERunStore(path, "no runs have been recorded yet", TRunStoreFault::Missing);
            // Only a writer adds the later columns: a reader of a store an older program
            // wrote reads them as their defaults.
            const std::set<std::string> existing = ExistingColumns();
            RunColumns = FirstRunColumns;
            for (const auto& [name, definition, value] : LaterColumns)
                RunColumns += existing.contains(name) ? std::string(", ") + name
                                                      : std::string(", ") + value + " AS " + name;
        } catch (...) {
            sqlite3_close(FDb);
            throw;
        }
    }
    ~TRunDatabase() {
        Begin.reset();
        SetProcess.reset();
        Finish.reset();
        sqlite3_close(FDb);
    }
    TRunDatabase(const TRunDatabase&) = delete;
    TRunDatabase& operator=(const TRunDatabase&) = delete;

    void Execute(const char* sql) {
        if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            FailWith(FDb, FPath);
    }
    std::unique_ptr<TStatement> Statement(const std::string& sql) const {
        return std::make_unique<TStatement>(FDb, sql, FPath);
    }
    std::int64_t LastId() const { return sqlite3_last_insert_rowid(FDb); }

    // Taken for writing at once, so a reader's lock is waited for here and never
    // turns into a deadlock later in the transaction.
    class TTransaction {
    public:
        explicit TTransaction(TRunDatabase& db) : FDb(db) { FDb.Execute("BEGIN IMMEDIATE"); }
        ~TTransaction() {
            if (!FDone)
                sqlite3_exec(FDb.FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        TTransaction(const TTransaction&) = delete;
        TTransaction& operator=(const TTransaction&) = delete;
        void Commit() {
            FDb.Execute("COMMIT");
            FDone = true;
        }

    private:
        TRunDatabase& FDb;
        bool FDone = false;
    };

    std::unique_ptr<TStatement> Begin, SetProcess, Finish;
    /// What a SELECT of a whole run names.
    std::string RunColumns;

private:
    int UserVersion() {
        auto version = Statement("PRAGMA user_version");
        return version->Step() ? int(version->Int(0)) : 0;
    }

    // A write-ahead log needs memory shared between the processes, which a network file
    // system does not give; there the rollback journal and file locks do.
    void Prepare(bool networkFolder) {
        Execute(networkFolder ? "PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=WAL");
        if (!networkFolder)
            Execute("PRAGMA synchronous=NORMAL"); // a commit survives a crash of the program
        TTransaction transaction(*this);
        int version = UserVersion();
        if (version > SchemaVersion)
            throw ERunStore(FPath, "written by a newer version of the program");
        if (version == 0) {
            Execute(Schema);
            Execute(("PRAGMA user_version=" + std::to_string(SchemaVersion)).c_str());
        }
        AddLaterColumns();
        transaction.Commit();
        // A run recorded already (written again after a restart) stays as it is.
        Begin = Statement(
            "INSERT INTO runs (id, schedule, name, command, parameters, started_by, "
            "started, pid, boot_id, start_ticks, attempt, attempts, environment) VALUES (:id, "
            ":schedule, :name, :command, :parameters, :by, :started, :pid, :boot, :ticks, "
            ":attempt, :attempts, :environment) "
            "ON CONFLICT (id) DO NOTHING");
        SetProcess = Statement("UPDATE runs SET pid = :pid, boot_id = :boot, start_ticks = :ticks "
                               "WHERE id = :id AND schedule = :schedule");
        Finish = Statement("UPDATE runs SET ended = :ended, duration_ms = :duration, result = "
                           ":result, failure = :failure, output_bytes = :bytes, output_cut = :cut, "
                           "output_head = :head WHERE id = :id AND schedule = :schedule");
    }

    std::set<std::string> ExistingColumns() const {
        std::set<std::string> columns;
        auto info = Statement("PRAGMA table_info(runs)");
        while (info->Step())
            columns.insert(info->Text(1));
        return columns;
    }

    void AddLaterColumns() {
        const std::set<std::string> columns = ExistingColumns();
        for (const auto& [name, definition, value] : LaterColumns)
            if (!columns.contains(name))
                Execute((std::string("ALTER TABLE runs ADD COLUMN ") + definition).c_str());
    }

    std::string FPath;
    sqlite3* FDb = nullptr;
};

namespace {

TStoredRun RunOf(const TStatement& row) {
    TStoredRun run;
    run.Id = row.Int(0);
    run.Name = row.Text(1);
    run.Command = row.Text(2);
    run.Parameters = row.Text(3);
    const std::string by = row.Text(4);
    for (int trigger = 0; trigger < int(std::size(TriggerTexts)); ++trigger)
        if (by == TriggerTexts[trigger])
            run.Trigger = static_cast<TRunTrigger>(trigger);
    run.Started = FromMSecs(row.Int(5));
    if (!row.IsNull(6))
        run.Ended = FromMSecs(row.Int(6));
    run.DurationMs = row.Int(7);
    run.Result = row.Text(8);
    run.Failure = row.Int(9) != 0;
    if (!row.IsNull(10))
        run.Process = TProcessIdentity{int(row.Int(10)), row.Text(11), std::uint64_t(row.Int(12))};
    run.OutputBytes = std::uint64_t(row.Int(13));
    run.OutputCut = row.Int(14) != 0;
    run.OutputHeadKept = row.Int(15) != 0;
    run.Attempt = std::int32_t(row.Int(16));
    run.Attempts = std::int32_t(row.Int(17));
    run.Environment = row.Text(18);
    return run;
}

void BindProcess(TStatement& statement, const TProcessIdentity& process) {
    statement.Bind(":pid", process.Pid)
        .Bind(":boot", process.BootId)
        .Bind(":ticks", std::int64_t(process.StartTicks));
}

} // namespace

std::string TRunStore::FolderOf(const TEnvironment& environment) {
    return StateHome(environment) + "/" + ProgramName;
}

TRunStore::TRunStore(const std::string& folder, const std::string& scheduleFile, TRunStoreMode mode)
    : FWriter(mode == TRunStoreMode::Writer),
      FOutputs(folder, scheduleFile, mode == TRunStoreMode::Writer) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    FSchedule = CanonicalPath(scheduleFile);
    FDatabasePath = base + "/runs.sqlite";
    if (FWriter) {
        PrepareFile(FDatabasePath, true);
        for (const char* ending : {"-wal", "-shm", "-journal"})
            PrepareFile(FDatabasePath + ending, false);
    } else {
        struct stat st {};
        // Only the user may have put the records there.
        if (lstat(base.c_str(), &st) == 0)
            close(OpenPrivateFolder(base, RunRecordFolderRole, false, TOpenToOthers::Refuse));
        if (lstat(FOutputs.Folder().c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            throw EPathRefused(FOutputs.Folder(), RunRecordFolderRole,
                               "it is a symbolic link, not a folder");
        if (lstat(FDatabasePath.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                throw ERunStore(FDatabasePath, "no runs have been recorded yet",
                                TRunStoreFault::Missing);
            RaiseInOutError(errno, FDatabasePath);
        }
        if (!S_ISREG(st.st_mode))
            RefuseRunRecordFile(FDatabasePath, S_ISLNK(st.st_mode) ? "it is a symbolic link"
                                                                   : "it is not a regular file");
        if (st.st_uid != geteuid())
            RefuseRunRecordFile(FDatabasePath, "it belongs to " + UserText(st.st_uid) +
                                                   ", not to " + UserText(geteuid()));
    }
    // By the folder's real path: SQLite's NOFOLLOW refuses a link anywhere on the path
    // it is given, and only the file itself must not be one (checked above).
    FDatabase = std::make_unique<TRunDatabase>(CanonicalPath(base) + "/runs.sqlite", FWriter,
                                               OnNetworkFileSystem(base));
}

TRunStore::~TRunStore() = default;

void TRunStore::RequireWriter() const {
    if (!FWriter)
        throw ERunStore(FDatabasePath, "opened for reading only");
}

std::int64_t TRunStore::Begin(const TStoredRun& run) {
    RequireWriter();
    TStatement& insert = FDatabase->Begin->Start()
                             .Bind(":schedule", FSchedule)
                             .Bind(":name", run.Name)
                             .Bind(":command", run.Command)
                             .Bind(":parameters", run.Parameters)
                             .Bind(":by", std::string(TriggerText(run.Trigger)))
                             .Bind(":started", ToMSecs(run.Started))
                             .Bind(":attempt", std::int64_t{run.Attempt})
                             .Bind(":attempts", std::int64_t{run.Attempts})
                             .Bind(":environment", run.Environment);
    if (run.Id != 0)
        insert.Bind(":id", run.Id);
    if (run.Process)
        BindProcess(insert, *run.Process);
    insert.Execute();
    return run.Id != 0 ? run.Id : FDatabase->LastId();
}

void TRunStore::SetProcess(std::int64_t id, const TProcessIdentity& process) {
    RequireWriter();
    TStatement& update =
        FDatabase->SetProcess->Start().Bind(":id", id).Bind(":schedule", FSchedule);
    BindProcess(update, process);
    if (update.Execute() != 1)
        throw ERunStore(FDatabasePath, "no run " + std::to_string(id), TRunStoreFault::NoRun);
}

void TRunStore::Finish(std::int64_t id, TDateTime ended, std::int64_t durationMs,
                       const std::string& result, bool failure, std::uint64_t outputBytes, bool cut,
                       bool headKept) {
    RequireWriter();
    TStatement& update = FDatabase->Finish->Start()
                             .Bind(":id", id)
                             .Bind(":schedule", FSchedule)
                             .Bind(":ended", ToMSecs(ended))
                             .Bind(":duration", durationMs)
                             .Bind(":result", result)
                             .Bind(":failure", std::int64_t(failure))
                             .Bind(":bytes", std::int64_t(outputBytes))
                             .Bind(":cut", std::int64_t(cut))
                             .Bind(":head", std::int64_t(headKept));
    if (update.Execute() != 1)
        throw ERunStore(FDatabasePath, "no run " + std::to_string(id), TRunStoreFault::NoRun);
}

std::vector<TStoredRun> TRunStore::Runs(const TRunQuery& query) const {
    // A text that the output may hold is looked for here, run by run; any other filter
    // and the count are SQLite's.
    const bool textByCaller = !query.Text.empty() && query.OutputMatches;
    std::string sql = "SELECT " + FDatabase->RunColumns + " FROM runs WHERE schedule = :schedule";
    if (query.Name)
        sql += " AND name = :name";
    if (query.FailuresOnly)
        sql += " AND failure <> 0";
    if (query.Since)
        sql += " AND started >= :since";
    if (!query.Text.empty() && !textByCaller)
        sql += " AND name LIKE :text ESCAPE '\\'";
    sql += " ORDER BY id DESC";
    if (query.Count > 0 && !textByCaller)
        sql += " LIMIT :count";
    auto select = FDatabase->Statement(sql);
    select->Bind(":schedule", FSchedule)
        .Bind(":name", query.Name.value_or(""))
        .Bind(":since", query.Since ? ToMSecs(*query.Since) : 0)
        .Bind(":text", LikePattern(query.Text))
        .Bind(":count", std::int64_t(query.Count));
    std::vector<TStoredRun> runs;
    while ((query.Count == 0 || runs.size() < query.Count) && select->Step()) {
        TStoredRun run = RunOf(*select);
        if (textByCaller && !NameHolds(run.Name, query.Text) && !query.OutputMatches(run))
            continue;
        runs.push_back(std::move(run));
    }
    std::reverse(runs.begin(), runs.end());
    return runs;
}

std::optional<TStoredRun> TRunStore::Run(std::int64_t id) const {
    auto select = FDatabase->Statement("SELECT " + FDatabase->RunColumns +
                                       " FROM runs WHERE id = :id AND schedule = :schedule");
    select->Bind(":id", id).Bind(":schedule", FSchedule);
    if (!select->Step())
        return std::nullopt;
    return RunOf(*select);
}

std::map<std::string, TStoredRun> TRunStore::LastRuns() const {
    auto select = FDatabase->Statement("SELECT " + FDatabase->RunColumns +
                                       " FROM runs WHERE id IN (SELECT max(id) FROM runs WHERE "
                                       "schedule = :schedule GROUP BY name)");
    select->Bind(":schedule", FSchedule);
    std::map<std::string, TStoredRun> runs;
    while (select->Step()) {
        TStoredRun run = RunOf(*select);
        runs.emplace(run.Name, std::move(run));
    }
    return runs;
}

std::string TRunStore::OutputPath(std::int64_t id) const {
    return FOutputs.PathOf(id);
}

TOwnFd TRunStore::CreateOutput(std::int64_t id) {
    RequireWriter();
    return FOutputs.Create(id);
}

std::string TRunStore::ReadOutput(std::int64_t id, std::size_t maxBytes) const {
    std::optional<TStoredRun> run = Run(id);
    return FOutputs.Read(id, maxBytes, run ? run->OutputBytes : 0, run && run->OutputHeadKept);
}

bool TRunStore::CutOutput(std::int64_t id, std::uint64_t keepBytes) {
    RequireWriter();
    std::optional<TStoredRun> run = Run(id);
    if (!run)
        throw ERunStore(FDatabasePath, "no run " + std::to_string(id), TRunStoreFault::NoRun);
    const TOutputCut cut = FOutputs.Cut(id, keepBytes, run->OutputBytes);
    if (!cut.Cut)
        return false;
    auto mark = FDatabase->Statement("UPDATE runs SET output_cut = 1, output_head = :head "
                                     "WHERE id = :id AND schedule = :schedule");
    mark->Bind(":id", id)
        .Bind(":schedule", FSchedule)
        .Bind(":head", std::int64_t(cut.HeadKept))
        .Execute();
    return true;
}

std::vector<TStoredRun>
TRunStore::CloseOrphans(const std::function<bool(const TProcessIdentity&)>& stillRunning) {
    RequireWriter();
    TRunDatabase::TTransaction transaction(*FDatabase);
    auto select = FDatabase->Statement("SELECT " + FDatabase->RunColumns +
                                       " FROM runs WHERE schedule = :schedule AND result = '' "
                                       "ORDER BY id");
    select->Bind(":schedule", FSchedule);
    std::vector<TStoredRun> watched;
    std::vector<std::int64_t> ended;
    while (select->Step()) {
        TStoredRun run = RunOf(*select);
        if (run.Process && stillRunning(*run.Process))
            watched.push_back(std::move(run));
        else
            ended.push_back(run.Id);
    }
    // When it ended is not known, so Ended stays empty.
    auto closeRun =
        FDatabase->Statement("UPDATE runs SET result = :result, failure = 1 WHERE id = :id");
    for (std::int64_t id : ended)
        closeRun->Start()
            .Bind(":result", std::string(EndedUnwatchedResult))
            .Bind(":id", id)
            .Execute();
    transaction.Commit();
    return watched;
}

void TRunStore::Prune(std::size_t maxRuns, std::uint64_t maxBytes,
                      const std::set<std::int64_t>& started) {
    RequireWriter();
    std::vector<std::int64_t> removed;
    std::set<std::int64_t> kept = started;
    // Each entry's latest good run stays: the overdue alarm and a user asking "when did
    // this last work?" need it however many failures came after.
    std::set<std::string> goodKept;
    {
        TRunDatabase::TTransaction transaction(*FDatabase);
        auto select = FDatabase->Statement("SELECT id, result, name FROM runs WHERE "
                                           "schedule = :schedule ORDER BY id DESC");
        select->Bind(":schedule", FSchedule);
        std::size_t count = 0;
        std::uint64_t bytes = 0;
        while (select->Step()) {
            const std::int64_t id = select->Int(0);
            bytes += FOutputs.SizeOf(id);
            const bool open = select->Text(1).empty();
            // Good as the alarm counts it: an end seen, with code 0, or a clock set.
            const std::string result = select->Text(1);
            const bool latestGood = (result == "Exited 0" || result == "Clock set") &&
                                    goodKept.insert(select->Text(2)).second;
            if (++count > maxRuns || bytes > maxBytes) {
                if (!open && !latestGood) {
                    removed.push_back(id);
                    continue;
                }
            }
            kept.insert(id);
        }
        auto remove = FDatabase->Statement("DELETE FROM runs WHERE id = :id");
        for (std::int64_t id : removed)
            remove->Start().Bind(":id", id).Execute();
        transaction.Commit();
    }
    // The records are gone first: a crash in between leaves files, which the sweep takes
    // the next time, never a record whose output is missing.
    FOutputs.Sweep(kept);
}

} // namespace vantle
