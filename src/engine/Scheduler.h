// The run engine: once a minute, check the file, test every entry, run the due ones.
#pragma once

#include "engine/CycleMemory.h"
#include "engine/FailureCommands.h"
#include "engine/Log.h"
#include "engine/OutputHold.h"
#include "engine/OverdueAlarm.h"
#include "engine/Parameters.h"
#include "engine/Retries.h"
#include "engine/RunConclusion.h"
#include "engine/RunningPrograms.h"
#include "engine/SchedulerServices.h"
#include "engine/StateFile.h"
#include "engine/WaitingRuns.h"
#include "sched/SchedList.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vantle {

/// Show commands handed to the starter, indexed by WinState.
extern const std::int32_t ShowCommands[4];

/// "Enabled" or "Disabled".
std::string EnabledText(bool value);

/// The run an Execute Now began, for a caller that follows it to its end.
struct TRunTicket {
    std::int64_t Record = 0; // its key in the run records; 0: not recorded
    int Pid = 0;             // its program, while it runs; 0: none is followed
    /// How it concluded, when it did at once: a start or an expansion that failed, a clock
    /// operation.
    std::optional<TRunVerdict> Verdict;
    /// Whether `event` is the end of this run's program (VerdictOf then tells how it went).
    bool EndedBy(const TRunEvent& event) const;
};

class TScheduler {
public:
    TScheduler(TSchedList& scheduleList, TSchedulerServices services);
    /// Switches off (logging it when it was on), then releases the session and the log.
    ~TScheduler();
    TScheduler(const TScheduler&) = delete;
    TScheduler& operator=(const TScheduler&) = delete;

    bool Enabled() const { return FEnabled; }
    /// Changes the flag first, then logs "Scheduler has been %s".
    void SetEnabled(bool value);
    /// One pass: holds the list's lock throughout and releases it on every way out.
    /// Tests the minutes not yet tested up to now (see TCycleMemory). An entry that
    /// fails is logged and the pass goes on; a log that cannot be written, or a list
    /// without a file name, ends the pass and passes on to the caller.
    void RunCycle();
    /// Carries out the entry's operation; nothing for a bad index or an inactive entry.
    /// `attempt`: a retry's; none for the first try of a run.
    void ExecuteEntry(std::int32_t index, TRunTrigger trigger = TRunTrigger::ExecuteNow,
                      std::optional<TAttempt> attempt = std::nullopt);
    /// Execute Now of the entry at `index` for a caller that follows the run: as
    /// ExecuteEntry, but a parameter that cannot be expanded is concluded as in a cycle
    /// (logged, listed in Failures) rather than raised. Nullopt, and nothing done, for a
    /// bad index or an inactive entry. Raises what the log raises.
    std::optional<TRunTicket> ExecuteNow(std::int32_t index);
    /// The failed runs waiting for their next try.
    const TRetries& Retries() const { return FRetries; }
    /// The due runs waiting for their entry's conditions.
    const TWaitingRuns& Waiting() const { return FWaits; }
    /// Whether the entry of this name has gone longer than its AlertAfter without a good
    /// run, and was told so.
    bool Overdue(const std::string& name) const { return FAlarm.Overdue(name); }
    /// Tells the entries that have become overdue: each cycle does, switched on or off.
    void CheckOverdue();

    TLog& Log() { return *FLog; }
    /// What failed in the latest cycle, and in Execute Now calls since.
    const std::vector<TEntryFailure>& Failures() const { return FConclusion.Failures(); }
    /// The latest minute tested: the memory's while switched on, else the state file's.
    std::optional<TLocalMinute> LatestTested() const;

    /// A child of this process has ended. When it is a program this scheduler started,
    /// logs "NAME ended with code N after S s" (or "ended by signal") and returns true.
    bool ProgramEnded(int pid, bool signalled, int code);
    /// The user stops a running run: SIGTERM to its program's process group now, SIGKILL
    /// from KillOverdue 10 s later; its end is recorded as "Stopped by the user". False
    /// when the run is not one of this scheduler's running programs.
    bool StopRun(std::int64_t record) { return FPrograms.Stop(record); }
    /// SIGTERM to the runs past their entry's time limit (running time, a suspend not
    /// counted), SIGKILL to the stopped runs that outlived their 10 s.
    void KillOverdue() { FPrograms.KillOverdue(); }
    /// The CLOCK_MONOTONIC moment (TClock::RunNanos) at which KillOverdue has work next;
    /// nullopt while no running program has a limit or a grace running out.
    std::optional<std::int64_t> NextOverdue() const { return FPrograms.NextOverdue(); }
    /// Releases what running programs, and what their sessions left running after them,
    /// wrote past OutputCap, once a second at most: a cap checked once a minute let a
    /// fast writer fill the disk first.
    void HoldOutputs() { FOutputs.Hold(); }
    /// The CLOCK_MONOTONIC moment at which HoldOutputs has work next, at most a second
    /// after the latest; nullopt while no output may grow.
    std::optional<std::int64_t> NextOutputHold() const { return FOutputs.Next(); }
    /// Whether a program this scheduler started may still run: its end not yet told.
    bool HasRunningPrograms() const { return FPrograms.HasStarted(); }
    /// Readable when a run started before a restart may have ended (-1: never); then
    /// FollowInherited. Every cycle looks as well.
    int InheritedFd() const { return FPrograms.InheritedFd(); }
    /// Closes the records of the inherited runs that have ended, and logs their ends.
    void FollowInherited();
    /// Readable when the recorder has news (-1: no recorder); then TakeRecordNews.
    int RecordsFd() const;
    /// Logs and tells what the recorder has to say.
    void TakeRecordNews();

private:
    /// The file that keeps the latest tested minute: in the log's folder, named after
    /// the schedule, so two schedules that share a log keep their own.
    std::string StateFileName() const;
    void StartEntryProgram(const TSchedule& entry, TRunTrigger trigger, const TAttempt& attempt);
    void ResetTimeFromServer(const TSchedule& entry, TRunTrigger trigger, const TAttempt& attempt);
    void CheckForChanges();
    void RunDueEntry(std::int32_t index, TRunTrigger trigger, const TAttempt& attempt);
    /// Tells the window or the terminal, then the failure commands.
    void TellEvent(const TRunEvent& event);
    /// The entries that catch up in this plan's cycle, by index, with the latest minute
    /// each missed.
    std::map<std::int32_t, TLocalMinute> MissedRuns(const TCyclePlan& plan) const;
    /// Whether a run of `entry` due now starts: false when it waits for a condition, or
    /// gave up waiting. `waited`: the entry's waiting run this cycle takes up.
    bool StartsNow(const TSchedule& entry, TRunTrigger trigger, const TAttempt& attempt,
                   TLocalMinute now, TCycleConditions& conditions, bool waited);
    /// Whether the start-up runs are due: once per switch-on, a minute after it.
    bool StartUpDue() const;
    /// With Overlap=Skip and its previous run still going: concludes the run as skipped.
    bool SkipsOverlap(const TSchedule& entry, TRunTrigger trigger, const TAttempt& attempt);
    bool IsDueInPlan(const TSchedule& entry, const TCyclePlan& plan,
                     const std::vector<TDueMoment>& minutes, std::int32_t index,
                     std::optional<TLocalMinute> stopped) const;
    /// At the start: the runs an earlier scheduler started whose records may be
    /// incomplete go to the recorder, and those still running are followed.
    void InheritRuns();
    /// Follows a run started before this scheduler, its output too, and logs it;
    /// `started`: as the state file kept it.
    void Inherit(const TStoredRun& run, const std::optional<TStartedRun>& started);
    /// Concludes the end of a followed program and keeps its run for the state file
    /// until the recorder has written it.
    void ConcludeEnd(int pid, const TRunningProgram& program, bool signalled, int code);
    /// Writes the state; a failure is kept for ReportStateError and not raised, so the
    /// pass that wrote it goes on.
    void WriteState();
    /// Logs and raises a failure of the state file, once it has been met.
    void ReportStateError();

    /// An entry of a pass, by position and name: what a stopped pass already started.
    using TPassEntry = std::pair<std::int32_t, std::string>;
    TSchedList& FScheduleList;
    TSchedulerServices FServices;
    TStateKeeper FState;
    TDateTime FCycleTime = 0;
    TDueMoment FCycleMoment = SplitMoment(0);
    std::unique_ptr<TNetSession> FNetWare;
    bool FEnabled = false;
    std::unique_ptr<TLog> FLog;
    TParameterExpander FExpander;
    TCycleMemory FMemory;
    TOutputHold FOutputs;
    TRetries FRetries;
    TWaitingRuns FWaits;
    TOverdueAlarm FAlarm;
    /// The running-time clock at the switch-on whose start-up runs are still to come.
    std::optional<std::int64_t> FStartUpFrom;
    TRunConclusion FConclusion;
    TRunningPrograms FPrograms;
    TFailureCommands FCommands;
    /// The minute of a pass under way or stopped by a failure, and what it started.
    std::optional<TLocalMinute> FPassMinute;
    std::set<TPassEntry> FPassStarted;
    /// The loaded list's time fields that read as something else are yet to be logged.
    bool FLenientFieldsDue = false;
    TKeptChangeReader FKeptChanges; // logged once each
    /// While ExecuteNow runs: the ticket its run's events fill in.
    TRunTicket* FTicket = nullptr;
};

} // namespace vantle
