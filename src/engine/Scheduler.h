// The run engine: once a minute, check the file, test every entry, run the due ones.
#pragma once

#include "engine/CycleMemory.h"
#include "engine/Log.h"
#include "engine/Parameters.h"
#include "engine/RunRecorder.h"
#include "engine/RunView.h"
#include "engine/StateFile.h"
#include "netware/NetSession.h"
#include "platform/Clock.h"
#include "platform/ClockSetter.h"
#include "platform/Environment.h"
#include "platform/FormatSettings.h"
#include "platform/ProcessWatch.h"
#include "platform/ProgramStarter.h"
#include "sched/SchedList.h"

#include <cstdint>
#include <functional>
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
};

/// How long a stopped program has between SIGTERM and SIGKILL.
constexpr std::int64_t StopGraceNs = 10'000'000'000;
/// How often what running programs write is held to the output cap.
constexpr std::int64_t OutputCapCheckNs = 1'000'000'000;

/// Everything the scheduler reaches outside itself; tests replace any piece, and a
/// piece left empty is the real one of SystemSchedulerServices() (so a test that
/// must not start programs or set the clock supplies its own starter and setter).
/// The pointers must outlive the scheduler.
struct TSchedulerServices {
    const TClock* Clock = nullptr;
    const TEnvironment* Environment = nullptr;
    TProgramStarter* Starter = nullptr;
    TClockSetter* ClockSetter = nullptr;
    const TFormatSettings* FormatSettings = nullptr;
    /// Creates the network session once, at the scheduler's creation.
    std::function<std::unique_ptr<TNetSession>()> MakeSession;
    /// Creates the log for a path; by default a TLog on the file.
    std::function<std::unique_ptr<TLog>(const std::string& path)> MakeLog;
    /// The log is named after it: extension replaced by ".LOG".
    std::string ExecutablePath;
    /// Keeps the latest tested minute in a file beside the log, named after the schedule
    /// (".STATE"), so a restart within a minute already run does not run it again. Off
    /// for what-if runs.
    bool KeepState = true;
    /// The log's size limit in bytes (0: none); see TLog::WriteLine.
    std::uint64_t MaxLogSize = DefaultMaxLogSize;
    /// Told after each operation's outcome and each started program's end; may be empty.
    std::function<void(const TRunEvent&)> OnRunEvent;
    /// The log's path when it lives elsewhere (see LocateFiles); empty: named after
    /// ExecutablePath.
    std::string LogFile;
    /// Where every run is recorded with its output; none: runs are only logged.
    TRunRecorder* Recorder = nullptr;
    /// The records as the views read them; none: what ran before is read from the log.
    TRunView* RunView = nullptr;
    /// A running program's output is kept up to OutputCap bytes, and once the run is over
    /// only its last OutputKeep bytes; the store keeps the newest KeptRuns runs within
    /// KeptBytes.
    std::uint64_t OutputCap = std::uint64_t{64} << 20;
    std::uint64_t OutputKeep = DefaultOutputKeep;
    std::size_t KeptRuns = DefaultKeptRuns;
    std::uint64_t KeptBytes = DefaultKeptBytes;
    /// A play of moments (a dry run) starts nothing, so nothing ends: when set, each played
    /// start counts as running for as many milliseconds as this says for its entry's name
    /// (at most its time limit), and entries that skip overlaps skip it as they would a
    /// real one.
    std::function<std::int64_t(const std::string& name)> PlayedRunMs;
};

/// An entry that could not be carried out, as a user reads it: "could not start
/// /opt/x: file not found (2)", "Invalid argument to date encode".
struct TEntryFailure {
    std::string Name;
    std::string Text;
    bool operator==(const TEntryFailure&) const = default;
};

/// The real services of this machine: system clock, process environment, POSIX
/// starter and clock setter, the user's regional settings, the NetWare session.
TSchedulerServices SystemSchedulerServices();
/// The user's regional settings, read once for the life of the program.
const TFormatSettings& SystemFormatSettings();

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
    void ExecuteEntry(std::int32_t index, TRunTrigger trigger = TRunTrigger::ExecuteNow);

    TLog& Log() { return *FLog; }
    TDateTime CycleTime() const { return FCycleTime; }
    TSchedList& ScheduleList() { return FScheduleList; }
    TNetSession& NetWare() { return *FNetWare; }
    /// What failed in the latest cycle, and in Execute Now calls since.
    const std::vector<TEntryFailure>& Failures() const { return FFailures; }
    /// The file that keeps the latest tested minute: in the log's folder, named after
    /// the schedule, so two schedules that share a log keep their own.
    std::string StateFileName() const;
    /// The latest minute tested: the memory's while switched on, else the state file's.
    std::optional<TLocalMinute> LatestTested() const;

    /// A child of this process has ended. When it is a program this scheduler started,
    /// logs "NAME ended with code N after S s" (or "ended by signal") and returns true.
    bool ProgramEnded(int pid, bool signalled, int code);
    /// The user stops a running run: SIGTERM to its program's process group now, SIGKILL
    /// from KillOverdue 10 s later; its end is recorded as "Stopped by the user". False
    /// when the run is not one of this scheduler's running programs.
    bool StopRun(std::int64_t record);
    /// SIGTERM to the runs past their entry's time limit (running time, a suspend not
    /// counted), SIGKILL to the stopped runs that outlived their 10 s.
    void KillOverdue();
    /// The CLOCK_MONOTONIC moment (TClock::RunNanos) at which KillOverdue has work next;
    /// nullopt while no running program has a limit or a grace running out.
    std::optional<std::int64_t> NextOverdue() const;
    /// Releases what running programs, and what their sessions left running after them,
    /// wrote past OutputCap, once a second at most: a cap checked once a minute let a
    /// fast writer fill the disk first.
    void HoldOutputs();
    /// The CLOCK_MONOTONIC moment at which HoldOutputs has work next, at most a second
    /// after the latest; nullopt while no output may grow.
    std::optional<std::int64_t> NextOutputHold() const;
    /// Whether a program this scheduler started may still run: its end not yet told.
    bool HasRunningPrograms() const;
    /// Readable when a run started before a restart may have ended (-1: never); then
    /// FollowInherited. Every cycle looks as well.
    int InheritedFd() const { return FInheritedWatch.Fd(); }
    /// Closes the records of the inherited runs that have ended, and logs their ends.
    void FollowInherited();
    /// Readable when the recorder has news (-1: no recorder); then TakeRecordNews.
    int RecordsFd() const;
    /// Logs and tells what the recorder has to say.
    void TakeRecordNews();

private:
    void StartEntryProgram(const TSchedule& entry, TRunTrigger trigger);
    void ResetTimeFromServer(const TSchedule& entry, TRunTrigger trigger);
    /// Records a run as it begins; 0 when nothing is recorded.
    std::int64_t BeginRecord(const TSchedule& entry, TRunTrigger trigger);
    /// A run's record with its key and start, not handed to the recorder yet.
    std::optional<TStoredRun> NewRecord(const TSchedule& entry, TRunTrigger trigger);
    /// Hands a record from NewRecord to the recorder; nothing for none.
    void KeepRecord(const std::optional<TStoredRun>& run);
    void FinishRecord(std::int64_t id, const std::string& result, bool failure);
    /// A failing store costs the records, never a run: logged once until it works again.
    void RecordFailed(const std::exception& error);
    /// Frees what running programs, and what their sessions left running, wrote past
    /// OutputCap; closes the records of outputs whose sessions have ended.
    void CapOutputs();
    /// Whether some output may still grow.
    bool HoldsOutputs() const;
    void CheckForChanges();
    void RunDueEntry(std::int32_t index, TRunTrigger trigger);
    /// The entries that catch up in this plan's cycle, by index, with the latest minute
    /// each missed.
    std::map<std::int32_t, TLocalMinute> MissedRuns(const TCyclePlan& plan) const;
    /// With Overlap=Skip and its previous run still going: logs and records the skip.
    bool SkipsOverlap(const TSchedule& entry, TRunTrigger trigger);
    bool IsDueInPlan(const TSchedule& entry, const TCyclePlan& plan,
                     const std::vector<TDueMoment>& minutes, std::int32_t index,
                     std::optional<TLocalMinute> stopped) const;
    void ReadState();
    /// At the start: the runs an earlier scheduler started whose records may be
    /// incomplete go to the recorder, and those still running are followed.
    void InheritRuns();
    struct TRunningProgram;
    static TStartedRun StartedRunOf(const TRunningProgram& program);
    /// Follows a run started before this scheduler; false when it is no longer running.
    bool Inherit(const TStoredRun& run, std::int64_t bootNs, std::int64_t runNs,
                 std::int32_t timeLimit);
    void LogInherited(const TStoredRun& run);
    /// Logs, records and tells the end of a program: `inherited` for one an earlier
    /// scheduler started.
    void ConcludeEnd(int pid, TRunningProgram program, bool signalled, int code);
    /// Writes the state; a failure is kept for KeepStateError and not raised, so the
    /// pass that wrote it goes on.
    void WriteState();
    /// Logs and raises a failure of the state file, once it has been met.
    void ReportStateError();
    /// Logs a change on disk that the list did not load over unsaved edits, once.
    void LogKeptChange();
    void Notify(TRunEvent event);

    struct TRunningProgram {
        std::string Name;
        TRunTrigger Trigger = TRunTrigger::Schedule;
        std::string Command, Parameters;          // as the schedule holds them
        std::optional<TProcessIdentity> Process;  // once known
        bool Inherited = false;                   // an earlier scheduler started it
        TDateTime Started = 0;                    // local, as the skip of an overlap tells it
        std::int64_t StartedBootNs = 0;           // durations do not follow steps of the wall clock
        std::int64_t StartedRunNs = 0;            // the time limit counts running time only
        std::int32_t TimeLimit = 0;               // minutes; 0: none
        std::int64_t Record = 0;                  // its run in the store, 0 for none
        bool OutputCut = false;                   // it wrote past OutputCap
        bool ByUser = false;                      // stopped by the user rather than at its limit
        std::optional<std::int64_t> StoppedRunNs; // when SIGTERM went
        bool Killed = false;                      // SIGKILL went too
        TOwnFd Output{-1};                        // its output file, to hold it to the cap
    };
    /// A run that has ended while processes of its session go on writing its output.
    struct TLingeringOutput {
        std::int64_t Record = 0;
        int Session = 0;
        TOwnFd Output{-1};
        TRunEnd End; // its end as recorded; its output is cut once the session has ended
    };
    std::vector<TLingeringOutput> FLingering;
    std::int64_t FNextCapNs = 0; // CLOCK_MONOTONIC: the next look at the outputs
    /// An entry of a pass, by position and name: what a stopped pass already started.
    using TPassEntry = std::pair<std::int32_t, std::string>;
    std::map<int, TRunningProgram> FRunning;
    /// PlayedRunMs: each entry's latest played start and when it would end, by name.
    std::map<std::string, std::pair<TDateTime, TDateTime>> FPlayed;
    /// Ended runs whose records the recorder may not have written yet: the state file
    /// keeps them until it has, so a crash loses none.
    std::map<std::int64_t, TStartedRun> FUnwritten;
    /// The processes of inherited runs (FRunning's Inherited ones).
    TProcessWatch FInheritedWatch;

    TSchedList& FScheduleList;
    TSchedulerServices FServices;
    TDateTime FCycleTime = 0;
    TDueMoment FCycleMoment = SplitMoment(0);
    std::unique_ptr<TNetSession> FNetWare;
    bool FEnabled = false;
    std::unique_ptr<TLog> FLog;
    TParameterExpander FExpander;
    TCycleMemory FMemory;
    /// The minute of a pass under way or stopped by a failure, and what it started.
    std::optional<TLocalMinute> FPassMinute;
    std::set<TPassEntry> FPassStarted;
    std::optional<EInOutError> FStateError;
    bool FStateWritten = false; // the file says what the memory says
    std::vector<TEntryFailure> FFailures;
    /// The loaded list's time fields that read as something else are yet to be logged.
    bool FLenientFieldsDue = false;
    std::uint32_t FLoggedKeptChanges = 0;
    bool FRecordFailureTold = false;
    bool FPruneDue = true; // the store is pruned after runs were recorded
};

} // namespace vantle
