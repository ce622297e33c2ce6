// fmt, check, due, next and upcoming: the schedule model seen from the command line.
#include "cli/Arguments.h"
#include "cli/Check.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"
#include "platform/Clock.h"
#include "platform/SysErrors.h"
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

// A usage or input/output error: the command prints it and exits with 2.
class EFailure : public Exception {
public:
    using Exception::Exception;
};

struct TOptions {
    std::vector<std::string> Files;
    std::optional<std::string> At, From, Count, Days;
    bool Write = false;
};

// The options a command allows and exactly one file; anything else is a usage error.
TOptions ParseOptions(const TArgs& args, const std::vector<std::string>& valued, bool allowWrite,
                      const std::string& usage) {
    TArguments parsed;
    if (std::optional<std::string> error = ParseArguments(
            args, allowWrite ? std::vector<std::string>{"-w"} : std::vector<std::string>{}, valued,
            parsed))
        throw EFailure(*error + "\n" + usage);
    TOptions options;
    options.Files = parsed.Positional;
    options.At = parsed.Value("--at");
    options.From = parsed.Value("--from");
    options.Count = parsed.Value("--count");
    options.Days = parsed.Value("--days");
    options.Write = parsed.Has("-w");
    // Without FILE, the desktop program's schedule.
    if (options.Files.empty())
        options.Files.push_back(DesktopFiles().ScheduleFile);
    if (options.Files.size() != 1)
        throw EFailure("more than one FILE given\n" + usage);
    return options;
}

TDateTime ParseMomentOption(const std::string& text, const std::string& option) {
    std::string error;
    std::optional<TMoment> moment = ParseMoment(text, option, error);
    if (!moment)
        throw EFailure(error);
    return moment->Local;
}

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

int WholeNumberOption(const std::string& text, const std::string& option, int most) {
    bool digits = !text.empty() && text.size() <= 7 &&
                  text.find_first_not_of("0123456789") == std::string::npos;
    int value = digits ? std::stoi(text) : 0;
    if (value < 1 || value > most)
        throw EFailure(option + " wants a whole number from 1 to " + std::to_string(most) +
                       ", not '" + text + "'");
    return value;
}

std::string FormatMinute(TDateTime moment) {
    TDateParts date = DecodeDate(moment);
    TTimeParts time = DecodeTime(moment);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", date.Year, date.Month, date.Day,
                  time.Hour, time.Minute);
    return text;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

template <typename TBody> int Guarded(const char* command, std::ostream& err, TBody body) {
    try {
        return body();
    } catch (const EFailure& failure) {
        err << "vantle-schedctl " << command << ": " << failure.Message() << "\n";
    } catch (const std::exception& error) {
        err << "vantle-schedctl " << command << ": " << DescribeError(error) << "\n";
    }
    return 2;
}

const char* const FmtUsage = "Usage: vantle-schedctl fmt [-w] [FILE]";
const char* const CheckUsage = "Usage: vantle-schedctl check [FILE]";
const char* const DueUsage = "Usage: vantle-schedctl due --at MOMENT [FILE]";
const char* const NextUsage = "Usage: vantle-schedctl next [--from MOMENT] [--count N] [FILE]";
const char* const UpcomingUsage =
    "Usage: vantle-schedctl upcoming [--from MOMENT] [--days N | --count N] [FILE]";

} // namespace

int CmdFmt(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("fmt", err, [&] {
        TOptions options = ParseOptions(args, {}, true, FmtUsage);
        const std::string& path = options.Files.front();
        TSchedList list;
        LoadList(list, path);
        if (options.Write) {
            try {
                list.Save();
            } catch (const Exception& error) {
                throw EFailure(path + ": " + error.Message());
            }
            return 0;
        }
        out << FormatScheduleFile(EntriesOf(list));
        out.flush();
        return 0;
    });
}

int CmdCheck(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("check", err, [&] {
        TOptions options = ParseOptions(args, {}, false, CheckUsage);
        const std::string& path = options.Files.front();
        struct stat st = RequireFile(path);
        std::string content;
        try {
            content = ReadScheduleBytes(path);
        } catch (const Exception& error) {
            throw EFailure(path + ": " + error.Message());
        }
        struct stat folder {};
        mode_t folderMode = stat(FolderOf(path).c_str(), &folder) == 0 ? folder.st_mode : 0;
        std::vector<TFinding> findings = CheckSchedulePermissions(st.st_mode, folderMode);
        std::vector<TFinding> textFindings = CheckScheduleText(content);
        findings.insert(findings.end(), textFindings.begin(), textFindings.end());
        for (const TFinding& finding : findings) {
            out << path << ":";
            if (finding.Line > 0)
                out << finding.Line << ":";
            out << " " << finding.Message << "\n";
        }
        return findings.empty() ? 0 : 1;
    });
}

int CmdDue(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("due", err, [&] {
        TOptions options = ParseOptions(args, {"--at"}, false, DueUsage);
        if (!options.At)
            throw EFailure(std::string("--at is required\n") + DueUsage);
        TDueMoment moment = SplitMoment(ParseMomentOption(*options.At, "--at"));
        TSchedList list;
        LoadList(list, options.Files.front());
        for (const TSchedule* entry : EntriesOf(list))
            if (IsDue(*entry, moment))
                out << entry->Name << "\n";
        return 0;
    });
}

int CmdNext(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("next", err, [&] {
        TOptions options = ParseOptions(args, {"--from", "--count"}, false, NextUsage);
        TDateTime from =
            options.From ? ParseMomentOption(*options.From, "--from") : SystemClock().Now();
        int count = options.Count ? WholeNumberOption(*options.Count, "--count", 1000000) : 5;
        TSchedList list;
        LoadList(list, options.Files.front());
        for (const TSchedule* entry : EntriesOf(list)) {
            if (!entry->Active)
                continue;
            TDueFinder finder(*entry);
            std::vector<TDateTime> moments = finder.Next(from, count);
            if (moments.empty())
                out << entry->Name << "\tnever\n";
            for (TDateTime moment : moments)
                out << entry->Name << "\t" << FormatMinute(moment) << "\n";
        }
        return 0;
    });
}

int CmdUpcoming(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("upcoming", err, [&] {
        TOptions options =
            ParseOptions(args, {"--from", "--days", "--count"}, false, UpcomingUsage);
        if (options.Days && options.Count)
            throw EFailure(std::string("--days and --count exclude each other\n") + UpcomingUsage);
        // From the minute given; without one, from the next minute, as the window lists.
        TDateTime first = options.From ? ParseMomentOption(*options.From, "--from")
                                       : SystemClock().Now() + 1.0 / 1440;
        std::size_t limit = SIZE_MAX;
        TDateTime end = 0;
        if (options.Count) {
            limit = static_cast<std::size_t>(WholeNumberOption(*options.Count, "--count", 1000000));
            end = first + 146097.0; // one whole calendar cycle holds the next run of any entry
        } else {
            end = first + (options.Days ? WholeNumberOption(*options.Days, "--days", 36525) : 7);
        }
        TSchedList list;
        LoadList(list, options.Files.front());
        std::vector<const TSchedule*> entries = EntriesOf(list);
        // Printed as found: a long span of a minutely entry need not fit in memory.
        ForEachUpcomingRun(entries, first, end, limit, [&](const TUpcomingRun& run) {
            out << FormatMinute(run.Moment) << "\t" << entries[run.Index]->Name << "\n";
        });
        return 0;
    });
}

} // namespace vantle::cli
