// Every outcome of a run concluded in one place: the log's lines, the run's record, the
// failure list and the notification, so that a new outcome is added once.
#pragma once

#include "engine/Log.h"
#include "engine/OutputHold.h"
#include "engine/Retries.h"
#include "engine/RunRecorder.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantle {

/// What became of an entry's operation, told to whoever shows results.
struct TRunEvent {
    enum TKind {
        Started,
        Failed,
        ClockSet,
        ClockNotSet,
        NoNetwork,
        Exited,
        Signalled,
        Skipped,
        Followed, // a run started before the scheduler restarted has ended
        Records,  // news of the run records (Text): failing, working again, disk full
        Waiting,  // a due run waits for what its entry needs (Text: "on battery")
        NotRun,   // a waiting run gave up at its entry's wait limit (Text: why)
        Overdue,  // no good run for longer than the entry allows (Code: hours)
    };
    TKind Kind = Started;
    std::string Name;
    TDateTime Moment = 0;     // local: when it happened
    std::int64_t Code = 0;    // Failed: the shell's code; Exited: exit code; Signalled: signal;
                              // Records: the news' TRecorderNews::TKind
    int Pid = 0;              // Started: the program's process id, 0 when unknown
    std::int64_t Seconds = 0; // Exited, Signalled: how long it ran
    std::int64_t Record = 0;  // the run in the store, 0 when not recorded
    bool ByUser = false;      // Exited, Signalled: the user stopped it
    /// Exited, Signalled: stopped at the entry's time limit of that many minutes; 0: not.
    std::int32_t TimeLimit = 0;
    std::string Text = {}; // Records: the line the log got
    /// Failures: the record's result ("Exited 3"), which a failure command is told.
    std::string Result = {};
    TRunTrigger Trigger = TRunTrigger::Schedule;
    std::int32_t Attempt = 1;
    /// A failure that will be tried again: not told, as the last try's will be.
    bool RetryPending = false;
    /// The run's record counts it as a failure (a user's stop does not).
    bool Failure = false;
};

/// How a run concluded, as its record says it.
struct TRunVerdict {
    bool Failure = false;
    std::string Result; // "Exited 0", "Stopped at time limit", "Clock set"
    bool operator==(const TRunVerdict&) const = default;
};

/// The verdict an event tells of its run, for the events that conclude one (an end, a
/// start or clock setting that failed, a clock set, a skip); nullopt for the others.
std::optional<TRunVerdict> VerdictOf(const TRunEvent& event);

/// An entry that could not be carried out, as a user reads it: "could not start
/// /opt/x: file not found (2)", "Invalid argument to date encode".
struct TEntryFailure {
    std::string Name;
    std::string Text = {};
    bool operator==(const TEntryFailure&) const = default;
};

/// How a run turned out.
struct TRunOutcome {
    enum TKind {
        Started,        // Pid
        CouldNotStart,  // Code: the start's code (at most 32); Text: the command
        Failed,         // Text: what failed (an expansion, a NUL byte)
        Exited,         // Code: the exit code
        Signalled,      // Code: the signal
        StoppedByUser,  // Signalled and Code as it ended
        StoppedAtLimit, // also TimeLimit
        EndedAfterRestart,
        Skipped, // Pid: the run still running, 0: a played one; RunningSince
        ClockSet,
        ClockNotSet, // Code: the error; Text: its reason
        NoNetwork,
        NotRun, // Text: what it waited for in vain; Attempt; Record
    };
    TKind Kind = Started;
    std::string Name;
    std::int64_t Record = 0; // 0: not recorded
    int Pid = 0;
    std::int64_t Code = 0;
    std::string Text = {};
    /// Ends: how long it ran, on the boot clock.
    std::int64_t RanNs = 0;
    bool BySignal = false;      // StoppedByUser, StoppedAtLimit: how it ended
    bool Inherited = false;     // StoppedByUser, StoppedAtLimit: an earlier scheduler's
    std::int32_t TimeLimit = 0; // StoppedAtLimit: in minutes
    TDateTime RunningSince = 0; // Skipped: the start of the run still running
    /// Failed: the caller raises it, and so tells it: only the record is written.
    bool Raised = false;
    TRunTrigger Trigger = TRunTrigger::Schedule;
    TAttempt Attempt = {}; // a failure before the last try is tried again
};

class TRunConclusion {
public:
    /// `recorder` may be null (nothing recorded), `onEvent` empty. The pointers must
    /// outlive this.
    TRunConclusion(TLog& log, const TClock& clock, TRunRecorder* recorder, TOutputHold& outputs,
                   TRetries& retries, std::function<void(const TRunEvent&)> onEvent);

    /// A run's record with its key and start, not handed to the recorder yet; nullopt
    /// without a recorder.
    std::optional<TStoredRun> NewRecord(const std::string& name, const std::string& command,
                                        const std::string& parameters, TRunTrigger trigger,
                                        const TAttempt& attempt = {});
    /// Hands a record from NewRecord to the recorder; nothing for none.
    void KeepRecord(const std::optional<TStoredRun>& run);
    /// NewRecord and KeepRecord at once; the key, 0 when nothing is recorded.
    std::int64_t BeginRecord(const std::string& name, const std::string& command,
                             const std::string& parameters, TRunTrigger trigger,
                             const TAttempt& attempt = {});
    /// A failing store costs the records, never a run: logged once until it works again.
    void RecordFailed(const std::exception& error);
    void RecordWorked() { FRecordFailureTold = false; }

    /// Logs, records, lists and tells the outcome. Raises what the log raises.
    void Conclude(const TRunOutcome& outcome);
    /// Tells whoever shows results; the moment is now when the event has none.
    void Notify(TRunEvent event);
    /// Logs the recorder's news (but that its records are written) and tells it.
    void TellRecordNews(const TRecorderNews& news);

    /// What failed since the last ClearFailures.
    const std::vector<TEntryFailure>& Failures() const { return FFailures; }
    void ClearFailures() { FFailures.clear(); }
    /// Whether runs were recorded since the last call: the store is pruned then.
    bool TakePruneDue() { return std::exchange(FPruneDue, false); }

private:
    void FinishRecord(std::int64_t record, const std::string& result, bool failure);
    void ConcludeEnd(const TRunOutcome& outcome);
    /// A failure of a try before the last: the next one is pending, and logged.
    bool Retry(const TRunOutcome& outcome);

    TLog& FLog;
    const TClock& FClock;
    TRunRecorder* FRecorder;
    TOutputHold& FOutputs;
    TRetries& FRetries;
    std::function<void(const TRunEvent&)> FOnEvent;
    std::vector<TEntryFailure> FFailures;
    bool FRecordFailureTold = false;
    bool FPruneDue = true;
};

} // namespace vantle
