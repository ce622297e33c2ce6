// The programs the scheduler follows to their end: those it started, those an earlier
// scheduler started before a restart, and in a dry run the starts it played. It finds
// an entry's running run for an overlap, stops a run for the user, and keeps the time
// limits, through the signals seam.
#pragma once

#include "engine/Log.h"
#include "engine/Retries.h"
#include "engine/StateFile.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/ProcessIdentity.h"
#include "platform/ProcessSignals.h"
#include "platform/ProcessWatch.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantle {

/// How long a stopped program has between SIGTERM and SIGKILL.
constexpr std::int64_t StopGraceNs = 10'000'000'000;

struct TRunningProgram {
    std::string Name;
    TRunTrigger Trigger = TRunTrigger::Schedule;
    std::string Command = {}, Parameters = {};    // as the schedule holds them
    std::optional<TProcessIdentity> Process = {}; // once known
    bool Inherited = false;                       // an earlier scheduler started it
    TDateTime Started = 0;                        // local, as the skip of an overlap tells it
    std::int64_t StartedBootNs = 0;               // durations do not follow steps of the wall clock
    std::int64_t StartedRunNs = 0;                // the time limit counts running time only
    std::int32_t TimeLimit = 0;                   // minutes; 0: none
    std::int64_t Record = 0;                      // its run in the store, 0 for none
    bool ByUser = false;                          // stopped by the user rather than at its limit
    std::optional<std::int64_t> StoppedRunNs = {}; // when SIGTERM went
    bool Killed = false;                           // SIGKILL went too
    bool FailureCommand = false; // an entry's failure or recovery command, no run of it
    TAttempt Attempt = {};       // which try of its due run

    /// How the state file keeps it until its record is complete.
    TStartedRun StartedRun() const;
};

class TRunningPrograms {
public:
    /// `log` tells of stops; the pointers must outlive this.
    TRunningPrograms(const TClock& clock, TProcessSignals& signaller, TLog& log);

    /// Follows a program just started, its start taken from the clocks now; past 4096 the
    /// oldest is forgotten (without a reaper nobody tells of the ends).
    TRunningProgram& Start(int pid, TRunningProgram program);
    /// A started program has ended: taken from those followed; nullopt for a pid this
    /// scheduler did not start (an orphan of one of its programs, or not its own).
    std::optional<TRunningProgram> TakeEnded(int pid);
    /// Follows a run an earlier scheduler started, with its clocks and limit as the state
    /// file kept them; without (an older program's run), its start on the boot clock
    /// stands in and it has no limit. False when it runs no longer, or is followed already.
    bool Inherit(const TStoredRun& run, const std::optional<TStartedRun>& started);
    /// Readable when an inherited run may have ended (-1: never).
    int InheritedFd() const { return FInheritedWatch.Fd(); }
    /// The inherited runs that have ended, taken, by pid.
    std::vector<std::pair<int, TRunningProgram>> TakeEndedInherited();

    /// The entry's run still running, started or inherited, by pid; nullptr for none.
    const std::pair<const int, TRunningProgram>* RunningOf(const std::string& name) const;
    /// A dry run's start of the entry now, counted as running for `ms` milliseconds (at
    /// most its time limit in minutes, 0: none).
    void Play(const std::string& name, std::int64_t ms, std::int32_t timeLimit);
    /// The start of the entry's played run if it still runs at `now`.
    std::optional<TDateTime> PlayedRunning(const std::string& name, TDateTime now) const;

    /// The user stops the run: SIGTERM to its program's group now, SIGKILL from KillOverdue
    /// 10 s later; logged. False when it is not running here.
    bool Stop(std::int64_t record);
    /// SIGTERM to the runs past their time limit (running time), SIGKILL to the stopped
    /// runs that outlived their grace.
    void KillOverdue();
    /// The CLOCK_MONOTONIC moment at which KillOverdue has work next.
    std::optional<std::int64_t> NextOverdue() const;

    /// Whether a program this scheduler started may still run.
    bool HasStarted() const;
    /// The runs the state file keeps: those with a record.
    std::vector<TStartedRun> StartedRuns() const;

private:
    bool Signal(int pid, const TRunningProgram& program, int signal);

    const TClock& FClock;
    TProcessSignals& FSignals;
    TLog& FLog;
    std::map<int, TRunningProgram> FRunning;
    /// Each entry's latest played start and when it would end, by name.
    std::map<std::string, std::pair<TDateTime, TDateTime>> FPlayed;
    /// The processes of the inherited runs.
    TProcessWatch FInheritedWatch;
};

} // namespace vantle
