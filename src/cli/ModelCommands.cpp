// fmt, check, due and next: the schedule model seen from the command line.
#include "cli/Check.h"
#include "cli/Commands.h"
#include "cli/NextDue.h"
#include "platform/Clock.h"
#include "platform/SysErrors.h"
#include "sched/SchedFile.h"
#include "sched/SchedList.h"

#include <cerrno>
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
    std::optional<std::string> At, From, Count;
    bool Write = false;
};

// Splits `args` into the options a command allows ("--at" and "--at=..." alike) and the
// file; anything else is a usage error.
TOptions ParseOptions(const TArgs& args, const std::vector<std::string>& valued, bool allowWrite,
                      const std::string& usage) {
    TOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            options.Files.insert(options.Files.end(), args.begin() + static_cast<long>(i) + 1,
                                 args.end());
            break;
        }
        if (allowWrite && arg == "-w") {
            options.Write = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::string name = arg.substr(0, arg.find('='));
            bool known = false;
            for (const std::string& option : valued)
                known = known || option == name;
            if (!known)
                throw EFailure("unknown option '" + arg + "'\n" + usage);
            std::string value;
            if (name.size() < arg.size()) {
                value = arg.substr(name.size() + 1);
            } else {
                if (i + 1 >= args.size())
                    throw EFailure("option " + name + " needs a value\n" + usage);
                value = args[++i];
            }
            std::optional<std::string>& slot = name == "--at"     ? options.At
                                               : name == "--from" ? options.From
                                                                  : options.Count;
            slot = value;
            continue;
        }
        options.Files.push_back(arg);
    }
    if (options.Files.size() != 1)
        throw EFailure((options.Files.empty() ? "no FILE given\n" : "more than one FILE given\n") +
                       usage);
    return options;
}

int Digits(const std::string& text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "YYYY-MM-DD hh:mm", with ":ss" when `seconds` allows it; local time.
TDateTime ParseMoment(const std::string& text, bool seconds, const std::string& option) {
    const std::string wanted = seconds ? "\"YYYY-MM-DD hh:mm[:ss]\"" : "\"YYYY-MM-DD hh:mm\"";
    bool shapeOk = (text.size() == 16 || (seconds && text.size() == 19)) && text[4] == '-' &&
                   text[7] == '-' && text[10] == ' ' && text[13] == ':' &&
                   (text.size() == 16 || text[16] == ':');
    int year = shapeOk ? Digits(text, 0, 4) : -1;
    int month = shapeOk ? Digits(text, 5, 2) : -1;
    int day = shapeOk ? Digits(text, 8, 2) : -1;
    int hour = shapeOk ? Digits(text, 11, 2) : -1;
    int minute = shapeOk ? Digits(text, 14, 2) : -1;
    int second = shapeOk && text.size() == 19 ? Digits(text, 17, 2) : 0;
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        throw EFailure(option + " wants " + wanted + ", not '" + text + "'");
    try {
        return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
    } catch (const EConvertError&) {
        throw EFailure(option + " '" + text + "' is not a date and time of the calendar");
    }
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
        err << "vantle-schedctl " << command << ": " << error.what() << "\n";
    }
    return 2;
}

const char* const FmtUsage = "Usage: vantle-schedctl fmt [-w] FILE";
const char* const CheckUsage = "Usage: vantle-schedctl check FILE";
const char* const DueUsage = "Usage: vantle-schedctl due --at \"YYYY-MM-DD hh:mm[:ss]\" FILE";
const char* const NextUsage =
    "Usage: vantle-schedctl next [--from \"YYYY-MM-DD hh:mm\"] [--count N] FILE";

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
        TDueMoment moment = SplitMoment(ParseMoment(*options.At, true, "--at"));
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
            options.From ? ParseMoment(*options.From, false, "--from") : SystemClock().Now();
        int count = 5;
        if (options.Count) {
            const std::string& text = *options.Count;
            bool digits = !text.empty() && text.size() <= 7 &&
                          text.find_first_not_of("0123456789") == std::string::npos;
            count = digits ? std::stoi(text) : 0;
            if (count < 1 || count > 1000000)
                throw EFailure("--count wants a whole number from 1 to 1000000, not '" + text +
                               "'");
        }
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

} // namespace vantle::cli
