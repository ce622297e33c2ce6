#include "engine/StateFile.h"

#include "engine/Log.h"
#include "platform/ExecutablePath.h"
#include "platform/FileWriter.h"
#include "platform/SysErrors.h"
#include "sched/SchedFile.h"
#include "sched/TimeField.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <sys/stat.h>

namespace vantle {

namespace {

std::optional<TLocalMinute> ReadMinute(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (std::sscanf(text.c_str(), "%4d.%2d.%2d %2d.%2d", &year, &month, &day, &hour, &minute) != 5)
        return std::nullopt;
    try {
        return LocalMinuteOf(EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0));
    } catch (const EConvertError&) {
        return std::nullopt; // a damaged state file is no state
    }
}

// A run's texts go between tabs on one line: a backslash, tab, CR or LF is escaped.
std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

template <typename T> bool Number(std::string_view text, T& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

constexpr std::size_t RunFields = 13;

std::string RunLine(const TStartedRun& started) {
    const TStoredRun& run = started.Run;
    const TProcessIdentity process = run.Process.value_or(TProcessIdentity{});
    std::string line = "Run";
    for (const std::string& field :
         {std::to_string(run.Id), std::to_string(ToMSecs(run.Started)),
          std::to_string(static_cast<int>(run.Trigger)), std::to_string(started.StartedBootNs),
          std::to_string(started.StartedRunNs), std::to_string(started.TimeLimit),
          std::to_string(process.Pid), Escaped(process.BootId), std::to_string(process.StartTicks),
          Escaped(run.Name), Escaped(run.Command), Escaped(run.Parameters)})
        line += "\t" + field;
    return line;
}

std::optional<TStartedRun> ReadRun(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() != RunFields)
        return std::nullopt;
    TStartedRun started;
    TStoredRun& run = started.Run;
    std::int64_t startedMs = 0;
    int trigger = 0;
    TProcessIdentity process;
    if (!Number(fields[1], run.Id) || run.Id <= 0 || !Number(fields[2], startedMs) ||
        !Number(fields[3], trigger) || trigger < 0 || trigger > int(LastRunTrigger) ||
        !Number(fields[4], started.StartedBootNs) || !Number(fields[5], started.StartedRunNs) ||
        !Number(fields[6], started.TimeLimit) || !Number(fields[7], process.Pid) ||
        !Number(fields[9], process.StartTicks))
        return std::nullopt;
    run.Started = FromMSecs(startedMs);
    run.Trigger = static_cast<TRunTrigger>(trigger);
    process.BootId = Unescaped(fields[8]);
    if (process.Pid > 0)
        run.Process = process;
    run.Name = Unescaped(fields[10]);
    run.Command = Unescaped(fields[11]);
    run.Parameters = Unescaped(fields[12]);
    return started;
}

std::string RetryLine(const TPendingRetry& retry) {
    std::string line = "Retry";
    for (const std::string& field :
         {std::to_string(retry.Due), std::to_string(retry.Failed),
          std::to_string(retry.Attempt.Number), std::to_string(retry.Attempt.Of),
          std::to_string(retry.Attempt.DelayMinutes), std::to_string(retry.Attempt.Entry),
          std::to_string(static_cast<int>(retry.Trigger)), Escaped(retry.Name)})
        line += "\t" + field;
    return line;
}

std::optional<TPendingRetry> ReadRetry(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    TPendingRetry retry;
    int trigger = 0;
    if (fields.size() != 9 || !Number(fields[1], retry.Due) || !Number(fields[2], retry.Failed) ||
        !Number(fields[3], retry.Attempt.Number) || !Number(fields[4], retry.Attempt.Of) ||
        !Number(fields[5], retry.Attempt.DelayMinutes) || !Number(fields[6], retry.Attempt.Entry) ||
        !Number(fields[7], trigger) || trigger < 0 || trigger > int(LastRunTrigger) ||
        retry.Attempt.Number < 2 || retry.Attempt.Number > retry.Attempt.Of)
        return std::nullopt;
    retry.Trigger = static_cast<TRunTrigger>(trigger);
    retry.Name = Unescaped(fields[8]);
    return retry;
}

std::string WaitLine(const TWaitingRun& run) {
    std::string line = "Wait";
    for (const std::string& field :
         {std::to_string(run.Since), std::to_string(static_cast<int>(run.Trigger)),
          std::to_string(run.Attempt.Number), std::to_string(run.Attempt.Of),
          std::to_string(run.Attempt.DelayMinutes), std::to_string(run.Attempt.Entry),
          Escaped(run.Reason), Escaped(run.Name)})
        line += "\t" + field;
    return line;
}

std::optional<TWaitingRun> ReadWait(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    TWaitingRun run;
    int trigger = 0;
    if (fields.size() != 9 || !Number(fields[1], run.Since) || !Number(fields[2], trigger) ||
        trigger < 0 || trigger > int(LastRunTrigger) || !Number(fields[3], run.Attempt.Number) ||
        !Number(fields[4], run.Attempt.Of) || !Number(fields[5], run.Attempt.DelayMinutes) ||
        !Number(fields[6], run.Attempt.Entry) || run.Attempt.Number < 1 ||
        run.Attempt.Number > run.Attempt.Of)
        return std::nullopt;
    run.Trigger = static_cast<TRunTrigger>(trigger);
    run.Reason = Unescaped(fields[7]);
    run.Name = Unescaped(fields[8]);
    return run;
}

// Moments in milliseconds, as the runs keep theirs.
std::string AlarmLine(const TAlarmMark& mark) {
    std::string line = "Alarm";
    for (const std::string& field :
         {std::to_string(mark.LastGood != 0 ? ToMSecs(mark.LastGood) : 0),
          std::to_string(ToMSecs(mark.Seen)), std::string(mark.Told ? "1" : "0"),
          Escaped(mark.Name)})
        line += "\t" + field;
    return line;
}

std::optional<TAlarmMark> ReadAlarm(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    TAlarmMark mark;
    std::int64_t good = 0, seen = 0;
    if (fields.size() != 5 || !Number(fields[1], good) || !Number(fields[2], seen) || seen <= 0 ||
        (fields[3] != "0" && fields[3] != "1"))
        return std::nullopt;
    mark.LastGood = good != 0 ? FromMSecs(good) : 0;
    mark.Seen = FromMSecs(seen);
    mark.Told = fields[3] == "1";
    mark.Name = Unescaped(fields[4]);
    return mark;
}

} // namespace

std::string StateFileOf(const std::string& scheduleFile, const std::string& logFile) {
    if (scheduleFile.empty())
        return ChangeFileExt(logFile, ".STATE");
    std::string name = ChangeFileExt(scheduleFile.substr(scheduleFile.rfind('/') + 1), ".STATE");
    std::string folder = ExtractFileDir(logFile);
    return folder.empty() ? name : (folder == "/" ? "/" : folder + "/") + name;
}

std::string MinuteText(TLocalMinute minute, bool withDate) {
    std::string stamp = LogTimeStamp(MomentOfMinute(minute));
    return withDate ? stamp.substr(0, 16) : stamp.substr(11, 5);
}

std::string StateText(const TSchedulerState& state) {
    if (!state.Latest)
        return {};
    std::string text = MinuteText(*state.Latest, true) + "\r\n";
    if (state.Pass && !state.Started.empty()) {
        text += "Pass " + MinuteText(*state.Pass, true) + "\r\n";
        for (const auto& [index, name] : state.Started)
            text += "Started " + std::to_string(index) + " " + name + "\r\n";
    }
    for (const TStartedRun& run : state.Runs)
        text += RunLine(run) + "\r\n";
    for (const TPendingRetry& retry : state.Retries)
        text += RetryLine(retry) + "\r\n";
    for (const TWaitingRun& run : state.Waiting)
        text += WaitLine(run) + "\r\n";
    for (const TAlarmMark& mark : state.Alarms)
        text += AlarmLine(mark) + "\r\n";
    return text;
}

TSchedulerState ParseState(std::string_view content) {
    TSchedulerState state;
    bool first = true;
    ForEachLine(content, [&](std::string_view line) {
        std::string text(line);
        if (first) {
            first = false;
            state.Latest = ReadMinute(text);
        } else if (text.starts_with("Pass ")) {
            state.Pass = ReadMinute(text.substr(5));
        } else if (text.starts_with("Started ")) {
            std::size_t blank = text.find(' ', 8);
            if (blank != std::string::npos)
                state.Started.insert(
                    {IntOrZero(text.substr(8, blank - 8)), text.substr(blank + 1)});
        } else if (text.starts_with("Run\t")) {
            if (std::optional<TStartedRun> run = ReadRun(line))
                state.Runs.push_back(std::move(*run));
        } else if (text.starts_with("Retry\t")) {
            if (std::optional<TPendingRetry> retry = ReadRetry(line))
                state.Retries.push_back(std::move(*retry));
        } else if (text.starts_with("Wait\t")) {
            if (std::optional<TWaitingRun> run = ReadWait(line))
                state.Waiting.push_back(std::move(*run));
        } else if (text.starts_with("Alarm\t")) {
            if (std::optional<TAlarmMark> mark = ReadAlarm(line))
                state.Alarms.push_back(std::move(*mark));
        }
    });
    if (!state.Pass)
        state.Started.clear();
    return state;
}

std::optional<std::string> ReadStateFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        RaiseInOutError(errno, path);
    }
    RefuseUnlessRegular(path, st.st_mode);
    return ReadScheduleBytes(path);
}

TSchedulerState TStateKeeper::Read(const std::string& path, const std::string& olderPath) {
    FError.reset();
    FWritten = false;
    TSchedulerState state;
    if (!FKeep)
        return state;
    try {
        std::optional<std::string> content = ReadStateFile(path);
        if (!content && olderPath != path)
            content = ReadStateFile(olderPath);
        if (content) {
            state = ParseState(*content);
            FWritten = true;
        }
    } catch (const EInOutError& e) {
        FError = e;
    }
    return state;
}

void TStateKeeper::Write(const std::string& path, TSchedulerState state,
                         const TRunRecorder* recorder) {
    if (!FKeep || !state.Latest)
        return;
    // The ended runs first, then the running ones the caller gave.
    std::vector<TStartedRun> runs;
    if (recorder != nullptr) {
        const std::set<std::int64_t> pending = recorder->PendingKeys();
        std::erase_if(FUnwritten, [&](const auto& run) { return !pending.contains(run.first); });
        for (const auto& [key, run] : FUnwritten)
            runs.push_back(run);
    }
    runs.insert(runs.end(), state.Runs.begin(), state.Runs.end());
    state.Runs = std::move(runs);
    try {
        ReplaceFileContent(path, StateText(state), 0600);
        FWritten = true;
    } catch (const EInOutError& e) {
        FWritten = false;
        if (!FError)
            FError = e;
    }
}

std::optional<TLocalMinute> LatestTestedIn(const std::string& stateFile) {
    try {
        if (std::optional<std::string> content = ReadStateFile(stateFile))
            return ParseState(*content).Latest;
    } catch (const std::exception&) {
        // Unreadable: nothing known.
    }
    return std::nullopt;
}

TSchedulerState StateIn(const std::string& stateFile) {
    try {
        if (std::optional<std::string> content = ReadStateFile(stateFile))
            return ParseState(*content);
    } catch (const std::exception&) {
        // Unreadable: nothing known.
    }
    return {};
}

std::vector<TPendingRetry> PendingRetriesIn(const std::string& stateFile) {
    return StateIn(stateFile).Retries;
}

} // namespace vantle
