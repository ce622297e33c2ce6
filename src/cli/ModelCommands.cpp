// fmt, check, due, next and upcoming: the schedule model seen from the command line.
#include "cli/Arguments.h"
#include "cli/Check.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"
#include "engine/CatchUp.h"
#include "engine/Scheduler.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"
#include "sched/NextDue.h"
#include "sched/SchedFile.h"
#include "sched/SchedList.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace vantle::cli {

namespace {

// The commands read existing regular files only: a mistyped name should not read as
// an empty schedule, nor should `fmt -w` create one.
struct stat RequireFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(errno)));
    if (!S_ISREG(st.st_mode))
        throw EFailure(path + ": not a regular file");
    return st;
}

void LoadList(TSchedList& list, const std::string& path) {
    RequireFile(path);
    list.SetFileName(path);
    try {
        list.Load();
    } catch (const ENotSchedule& error) {
        throw EFailure(error.Message()); // it names the file itself
    } catch (const Exception& error) {
        throw EFailure(path + ": " + error.Message());
    }
}

std::vector<const TSchedule*> EntriesOf(TSchedList& list) {
    TSchedListLock lock(list);
    std::vector<const TSchedule*> entries;
    for (std::int32_t i = 0; i < list.Count(); ++i)
        entries.push_back(&list.Items(i));
    return entries;
}

std::string FormatMinute(TDateTime moment) {
    TDateParts date = DecodeDate(moment);
    TTimeParts time = DecodeTime(moment);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", date.Year, date.Month, date.Day,
                  time.Hour, time.Minute);
    return text;
}

} // namespace

int CmdFmt(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("fmt", err, [&] {
        TArguments options = ReadArguments("fmt", args, {"-w"}, {});
        const std::string path = ScheduleFileOf("fmt", options);
        TSchedList list;
        LoadList(list, path);
        if (options.Has("-w")) {
            try {
                list.Save();
            } catch (const Exception& error) {
                throw EFailure(path + ": " + error.Message());
            }
            for (const std::string& warning : list.SaveWarnings())
                err << "warning: " << warning << '\n';
            return 0;
        }
        out << FormatScheduleFile(EntriesOf(list));
        out.flush();
        return 0;
    });
}

int CmdCheck(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("check", err, [&] {
        TArguments options = ReadArguments("check", args, {}, {});
        const std::string path = ScheduleFileOf("check", options);
        struct stat st = RequireFile(path);
        std::string content;
        try {
            content = ReadScheduleBytes(path);
        } catch (const Exception& error) {
            throw EFailure(path + ": " + error.Message());
        }
        struct stat folder {};
        mode_t folderMode = stat(FolderOfFile(path).c_str(), &folder) == 0 ? folder.st_mode : 0;
        std::vector<TFinding> findings = CheckSchedulePermissions(st.st_mode, folderMode);
        const std::string searchPath = SearchPath();
        std::vector<TFinding> textFindings = CheckScheduleText(
            content, [&searchPath](const std::string& file, const std::string& directory) {
                return ProbeStart(file, directory, searchPath);
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
        LoadList(list, path);
        for (const TSchedule* entry : EntriesOf(list))
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
        TDateTime from = fromText ? ReadMoment(*fromText, "--from").Local : SystemClock().Now();
        int count = countText ? WholeNumberOption(*countText, "--count", 1000000) : 5;
        TSchedList list;
        LoadList(list, path);
        for (const TSchedule* entry : EntriesOf(list)) {
            if (!entry->Active)
                continue;
            TDueFinder finder(*entry);
            std::vector<TDateTime> moments = finder.Next(from, count);
            const std::string name = VisibleText(entry->Name, TVisibleFor::Terminal, true);
            if (moments.empty())
                out << name << "\tnever\n";
            for (TDateTime moment : moments)
                out << name << "\t" << FormatMinute(moment) << "\n";
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
        TDateTime first =
            fromText ? ReadMoment(*fromText, "--from").Local : IncMinutes(SystemClock().Now(), 1);
        std::size_t limit = SIZE_MAX;
        TDateTime end = 0;
        if (countText) {
            limit = static_cast<std::size_t>(WholeNumberOption(*countText, "--count", 1000000));
            end = first + 146097.0; // one whole calendar cycle holds the next run of any entry
        } else {
            end = first + (daysText ? WholeNumberOption(*daysText, "--days", 36525) : 7);
        }
        TSchedList list;
        LoadList(list, path);
        std::vector<const TSchedule*> entries = EntriesOf(list);
        std::vector<std::string> names;
        names.reserve(entries.size());
        for (const TSchedule* entry : entries)
            names.push_back(VisibleText(entry->Name, TVisibleFor::Terminal, true));
        // A catch-up the scheduler runs when it starts next, as the state it left says.
        if (!fromText) {
            const std::string log =
                options.Positional.empty() ? DesktopFiles().LogFile : ChangeFileExt(path, ".LOG");
            for (const TPendingCatchUp& pending : PendingCatchUps(
                     entries, LatestTestedIn(StateFileOf(path, log)), SystemClock().Now()))
                out << "next start\t" << names[pending.Index] << "\tcatch-up of "
                    << FormatMinute(MomentOfMinute(pending.Missed)) << "\n";
        }
        // Printed as found: a long span of a minutely entry need not fit in memory.
        ForEachUpcomingRun(entries, first, end, limit, [&](const TUpcomingRun& run) {
            out << FormatMinute(run.Moment) << "\t" << names[run.Index] << "\n";
        });
        return 0;
    });
}

} // namespace vantle::cli
