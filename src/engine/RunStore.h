// The record of every run the scheduler carries out, with its output, kept in one SQLite
// file per user that the window and vantle-schedctl read while the scheduler writes.
#pragma once

#include "engine/RunOutputs.h"
#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/FileWriter.h"
#include "platform/ProcessIdentity.h"
#include "platform/SysErrors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

enum class TRunTrigger {
    Schedule,   // its minute came
    ExecuteNow, // the user asked for it
    CatchUp,    // a minute missed while the scheduler was not running
    Retry,      // a failed run tried again
    StartUp,    // the scheduler was switched on
};
inline constexpr TRunTrigger LastRunTrigger = TRunTrigger::StartUp;

/// "schedule", "Execute Now", "catch-up", "retry", "start-up".
const char* TriggerText(TRunTrigger trigger);

/// The result of a run that was still open when its scheduler ended, its program gone.
extern const char* const EndedUnwatchedResult;
/// The result of a run that an earlier scheduler started and this one saw end.
extern const char* const EndedAfterRestartResult;

struct TStoredRun {
    std::int64_t Id = 0;
    std::string Name, Command, Parameters;
    TRunTrigger Trigger = TRunTrigger::Schedule;
    TDateTime Started = 0;          // local
    std::optional<TDateTime> Ended; // local; none while running or when not known
    std::int64_t DurationMs = 0;
    std::string Result; // "Exited 3", "Skipped", ...; empty while running
    bool Failure = false;
    std::optional<TProcessIdentity> Process;
    std::uint64_t OutputBytes = 0; // all the program wrote, also when its file was cut
    bool OutputCut = false;
    bool OutputHeadKept = false; // cut on a full disk: the file holds the beginning
    /// Which try of its due run this is, of how many at most (1 of 1: no retries).
    std::int32_t Attempt = 1, Attempts = 1;
    /// The names of the variables its entry set, "PATH, BACKUP_PASSFILE"; never a value.
    std::string Environment = {};
};

/// Which runs Runs() gives; every filter set must hold.
struct TRunQuery {
    std::optional<std::string> Name = {}; // the entry's name, exactly
    bool FailuresOnly = false;
    std::optional<TDateTime> Since = {}; // started at or after (local)
    /// A run matches when its name holds the text (ASCII letters without their case),
    /// or when OutputMatches says its output does.
    std::string Text = {};
    std::function<bool(const TStoredRun&)> OutputMatches = {};
    std::size_t Count = 0; // the newest N only; 0 for all
};

enum class TRunStoreMode {
    Writer, // the scheduler's recorder: makes the folder and the database
    Reader, // the views: never writes and never waits for a lock (a locked store raises
            // ERunStore, Busy); a missing store raises ERunStore (Missing)
};

/// Why the store failed, where the caller may act on it.
enum class TRunStoreFault {
    Other,
    Missing, // nothing has been recorded there yet
    NoRun,   // the run named is not in the store
    Busy,    // another connection holds the lock
    Full,    // the disk (or the user's quota) is full
};

/// "PATH: REASON", the reason being SQLite's own message where SQLite failed.
class ERunStore : public Exception {
public:
    ERunStore(const std::string& path, const std::string& reason,
              TRunStoreFault fault = TRunStoreFault::Other);
    /// Nothing has been recorded there yet.
    bool Missing() const { return FFault == TRunStoreFault::Missing; }
    TRunStoreFault Fault() const { return FFault; }

private:
    TRunStoreFault FFault;
};
constexpr std::size_t DefaultKeptRuns = 1000;
constexpr std::uint64_t DefaultKeptBytes = 200ull << 20;

class TRunDatabase;

/// One connection, used from one thread. A writer waits a fifth of a second at most for
/// another connection's lock, then raises ERunStore (Busy): whoever writes tries again. Records are
/// keyed by the schedule's canonical path, so several schedules share the folder's database and
/// keep apart; every call sees and changes its own schedule's runs only. Raises ERunStore when
/// SQLite fails, EPathRefused for a folder or file that is not the user's own and private.
class TRunStore {
public:
    /// $XDG_STATE_HOME/vantle-scheduler (StateHome).
    static std::string FolderOf(const TEnvironment& environment);

    TRunStore(const std::string& folder, const std::string& scheduleFile, TRunStoreMode mode);
    ~TRunStore();
    TRunStore(const TRunStore&) = delete;
    TRunStore& operator=(const TRunStore&) = delete;

    const std::string& DatabasePath() const { return FDatabasePath; }

    /// Records a run as it starts (Result and what follows are ignored), so a crash
    /// leaves a started run behind rather than none; its id. A run with an Id (a key made
    /// before the store was reached) keeps it, and one already recorded stays as it is.
    std::int64_t Begin(const TStoredRun& run);
    void SetProcess(std::int64_t id, const TProcessIdentity& process);
    /// `result` is never empty: an empty result means running.
    void Finish(std::int64_t id, TDateTime ended, std::int64_t durationMs,
                const std::string& result, bool failure, std::uint64_t outputBytes, bool cut,
                bool headKept = false);

    /// The matching runs, oldest first.
    std::vector<TStoredRun> Runs(const TRunQuery& query) const;
    std::optional<TStoredRun> Run(std::int64_t id) const;
    /// The newest run of every entry name.
    std::map<std::string, TStoredRun> LastRuns() const;

    /// Where the run's output goes: its own file in the private outputs folder.
    std::string OutputPath(std::int64_t id) const;
    /// Creates (or empties) the run's output file, mode 0600, for writing.
    TOwnFd CreateOutput(std::int64_t id);
    /// The output's last `maxBytes`, after a first line "... N bytes left out ..." when
    /// not all of it is there; empty when the run has none.
    std::string ReadOutput(std::int64_t id, std::size_t maxBytes = DefaultOutputKeep) const;
    /// Cuts a finished run's output file down to its last `keepBytes`, behind the
    /// "... N bytes left out ..." line, and marks the run cut; false when it was short
    /// enough already.
    bool CutOutput(std::int64_t id, std::uint64_t keepBytes = DefaultOutputKeep);
    const TRunOutputs& Outputs() const { return FOutputs; }

    /// At start-up: closes the runs a previous scheduler left open as EndedUnwatchedResult,
    /// except those whose program still runs. Those it returns, for the caller to watch.
    std::vector<TStoredRun>
    CloseOrphans(const std::function<bool(const TProcessIdentity&)>& stillRunning = StillRunning);

    /// Keeps the newest runs that fit both limits (output files counted by their size),
    /// removing the older records and their output files. Open runs stay, and so do the
    /// output files of `started`: runs whose records are not in the store yet.
    void Prune(std::size_t maxRuns = DefaultKeptRuns, std::uint64_t maxBytes = DefaultKeptBytes,
               const std::set<std::int64_t>& started = {});

private:
    /// Raises ERunStore in a reader: the views never write.
    void RequireWriter() const;

    bool FWriter;
    std::string FSchedule; // canonical path: the key of this schedule's runs
    std::string FDatabasePath;
    TRunOutputs FOutputs;
    std::unique_ptr<TRunDatabase> FDatabase;
};

} // namespace vantle
