// The scheduler's state file: in the log's folder, named after the schedule, it keeps
// the latest minute whose pass has ended, the entries a pass under way has started, and
// the runs whose records may not be complete yet, so that a restart never runs a minute
// or an entry twice and never loses a started run.
#pragma once

#include "engine/CycleMemory.h"
#include "engine/OverdueAlarm.h"
#include "engine/Retries.h"
#include "engine/RunRecorder.h"
#include "engine/RunStore.h"
#include "engine/WaitingRuns.h"

#include "platform/SysErrors.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantle {

/// A run the scheduler started, as the state file keeps it until its record is complete.
struct TStartedRun {
    TStoredRun Run;                 // Id: its key; Process once known
    std::int64_t StartedBootNs = 0; // the boot clock at its start (TClock::BootNanos)
    std::int64_t StartedRunNs = 0;  // the running-time clock at its start (TClock::RunNanos)
    std::int32_t TimeLimit = 0;     // minutes; 0: none
};

struct TSchedulerState {
    std::optional<TLocalMinute> Latest; // the latest minute whose pass has ended
    std::optional<TLocalMinute> Pass;   // the minute of a pass under way
    /// What that pass started, by position and name.
    std::set<std::pair<std::int32_t, std::string>> Started;
    std::vector<TStartedRun> Runs;
    /// Failed runs waiting for their next try.
    std::vector<TPendingRetry> Retries;
    /// Due runs waiting for their entry's conditions.
    std::vector<TWaitingRun> Waiting;
    /// Each entry's last good run, for the overdue alarm.
    std::vector<TAlarmMark> Alarms;
};

/// The state file of a schedule that logs to `logFile`: in the log's folder, named after
/// the schedule, so two schedules that share a log keep their own.
std::string StateFileOf(const std::string& scheduleFile, const std::string& logFile);
/// The latest minute tested that a state file keeps; nullopt when it has none or cannot be
/// read (a view of the schedule shows less then, it fails nothing).
std::optional<TLocalMinute> LatestTestedIn(const std::string& stateFile);
/// What a state file says; an empty state when it is missing or cannot be read (a view
/// of the schedule shows less then, it fails nothing).
TSchedulerState StateIn(const std::string& stateFile);
/// The retries a state file keeps pending; none when it cannot be read.
std::vector<TPendingRetry> PendingRetriesIn(const std::string& stateFile);

/// "yyyy.mm.dd hh.nn" of a local minute, or "hh.nn" alone: the log's stamp without its
/// seconds.
std::string MinuteText(TLocalMinute minute, bool withDate);

/// The file's text: the latest minute, then "Pass MINUTE" and a "Started INDEX NAME" line
/// for each entry the pass started, then a "Run" line for each started run and a "Retry"
/// line for each pending retry, a "Wait" line for each waiting run and an "Alarm" line
/// for each entry's last good run. Older
/// programs read the first line alone. Nothing without a latest minute.
std::string StateText(const TSchedulerState& state);
/// What a state file's text says; what cannot be read is left out.
TSchedulerState ParseState(std::string_view content);
/// The file's content; nullopt when it does not exist. Raises EInOutError.
std::optional<std::string> ReadStateFile(const std::string& path);

/// The state file as a running scheduler keeps it: read when it is switched on, written
/// after each entry of a pass. A failure is kept to be told once and never stops a pass.
class TStateKeeper {
public:
    /// Nothing is read or written when not `keep` (what-if runs).
    explicit TStateKeeper(bool keep) : FKeep(keep) {}

    /// What `path` says, or `olderPath` when `path` does not exist (before the state was
    /// named after the schedule it was named after the log).
    TSchedulerState Read(const std::string& path, const std::string& olderPath);
    /// A run that has ended, kept in the file until its record is written.
    void KeepEnded(const TStartedRun& run) { FUnwritten[run.Run.Id] = run; }
    /// Writes `state` with the ended runs that `recorder` (null: none) has yet to write.
    /// Nothing without a latest minute.
    void Write(const std::string& path, TSchedulerState state, const TRunRecorder* recorder);
    /// Whether the file says what was last written.
    bool Written() const { return FWritten; }
    /// The failure met since the last call, taken.
    std::optional<EInOutError> TakeError() { return std::exchange(FError, std::nullopt); }

private:
    bool FKeep;
    bool FWritten = false;
    std::optional<EInOutError> FError;
    /// Ended runs whose records the recorder may not have written yet: a crash then
    /// loses none of them.
    std::map<std::int64_t, TStartedRun> FUnwritten;
};

} // namespace vantle
