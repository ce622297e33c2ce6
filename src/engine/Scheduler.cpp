#include "engine/Scheduler.h"

#include "engine/CatchUp.h"
#include "engine/LenientFieldLog.h"
#include "platform/ExecutablePath.h"
#include "platform/FileWriter.h"
#include "platform/ProcessIdentity.h"
#include "platform/TextUtils.h"
#include "sched/ClockChanges.h"
#include "sched/SchedFile.h"
#include "sched/TimeField.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vantle {

const std::int32_t ShowCommands[4] = {1, 3, 6, 0};

std::string EnabledText(bool value) {
    return value ? "Enabled" : "Disabled";
}

namespace {

constexpr std::size_t MaxWatchedPrograms = 4096;

// Every piece a caller left out is the real one of this machine.
TSchedulerServices WithDefaults(TSchedulerServices services) {
    bool needSystem = services.Clock == nullptr || services.Environment == nullptr ||
                      services.Starter == nullptr || services.ClockSetter == nullptr ||
                      services.FormatSettings == nullptr || !services.MakeSession ||
                      services.ExecutablePath.empty();
    if (needSystem) {
        TSchedulerServices system = SystemSchedulerServices();
        if (services.Clock == nullptr)
            services.Clock = system.Clock;
        if (services.Environment == nullptr)
            services.Environment = system.Environment;
        if (services.Starter == nullptr)
            services.Starter = system.Starter;
        if (services.ClockSetter == nullptr)
            services.ClockSetter = system.ClockSetter;
        if (services.FormatSettings == nullptr)
            services.FormatSettings = system.FormatSettings;
        if (!services.MakeSession)
            services.MakeSession = system.MakeSession;
        if (services.ExecutablePath.empty())
            services.ExecutablePath = system.ExecutablePath;
    }
    if (!services.MakeLog) {
        const TClock* clock = services.Clock;
        services.MakeLog = [clock](const std::string& path) {
            return std::make_unique<TLog>(path, *clock);
        };
    }
    return services;
}

TSystemTime SystemTimeOf(TDateTime utc) {
    TDateParts date = DecodeDate(utc);
    TTimeParts time = DecodeTime(utc);
    TSystemTime record;
    record.Year = static_cast<std::uint16_t>(date.Year);
    record.Month = static_cast<std::uint16_t>(date.Month);
    record.DayOfWeek = static_cast<std::uint16_t>(WeekDayOf(utc));
    record.Day = static_cast<std::uint16_t>(date.Day);
    record.Hour = static_cast<std::uint16_t>(time.Hour);
    record.Minute = static_cast<std::uint16_t>(time.Minute);
    record.Second = static_cast<std::uint16_t>(time.Second);
    record.Milliseconds = static_cast<std::uint16_t>(time.MSec);
    return record;
}

// Of the readings of the server's local time, the one nearest the workstation's
// clock: in the repeated autumn hour the other one is an hour off.
TDateTime ServerTimeAsUtc(TDateTime serverLocal, const std::timespec& nowUtc) {
    std::vector<std::timespec> readings = LocalReadings(serverLocal);
    if (readings.empty())
        return LocalToUtc(serverLocal); // inside a spring gap: the zone rules move it on
    const std::timespec* nearest = &readings.front();
    for (const std::timespec& reading : readings)
        if (std::llabs(MSecsBetween(nowUtc, reading)) < std::llabs(MSecsBetween(nowUtc, *nearest)))
            nearest = &reading;
    return UtcDateTimeOf(*nearest);
}

// Which text handed to the starter holds a NUL byte, as a failure says it; null for none.
const char* NulByteHolder(const TSchedule& entry) {
    if (entry.Command.find('\0') != std::string::npos)
        return "the command holds a NUL byte";
    if (entry.Parms.find('\0') != std::string::npos)
        return "the parameters hold a NUL byte";
    if (entry.WorkDir.find('\0') != std::string::npos)
        return "the working directory holds a NUL byte";
    return nullptr;
}

} // namespace

TScheduler::TScheduler(TSchedList& scheduleList, TSchedulerServices services)
    : FScheduleList(scheduleList), FServices(WithDefaults(std::move(services))),
      FNetWare(FServices.MakeSession()),
      FLog(FServices.MakeLog(FServices.LogFile.empty()
                                 ? ChangeFileExt(FServices.ExecutablePath, ".LOG")
                                 : FServices.LogFile)),
      FExpander(*FServices.Clock, *FServices.Environment, *FServices.FormatSettings) {
    FLog->SetMaxSize(FServices.MaxLogSize);
    InheritRuns();
}

TScheduler::~TScheduler() {
    // Outputs of sessions that outlive the scheduler are cut now, as at any end.
    if (FServices.Recorder != nullptr)
        for (TLingeringOutput& lingering : FLingering)
            FServices.Recorder->Finish(lingering.Record, lingering.End);
    // The runs whose records are still on their way are kept for the next start.
    WriteState();
    try {
        SetEnabled(false);
    } catch (...) {
        // A log that cannot be written must not turn shut-down into a crash.
    }
    FNetWare.reset();
    FLog.reset();
}

void TScheduler::SetEnabled(bool value) {
    if (value == FEnabled)
        return;
    FEnabled = value;
    if (value)
        ReadState();
    FLenientFieldsDue = value; // told at the first cycle, once the list is loaded
    FLog->WriteFmt("Scheduler has been %s", {EnabledText(value)});
}

void TScheduler::RunCycle() {
    if (!FEnabled)
        return;
    TSchedListLock lock(FScheduleList);
    FFailures.clear();
    TakeRecordNews();
    FollowInherited();
    FCycleTime = FServices.Clock->Now();
    FCycleMoment = SplitMoment(FCycleTime);
    CheckForChanges();
    LogKeptChange();
    TCyclePlan plan = FMemory.Plan(LocalMinuteOf(FCycleTime));
    if (plan.Kind == TCycleKind::Nothing) {
        ReportStateError();
        return;
    }
    if (plan.HeldBack && plan.Latest)
        FLog->WriteFmt("The clock is behind the latest minute tested (%s); entries with a "
                       "fixed minute and hour wait until then",
                       {MinuteText(*plan.Latest, true)});
    const std::map<std::int32_t, TLocalMinute> missed = MissedRuns(plan);
    if (plan.Kind == TCycleKind::ClockMoved && plan.Previous)
        FLog->WriteFmt(missed.empty()
                           ? "Clock moved from %s to %s; missed minutes not run"
                           : "Clock moved from %s to %s; entries that catch up run once for "
                             "the minutes missed",
                       {MinuteText(*plan.Previous, true), MinuteText(plan.To, true)});
    if (plan.Kind == TCycleKind::Minutes && plan.From < plan.To)
        FLog->WriteFmt("Running entries due since %s", {MinuteText(plan.From, false)});
    // A pass that a failure stopped is taken up again, without what it had started.
    std::optional<TLocalMinute> stopped = FPassMinute;
    if (!stopped || *stopped < plan.From || *stopped > plan.To) {
        stopped.reset();
        FPassStarted.clear();
    }
    FPassMinute = plan.To;
    std::vector<TDueMoment> minutes;
    if (plan.Kind == TCycleKind::Minutes)
        for (TLocalMinute m = plan.From; m <= plan.To; ++m)
            minutes.push_back(SplitMoment(MomentOfMinute(m)));
    bool passWritten = false;
    std::int32_t count = FScheduleList.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        const TSchedule& entry = FScheduleList.Items(i);
        if (!entry.Active)
            continue;
        TRunTrigger trigger = TRunTrigger::Schedule;
        if (!IsDueInPlan(entry, plan, minutes, i, stopped)) {
            auto found = missed.find(i);
            if (found == missed.end() || (stopped && FPassStarted.count({i, entry.Name}) > 0))
                continue;
            trigger = TRunTrigger::CatchUp;
            FLog->WriteFmt("Running %s, missed at %s",
                           {entry.Name, MinuteText(found->second, true)});
        }
        TPassEntry key{i, entry.Name};
        if (!SkipsOverlap(entry, trigger))
            RunDueEntry(i, trigger);
        // Kept at once: a pass stopped after this point must not start it again.
        FPassStarted.insert(std::move(key));
        WriteState();
        passWritten = true;
    }
    FPassMinute.reset();
    FPassStarted.clear();
    bool moved = FMemory.Latest() != plan.Latest;
    FMemory.Complete(plan);
    // A minute already tested leaves the latest one, and so the file, as it was.
    if (moved || passWritten || !FStateWritten)
        WriteState();
    // After the starts, so that keeping the store small never delays a program.
    if (FPruneDue && FServices.Recorder != nullptr) {
        FPruneDue = false;
        FServices.Recorder->Prune(FServices.KeptRuns, FServices.KeptBytes);
    }
    ReportStateError();
}

void TScheduler::CheckForChanges() {
    bool reloaded = false;
    try {
        reloaded = FScheduleList.CheckFileChanged();
    } catch (const ENoFileName&) {
        throw;
    } catch (const Exception& e) {
        // Unreadable, or not a schedule: the last good list keeps running. The list
        // does not try a broken file again until it changes, so this is told once.
        FLog->WriteFmt("INI file could not be loaded: %s; the previous schedule stays in use",
                       {std::string(e.what())});
        return;
    }
    if (reloaded)
        FLog->WriteLine("INI file changed, new schedule loaded");
    if (std::exchange(FLenientFieldsDue, false) || reloaded)
        LogLenientFields(*FLog, FScheduleList);
}

bool TScheduler::IsDueInPlan(const TSchedule& entry, const TCyclePlan& plan,
                             const std::vector<TDueMoment>& minutes, std::int32_t index,
                             std::optional<TLocalMinute> stopped) const {
    // Started by a stopped pass that reached `stopped`: due only at the minutes after it.
    const bool startedAlready = stopped && FPassStarted.count({index, entry.Name}) > 0;
    switch (plan.Kind) {
    case TCycleKind::Minutes:
        for (std::size_t k = 0; k < minutes.size(); ++k)
            if (IsDue(entry, minutes[k]) &&
                !(startedAlready && plan.From + static_cast<TLocalMinute>(k) <= *stopped))
                return true;
        return false;
    case TCycleKind::RepeatedOnly:
        // A minute already tested comes round again: what runs every minute or every
        // hour runs as usual, what is fixed to one time of day has had its run.
        return !startedAlready && RunsInRepeatedMinutes(entry) && IsDue(entry, FCycleMoment);
    case TCycleKind::ClockMoved:
        return !startedAlready && IsDue(entry, FCycleMoment);
    case TCycleKind::Nothing:
        break;
    }
    return false;
}

std::map<std::int32_t, TLocalMinute> TScheduler::MissedRuns(const TCyclePlan& plan) const {
    std::map<std::int32_t, TLocalMinute> missed;
    if (!plan.MissedFrom || plan.Kind == TCycleKind::Nothing)
        return missed;
    for (std::int32_t i = 0; i < FScheduleList.Count(); ++i)
        if (auto minute = MissedMinute(FScheduleList.Items(i), *plan.MissedFrom, plan.To))
            missed.emplace(i, *minute);
    return missed;
}

bool TScheduler::SkipsOverlap(const TSchedule& entry, TRunTrigger trigger) {
    if (entry.Overlap != TOverlap::Skip || entry.CommandType == ctBuiltinResetTime)
        return false;
    int pid = 0;
    TDateTime started = 0;
    // Runs started before a restart count as well: they are followed to their end.
    for (const auto& [runningPid, program] : FRunning) {
        if (program.Name == entry.Name) {
            pid = runningPid;
            started = program.Started;
            break;
        }
    }
    if (pid == 0 && FServices.PlayedRunMs) {
        auto played = FPlayed.find(entry.Name);
        if (played == FPlayed.end() || FCycleTime >= played->second.second)
            return false;
        FLog->WriteFmt("%s skipped: the run started at %s is still running (played)",
                       {entry.Name, MinuteText(LocalMinuteOf(played->second.first), false)});
        return true;
    }
    if (pid == 0)
        return false;
    FLog->WriteFmt("%s skipped: the run started at %s is still running (process %d)",
                   {entry.Name, MinuteText(LocalMinuteOf(started), false), std::int64_t{pid}});
    FinishRecord(BeginRecord(entry, trigger), "Skipped", false);
    TRunEvent event;
    event.Kind = TRunEvent::Skipped;
    event.Name = entry.Name;
    event.Pid = pid;
    Notify(std::move(event));
    return true;
}

void TScheduler::RunDueEntry(std::int32_t index, TRunTrigger trigger) {
    std::string name = FScheduleList.Items(index).Name;
    try {
        ExecuteEntry(index, trigger);
    } catch (const EInOutError&) {
        throw; // the log: nothing may run without its line
    } catch (const std::exception& e) {
        FFailures.push_back({name, e.what()});
        FLog->WriteFmt("%s failed: %s", {name, std::string(e.what())});
    }
}

std::string TScheduler::StateFileName() const {
    return StateFileOf(FScheduleList.FileName(), FLog->FileName());
}

std::optional<TLocalMinute> TScheduler::LatestTested() const {
    if (FEnabled || !FServices.KeepState)
        return FMemory.Latest();
    return LatestTestedIn(StateFileName());
}

void TScheduler::ReadState() {
    FStateError.reset();
    FStateWritten = false;
    FPassMinute.reset();
    FPassStarted.clear();
    if (!FServices.KeepState) {
        FMemory.Restart(std::nullopt);
        return;
    }
    TSchedulerState state;
    try {
        std::optional<std::string> content = ReadStateFile(StateFileName());
        // Before the state was named after the schedule it was named after the log.
        std::string older = ChangeFileExt(FLog->FileName(), ".STATE");
        if (!content && older != StateFileName())
            content = ReadStateFile(older);
        if (content) {
            state = ParseState(*content);
            FStateWritten = true;
        }
    } catch (const EInOutError& e) {
        FStateError = e;
    }
    FMemory.Restart(state.Latest);
    FPassMinute = state.Pass;
    FPassStarted = std::move(state.Started);
}

void TScheduler::WriteState() {
    if (!FServices.KeepState || !FMemory.Latest())
        return;
    TSchedulerState state;
    state.Latest = FMemory.Latest();
    state.Pass = FPassMinute;
    state.Started = FPassStarted;
    // Every run whose record may be incomplete: a crash then loses none of them.
    if (FServices.Recorder != nullptr) {
        const std::set<std::int64_t> pending = FServices.Recorder->PendingKeys();
        std::erase_if(FUnwritten, [&](const auto& run) { return !pending.contains(run.first); });
        for (const auto& [key, run] : FUnwritten)
            state.Runs.push_back(run);
    }
    for (const auto& [pid, program] : FRunning)
        if (program.Record != 0)
            state.Runs.push_back(StartedRunOf(program));
    try {
        ReplaceFileContent(StateFileName(), StateText(state), 0600);
        FStateWritten = true;
    } catch (const EInOutError& e) {
        FStateWritten = false;
        if (!FStateError)
            FStateError = e;
    }
}

void TScheduler::ReportStateError() {
    if (!FStateError)
        return;
    EInOutError error = *FStateError;
    FStateError.reset();
    FLog->WriteFmt("Could not keep the latest minute tested: %s", {DescribeError(error)});
    throw error;
}

void TScheduler::LogKeptChange() {
    if (FScheduleList.KeptChanges() == FLoggedKeptChanges)
        return;
    FLoggedKeptChanges = FScheduleList.KeptChanges();
    FLog->WriteLine("INI file changed by another program; unsaved changes kept");
}

void TScheduler::ExecuteEntry(std::int32_t index, TRunTrigger trigger) {
    TSchedListLock lock(FScheduleList);
    if (index < 0 || index >= FScheduleList.Count())
        return;
    const TSchedule& entry = FScheduleList.Items(index);
    if (!entry.Active)
        return;
    switch (entry.CommandType) {
    case ctDosCommand:
    case ctDirectExecute:
        StartEntryProgram(entry, trigger);
        break;
    case ctBuiltinResetTime:
        ResetTimeFromServer(entry, trigger);
        break;
    default:
        break;
    }
    // A cycle keeps the state after each entry; a run started outside one is kept here.
    if (trigger == TRunTrigger::ExecuteNow)
        WriteState();
}

void TScheduler::StartEntryProgram(const TSchedule& entry, TRunTrigger trigger) {
    FLog->WriteFmt(entry.CommandType == ctDosCommand ? "Executing %s (DOS Command %s)"
                                                     : "Executing %s (Command %s)",
                   {entry.Name, entry.Command});
    // The key and the output file come before the start; the record itself is handed to
    // the recorder after it, so that the recorder's thread does not take a core from the
    // start (and from the program's first moments) on a small machine.
    const std::optional<TStoredRun> run = NewRecord(entry, trigger);
    const std::int64_t record = run ? run->Id : 0;
    // A program gets its texts cut at the first NUL, so it would run with less than the
    // entry says: nothing starts. Told after the line above, as a parameter that cannot
    // be expanded is, so the log shows which command (its NUL as \x00).
    if (const char* nul = NulByteHolder(entry)) {
        FFailures.push_back({entry.Name, nul});
        FLog->WriteFmt("%s failed: %s", {entry.Name, std::string(nul)});
        KeepRecord(run);
        FinishRecord(record, std::string("Failed: ") + nul, true);
        return;
    }
    // The file and the dialog keep WinState within 0..3; anything else shows normally.
    std::size_t state = entry.WinState <= wsHidden ? entry.WinState : std::size_t{wsNormal};
    std::int32_t show = ShowCommands[state];
    std::string parameters;
    try {
        parameters = FExpander.ExpandParameters(entry.Parms);
    } catch (const std::exception& e) {
        KeepRecord(run);
        FinishRecord(record, std::string("Failed: ") + e.what(), true);
        throw;
    }
    // What the program prints goes to its run's output; without a record, nowhere.
    TOwnFd output;
    if (record != 0) {
        try {
            output = FServices.Recorder->Outputs().Create(record);
            FRecordFailureTold = false;
        } catch (const std::exception& e) {
            RecordFailed(e);
        }
    }
    TStartResult started;
    try {
        started =
            FServices.Starter->Start(entry.Command, parameters, entry.WorkDir, show, output.Get());
    } catch (...) {
        KeepRecord(run); // open, as a run whose end is not known
        throw;
    }
    KeepRecord(run);
    std::uint32_t code = started.Code;
    TRunEvent event;
    event.Kind = code <= 32 ? TRunEvent::Failed : TRunEvent::Started;
    event.Name = entry.Name;
    event.Code = code <= 32 ? code : 0;
    event.Pid = code <= 32 ? 0 : started.Pid;
    event.Record = record;
    if (code <= 32) {
        FFailures.push_back(
            {entry.Name, "could not start " + entry.Command + ": " + StartErrorText(code)});
        FLog->WriteFmt("%s Failed (%d)", {entry.Name, std::int64_t{code}});
        // The code alone says little: the reason, in the words the grid and the
        // notifications use.
        FLog->WriteLine(entry.Name + " could not start: " + StartErrorText(code));
        FinishRecord(record, "Failed: " + StartErrorText(code), true);
    } else if (event.Pid > 0) {
        // Without a reaper nobody tells of the ends; keep the memory bounded then.
        if (FRunning.size() >= MaxWatchedPrograms)
            FRunning.erase(FRunning.begin());
        TRunningProgram& program = FRunning[event.Pid];
        program = {};
        program.Name = entry.Name;
        program.Trigger = trigger;
        program.Command = entry.Command;
        program.Parameters = entry.Parms;
        program.Started = FServices.Clock->Now();
        program.StartedBootNs = FServices.Clock->BootNanos();
        program.StartedRunNs = FServices.Clock->RunNanos();
        program.TimeLimit = entry.TimeLimit;
        program.Record = record;
        // Kept to hold the output to its cap while the program writes.
        program.Output = std::move(output);
        if (record != 0) {
            // A reused process id is never taken for this run: it is known by its start
            // time and the boot too.
            program.Process = IdentifyProcess(event.Pid);
            if (program.Process)
                FServices.Recorder->SetProcess(record, *program.Process);
        }
    }
    if (FServices.PlayedRunMs && code > 32) {
        std::int64_t ms = FServices.PlayedRunMs(entry.Name);
        if (entry.TimeLimit > 0)
            ms = std::min(ms, std::int64_t{entry.TimeLimit} * 60'000);
        const TDateTime now = FServices.Clock->Now();
        FPlayed[entry.Name] = {now, FromMSecs(ToMSecs(now) + ms)};
    }
    Notify(std::move(event));
}

void TScheduler::ResetTimeFromServer(const TSchedule& entry, TRunTrigger trigger) {
    FLog->WriteFmt("Builtin ResetTime (%s)", {entry.Name});
    const std::int64_t record = BeginRecord(entry, trigger);
    TRunEvent event;
    event.Name = entry.Name;
    event.Record = record;
    if (!FNetWare->NetAvailable()) {
        FFailures.push_back({entry.Name, "no netware connection"});
        FLog->WriteFmt("Builtin %s failed; no netware connection", {entry.Name});
        FinishRecord(record, "No network connection", true);
        event.Kind = TRunEvent::NoNetwork;
        Notify(std::move(event));
        return;
    }
    // The server's clock carries no zone: it is local time, and the system clock is UTC.
    TDateTime utc = ServerTimeAsUtc(FNetWare->ServerDate(), FServices.Clock->UtcNow());
    if (int err = FServices.ClockSetter->SetSystemTime(SystemTimeOf(utc)); err != 0) {
        std::string reason = PlainErrorText(err);
        FFailures.push_back({entry.Name, "could not set the clock: " + reason});
        FLog->WriteFmt("Builtin %s failed; could not set the clock: %s", {entry.Name, reason});
        FinishRecord(record, "Clock not set: " + reason, true);
        event.Kind = TRunEvent::ClockNotSet;
        event.Code = err;
        Notify(std::move(event));
        return;
    }
    FinishRecord(record, "Clock set", false);
    event.Kind = TRunEvent::ClockSet;
    Notify(std::move(event));
}

std::int64_t TScheduler::BeginRecord(const TSchedule& entry, TRunTrigger trigger) {
    const std::optional<TStoredRun> run = NewRecord(entry, trigger);
    KeepRecord(run);
    return run ? run->Id : 0;
}

std::optional<TStoredRun> TScheduler::NewRecord(const TSchedule& entry, TRunTrigger trigger) {
    if (FServices.Recorder == nullptr)
        return std::nullopt;
    TStoredRun run;
    run.Id = FServices.Recorder->NewKey();
    run.Name = entry.Name;
    // As written in the schedule: an expansion may hold what should not be kept.
    run.Command = entry.Command;
    run.Parameters = entry.Parms;
    run.Trigger = trigger;
    run.Started = FServices.Clock->Now();
    return run;
}

void TScheduler::KeepRecord(const std::optional<TStoredRun>& run) {
    if (!run)
        return;
    FServices.Recorder->Begin(*run);
    FPruneDue = true;
}

void TScheduler::FinishRecord(std::int64_t id, const std::string& result, bool failure) {
    if (id == 0)
        return;
    TRunEnd end;
    end.Ended = FServices.Clock->Now();
    end.Result = result;
    end.Failure = failure;
    FServices.Recorder->Finish(id, end);
}

void TScheduler::RecordFailed(const std::exception& error) {
    if (FRecordFailureTold)
        return;
    FRecordFailureTold = true;
    try {
        FLog->WriteFmt("Could not record the run: %s", {DescribeError(error)});
    } catch (...) {
        // The run itself goes on; the log's own failure shows at its next line.
    }
}

void TScheduler::CapOutputs() {
    FNextCapNs = FServices.Clock->RunNanos() + OutputCapCheckNs;
    if (FServices.Recorder == nullptr)
        return;
    for (auto& [pid, program] : FRunning) {
        try {
            if (program.Output.Get() >= 0 &&
                DropOutputPast(program.Output.Get(), FServices.OutputCap) > FServices.OutputCap)
                program.OutputCut = true;
        } catch (const std::exception&) {
            // Checked again within a second.
        }
    }
    for (auto lingering = FLingering.begin(); lingering != FLingering.end();) {
        try {
            if (DropOutputPast(lingering->Output.Get(), FServices.OutputCap) > FServices.OutputCap)
                lingering->End.OutputCut = true;
        } catch (const std::exception&) {
            // As above.
        }
        if (SessionHasProcesses(lingering->Session)) {
            ++lingering;
            continue;
        }
        FServices.Recorder->Finish(lingering->Record, lingering->End);
        lingering = FLingering.erase(lingering);
    }
}

bool TScheduler::HoldsOutputs() const {
    return !FLingering.empty() ||
           std::any_of(FRunning.begin(), FRunning.end(),
                       [](const auto& running) { return running.second.Output.Get() >= 0; });
}

bool TScheduler::ProgramEnded(int pid, bool signalled, int code) {
    auto found = FRunning.find(pid);
    if (found == FRunning.end() || found->second.Inherited)
        return false; // an orphan of a started program, or not ours at all
    TRunningProgram program = std::move(found->second);
    FRunning.erase(found);
    ConcludeEnd(pid, std::move(program), signalled, code);
    return true;
}

void TScheduler::ConcludeEnd(int pid, TRunningProgram program, bool signalled, int code) {
    TRunEvent event;
    event.Kind = program.Inherited ? TRunEvent::Followed
                 : signalled       ? TRunEvent::Signalled
                                   : TRunEvent::Exited;
    event.Name = program.Name;
    event.Record = program.Record;
    event.Pid = pid;
    event.ByUser = program.StoppedRunNs && program.ByUser;
    if (program.StoppedRunNs && !program.ByUser)
        event.TimeLimit = program.TimeLimit;
    event.Code = code;
    event.Moment = FServices.Clock->Now();
    const std::int64_t ranNs = FServices.Clock->BootNanos() - program.StartedBootNs;
    event.Seconds = std::max<std::int64_t>(0, std::llround(static_cast<double>(ranNs) / 1e9));
    if (program.Inherited)
        FLog->WriteFmt("%s ended after the scheduler restarted, %d s after its start",
                       {program.Name, event.Seconds});
    else
        FLog->WriteFmt(signalled ? "%s ended by signal %d after %d s"
                                 : "%s ended with code %d after %d s",
                       {program.Name, std::int64_t{code}, event.Seconds});
    if (program.Record != 0) {
        TRunEnd end;
        end.Ended = event.Moment;
        end.DurationMs = std::max<std::int64_t>(0, ranNs / 1'000'000);
        // The code of a program an earlier scheduler started is not known here.
        end.Result = program.Inherited ? EndedAfterRestartResult
                     : signalled       ? "Killed by signal " + std::to_string(code)
                                       : "Exited " + std::to_string(code);
        end.Failure = !program.Inherited && (signalled || code != 0);
        if (event.ByUser) {
            end.Result = "Stopped by the user";
            end.Failure = false;
        } else if (event.TimeLimit > 0) {
            // A run its limit stopped did not do its work: a failure, whatever its code.
            end.Result = "Stopped at time limit";
            end.Failure = true;
        }
        end.HasOutput = true;
        end.OutputCut = program.OutputCut;
        end.OutputCap = FServices.OutputCap;
        end.OutputKeep = FServices.OutputKeep;
        // What the program left running in its session may write on: the record is
        // closed now, and its output held to the cap until the session has ended too.
        if (program.Output.Get() >= 0 && SessionHasProcesses(pid)) {
            end.OutputOpen = true;
            FServices.Recorder->Finish(program.Record, end);
            end.OutputOpen = false;
            FLingering.push_back({program.Record, pid, std::move(program.Output), end});
        } else {
            FServices.Recorder->Finish(program.Record, end);
        }
        FUnwritten[program.Record] = StartedRunOf(program);
        FPruneDue = true;
        WriteState();
    }
    Notify(std::move(event));
}

TStartedRun TScheduler::StartedRunOf(const TRunningProgram& program) {
    TStartedRun run;
    run.Run.Id = program.Record;
    run.Run.Name = program.Name;
    run.Run.Command = program.Command;
    run.Run.Parameters = program.Parameters;
    run.Run.Trigger = program.Trigger;
    run.Run.Started = program.Started;
    run.Run.Process = program.Process;
    run.StartedBootNs = program.StartedBootNs;
    run.StartedRunNs = program.StartedRunNs;
    run.TimeLimit = program.TimeLimit;
    return run;
}

namespace {

// To the program's whole group (it leads a session of its own), or the program alone. A
// program an earlier scheduler started is signalled only while it is still that program.
bool SignalProgram(int pid, const std::optional<TProcessIdentity>& inherited, int signal) {
    if (inherited && !StillRunning(*inherited))
        return false;
    return ::kill(-pid, signal) == 0 || ::kill(pid, signal) == 0;
}

} // namespace

bool TScheduler::StopRun(std::int64_t record) {
    for (auto& [pid, program] : FRunning) {
        if (program.Record != record || record == 0)
            continue;
        // The program leads a session of its own: its whole group goes, helpers included.
        if (!SignalProgram(pid, program.Inherited ? program.Process : std::nullopt, SIGTERM))
            return false;
        if (!program.StoppedRunNs)
            program.StoppedRunNs = FServices.Clock->RunNanos();
        program.ByUser = true;
        FLog->WriteFmt("%s stopped by the user", {program.Name});
        return true;
    }
    return false;
}

namespace {

std::int64_t LimitNs(std::int32_t minutes) {
    return std::int64_t{minutes} * 60 * 1'000'000'000;
}

} // namespace

void TScheduler::KillOverdue() {
    const std::int64_t now = FServices.Clock->RunNanos();
    for (auto& [pid, program] : FRunning) {
        if (!program.StoppedRunNs && program.TimeLimit > 0 &&
            now - program.StartedRunNs >= LimitNs(program.TimeLimit)) {
            SignalProgram(pid, program.Inherited ? program.Process : std::nullopt, SIGTERM);
            program.StoppedRunNs = now;
            FLog->WriteFmt("%s stopped after %s (time limit)",
                           {program.Name, CountOf(program.TimeLimit, "minute", "minutes")});
        } else if (program.StoppedRunNs && !program.Killed &&
                   now - *program.StoppedRunNs >= StopGraceNs) {
            SignalProgram(pid, program.Inherited ? program.Process : std::nullopt, SIGKILL);
            program.Killed = true;
        }
    }
}

std::optional<std::int64_t> TScheduler::NextOverdue() const {
    std::optional<std::int64_t> next;
    for (const auto& [pid, program] : FRunning) {
        std::optional<std::int64_t> at;
        if (program.StoppedRunNs && !program.Killed)
            at = *program.StoppedRunNs + StopGraceNs;
        else if (!program.StoppedRunNs && program.TimeLimit > 0)
            at = program.StartedRunNs + LimitNs(program.TimeLimit);
        if (at && (!next || *at < *next))
            next = at;
    }
    return next;
}

void TScheduler::HoldOutputs() {
    if (FServices.Clock->RunNanos() >= FNextCapNs && HoldsOutputs())
        CapOutputs();
}

std::optional<std::int64_t> TScheduler::NextOutputHold() const {
    return HoldsOutputs() ? std::optional(FNextCapNs) : std::nullopt;
}

bool TScheduler::HasRunningPrograms() const {
    return std::any_of(FRunning.begin(), FRunning.end(),
                       [](const auto& running) { return !running.second.Inherited; });
}

void TScheduler::InheritRuns() {
    std::vector<TStoredRun> unfinished;
    try {
        std::optional<std::string> content;
        if (FServices.KeepState)
            content = ReadStateFile(StateFileName());
        for (const TStartedRun& started :
             content ? ParseState(*content).Runs : std::vector<TStartedRun>{}) {
            unfinished.push_back(started.Run);
            if (Inherit(started.Run, started.StartedBootNs, started.StartedRunNs,
                        started.TimeLimit))
                LogInherited(started.Run);
        }
    } catch (const std::exception&) {
        // An unreadable state is told when the scheduler is switched on.
    }
    // The store learns of them on its own thread: what is missing is written, what ended
    // meanwhile is closed, and open runs it knows of that still run come back as news.
    if (FServices.Recorder != nullptr)
        FServices.Recorder->Recover(unfinished);
}

bool TScheduler::Inherit(const TStoredRun& run, std::int64_t bootNs, std::int64_t runNs,
                         std::int32_t timeLimit) {
    if (!run.Process || FRunning.contains(run.Process->Pid) || !FInheritedWatch.Add(*run.Process))
        return false;
    TRunningProgram& program = FRunning[run.Process->Pid];
    program.Name = run.Name;
    program.Trigger = run.Trigger;
    program.Command = run.Command;
    program.Parameters = run.Parameters;
    program.Process = run.Process;
    program.Inherited = true;
    program.Started = run.Started;
    program.StartedBootNs = bootNs;
    program.StartedRunNs = runNs;
    program.TimeLimit = timeLimit;
    program.Record = run.Id;
    if (FServices.Recorder != nullptr) {
        try {
            program.Output = FServices.Recorder->Outputs().Open(run.Id);
        } catch (const std::exception&) {
            // Followed all the same; its output is not held to the cap.
        }
    }
    return true;
}

void TScheduler::FollowInherited() {
    for (int pid : FInheritedWatch.TakeEnded()) {
        auto found = FRunning.find(pid);
        if (found == FRunning.end() || !found->second.Inherited)
            continue;
        TRunningProgram program = std::move(found->second);
        FRunning.erase(found);
        ConcludeEnd(pid, std::move(program), false, 0);
    }
}

void TScheduler::LogInherited(const TStoredRun& run) {
    FLog->WriteFmt("%s started before the scheduler restarted and still runs (process %d): "
                   "followed to its end",
                   {run.Name, std::int64_t{run.Process->Pid}});
}

int TScheduler::RecordsFd() const {
    return FServices.Recorder != nullptr ? FServices.Recorder->NewsFd() : -1;
}

void TScheduler::TakeRecordNews() {
    if (FServices.Recorder == nullptr)
        return;
    for (TRecorderNews& news : FServices.Recorder->TakeNews()) {
        if (news.Kind == TRecorderNews::Inherited) {
            // Open runs the state file did not name (an older program's): their start
            // on the boot clock stands in for the one the state would have kept.
            const std::int64_t tick = 1'000'000'000 / std::max(1L, ::sysconf(_SC_CLK_TCK));
            for (const TStoredRun& run : news.Runs) {
                const std::int64_t bootNs = std::int64_t(run.Process->StartTicks) * tick;
                const std::int64_t runNs =
                    FServices.Clock->RunNanos() - (FServices.Clock->BootNanos() - bootNs);
                if (Inherit(run, bootNs, runNs, 0))
                    LogInherited(run);
            }
            continue;
        }
        if (news.Kind != TRecorderNews::Written)
            FLog->WriteLine(news.Text);
        TRunEvent event;
        event.Kind = TRunEvent::Records;
        event.Code = news.Kind;
        event.Text = news.Text;
        Notify(std::move(event));
    }
}

void TScheduler::Notify(TRunEvent event) {
    if (!FServices.OnRunEvent)
        return;
    if (event.Moment == 0)
        event.Moment = FServices.Clock->Now();
    FServices.OnRunEvent(event);
}

} // namespace vantle
