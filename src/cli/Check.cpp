#include "cli/Check.h"
#include "engine/TildeWarnings.h"
#include "platform/Environment.h"
#include "platform/FileLocations.h"

#include "platform/ProgramStarter.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/StartProbe.h"
#include "platform/TextUtils.h"
#include "sched/EnvironmentText.h"
#include "sched/NextDue.h"
#include "sched/SchedFile.h"
#include "sched/ScheduleKeys.h"
#include "sched/TimeField.h"
#include "sched/TimePreview.h"

#include <algorithm>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace vantle::cli {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Counts line ends as an editor does, moving forward through the content only.
class TLineCounter {
public:
    explicit TLineCounter(std::string_view content) : FContent(content) {}
    std::size_t LineAt(std::size_t offset) {
        for (; FPosition < offset && FPosition < FContent.size(); ++FPosition) {
            char c = FContent[FPosition];
            if (c == '\n' || (c == '\r' && (FPosition + 1 >= FContent.size() ||
                                            FContent[FPosition + 1] != '\n')))
                ++FLine;
        }
        return FLine;
    }

private:
    std::string_view FContent;
    std::size_t FPosition = 0;
    std::size_t FLine = 1;
};

class TChecker {
public:
    TChecker(std::string_view content, const TStartProbe& probe, std::string home)
        : FContent(content), FLines(content), FProbe(probe), FHome(std::move(home)) {}

    std::vector<TFinding> Run() {
        TScheduleLineReader reader(FContent);
        std::string_view line;
        std::string_view value;
        bool mixed = HasMixedLineEnds(FContent);
        while (reader.Next(line)) {
            std::size_t lineNo = FLines.LineAt(reader.LineOffset());
            std::size_t lineEnd = reader.LineOffset() + line.size();
            if (mixed && lineEnd < FContent.size() && FContent[lineEnd] == '\n') {
                Report(lineNo, "mixed line ends: this line ends with a line feed without a "
                               "carriage return, as lines the program saved do not; every "
                               "line feed ends a line, and the next save writes CR LF");
                mixed = false; // told once, at the first such line
            }
            TSchedLineKind kind = ClassifyScheduleLine(line, value);
            if (kind == TSchedLineKind::Header)
                StartSection(lineNo);
            else if (kind == TSchedLineKind::Other)
                CheckUnmatched(lineNo, line);
            else if (!FInSection)
                Report(lineNo, std::string(ScheduleKeyText(kind)) +
                                   " line before the first '[Schedule ' header is ignored");
            else
                CheckKey(lineNo, kind, value);
        }
        EndSection();
        CheckEnd(reader.End());
        std::stable_sort(FFindings.begin(), FFindings.end(),
                         [](const TFinding& a, const TFinding& b) { return a.Line < b.Line; });
        return std::move(FFindings);
    }

private:
    void Report(std::size_t line, std::string message, bool error = false) {
        FFindings.push_back(TFinding{line, std::move(message), error});
    }

    void StartSection(std::size_t line) {
        EndSection();
        FInSection = true;
        FSeenHeader = true;
        FEntry = TSchedule{};
        FHeaderLine = line;
        FTimeLine = 0;
        FCommandLine = 0;
        FFirstLineOf.clear();
        FDroppedKeys.clear();
        FNulKeys.clear();
        FCommandLines.clear();
        FEnvironmentLine = 0;
        FEnvironment = {};
    }

    void CheckUnmatched(std::size_t line, std::string_view text) {
        std::string_view trimmed = TrimBlanks(text);
        if (trimmed.empty())
            return;
        if (trimmed.size() != text.size()) {
            std::string_view dummy;
            TSchedLineKind kind =
                ClassifyScheduleLine(text.substr(text.find_first_not_of(" \t")), dummy);
            if (kind == TSchedLineKind::Header) {
                Report(line, "blank before '[Schedule ': a header must start the line, so the "
                             "lines that follow " +
                                 std::string(FInSection ? "go on filling the entry above"
                                                        : "are ignored"));
                return;
            }
            if (kind != TSchedLineKind::Other) {
                Report(line, "blank before '" + std::string(ScheduleKeyText(kind)) +
                                 "': a key must start the line, so the line is ignored");
                return;
            }
        }
        // "[Schedule" in any case, with or without its blank.
        if (StartsWithNoCase(trimmed,
                             ScheduleHeaderPrefix.substr(0, ScheduleHeaderPrefix.size() - 1))) {
            Report(line,
                   Quoted(trimmed) +
                       " is not an entry header (a header starts with "
                       "'[Schedule ', capital S and a blank): the lines "
                       "that follow " +
                       std::string(FInSection ? "go on filling the entry above" : "are ignored"));
            return;
        }
        std::size_t equals = trimmed.find('=');
        if (equals != std::string_view::npos) {
            std::string_view word = TrimBlanks(trimmed.substr(0, equals));
            for (const TScheduleKey& key : ScheduleKeys) {
                if (EqualsNoCase(word, key.Text.substr(0, key.Text.size() - 1))) {
                    Report(line, Quoted(text.substr(0, text.find('=') + 1)) + " is not the key " +
                                     Quoted(key.Text) +
                                     " (keys match case and start the line): the line "
                                     "is ignored");
                    return;
                }
            }
        }
        Report(line, "line matches no key and is ignored; it is dropped at the next save");
    }

    void CheckKey(std::size_t line, TSchedLineKind kind, std::string_view value) {
        if (kind != TSchedLineKind::Comment) {
            auto [it, first] = FFirstLineOf.emplace(kind, line);
            if (!first)
                Report(line, "second " + std::string(ScheduleKeyText(kind)) +
                                 " in this entry: it replaces the value of line " +
                                 std::to_string(it->second));
        }
        switch (kind) {
        case TSchedLineKind::Time: {
            FTimeLine = line;
            std::size_t fields =
                static_cast<std::size_t>(std::count(value.begin(), value.end(), ' ')) + 1;
            if (fields != TimeFields.size())
                Report(line, std::string(ScheduleKeyText(kind)) + " has " + std::to_string(fields) +
                                 " fields; it needs " + std::to_string(TimeFields.size()) +
                                 " (minutes hours days months weekdays, "
                                 "separated by single blanks)");
            break;
        }
        case TSchedLineKind::Active:
            CheckSwitch(line, kind, value, "Yes", "No", "makes the entry active");
            break;
        case TSchedLineKind::CommandType:
            CheckCode(line, kind, value, ctBuiltinResetTime, FEntry.CommandType);
            break;
        case TSchedLineKind::WinState:
            CheckCode(line, kind, value, wsHidden, FEntry.WinState);
            break;
        case TSchedLineKind::Command:
            FCommandLine = line;
            [[fallthrough]];
        case TSchedLineKind::Parms:
        case TSchedLineKind::WorkDir:
            FDroppedKeys.emplace_back(ScheduleKeyText(kind), line);
            if (value.find('\0') != std::string_view::npos) {
                FNulKeys.emplace_back(ScheduleKeyText(kind), line); // told with the entry's type
                break;
            }
            CheckControls(line, kind, value);
            if (FEntry.CommandType != ctBuiltinResetTime)
                for (std::string& warning : TildeWarningsOf(kind, value, FHome))
                    Report(line, std::move(warning));
            break;
        case TSchedLineKind::Name:
        case TSchedLineKind::Comment:
            CheckControls(line, kind, value);
            break;
        case TSchedLineKind::CatchUp:
            CheckSwitch(line, kind, value, "Yes", "No", "makes missed runs catch up");
            break;
        case TSchedLineKind::Overlap:
            CheckSwitch(line, kind, value, "Skip", "Allow", "keeps a second run from starting");
            break;
        case TSchedLineKind::TimeLimit:
            CheckTimeLimit(line, kind, value);
            break;
        case TSchedLineKind::Retries:
            CheckWhole(line, kind, value, 0, MaxRetries, "the entry is not retried");
            break;
        case TSchedLineKind::RetryDelay:
            CheckWhole(line, kind, value, 1, MaxTimeLimit,
                       "retries wait " + std::to_string(DefaultRetryDelay) + " minutes");
            break;
        case TSchedLineKind::OnlyOnACPower:
            CheckSwitch(line, kind, value, "Yes", "No", "makes a run wait for mains power");
            break;
        case TSchedLineKind::OnlyWithNetwork:
            CheckSwitch(line, kind, value, "Yes", "No", "makes a run wait for a network");
            break;
        case TSchedLineKind::WaitLimit:
            CheckWhole(line, kind, value, 0, MaxTimeLimit, "a waiting run waits without limit");
            break;
        case TSchedLineKind::AtStart:
            CheckSwitch(line, kind, value, "Yes", "No", "runs the entry at start-up");
            break;
        case TSchedLineKind::AlertAfter:
            CheckWhole(line, kind, value, 0, MaxAlertAfter, "the entry is never overdue");
            break;
        case TSchedLineKind::OnFailure:
        case TSchedLineKind::OnRecovery:
            CheckControls(line, kind, value);
            FCommandLines[kind] = line;
            break;
        case TSchedLineKind::Environment:
            // Never quoted: a value may be a secret. Its pairs are told with the entry's type.
            FEnvironmentLine = line;
            FEnvironment = ParseEnvironment(value);
            for (const std::string& escape : FEnvironment.BadEscapes)
                Report(line, std::string(ScheduleKeyText(kind)) + ": " + escape, true);
            break;
        default:
            break;
        }
        ApplyScheduleLine(FEntry, kind, value);
    }

    // The log and vantle-schedctl show them as escapes, and a name's TAB would part the
    // columns of `upcoming`.
    void CheckControls(std::size_t line, TSchedLineKind kind, std::string_view value) {
        std::string visible = VisibleText(value, TVisibleFor::Log, kind == TSchedLineKind::Name);
        if (visible != value)
            Report(line, std::string(ScheduleKeyText(kind)) +
                             " holds control characters, shown as escapes: " + Quoted(visible));
    }

    void CheckCode(std::size_t line, TSchedLineKind kind, std::string_view value, std::int32_t high,
                   std::uint8_t kept) {
        const std::string key(ScheduleKeyText(kind));
        std::optional<std::int32_t> n = ReadInt(value);
        if (!n)
            Report(line, key + std::string(value) + " is not a number and reads as 0");
        else if (*n < 0 || *n > high)
            Report(line, key + std::string(value) + " is out of range 0 to " +
                             std::to_string(high) + " and is ignored: the entry keeps " +
                             std::to_string(kept));
    }

    // A key of two words, `on` and `off` in any case; anything else reads as `off`.
    void CheckSwitch(std::size_t line, TSchedLineKind kind, std::string_view value,
                     const std::string& on, const std::string& off, const std::string& effect) {
        if (!EqualsNoCase(value, on) && !EqualsNoCase(value, off))
            Report(line, std::string(ScheduleKeyText(kind)) + std::string(value) + " reads as " +
                             off + ": only " + on + " (in any case) " + effect);
    }

    // Each reads as no limit at all, which a user who wrote one did not mean: an error.
    void CheckTimeLimit(std::size_t line, TSchedLineKind kind, std::string_view value) {
        const std::string said = std::string(ScheduleKeyText(kind)) + std::string(value);
        std::optional<std::int32_t> n = ReadInt(value);
        if (!n)
            Report(line,
                   said + ": the value is not a whole number of minutes; the entry runs "
                          "without a time limit",
                   true);
        else if (*n < 0)
            Report(line,
                   said + ": a time limit cannot be negative; the entry runs without "
                          "one",
                   true);
        else if (*n > MaxTimeLimit)
            Report(line,
                   said + ": over a year (" + std::to_string(MaxTimeLimit) +
                       " minutes); the entry runs without a time limit",
                   true);
    }

    // A number of retries or minutes the reader would not take: an error, as the entry
    // then behaves otherwise than the file says.
    void CheckWhole(std::size_t line, TSchedLineKind kind, std::string_view value, std::int32_t low,
                    std::int32_t high, const std::string& instead) {
        const std::string said = std::string(ScheduleKeyText(kind)) + std::string(value);
        std::optional<std::int32_t> n = ReadInt(value);
        if (!n)
            Report(line, said + ": the value is not a whole number; " + instead, true);
        else if (*n < low || *n > high)
            Report(line,
                   said + ": out of range (" + std::to_string(low) + " to " + std::to_string(high) +
                       "); " + instead,
                   true);
    }

    // A failure or recovery command whose program is not there fails just when it is
    // needed. One with a $-token is known only at its run.
    void CheckHookCommands(const std::string& name) {
        for (const auto& [kind, line] : FCommandLines) {
            const std::string& text =
                kind == TSchedLineKind::OnFailure ? FEntry.OnFailure : FEntry.OnRecovery;
            std::vector<std::string> words = SplitShellWords(text);
            if (words.empty() || words[0].find('$') != std::string::npos)
                continue;
            if (std::uint32_t code = FProbe(words[0], FEntry.WorkDir, std::nullopt); code != 0)
                Report(line,
                       "entry " + Quoted(name) + ": its " +
                           (kind == TSchedLineKind::OnFailure ? "failure" : "recovery") +
                           " command cannot start: " + StartErrorText(code),
                       true);
        }
    }

    // What the entry's program would not be given fails the run: an error. A variable set
    // twice takes its last value, which the first one's writer may not expect.
    void CheckEnvironment() {
        if (FEnvironmentLine == 0)
            return;
        const std::string key(ScheduleKeyText(TSchedLineKind::Environment));
        if (FEntry.CommandType == ctBuiltinResetTime) {
            Report(FEnvironmentLine,
                   key + " is not used by an entry of type 2 (Builtin), which starts no program");
            return;
        }
        for (const std::string& fault : FEnvironment.Malformed)
            Report(FEnvironmentLine,
                   key + ": " + fault + ", so the scheduler does not start the entry", true);
        std::vector<std::string_view> names;
        for (const std::string& pair : FEnvironment.Pairs) {
            const std::string_view name = std::string_view(pair).substr(0, pair.find('='));
            if (!IsEnvironmentName(name) || pair.find('=') == std::string::npos)
                continue;
            if (std::find(names.begin(), names.end(), name) != names.end())
                Report(FEnvironmentLine, key + ": " + std::string(name) +
                                             " is set twice; the last value is the one used");
            names.push_back(name);
        }
    }

    void EndSection() {
        if (!FInSection)
            return;
        FInSection = false;
        std::string name = FEntry.Name.empty() ? "(unnamed)" : FEntry.Name;
        if (FProbe && FEntry.Active)
            CheckHookCommands(name);
        // A program that is not there fails at every run: better told now than at 02:30.
        // It is looked for in the PATH the entry sets, unless that is known only at its run.
        const std::optional<std::string> path = PathSetBy(FEntry.Environment);
        if (FProbe && FEntry.Active && FEntry.CommandType != ctBuiltinResetTime &&
            FNulKeys.empty() && FEnvironment.Malformed.empty() &&
            !(path && path->find('$') != std::string::npos)) {
            // Without a working folder a run starts in the home folder: said, since a
            // relative command is looked for there.
            if (std::uint32_t code = FProbe(FEntry.Command, FEntry.WorkDir, path); code != 0)
                Report(FCommandLine != 0 ? FCommandLine : FHeaderLine,
                       "entry " + Quoted(name) + " cannot start: " + StartErrorText(code) +
                           (FEntry.WorkDir.empty() ? " (in " + FHome + ", as no WorkDir is given)"
                                                   : std::string()),
                       true);
        }
        if (FEntry.CommandType != ctBuiltinResetTime) {
            for (const auto& [key, line] : FNulKeys)
                Report(line,
                       std::string(key) +
                           " holds a NUL byte: the program would get the text cut there, so "
                           "the scheduler does not start the entry",
                       true);
        }
        CheckEnvironment();
        if (FEntry.CommandType == ctBuiltinResetTime && !FDroppedKeys.empty()) {
            for (const auto& [key, line] : FDroppedKeys)
                Report(line, std::string(key) +
                                 " is not kept for an entry of type 2 (Builtin): it is "
                                 "dropped at the next save");
        }
        if (FTimeLine == 0) {
            Report(FHeaderLine, "entry " + Quoted(name) +
                                    " has no Time= line: its time fields are empty and it is "
                                    "never due");
            return;
        }
        TDueFinder finder(FEntry);
        for (std::string& note : TimeFieldNotes(FEntry, finder.Tables()))
            Report(FTimeLine, std::move(note));
        // Never due by its fields, it still runs at each start-up: what it is meant for.
        if (!finder.NeverDue() || FEntry.AtStart)
            return;
        for (const std::string& reason : NeverDueReasons(FEntry, finder.Tables()))
            Report(FTimeLine, "entry " + Quoted(name) + " is never due: " + reason);
    }

    void CheckEnd(std::size_t end) {
        if (end < FContent.size()) {
            std::string_view rest = FContent.substr(end + 1);
            if (rest.find_first_not_of(std::string_view("\r\n\x1a \t", 5)) !=
                std::string_view::npos)
                Report(FLines.LineAt(end), "Ctrl-Z ends the file here: the " +
                                               CountOf(std::int64_t(rest.size()), "byte", "bytes") +
                                               " after it " + (rest.size() == 1 ? "is" : "are") +
                                               " not read");
        }
        if (!FSeenHeader &&
            FContent.substr(0, end).find_first_not_of(" \t\r\n") != std::string_view::npos)
            Report(1, "no '[Schedule ' header: the file holds no entries");
    }

    std::string_view FContent;
    TLineCounter FLines;
    std::vector<TFinding> FFindings;
    bool FInSection = false;
    bool FSeenHeader = false;
    TSchedule FEntry;
    std::size_t FHeaderLine = 0;
    std::size_t FTimeLine = 0;
    std::size_t FCommandLine = 0;
    const TStartProbe& FProbe;
    std::string FHome;
    std::map<TSchedLineKind, std::size_t> FFirstLineOf;
    std::vector<std::pair<std::string_view, std::size_t>> FDroppedKeys;
    std::vector<std::pair<std::string_view, std::size_t>> FNulKeys;
    std::map<TSchedLineKind, std::size_t> FCommandLines; // OnFailure=, OnRecovery=
    std::size_t FEnvironmentLine = 0;
    TEnvironmentText FEnvironment;
};

} // namespace

std::vector<TFinding> CheckScheduleText(std::string_view content, const TStartProbe& probe,
                                        const std::string& home) {
    return TChecker(content, probe, home.empty() ? HomeFolder(ProcessEnvironment()) : home).Run();
}

std::vector<TFinding> CheckSchedulePermissions(mode_t fileMode, mode_t folderMode) {
    std::vector<TFinding> findings;
    if ((fileMode & (S_IWGRP | S_IWOTH)) != 0)
        findings.push_back(
            TFinding{0, std::string("the file is writable by ") +
                            ((fileMode & S_IWOTH) != 0 ? "every user" : "its group") +
                            ": anyone who can write it can run programs as you"});
    // Without the sticky bit, whoever may write the folder may replace the file in it.
    if ((folderMode & (S_IWGRP | S_IWOTH)) != 0 && (folderMode & S_ISVTX) == 0)
        findings.push_back(TFinding{
            0, std::string("the folder is writable by ") +
                   ((folderMode & S_IWOTH) != 0 ? "every user" : "its group") +
                   ": anyone who can write it can replace the file and run programs as you"});
    return findings;
}

} // namespace vantle::cli
