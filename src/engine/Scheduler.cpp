#include "engine/Scheduler.h"

#include "engine/CatchUp.h"
#include "engine/ClockOperation.h"
#include "engine/LenientFieldLog.h"
#include "platform/ExecutablePath.h"
#include "platform/ProcessIdentity.h"
#include "platform/TextUtils.h"
#include "sched/ClockChanges.h"
#include "sched/EnvironmentText.h"

#include <algorithm>
#include <utility>

namespace vantle {

const std::int32_t ShowCommands[4] = {1, 3, 6, 0};

std::string EnabledText(bool value) {
    return value ? "Enabled" : "Disabled";
}

bool TRunTicket::EndedBy(const TRunEvent& event) const {
    // A pid alone may be reused by a later run; the record tells them apart.
    return (event.Kind == TRunEvent::Exited || event.Kind == TRunEvent::Signalled) && Pid != 0 &&
           event.Pid == Pid && event.Record == Record;
}

TScheduler::TScheduler(TSchedList& scheduleList, TSchedulerServices services)
    : FScheduleList(scheduleList), FServices(WithSystemDefaults(std::move(services))),
      FState(FServices.KeepState), FNetWare(FServices.MakeSession()),
      FLog(FServices.MakeLog(FServices.LogFile.empty()
                                 ? ChangeFileExt(FServices.ExecutablePath, ".LOG")
                                 : FServices.LogFile)),
      FExpander(*FServices.Clock, *FServices.Environment, *FServices.FormatSettings),
      FOutputs(*FServices.Clock, FServices.Recorder, FServices.OutputCap, FServices.OutputKeep),
      FConclusion(*FLog, *FServices.Clock, FServices.Recorder, FOutputs, FRetries,
                  [this](const TRunEvent& event) { TellEvent(event); }),
      FPrograms(*FServices.Clock, *FServices.Signals, *FLog),
      FCommands(
          {.Log = FLog.get(),
           .Starter = FServices.Starter,
           .Expander = &FExpander,
           .Programs = &FPrograms,
           .Outputs = FServices.Recorder != nullptr ? &FServices.Recorder->Outputs() : nullptr,
           .ScheduleFile = FScheduleList.FileName(),
           .DefaultOnFailure = FServices.DefaultOnFailure,
           .DefaultOnRecovery = FServices.DefaultOnRecovery,
           .EntryOf = [this](const std::string& name) -> const TSchedule* {
               for (const TSchedule* entry : FScheduleList.Entries())
                   if (entry->Name == name)
                       return entry;
               return nullptr;
           },
           .Tell =
               [this](const std::string& text) {
                   TRunEvent event;
                   event.Kind = TRunEvent::Records;
                   event.Code = TRecorderNews::Failing;
                   event.Text = text;
                   FConclusion.Notify(event);
               }}) {
    FLog->SetMaxSize(FServices.MaxLogSize);
    InheritRuns();
}

TScheduler::~TScheduler() {
    // Outputs of sessions that outlive the scheduler are cut now, as at any end.
    FOutputs.CloseAll();
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
    if (value) {
        // Before the state was named after the schedule it was named after the log.
        TSchedulerState state =
            FState.Read(StateFileName(), ChangeFileExt(FLog->FileName(), ".STATE"));
        FMemory.Restart(state.Latest);
        FPassMinute = state.Pass;
        FPassStarted = std::move(state.Started);
        FRetries.Restore(state.Retries);
        FWaits.Restore(state.Waiting);
        FAlarm.Restore(state.Alarms);
        if (FServices.StartUpRuns)
            FStartUpFrom = FServices.Clock->RunNanos();
    } else {
        FStartUpFrom.reset();
    }
    FLenientFieldsDue = value; // told at the first cycle, once the list is loaded
    if (FServices.OnSwitch)
        FServices.OnSwitch(value);
    FLog->WriteFmt("Scheduler has been %s", {EnabledText(value)});
}

void TScheduler::RunCycle() {
    if (!FEnabled) {
        // Switched off by mistake is what the alarm is for; without alarms a switched-off
        // scheduler does nothing at all.
        const std::vector<const TSchedule*> entries = FScheduleList.Entries();
        if (std::any_of(entries.begin(), entries.end(),
                        [](const TSchedule* entry) { return entry->AlertAfter > 0; }))
            CheckOverdue();
        return;
    }
    TSchedListLock lock(FScheduleList);
    FConclusion.ClearFailures();
    TakeRecordNews();
    FollowInherited();
    FCycleTime = FServices.Clock->Now();
    FCycleMoment = SplitMoment(FCycleTime);
    CheckForChanges();
    if (FKeptChanges.Take(FScheduleList))
        FLog->WriteLine("INI file changed by another program; unsaved changes kept");
    TCyclePlan plan = FMemory.Plan(LocalMinuteOf(FCycleTime));
    if (plan.Kind == TCycleKind::Nothing) {
        CheckOverdue();
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
    // Switched off, changed or gone: what was to be tried again is not.
    FRetries.Prune(FScheduleList.Entries());
    FWaits.Prune(FScheduleList.Entries());
    TCycleConditions conditions(*FServices.Conditions);
    const bool startUp = StartUpDue();
    if (startUp)
        FStartUpFrom.reset();
    std::int32_t count = FScheduleList.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        const TSchedule& entry = FScheduleList.Items(i);
        if (!entry.Active)
            continue;
        TRunTrigger trigger = TRunTrigger::Schedule;
        TAttempt attempt = FirstAttempt(entry, trigger);
        bool waited = false;
        if (IsDueInPlan(entry, plan, minutes, i, stopped)) {
            FRetries.Drop(entry.Name); // a new due run, with a budget of its own
        } else if (auto found = missed.find(i);
                   found != missed.end() && !(stopped && FPassStarted.count({i, entry.Name}) > 0)) {
            trigger = TRunTrigger::CatchUp;
            FRetries.Drop(entry.Name);
            FLog->WriteFmt("Running %s, missed at %s",
                           {entry.Name, MinuteText(found->second, true)});
        } else if (std::optional<TPendingRetry> retry = FRetries.TakeDue(entry, plan.To)) {
            trigger = TRunTrigger::Retry;
            attempt = retry->Attempt;
            FLog->WriteFmt("Running %s again (attempt %d of %d)",
                           {entry.Name, std::int64_t{attempt.Number}, std::int64_t{attempt.Of}});
        } else if (startUp && entry.AtStart) {
            trigger = TRunTrigger::StartUp;
            attempt = FirstAttempt(entry, trigger);
            FLog->WriteFmt("Running %s at start-up", {entry.Name});
        } else if (const TWaitingRun* waiting = FWaits.Find(entry.Name)) {
            trigger = waiting->Trigger;
            attempt = waiting->Attempt;
            waited = true;
        } else {
            continue;
        }
        TPassEntry key{i, entry.Name};
        if (!StartsNow(entry, trigger, attempt, plan.To, conditions, waited)) {
            WriteState();
            passWritten = true;
            continue;
        }
        if (!SkipsOverlap(entry, trigger, attempt))
            RunDueEntry(i, trigger, attempt);
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
    if (moved || passWritten || !FState.Written())
        WriteState();
    // After the starts, so that keeping the store small never delays a program.
    if (FServices.Recorder != nullptr && FConclusion.TakePruneDue())
        FServices.Recorder->Prune(FServices.KeptRuns, FServices.KeptBytes);
    CheckOverdue();
    ReportStateError();
}

bool TScheduler::StartUpDue() const {
    // A minute after the switch-on, so what the entry needs (a desktop, a network) is up.
    return FStartUpFrom && FServices.Clock->RunNanos() - *FStartUpFrom >= 60'000'000'000;
}

bool TScheduler::StartsNow(const TSchedule& entry, TRunTrigger trigger, const TAttempt& attempt,
                           TLocalMinute now, TCycleConditions& conditions, bool waited) {
    // A wait that ran out is told once, as not run; a new due run after it waits anew.
    if (const TWaitingRun* waiting = FWaits.Find(entry.Name);
        waiting != nullptr && TWaitingRuns::PastLimit(*waiting, entry, now)) {
        if (std::optional<std::string> unmet = conditions.Unmet(entry)) {
            const TWaitingRun gaveUp = *FWaits.Take(entry.Name);
            FConclusion.Conclude(
                {.Kind = TRunOutcome::NotRun,
                 .Name = entry.Name,
                 .Record = FConclusion.BeginRecord(entry.Name, entry.Command, entry.Parms,
                                                   gaveUp.Trigger, gaveUp.Attempt),
                 .Text = *unmet,
                 .Trigger = gaveUp.Trigger,
                 .Attempt = gaveUp.Attempt});
            if (waited)
                return false;
        }
    }
    std::optional<std::string> unmet = conditions.Unmet(entry);
    if (!unmet) {
        if (std::optional<TWaitingRun> run = FWaits.Take(entry.Name); run && waited)
            FLog->WriteFmt("Running %s, due at %s, which waited: %s",
                           {entry.Name, MinuteText(run->Since, true), run->Reason});
        return true;
    }
    if (waited) {
        // Still waiting; a changed reason is news.
        TWaitingRun run = *FWaits.Find(entry.Name);
        run.Reason = *unmet;
        if (!FWaits.Wait(std::move(run)))
            return false;
    } else if (!FWaits.Wait({.Name = entry.Name,
                             .Trigger = trigger,
                             .Attempt = attempt,
                             .Since = now,
                             .Reason = *unmet})) {
        return false; // a later due run in place of the waiting one: no news
    }
    FLog->WriteFmt("%s waits: %s", {entry.Name, *unmet});
    TRunEvent event;
    event.Kind = TRunEvent::Waiting;
    event.Name = entry.Name;
    event.Text = *unmet;
    event.Trigger = trigger;
    event.Attempt = attempt.Number;
    FConclusion.Notify(std::move(event));
    return false;
}

void TScheduler::CheckOverdue() {
    TSchedListLock lock(FScheduleList);
    for (const TOverdue& overdue : FAlarm.Check(FScheduleList.Entries(), FServices.Clock->Now())) {
        FLog->WriteFmt("%s has not run well for %s",
                       {overdue.Name, CountOf(overdue.Hours, "hour", "hours")});
        TRunEvent event;
        event.Kind = TRunEvent::Overdue;
        event.Name = overdue.Name;
        event.Code = overdue.Hours;
        event.Result = "overdue";
        FConclusion.Notify(std::move(event));
    }
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
    if (plan.MissedFrom && plan.Kind != TCycleKind::Nothing)
        for (const TPendingCatchUp& pending : PendingCatchUps(
                 FScheduleList.Entries(), *plan.MissedFrom - 1, MomentOfMinute(plan.To)))
            missed.emplace(static_cast<std::int32_t>(pending.Index), pending.Missed);
    return missed;
}

bool TScheduler::SkipsOverlap(const TSchedule& entry, TRunTrigger trigger,
                              const TAttempt& attempt) {
    if (entry.Overlap != TOverlap::Skip || entry.CommandType == ctBuiltinResetTime)
        return false;
    TRunOutcome skip{
        .Kind = TRunOutcome::Skipped, .Name = entry.Name, .Trigger = trigger, .Attempt = attempt};
    // Runs started before a restart count as well: they are followed to their end.
    if (const auto* running = FPrograms.RunningOf(entry.Name)) {
        skip.Pid = running->first;
        skip.RunningSince = running->second.Started;
        skip.Record =
            FConclusion.BeginRecord(entry.Name, entry.Command, entry.Parms, trigger, attempt);
    } else if (!FServices.PlayedRunMs) {
        return false;
    } else if (auto played = FPrograms.PlayedRunning(entry.Name, FCycleTime)) {
        skip.RunningSince = *played;
    } else {
        return false;
    }
    FConclusion.Conclude(skip);
    return true;
}

void TScheduler::TellEvent(const TRunEvent& event) {
    // What counts as a good run for the alarm is what says "works again".
    if ((event.Kind == TRunEvent::Exited && event.Code == 0 && event.TimeLimit == 0 &&
         !event.ByUser) ||
        event.Kind == TRunEvent::ClockSet)
        FAlarm.Good(event.Name, event.Moment);
    // Only the run ExecuteNow begins is concluded within its call.
    if (FTicket != nullptr) {
        if (event.Kind == TRunEvent::Started) {
            FTicket->Record = event.Record;
            FTicket->Pid = event.Pid;
        } else if (std::optional<TRunVerdict> verdict = VerdictOf(event)) {
            FTicket->Record = event.Record;
            FTicket->Verdict = std::move(verdict);
        }
    }
    if (FServices.OnRunEvent)
        FServices.OnRunEvent(event);
    FCommands.See(event);
}

void TScheduler::RunDueEntry(std::int32_t index, TRunTrigger trigger, const TAttempt& attempt) {
    std::string name = FScheduleList.Items(index).Name;
    try {
        ExecuteEntry(index, trigger, attempt);
    } catch (const EInOutError&) {
        throw; // the log: nothing may run without its line
    } catch (const std::exception& e) {
        FConclusion.Conclude({.Kind = TRunOutcome::Failed, .Name = name, .Text = e.what()});
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

void TScheduler::WriteState() {
    // Every run whose record may be incomplete: a crash then loses none of them.
    FState.Write(StateFileName(),
                 {FMemory.Latest(), FPassMinute, FPassStarted, FPrograms.StartedRuns(),
                  FRetries.List(), FWaits.List(), FAlarm.List()},
                 FServices.Recorder);
}

void TScheduler::ReportStateError() {
    if (std::optional<EInOutError> error = FState.TakeError()) {
        FLog->WriteFmt("Could not keep the latest minute tested: %s", {DescribeError(*error)});
        throw *error;
    }
}

void TScheduler::ExecuteEntry(std::int32_t index, TRunTrigger trigger,
                              std::optional<TAttempt> attempt) {
    TSchedListLock lock(FScheduleList);
    if (index < 0 || index >= FScheduleList.Count())
        return;
    const TSchedule& entry = FScheduleList.Items(index);
    if (!entry.Active)
        return;
    const TAttempt first = attempt.value_or(FirstAttempt(entry, trigger));
    switch (entry.CommandType) {
    case ctDosCommand:
    case ctDirectExecute:
        StartEntryProgram(entry, trigger, first);
        break;
    case ctBuiltinResetTime:
        ResetTimeFromServer(entry, trigger, first);
        break;
    default:
        break;
    }
    // A cycle keeps the state after each entry; a run started outside one is kept here.
    if (trigger == TRunTrigger::ExecuteNow)
        WriteState();
}

std::optional<TRunTicket> TScheduler::ExecuteNow(std::int32_t index) {
    TSchedListLock lock(FScheduleList);
    if (index < 0 || index >= FScheduleList.Count() || !FScheduleList.Items(index).Active)
        return std::nullopt;
    TRunTicket ticket;
    const std::size_t failures = FConclusion.Failures().size();
    FTicket = &ticket;
    try {
        RunDueEntry(index, TRunTrigger::ExecuteNow,
                    FirstAttempt(FScheduleList.Items(index), TRunTrigger::ExecuteNow));
    } catch (...) {
        FTicket = nullptr;
        throw;
    }
    FTicket = nullptr;
    // A run that failed before its start (a NUL byte, an expansion) tells no event: the
    // failure list has its text, as its record's result does.
    if (!ticket.Verdict && FConclusion.Failures().size() > failures)
        ticket.Verdict = TRunVerdict{true, "Failed: " + FConclusion.Failures().back().Text};
    return ticket;
}

void TScheduler::StartEntryProgram(const TSchedule& entry, TRunTrigger trigger,
                                   const TAttempt& attempt) {
    FLog->WriteFmt(entry.CommandType == ctDosCommand ? "Executing %s (DOS Command %s)"
                                                     : "Executing %s (Command %s)",
                   {entry.Name, entry.Command});
    // The key and the output file come before the start; the record itself is handed to
    // the recorder after it, so that the recorder's thread does not take a core from the
    // start (and from the program's first moments) on a small machine.
    std::optional<TStoredRun> run =
        FConclusion.NewRecord(entry.Name, entry.Command, entry.Parms, trigger, attempt);
    if (run)
        run->Environment = EnvironmentNames(entry.Environment); // a value may be a secret
    const std::int64_t record = run ? run->Id : 0;
    if (FTicket != nullptr)
        FTicket->Record = record; // also for a run that fails before any event tells it
    TRunOutcome outcome{.Kind = TRunOutcome::Failed,
                        .Name = entry.Name,
                        .Record = record,
                        .Trigger = trigger,
                        .Attempt = attempt};
    // Nothing starts with less than the entry says. Told after the line above, as a
    // parameter that cannot be expanded is, so the log shows which command (NUL as \x00).
    if (const char* nul = NulByteHolder(entry)) {
        FConclusion.KeepRecord(run);
        outcome.Text = nul;
        FConclusion.Conclude(outcome);
        return;
    }
    // A pair the program could not be given fails the run rather than leaving it out.
    if (std::string fault = EnvironmentFault(entry.Environment); !fault.empty()) {
        FConclusion.KeepRecord(run);
        outcome.Text = std::move(fault);
        FConclusion.Conclude(outcome);
        return;
    }
    // The file and the dialog keep WinState within 0..3; anything else shows normally.
    std::size_t state = entry.WinState <= wsHidden ? entry.WinState : std::size_t{wsNormal};
    std::int32_t show = ShowCommands[state];
    std::string parameters;
    TStartExtras extras;
    try {
        parameters = FExpander.ExpandParameters(entry.Parms);
        for (const std::string& pair : entry.Environment) {
            const std::size_t value = pair.find('=') + 1;
            extras.Environment.push_back(pair.substr(0, value) +
                                         FExpander.ExpandParameters(pair.substr(value)));
        }
    } catch (const std::exception& e) {
        FConclusion.KeepRecord(run);
        outcome.Text = e.what();
        outcome.Raised = true;
        FConclusion.Conclude(outcome);
        throw;
    }
    // What the program prints goes to its run's output; without a record, nowhere.
    TOwnFd output;
    if (record != 0) {
        try {
            output = FServices.Recorder->Outputs().Create(record);
            FConclusion.RecordWorked();
        } catch (const std::exception& e) {
            FConclusion.RecordFailed(e);
        }
    }
    TStartResult started;
    try {
        started = extras.Environment.empty()
                      ? FServices.Starter->Start(entry.Command, parameters, entry.WorkDir, show,
                                                 output.Get())
                      : FServices.Starter->StartWith(entry.Command, parameters, entry.WorkDir, show,
                                                     output.Get(), extras);
    } catch (...) {
        FConclusion.KeepRecord(run); // open, as a run whose end is not known
        throw;
    }
    FConclusion.KeepRecord(run);
    if (!StartSucceeded(started.Code)) {
        outcome.Kind = TRunOutcome::CouldNotStart;
        outcome.Code = started.Code;
        outcome.Text = entry.Command;
        FConclusion.Conclude(outcome);
        return;
    }
    outcome.Kind = TRunOutcome::Started;
    outcome.Pid = started.Pid;
    if (started.Pid > 0) {
        TRunningProgram& program = FPrograms.Start(started.Pid, {.Name = entry.Name,
                                                                 .Trigger = trigger,
                                                                 .Command = entry.Command,
                                                                 .Parameters = entry.Parms,
                                                                 .TimeLimit = entry.TimeLimit,
                                                                 .Record = record,
                                                                 .Attempt = attempt});
        // Held to the cap while the program writes.
        FOutputs.Follow(record, std::move(output));
        if (record != 0) {
            // A reused process id is never taken for this run: it is known by its start
            // time and the boot too.
            program.Process = IdentifyProcess(started.Pid);
            if (program.Process)
                FServices.Recorder->SetProcess(record, *program.Process);
        }
    }
    // A play that fails ends at once, so its retries play out too.
    const bool playFails = FServices.PlayedRunFails && FServices.PlayedRunFails(entry.Name);
    if (FServices.PlayedRunMs && !playFails)
        FPrograms.Play(entry.Name, FServices.PlayedRunMs(entry.Name), entry.TimeLimit);
    FConclusion.Conclude(outcome);
    if (playFails) {
        outcome.Kind = TRunOutcome::Exited;
        outcome.Code = 1;
        FConclusion.Conclude(outcome);
    }
}

void TScheduler::ResetTimeFromServer(const TSchedule& entry, TRunTrigger trigger,
                                     const TAttempt& attempt) {
    FLog->WriteFmt("Builtin ResetTime (%s)", {entry.Name});
    TRunOutcome outcome{
        .Kind = TRunOutcome::ClockSet,
        .Name = entry.Name,
        .Record = FConclusion.BeginRecord(entry.Name, entry.Command, entry.Parms, trigger, attempt),
        .Trigger = trigger,
        .Attempt = attempt};
    const TClockResult result =
        SetClockFromServer(*FNetWare, *FServices.ClockSetter, *FServices.Clock);
    if (result.Kind == TClockResult::NoNetwork) {
        outcome.Kind = TRunOutcome::NoNetwork;
    } else if (result.Kind == TClockResult::NotSet) {
        outcome.Kind = TRunOutcome::ClockNotSet;
        outcome.Code = result.Error;
        outcome.Text = PlainErrorText(result.Error);
    }
    FConclusion.Conclude(outcome);
}

bool TScheduler::ProgramEnded(int pid, bool signalled, int code) {
    std::optional<TRunningProgram> program = FPrograms.TakeEnded(pid);
    if (!program)
        return false; // an orphan of a started program, or not ours at all
    if (program->FailureCommand)
        return FCommands.Ended(pid, *program, signalled, code);
    ConcludeEnd(pid, *program, signalled, code);
    return true;
}

void TScheduler::ConcludeEnd(int pid, const TRunningProgram& program, bool signalled, int code) {
    TRunOutcome outcome{.Name = program.Name, .Record = program.Record, .Pid = pid, .Code = code};
    outcome.RanNs = FServices.Clock->BootNanos() - program.StartedBootNs;
    outcome.BySignal = signalled;
    outcome.Inherited = program.Inherited;
    outcome.TimeLimit = program.TimeLimit;
    outcome.Trigger = program.Trigger;
    outcome.Attempt = program.Attempt;
    outcome.Kind = program.StoppedRunNs && program.ByUser ? TRunOutcome::StoppedByUser
                   : program.StoppedRunNs                 ? TRunOutcome::StoppedAtLimit
                   : program.Inherited                    ? TRunOutcome::EndedAfterRestart
                   : signalled                            ? TRunOutcome::Signalled
                                                          : TRunOutcome::Exited;
    FConclusion.Conclude(outcome);
    if (program.Record != 0) {
        FState.KeepEnded(program.StartedRun());
        WriteState();
    }
}

void TScheduler::InheritRuns() {
    std::vector<TStoredRun> unfinished;
    try {
        std::optional<std::string> content;
        if (FServices.KeepState)
            content = ReadStateFile(StateFileName());
        const TSchedulerState state = content ? ParseState(*content) : TSchedulerState{};
        // The alarm looks while the scheduler is off too, and a window switched off shows
        // what waits to be tried again.
        FAlarm.Restore(state.Alarms);
        FRetries.Restore(state.Retries);
        FWaits.Restore(state.Waiting);
        for (const TStartedRun& started : state.Runs) {
            unfinished.push_back(started.Run);
            Inherit(started.Run, started);
        }
    } catch (const std::exception&) {
        // An unreadable state is told when the scheduler is switched on.
    }
    // The store learns of them on its own thread: what is missing is written, what ended
    // meanwhile is closed, and open runs it knows of that still run come back as news.
    if (FServices.Recorder != nullptr)
        FServices.Recorder->Recover(unfinished);
}

void TScheduler::Inherit(const TStoredRun& run, const std::optional<TStartedRun>& started) {
    if (!FPrograms.Inherit(run, started))
        return;
    FOutputs.FollowAgain(run.Id);
    FLog->WriteFmt("%s started before the scheduler restarted and still runs (process %d): "
                   "followed to its end",
                   {run.Name, std::int64_t{run.Process->Pid}});
}

void TScheduler::FollowInherited() {
    for (const auto& [pid, program] : FPrograms.TakeEndedInherited())
        ConcludeEnd(pid, program, false, 0);
}

int TScheduler::RecordsFd() const {
    return FServices.Recorder != nullptr ? FServices.Recorder->NewsFd() : -1;
}

void TScheduler::TakeRecordNews() {
    if (FServices.Recorder == nullptr)
        return;
    for (TRecorderNews& news : FServices.Recorder->TakeNews()) {
        // Open runs the state file did not name (an older program's) are followed.
        for (const TStoredRun& run : news.Runs)
            Inherit(run, std::nullopt);
        if (news.Kind != TRecorderNews::Inherited)
            FConclusion.TellRecordNews(news);
    }
}

} // namespace vantle
