// Writes the run records on a thread of its own, so that nothing the scheduler does
// waits for the database: a store that another program holds locked, a full disk or a
// slow file system costs the records some delay, never a start, a log line or a stop.
// The scheduler hands over what happened, in order; the recorder writes it when it can
// and tells back what the scheduler should know.
#pragma once

#include "engine/RunStore.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vantle {

/// What the recorder tells the scheduler's thread.
struct TRecorderNews {
    enum TKind {
        Failing,   // the store failed for a while: nothing is written until it works
        Recovered, // it works again, and what waited is written
        Lost,      // runs the queue had no room for: in the log, not in the records
        DiskFull,  // the store's disk is full
        Inherited, // runs of an earlier scheduler whose program still runs
        Written,   // all that was handed over is in the store: views may read it
    };
    TKind Kind = Failing;
    std::string Text; // as the log says it
    std::vector<TStoredRun> Runs;
};

/// How a run ended, for its record.
struct TRunEnd {
    TDateTime Ended = 0; // local
    std::int64_t DurationMs = 0;
    std::string Result = {};
    bool Failure = false;
    /// The run had a program, whose output file is measured, held to OutputCap and cut to
    /// its last OutputKeep bytes before the record is closed.
    bool HasOutput = false;
    bool OutputCut = false; // cut at the cap already while it ran
    /// A process of the run's session still writes: the output is measured and held to
    /// the cap, and cut by a later Finish of the same run once the session has ended.
    bool OutputOpen = false;
    std::uint64_t OutputCap = 0;
    std::uint64_t OutputKeep = DefaultOutputKeep;
};

struct TRunRecorderOptions {
    std::size_t QueueLimit = 10'000;
    std::int64_t RetryMs = 1000;       // between tries of a store that failed
    std::int64_t ReportAfterMs = 3000; // a failure this long is told
    /// What the queue gets at a stop; with one wait of the store's lock at most, the stop
    /// stays within a second.
    std::int64_t StopGraceMs = 700;
    /// Opens the store, on the recorder's thread; empty: the writer of the folder.
    std::function<std::unique_ptr<TRunStore>()> OpenStore = {};
    /// Makes the runs' keys; empty: from the wall clock and the process (see NewKey).
    std::function<std::int64_t()> MakeKey = {};
};

class TRunRecorder {
public:
    /// Makes the records and outputs folders at once (raising EPathRefused or EInOutError
    /// as TRunOutputs does); the database is opened on the recorder's thread, and tried
    /// again until it opens.
    TRunRecorder(const std::string& folder, const std::string& scheduleFile,
                 TRunRecorderOptions options = {});
    /// Gives what is queued StopGraceMs to be written. What is left is in the state file.
    ~TRunRecorder();
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    /// A run's key, made without the store: the id its record gets, its output file's
    /// name and what Stop Run knows it by. Rising, and apart from another process's.
    std::int64_t NewKey();
    const TRunOutputs& Outputs() const { return FOutputs; }

    /// Queued, in order; each returns at once.
    void Begin(const TStoredRun& run); // run.Id: its key
    void SetProcess(std::int64_t key, const TProcessIdentity& process);
    void Finish(std::int64_t key, const TRunEnd& end);
    /// Runs an earlier scheduler started (its state file keeps them): each is recorded
    /// where its record is missing; then every open run of the schedule whose program has
    /// ended is closed, and those still running come back as Inherited news.
    void Recover(const std::vector<TStoredRun>& started);
    void Prune(std::size_t maxRuns, std::uint64_t maxBytes);

    /// Readable while news waits; TakeNews empties it.
    int NewsFd() const { return FNewsFd; }
    std::vector<TRecorderNews> TakeNews();
    /// The keys of runs with something still to write.
    std::set<std::int64_t> PendingKeys() const;
    /// Waits until the queue is written, `ms` at most; whether it was.
    bool Flush(std::int64_t ms);

private:
    struct TOp;
    static std::set<std::int64_t> KeysOf(const TOp& op);
    void Push(TOp op);
    /// Marks a key given out whose record is not written yet; Recorded unmarks it.
    std::int64_t Issued(std::int64_t key);
    void Recorded(std::int64_t key);
    void Work();
    /// Writes one; false when the store failed and it must be tried again.
    bool Write(TOp& op);
    void Post(TRecorderNews news);
    void Trouble(const std::exception& error);
    bool Stopping() const;

    TRunRecorderOptions FOptions;
    TRunOutputs FOutputs;
    std::unique_ptr<TRunStore> FStore; // the thread's alone
    int FNewsFd = -1;
    std::int64_t FLastKey = 0;

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<TOp> FQueue;
    std::set<std::int64_t> FLostKeys; // runs dropped from the queue; their later steps go too
    std::size_t FLostRuns = 0;
    std::set<std::int64_t> FUnrecorded; // keys given out whose start is not in the store yet
    bool FBusy = false;                 // the thread writes an op taken off the queue
    std::set<std::int64_t> FWriting;    // the keys of that op
    std::vector<TRecorderNews> FNews;
    std::atomic<std::int64_t> FStopAt{0}; // steady clock, ns; 0 while running

    // The thread's own.
    std::int64_t FTroubleSince = 0; // steady ns of the first failure in a row; 0: none
    bool FTroubleTold = false;
    bool FFullTold = false;
    std::string FOpenError;

    std::thread FThread;
};

} // namespace vantle
