#include "engine/RunHistory.h"

#include "engine/RunTexts.h"

#include "engine/Log.h"
#include "platform/ProgramStarter.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"

#include <charconv>
#include <cstdio>

namespace vantle {

namespace {

std::optional<std::int64_t> Number(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// "yyyy.mm.dd hh.mm.ss"
std::optional<TDateTime> StampOf(std::string_view stamp) {
    if (stamp.size() != 19 || stamp[4] != '.' || stamp[7] != '.' || stamp[10] != ' ' ||
        stamp[13] != '.' || stamp[16] != '.')
        return std::nullopt;
    auto part = [&](std::size_t at, std::size_t length) {
        return Number(stamp.substr(at, length));
    };
    auto year = part(0, 4), month = part(5, 2), day = part(8, 2);
    auto hour = part(11, 2), minute = part(14, 2), second = part(17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    try {
        return EncodeDate(static_cast<int>(*year), static_cast<int>(*month),
                          static_cast<int>(*day)) +
               EncodeTime(static_cast<int>(*hour), static_cast<int>(*minute),
                          static_cast<int>(*second), 0);
    } catch (...) {
        return std::nullopt;
    }
}

// "NAME ended with code N after S s" or "NAME ended by signal N after S s".
std::optional<TRunEvent> EndedEvent(std::string_view message) {
    for (auto [marker, kind] :
         {std::pair{std::string_view(" ended with code "), TRunEvent::Exited},
          std::pair{std::string_view(" ended by signal "), TRunEvent::Signalled}}) {
        std::size_t at = message.rfind(marker);
        if (at == std::string_view::npos || !message.ends_with(" s"))
            continue;
        std::string_view rest = message.substr(at + marker.size());
        std::size_t after = rest.find(" after ");
        if (after == std::string_view::npos)
            continue;
        auto code = Number(rest.substr(0, after));
        auto seconds = Number(rest.substr(after + 7, rest.size() - after - 9));
        if (!code || !seconds)
            continue;
        TRunEvent event;
        event.Kind = kind;
        event.Name = std::string(message.substr(0, at));
        event.Code = *code;
        event.Seconds = *seconds;
        return event;
    }
    return std::nullopt;
}

// "19:26"
std::string HourMinute(TDateTime moment) {
    TTimeParts parts = DecodeTime(moment);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(parts.Hour),
                  static_cast<int>(parts.Minute));
    return text;
}

} // namespace

std::optional<TRunEvent> RunEventOfLogLine(std::string_view line) {
    if (line.size() < 20 || line[19] != ':')
        return std::nullopt;
    std::optional<TDateTime> stamp = StampOf(line.substr(0, 19));
    if (!stamp)
        return std::nullopt;
    std::string_view message = line.substr(20);
    TRunEvent event;
    event.Moment = *stamp;
    if (message.starts_with("Executing ") && message.ends_with(")")) {
        std::string_view rest = message.substr(10);
        std::size_t dos = rest.find(" (DOS Command ");
        std::size_t direct = rest.find(" (Command ");
        std::size_t end = std::min(dos, direct);
        if (end == std::string_view::npos)
            return std::nullopt;
        event.Kind = TRunEvent::Started;
        event.Name = std::string(rest.substr(0, end));
        return event;
    }
    if (message.starts_with("Builtin ") && message.ends_with(" failed; no netware connection")) {
        event.Kind = TRunEvent::NoNetwork;
        event.Name = std::string(message.substr(8, message.size() - 8 - 30));
        return event;
    }
    const std::string_view notSet = " failed; could not set the clock: ";
    if (std::size_t at = message.find(notSet);
        message.starts_with("Builtin ") && at != std::string_view::npos) {
        event.Kind = TRunEvent::ClockNotSet;
        event.Name = std::string(message.substr(8, at - 8));
        return event;
    }
    if (message.starts_with("Builtin ResetTime (") && message.ends_with(")")) {
        event.Kind = TRunEvent::ClockSet;
        event.Name = std::string(message.substr(19, message.size() - 20));
        return event;
    }
    if (message.ends_with(")")) {
        std::size_t at = message.rfind(" Failed (");
        if (at != std::string_view::npos) {
            if (auto code = Number(message.substr(at + 9, message.size() - at - 10))) {
                event.Kind = TRunEvent::Failed;
                event.Name = std::string(message.substr(0, at));
                event.Code = *code;
                return event;
            }
        }
    }
    if (std::optional<TRunEvent> ended = EndedEvent(message)) {
        ended->Moment = *stamp;
        return ended;
    }
    return std::nullopt;
}

void TRunHistory::Apply(const TRunEvent& event) {
    Record(LogSafeText(event.Name), event);
}

void TRunHistory::Record(const std::string& logName, const TRunEvent& event) {
    TRunRecord& record = FRecords[logName];
    // Last Run and Result tell of the entry's latest record: the end of an earlier run
    // (one a skip or a later start came after) changes neither.
    if (event.Kind == TRunEvent::Exited || event.Kind == TRunEvent::Signalled) {
        if (record.LatestSkipped ||
            (event.Record != 0 && record.LatestRecord != 0 && event.Record != record.LatestRecord))
            return;
    } else if (event.Kind == TRunEvent::Waiting || event.Kind == TRunEvent::Overdue) {
        // Of no run: Last Run stays, the latest run's end still counts.
    } else if (event.Kind != TRunEvent::ClockNotSet) {
        record.LatestSkipped = event.Kind == TRunEvent::Skipped;
        record.LatestRecord = event.Record;
    }
    switch (event.Kind) {
    case TRunEvent::Started:
        record.LastRun = event.Moment;
        // A start read back from the log says nothing of how it ended.
        record.Result = event.Pid > 0 ? "Running" : "";
        record.Error = false;
        break;
    case TRunEvent::Failed:
        record.LastRun = event.Moment;
        record.Result = "Failed: " + StartErrorText(static_cast<std::uint32_t>(event.Code));
        record.Error = true;
        break;
    case TRunEvent::ClockSet:
        record.LastRun = event.Moment;
        record.Result = "Clock set";
        record.Error = false;
        break;
    case TRunEvent::ClockNotSet:
        // The start of the operation already gave the moment.
        record.Result = "Clock not set";
        record.Error = true;
        break;
    case TRunEvent::NoNetwork:
        record.LastRun = event.Moment;
        record.Result = "No network connection";
        record.Error = true;
        break;
    case TRunEvent::Exited:
        record.Result =
            event.Code == 0 ? CleanExitText(event.Seconds) : "Exited " + std::to_string(event.Code);
        record.Error = event.Code != 0;
        break;
    case TRunEvent::Signalled:
        record.Result = "Killed by signal " + std::to_string(event.Code);
        record.Error = true;
        break;
    case TRunEvent::Skipped:
        // The run it skipped for: the one still running, or the one the skip before
        // this one named.
        if (record.Result == "Running" && record.LastRun)
            record.SkippedFor = record.LastRun;
        else if (!record.Result.starts_with("Skipped"))
            record.SkippedFor.reset();
        record.LastRun = event.Moment;
        record.Result = record.SkippedFor ? "Skipped: the " + HourMinute(*record.SkippedFor) +
                                                " run is still running"
                                          : "Skipped";
        record.Error = false;
        break;
    case TRunEvent::Followed:
        record.Result = EndedAfterRestartResult;
        record.Error = false;
        break;
    case TRunEvent::Waiting:
        record.Result = "Waiting: " + event.Text;
        record.Error = false;
        break;
    case TRunEvent::NotRun:
        record.LastRun = event.Moment;
        record.Result = "Not run: " + event.Text;
        record.Error = true;
        break;
    case TRunEvent::Overdue:
        record.Result = "Overdue: no good run for " + CountOf(event.Code, "hour", "hours");
        record.Error = true;
        break;
    case TRunEvent::Records:
        return; // of no entry
    }
    if (event.TimeLimit > 0) {
        record.Result = "Stopped at time limit";
        record.Error = true;
    }
    if (event.ByUser) {
        record.Result = "Stopped by the user";
        record.Error = false;
    }
    record.ResultMoment = event.Moment;
}

void TRunHistory::Take(const TStoredRun& run) {
    TRunRecord& record = FRecords[LogSafeText(run.Name)];
    record.LastRun = run.Started;
    record.LatestRecord = run.Id;
    record.LatestSkipped = run.Result == "Skipped";
    record.SkippedFor.reset();
    if (run.Result.empty())
        record.Result = "Running";
    else if (run.Result == "Exited 0") // as a live end shows it
        record.Result = CleanExitText((run.DurationMs + 500) / 1000);
    else
        record.Result = run.Result;
    record.Error = run.Failure;
    record.ResultMoment = run.Ended.value_or(run.Started);
}

void TRunHistory::ReadBack(const TRunStore* store, const std::string& logPath) {
    try {
        if (store != nullptr) {
            std::map<std::string, TStoredRun> last = store->LastRuns();
            for (const auto& [name, run] : last)
                Take(run);
            if (!last.empty())
                return;
        }
    } catch (const std::exception&) {
        // The log below still tells something.
    }
    try {
        ReadLog(logPath);
    } catch (const std::exception&) {
    }
}

void TRunHistory::ReadLog(const std::string& path, std::size_t tailBytes) {
    std::string tail;
    try {
        std::uint64_t leftOut = 0;
        tail = ReadLogTail(path, tailBytes, leftOut);
    } catch (const EInOutError&) {
        return;
    }
    ForEachLine(tail, [this](std::string_view line) {
        if (std::optional<TRunEvent> event = RunEventOfLogLine(line))
            Record(event->Name, *event);
    });
}

const TRunRecord* TRunHistory::Find(const std::string& name) const {
    auto found = FRecords.find(LogSafeText(name));
    return found == FRecords.end() ? nullptr : &found->second;
}

} // namespace vantle
