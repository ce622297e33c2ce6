#include "engine/RunConclusion.h"

#include "engine/StateFile.h"
#include "platform/ProgramStarter.h"
#include "platform/TextUtils.h"

#include <algorithm>
#include <cmath>

namespace vantle {

TRunConclusion::TRunConclusion(TLog& log, const TClock& clock, TRunRecorder* recorder,
                               TOutputHold& outputs, TRetries& retries,
                               std::function<void(const TRunEvent&)> onEvent)
    : FLog(log), FClock(clock), FRecorder(recorder), FOutputs(outputs), FRetries(retries),
      FOnEvent(std::move(onEvent)) {}

std::optional<TStoredRun> TRunConclusion::NewRecord(const std::string& name,
                                                    const std::string& command,
                                                    const std::string& parameters,
                                                    TRunTrigger trigger, const TAttempt& attempt) {
    if (FRecorder == nullptr)
        return std::nullopt;
    TStoredRun run;
    run.Id = FRecorder->NewKey();
    run.Name = name;
    // As written in the schedule: an expansion may hold what should not be kept.
    run.Command = command;
    run.Parameters = parameters;
    run.Trigger = trigger;
    run.Started = FClock.Now();
    run.Attempt = attempt.Number;
    run.Attempts = attempt.Of;
    return run;
}

void TRunConclusion::KeepRecord(const std::optional<TStoredRun>& run) {
    if (!run)
        return;
    FRecorder->Begin(*run);
    FPruneDue = true;
}

std::int64_t TRunConclusion::BeginRecord(const std::string& name, const std::string& command,
                                         const std::string& parameters, TRunTrigger trigger,
                                         const TAttempt& attempt) {
    const std::optional<TStoredRun> run = NewRecord(name, command, parameters, trigger, attempt);
    KeepRecord(run);
    return run ? run->Id : 0;
}

void TRunConclusion::RecordFailed(const std::exception& error) {
    if (FRecordFailureTold)
        return;
    FRecordFailureTold = true;
    try {
        FLog.WriteFmt("Could not record the run: %s", {DescribeError(error)});
    } catch (...) {
        // The run itself goes on; the log's own failure shows at its next line.
    }
}

void TRunConclusion::FinishRecord(std::int64_t record, const std::string& result, bool failure) {
    if (record == 0 || FRecorder == nullptr)
        return;
    TRunEnd end;
    end.Ended = FClock.Now();
    end.Result = result;
    end.Failure = failure;
    FRecorder->Finish(record, end);
}

bool TRunConclusion::Retry(const TRunOutcome& outcome) {
    std::optional<TPendingRetry> retry = FRetries.Failed(
        outcome.Name, outcome.Attempt, outcome.Trigger, LocalMinuteOf(FClock.Now()));
    if (!retry)
        return false;
    FLog.WriteFmt("Retrying %s in %s (attempt %d of %d)",
                  {outcome.Name, CountOf(retry->Attempt.DelayMinutes, "minute", "minutes"),
                   std::int64_t{retry->Attempt.Number}, std::int64_t{retry->Attempt.Of}});
    return true;
}

void TRunConclusion::Conclude(const TRunOutcome& outcome) {
    const std::string& name = outcome.Name;
    TRunEvent event;
    event.Name = name;
    event.Record = outcome.Record;
    event.Trigger = outcome.Trigger;
    event.Attempt = outcome.Attempt.Number;
    switch (outcome.Kind) {
    case TRunOutcome::Started:
        event.Kind = TRunEvent::Started;
        event.Pid = outcome.Pid;
        break;
    case TRunOutcome::CouldNotStart: {
        const auto code = static_cast<std::uint32_t>(outcome.Code);
        FLog.WriteFmt("%s Failed (%d)", {name, outcome.Code});
        // The code alone says little: the reason, in the words the grid and the
        // notifications use.
        FLog.WriteLine(name + " could not start: " + StartErrorText(code));
        event.Result = "Failed: " + StartErrorText(code);
        FinishRecord(outcome.Record, event.Result, true);
        event.Kind = TRunEvent::Failed;
        event.Failure = true;
        event.Code = outcome.Code;
        event.RetryPending = Retry(outcome);
        if (!event.RetryPending)
            FFailures.push_back(
                {name, "could not start " + outcome.Text + ": " + StartErrorText(code)});
        break;
    }
    case TRunOutcome::Failed:
        if (!outcome.Raised) {
            FFailures.push_back({name, outcome.Text});
            FLog.WriteFmt("%s failed: %s", {name, outcome.Text});
        }
        FinishRecord(outcome.Record, "Failed: " + outcome.Text, true);
        return; // told by the failure list, or by the caller
    case TRunOutcome::Exited:
    case TRunOutcome::Signalled:
    case TRunOutcome::StoppedByUser:
    case TRunOutcome::StoppedAtLimit:
    case TRunOutcome::EndedAfterRestart:
        ConcludeEnd(outcome);
        return;
    case TRunOutcome::Skipped:
        if (outcome.Pid == 0) {
            FLog.WriteFmt("%s skipped: the run started at %s is still running (played)",
                          {name, MinuteText(LocalMinuteOf(outcome.RunningSince), false)});
            return;
        }
        FLog.WriteFmt("%s skipped: the run started at %s is still running (process %d)",
                      {name, MinuteText(LocalMinuteOf(outcome.RunningSince), false),
                       std::int64_t{outcome.Pid}});
        FinishRecord(outcome.Record, "Skipped", false);
        event.Kind = TRunEvent::Skipped;
        event.Pid = outcome.Pid;
        break;
    case TRunOutcome::ClockSet:
        FinishRecord(outcome.Record, "Clock set", false);
        event.Kind = TRunEvent::ClockSet;
        break;
    case TRunOutcome::ClockNotSet:
        FLog.WriteFmt("Builtin %s failed; could not set the clock: %s", {name, outcome.Text});
        event.Result = "Clock not set: " + outcome.Text;
        FinishRecord(outcome.Record, event.Result, true);
        event.Kind = TRunEvent::ClockNotSet;
        event.Failure = true;
        event.Code = outcome.Code;
        event.RetryPending = Retry(outcome);
        if (!event.RetryPending)
            FFailures.push_back({name, "could not set the clock: " + outcome.Text});
        break;
    case TRunOutcome::NotRun:
        // Never started, so never retried: the wait was its chance.
        FLog.WriteFmt("%s not run: %s", {name, outcome.Text});
        event.Result = "Not run: " + outcome.Text;
        FinishRecord(outcome.Record, event.Result, true);
        event.Kind = TRunEvent::NotRun;
        event.Failure = true;
        event.Text = outcome.Text;
        break;
    case TRunOutcome::NoNetwork:
        FLog.WriteFmt("Builtin %s failed; no netware connection", {name});
        event.Result = "No network connection";
        FinishRecord(outcome.Record, event.Result, true);
        event.Kind = TRunEvent::NoNetwork;
        event.Failure = true;
        event.RetryPending = Retry(outcome);
        if (!event.RetryPending)
            FFailures.push_back({name, "no netware connection"});
        break;
    }
    Notify(std::move(event));
}

void TRunConclusion::ConcludeEnd(const TRunOutcome& outcome) {
    const bool inherited = outcome.Inherited || outcome.Kind == TRunOutcome::EndedAfterRestart;
    const bool signalled = outcome.BySignal || outcome.Kind == TRunOutcome::Signalled;
    TRunEvent event;
    event.Kind = inherited   ? TRunEvent::Followed
                 : signalled ? TRunEvent::Signalled
                             : TRunEvent::Exited;
    event.Name = outcome.Name;
    event.Record = outcome.Record;
    event.Pid = outcome.Pid;
    event.Trigger = outcome.Trigger;
    event.Attempt = outcome.Attempt.Number;
    event.ByUser = outcome.Kind == TRunOutcome::StoppedByUser;
    if (outcome.Kind == TRunOutcome::StoppedAtLimit)
        event.TimeLimit = outcome.TimeLimit;
    event.Code = outcome.Code;
    event.Moment = FClock.Now();
    event.Seconds =
        std::max<std::int64_t>(0, std::llround(static_cast<double>(outcome.RanNs) / 1e9));
    if (inherited)
        FLog.WriteFmt("%s ended after the scheduler restarted, %d s after its start",
                      {outcome.Name, event.Seconds});
    else
        FLog.WriteFmt(signalled ? "%s ended by signal %d after %d s"
                                : "%s ended with code %d after %d s",
                      {outcome.Name, outcome.Code, event.Seconds});
    TRunEnd end;
    end.Ended = event.Moment;
    end.DurationMs = std::max<std::int64_t>(0, outcome.RanNs / 1'000'000);
    // The code of a program an earlier scheduler started is not known here.
    end.Result = inherited   ? EndedAfterRestartResult
                 : signalled ? "Killed by signal " + std::to_string(outcome.Code)
                             : "Exited " + std::to_string(outcome.Code);
    end.Failure = !inherited && (signalled || outcome.Code != 0);
    if (event.ByUser) {
        end.Result = "Stopped by the user";
        end.Failure = false;
    } else if (event.TimeLimit > 0) {
        // A run its limit stopped did not do its work: a failure, whatever its code.
        end.Result = "Stopped at time limit";
        end.Failure = true;
    }
    event.Result = end.Result;
    event.Failure = end.Failure;
    if (outcome.Record != 0) {
        FOutputs.Close(outcome.Record, outcome.Pid, end);
        FPruneDue = true;
    }
    event.RetryPending = end.Failure && Retry(outcome);
    Notify(std::move(event));
}

void TRunConclusion::TellRecordNews(const TRecorderNews& news) {
    if (news.Kind != TRecorderNews::Written)
        FLog.WriteLine(news.Text);
    TRunEvent event;
    event.Kind = TRunEvent::Records;
    event.Code = news.Kind;
    event.Text = news.Text;
    Notify(std::move(event));
}

std::optional<TRunVerdict> VerdictOf(const TRunEvent& event) {
    switch (event.Kind) {
    case TRunEvent::ClockSet:
        return TRunVerdict{false, "Clock set"};
    case TRunEvent::Skipped:
        return TRunVerdict{false, "Skipped"};
    case TRunEvent::Failed:
    case TRunEvent::ClockNotSet:
    case TRunEvent::NoNetwork:
    case TRunEvent::Exited:
    case TRunEvent::Signalled:
    case TRunEvent::Followed:
    case TRunEvent::NotRun:
        return TRunVerdict{event.Failure, event.Result};
    default:
        return std::nullopt;
    }
}

void TRunConclusion::Notify(TRunEvent event) {
    if (!FOnEvent)
        return;
    if (event.Moment == 0)
        event.Moment = FClock.Now();
    FOnEvent(event);
}

} // namespace vantle
