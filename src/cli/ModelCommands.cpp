// fmt, check, due, next and upcoming: the schedule model seen from the command line.
#include "cli/Arguments.h"
#include "cli/Check.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"
#include "cli/ScheduleChange.h"
#include "engine/CatchUp.h"
#include "engine/Retries.h"
#include "engine/Scheduler.h"
#include "engine/StateFile.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/StartProbe.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"
#include "sched/LenientFields.h"
#include "sched/NextDue.h"
#include "sched/SchedFile.h"
#include "sched/SchedList.h"
#include "sched/TimeFieldInput.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace vantle::cli {

namespace {

// The commands read regular files only. One that does not exist is an empty schedule,
// as the scheduler takes it; told on standard error, so a mistyped name shows.
// Returns nullopt for a missing file.
std::optional<struct stat> RequireFile(const std::string& path, std::ostream& err) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(errno)));
        err << "vantle-schedctl: " << path << " does not exist; an empty schedule\n";
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode))
        throw EFailure(path + ": not a regular file");
    return st;
}

void LoadList(TSchedList& list, const std::string& path, std::ostream& err) {
    if (!LoadForChange(list, path))
        err << "vantle-schedctl: " << path << " does not exist; an empty schedule\n";
}

// Each time field the file's lenient reading takes for something else, in the stored
// form the entry dialog converts cron text to; every change told on `err`.
void ConvertTimeFields(TSchedList& list, std::ostream& err) {
    TSchedListLock lock(list);
    for (std::int32_t i = 0; i < list.Count(); ++i) {
        TSchedule entry = list.Items(i);
        const std::string name = VisibleText(entry.Name, TVisibleFor::Terminal);
        for (const TLenientField& field : LenientFields(entry)) {
            std::string& text = entry.*TimeFieldOf(field.Kind).Text;
            const std::string stored = ToStoredTimeField(field.Kind, text);
            if (stored == text) {
                err << name << ": " << field.Name << " " << Quoted(text)
                    << " has no stored form; left as it is\n";
                continue;
            }
            err << name << ": " << field.Name << " " << Quoted(text) << " -> " << Quoted(stored)
                << "\n";
            text = stored;
        }
        list.Update(i, entry);
    }
}

// A run's minute; the second reading of a repeated hour with its offset ("-05:00"),
// so the two runs of one local minute read apart.
std::string FormatRun(TDateTime moment, bool again, std::int64_t instant) {
    std::string text = FormatMinute(moment);
    if (!again)
        return text;
    return text + " " + UtcOffsetText(UtcOffsetOf({moment, again, instant}));
}

// The local moment of a --from option, or now, and whether it is the second reading
// of a repeated hour.
std::pair<TDateTime, bool> FromOption(const std::optional<std::string>& text,
                                      std::int64_t minutesLater) {
    TMoment moment;
    if (text) {
        moment = ReadMoment(*text, "--from");
    } else {
        moment.Instant = SystemClock().UtcNow();
        moment.Instant.tv_sec += minutesLater * 60;
        moment.Local = LocalDateTimeOf(moment.Instant);
    }
    return {moment.Local, IsSecondReading(moment.Local, moment.Instant)};
}

} // namespace

int CmdFmt(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("fmt", err, [&] {
        TArguments options = ReadArguments("fmt", args, {"-w", "--convert"}, {});
        const std::string path = ScheduleFileOf("fmt", options);
        TSchedList list;
        if (options.Has("-w")) {
            // Writing back must not create a file a mistyped name would leave behind.
            struct stat st {};
            if (stat(path.c_str(), &st) != 0)
                throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(errno)));
            LoadList(list, path, err);
            if (options.Has("--convert"))
                ConvertTimeFields(list, err);
            SaveChange(list, err, "this change");
            return 0;
        }
        LoadList(list, path, err);
        if (options.Has("--convert"))
            ConvertTimeFields(list, err);
        out << FormatScheduleFile(list.Entries());
        out.flush();
        return 0;
    });
}

int CmdCheck(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("check", err, [&] {
        TArguments options = ReadArguments("check", args, {}, {});
        const std::string path = ScheduleFileOf("check", options);
        std::optional<struct stat> st = RequireFile(path, err);
        if (!st)
            return 0; // nothing to find in an empty schedule
        std::string content;
        try {
            content = ReadScheduleBytes(path);
        } catch (const Exception& error) {
            throw EFailure(path + ": " + error.Message());
        }
        struct stat folder {};
        mode_t folderMode = stat(FolderOfFile(path).c_str(), &folder) == 0 ? folder.st_mode : 0;
        std::vector<TFinding> findings = CheckSchedulePermissions(st->st_mode, folderMode);
        const std::string searchPath = SearchPath();
        std::vector<TFinding> textFindings = CheckScheduleText(
            content, [&searchPath](const std::string& file, const std::string& directory,
                                   const std::optional<std::string>& path) {
                return ProbeStart(file, directory, path.value_or(searchPath));
            });
        findings.insert(findings.end(), textFindings.begin(), textFindings.end());
        for (const TFinding& finding : findings) {
            out << path << ":";
            if (finding.Line > 0)
                out << finding.Line << ":";
            out << (finding.Error ? " error: " : " ")
                << VisibleText(finding.Message, TVisibleFor::Terminal) << "\n";
        }
        return findings.empty() ? 0 : 1;
    });
}

int CmdDue(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("due", err, [&] {
        TArguments options = ReadArguments("due", args, {}, {"--at"});
        const std::string path = ScheduleFileOf("due", options);
        std::optional<std::string> at = options.Value("--at");
        if (!at)
            throw UsageError("due", "--at is required");
        TDueMoment moment = SplitMoment(ReadMoment(*at, "--at").Local);
        TSchedList list;
        LoadList(list, path, err);
        for (const TSchedule* entry : list.Entries())
            if (IsDue(*entry, moment))
                out << VisibleText(entry->Name, TVisibleFor::Terminal) << "\n";
        return 0;
    });
}

int CmdNext(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("next", err, [&] {
        TArguments options = ReadArguments("next", args, {}, {"--from", "--count"});
        const std::string path = ScheduleFileOf("next", options);
        std::optional<std::string> fromText = options.Value("--from");
        std::optional<std::string> countText = options.Value("--count");
        const auto [from, fromAgain] = FromOption(fromText, 0);
        int count = countText ? WholeNumberOption(*countText, "--count", 1000000) : 5;
        TSchedList list;
        LoadList(list, path, err);
        for (const TSchedule* entry : list.Entries()) {
            if (!entry->Active)
                continue;
            TDueFinder finder(*entry);
            std::vector<TDueRun> runs = finder.Runs(from, count, fromAgain);
            const std::string name = VisibleText(entry->Name, TVisibleFor::Terminal, true);
            if (runs.empty())
                out << name << (entry->AtStart ? "\tat start-up\n" : "\tnever\n");
            for (const TDueRun& run : runs)
                out << name << "\t" << FormatRun(run.Moment, run.Again, run.Instant) << "\n";
        }
        return 0;
    });
}

int CmdUpcoming(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("upcoming", err, [&] {
        TArguments options = ReadArguments("upcoming", args, {}, {"--from", "--days", "--count"});
        const std::string path = ScheduleFileOf("upcoming", options);
        std::optional<std::string> fromText = options.Value("--from");
        std::optional<std::string> daysText = options.Value("--days");
        std::optional<std::string> countText = options.Value("--count");
        if (daysText && countText)
            throw UsageError("upcoming", "--days and --count exclude each other");
        // From the minute given; without one, from the next minute, as the window lists.
        const auto [first, firstAgain] = FromOption(fromText, 1);
        std::size_t limit = SIZE_MAX;
        TDateTime end = 0;
        if (countText) {
            limit = static_cast<std::size_t>(WholeNumberOption(*countText, "--count", 1000000));
            end = first + 146097.0; // one whole calendar cycle holds the next run of any entry
        } else {
            end = first + (daysText ? WholeNumberOption(*daysText, "--days", 36525) : 7);
        }
        TSchedList list;
        LoadList(list, path, err);
        std::vector<const TSchedule*> entries = list.Entries();
        std::vector<std::string> names;
        names.reserve(entries.size());
        for (const TSchedule* entry : entries)
            names.push_back(VisibleText(entry->Name, TVisibleFor::Terminal, true));
        // A catch-up the scheduler runs when it starts next, and the retries it keeps
        // pending, as the state it left says.
        if (!fromText) {
            const std::string log =
                options.Positional.empty() ? DesktopFiles().LogFile : ChangeFileExt(path, ".LOG");
            const std::string state = StateFileFor(path, log);
            for (const TPendingCatchUp& pending :
                 PendingCatchUps(entries, LatestTestedIn(state), SystemClock().Now()))
                out << "next start\t" << names[pending.Index] << "\tcatch-up of "
                    << FormatMinute(MomentOfMinute(pending.Missed)) << "\n";
            const TSchedulerState kept = StateIn(state);
            for (const TWaitingRun& run : kept.Waiting)
                for (std::size_t i = 0; i < entries.size(); ++i)
                    if (entries[i]->Active && entries[i]->Name == run.Name)
                        out << "when ready\t" << names[i] << "\twaiting: " << run.Reason << ", due "
                            << FormatMinute(MomentOfMinute(run.Since)) << "\n";
            for (const TPendingRetry& retry : kept.Retries)
                for (std::size_t i = 0; i < entries.size(); ++i)
                    if (RetryApplies(retry, *entries[i]))
                        out << FormatMinute(MomentOfMinute(retry.Due)) << "\t" << names[i]
                            << "\tretry, attempt " << retry.Attempt.Number << " of "
                            << retry.Attempt.Of << "\n";
        }
        // Printed as found: a long span of a minutely entry need not fit in memory.
        ForEachUpcomingRun(
            entries, first, end, limit,
            [&](const TUpcomingRun& run) {
                out << FormatRun(run.Moment, run.Again, run.Instant) << "\t" << names[run.Index]
                    << "\n";
            },
            firstAgain);
        return 0;
    });
}

} // namespace vantle::cli
