// import: a crontab's lines as schedule entries, each line's verdict said first, the
// entries saved through the list's safe save (or, with --dry-run, shown as they would start).
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/ScheduleChange.h"

#include "engine/Parameters.h"
#include "platform/Clock.h"
#include "platform/CrontabSource.h"
#include "platform/Environment.h"
#include "platform/FileWriter.h"
#include "platform/FormatSettings.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/StartProbe.h"
#include "platform/TextUtils.h"
#include "sched/CrontabImport.h"
#include "sched/EnvironmentText.h"
#include "sched/SchedList.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle::cli {

namespace {

std::string Shown(std::string_view text) {
    return VisibleText(text, TVisibleFor::Terminal);
}

std::string ReadCrontabFile(const std::string& path) {
    TOwnFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0)
        throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(errno)));
    if (S_ISDIR(st.st_mode))
        throw EFailure(path + ": a folder, not a crontab");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(errno)));
        if (got == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// The crontab of --from (a file, or "-" for standard input), else the user's own.
std::string ReadCrontab(const std::optional<std::string>& from) {
    if (from && *from == "-")
        return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    if (from)
        return ReadCrontabFile(*from);
    try {
        return ReadUserCrontab();
    } catch (const ECrontabSource& error) {
        throw EFailure(error.Message() + "; give a crontab with --from FILE");
    }
}

void SayVerdicts(const TCrontabImport& result, std::ostream& err) {
    for (const TCrontabLine& line : result.Lines) {
        if (line.Line == 0) {
            err << "crontab: " << VerdictText(line) << ": " << Shown(line.Why) << '\n';
        } else if (line.Verdict == TCrontabVerdict::Note) {
            err << "line " << line.Line << ": " << VerdictText(line) << ": " << Shown(line.Why)
                << '\n';
        } else {
            err << "line " << line.Line << ": " << Shown(line.Text) << "\n  " << VerdictText(line)
                << (line.Why.empty() ? "" : ": ") << Shown(line.Why) << '\n';
        }
    }
}

// What each entry would start, as run --dry-run says it: the parameters expanded and
// split, the folder it would start in and the variables it sets, named but never given
// (a value may be a secret); or why it would fail.
void ShowEntries(const std::vector<TSchedule>& entries, std::ostream& out) {
    const TParameterExpander expander(SystemClock(), ProcessEnvironment(), SystemFormatSettings());
    for (const TSchedule& entry : entries) {
        out << "would add " << Shown(Quoted(entry.Name)) << ": "
            << (entry.AtStart ? std::string("at start-up only")
                              : entry.Minutes + " " + entry.Hours + " " + entry.Days + " " +
                                    entry.Months + " " + entry.WeekDays)
            << (entry.Active ? ", switched on" : ", switched off") << '\n';
        if (const std::uint32_t code =
                ProbeStart(entry.Command, entry.WorkDir, SearchPathFor(entry.Environment));
            code != 0) {
            out << Shown("  would fail: " + ShellQuote(entry.Command) + ": " + StartErrorText(code))
                << '\n';
            continue;
        }
        std::string line = "  would start: " + ShellQuote(entry.Command);
        for (const std::string& word : SplitShellWords(expander.ExpandParameters(entry.Parms)))
            line += ' ' + ShellQuote(word);
        const std::string names = EnvironmentNames(entry.Environment);
        line += " (in " + WorkFolderOf(entry.WorkDir) +
                (names.empty() ? std::string() : ", setting " + names) + ")";
        out << Shown(line) << '\n';
    }
}

std::string CountText(const TCrontabImport& result) {
    return CountOf(static_cast<std::int64_t>(result.Entries.size()), "entry", "entries");
}

void SayAdvice(const TCrontabImport& result, bool active, bool userCrontab, std::ostream& err) {
    for (const std::string& line : CommentOutAdvice(result, userCrontab))
        err << line << '\n';
    if (result.Entries.empty())
        return;
    if (active)
        err << "The entries are switched on: until those lines are commented out, cron runs "
               "them too.\n";
    else
        err << "Then switch the entries on: vantle-schedctl enable NAME for each, or Edit > "
               "Modify and Active in the window.\n";
}

} // namespace

int CmdImport(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("import", err, [&] {
        TArguments options = ReadArguments("import", args, {"--dry-run", "--active"}, {"--from"});
        const std::string path = ScheduleFileOf("import", options);
        const bool dryRun = options.Has("--dry-run");
        const bool active = options.Has("--active");
        const std::optional<std::string> from = options.Value("--from");
        const std::string text = ReadCrontab(from);

        TSchedList list;
        const bool exists = LoadForChange(list, path);
        TCrontabImportOptions importing;
        importing.Active = active;
        importing.LocalZone = MachineZone();
        importing.IsUserName = IsUserColumn;
        for (const TSchedule* entry : list.Entries())
            importing.TakenNames.push_back(entry->Name);
        const TCrontabImport result = ImportCrontab(text, importing);

        SayVerdicts(result, err);
        if (dryRun)
            ShowEntries(result.Entries, out);
        const std::string shownPath = Shown(path);
        if (result.Entries.empty()) {
            err << "Nothing to add to " << shownPath << ".\n";
        } else if (dryRun) {
            err << "Nothing written (--dry-run): " << CountText(result) << " would be added to "
                << shownPath << (exists ? "" : " (created)") << ", switched "
                << (active ? "on" : "off") << ".\n";
        } else {
            for (const TSchedule& entry : result.Entries)
                list.Add(std::make_unique<TSchedule>(entry));
            SaveChange(list, err, "this import");
            err << CountText(result) << " added to " << shownPath << (exists ? "" : " (created)")
                << ", switched " << (active ? "on" : "off") << ".\n";
        }
        SayAdvice(result, active, !from, err);
        out.flush();
        return AnyNotImported(result) ? 1 : 0;
    });
}

} // namespace vantle::cli
