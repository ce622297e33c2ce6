#include "engine/FailureWatch.h"

#include "platform/ProgramStarter.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"

namespace vantle {

std::optional<std::string> FailureText(const TRunEvent& event) {
    if (event.ByUser)
        return std::nullopt; // the user wanted it to end
    const std::string name = VisibleText(event.Name, TVisibleFor::Terminal);
    if (event.TimeLimit > 0)
        return name + " stopped after " + CountOf(event.TimeLimit, "minute", "minutes") +
               " (time limit)";
    switch (event.Kind) {
    case TRunEvent::Failed:
        return name + " could not start: " + StartErrorText(static_cast<std::uint32_t>(event.Code));
    case TRunEvent::NoNetwork:
        return name + " could not set the clock: no NetWare connection";
    case TRunEvent::ClockNotSet:
        return name + " could not set the clock: " + PlainErrorText(static_cast<int>(event.Code));
    case TRunEvent::Exited:
        if (event.Code == 0)
            return std::nullopt;
        return name + " ended with code " + std::to_string(event.Code);
    case TRunEvent::Signalled:
        return name + " ended by signal " + std::to_string(event.Code);
    case TRunEvent::NotRun:
        return name + " not run: " + VisibleText(event.Text, TVisibleFor::Terminal);
    case TRunEvent::Overdue:
        return name + " has not run well for " + CountOf(event.Code, "hour", "hours");
    default:
        return std::nullopt;
    }
}

namespace {

std::string GoodRunText(const TRunEvent& event) {
    const std::string name = VisibleText(event.Name, TVisibleFor::Terminal);
    switch (event.Kind) {
    case TRunEvent::Started:
        return name + " started";
    case TRunEvent::ClockSet:
        return name + " set the clock";
    case TRunEvent::Skipped:
        return name + " skipped: the previous run is still running";
    case TRunEvent::Followed:
        return name + " ended after the scheduler restarted";
    default:
        return name + " ended with code 0 after " + std::to_string(event.Seconds) + " s";
    }
}

} // namespace

void TFailureWatch::See(const TRunEvent& event) {
    TNotice notice;
    if (event.Kind == TRunEvent::Records) {
        if (event.Code == TRecorderNews::Written)
            return; // nothing a person needs to hear
        notice.Kind = TNotice::Records;
        notice.Text = VisibleText(event.Text, TVisibleFor::Terminal);
        if (OnNotice)
            OnNotice(notice);
        return;
    }
    if (event.RetryPending || event.Kind == TRunEvent::Waiting)
        return; // the last try's failure is told, not this one; a wait is no failure yet
    notice.Name = event.Name;
    notice.Record = event.Record;
    if (std::optional<std::string> failure = FailureText(event)) {
        notice.Kind = TNotice::Failure;
        notice.Text = *failure;
        auto [at, first] = FFailing.try_emplace(event.Name, *failure);
        notice.Repeated = !first && at->second == *failure;
        at->second = *failure;
    } else {
        notice.Kind = TNotice::Ran;
        notice.Text = GoodRunText(event);
        // A start is not yet a good run: the program may still end badly.
        const bool good = event.Kind == TRunEvent::ClockSet || event.Kind == TRunEvent::Exited;
        if (good && FFailing.erase(event.Name) > 0 && OnNotice) {
            TNotice again = notice;
            again.Kind = TNotice::Recovered;
            again.Text = VisibleText(event.Name, TVisibleFor::Terminal) + " works again";
            OnNotice(again);
        }
    }
    if (OnNotice)
        OnNotice(notice);
}

void TFailureWatch::Attach(TSchedulerServices& services) {
    services.OnRunEvent = [this, told = services.OnRunEvent](const TRunEvent& event) {
        if (told)
            told(event);
        See(event);
    };
}

TFailureLines::TFailureLines(TSchedulerServices& services, std::ostream& out) : FOut(out) {
    FWatch.OnNotice = [this](const TNotice& notice) {
        if ((notice.Kind == TNotice::Failure && !notice.Repeated) ||
            notice.Kind == TNotice::Recovered)
            FOut << notice.Text << '\n' << std::flush;
    };
    FWatch.Attach(services);
    services.OnRunEvent = [this, told = services.OnRunEvent](const TRunEvent& event) {
        // The failures a cycle also lists among its own.
        if (event.Kind == TRunEvent::Failed || event.Kind == TRunEvent::NoNetwork ||
            event.Kind == TRunEvent::ClockNotSet)
            ++FToldInCycle[event.Name];
        told(event);
    };
}

bool TFailureLines::Told(const std::string& name) {
    auto found = FToldInCycle.find(name);
    if (found == FToldInCycle.end() || found->second == 0)
        return false;
    --found->second;
    return true;
}

} // namespace vantle
