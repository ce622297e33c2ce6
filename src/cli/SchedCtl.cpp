#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include <cctype>
#include <ostream>

// The build says the version; a build that does not (the fuzz targets') still compiles.
#ifndef VANTLE_VERSION
#define VANTLE_VERSION "unknown"
#endif

namespace vantle::cli {

namespace {

using TCommand = int (*)(const TArgs&, std::ostream&, std::ostream&);

struct TCommandHelp {
    const char* Name;
    TCommand Run;
    const char* Usage;
    const char* Summary;
    const char* Details;
};

// One table serves the dispatch, the overview, `help COMMAND`, `COMMAND --help` and
// the usage line a command prints after a usage error.
const TCommandHelp Commands[] = {
    {"fmt", CmdFmt, "fmt [-w] [--convert] [FILE]",
     "print FILE in the saved form (-w: save it back in place)",
     "  -w          write the saved form back to FILE instead of printing it\n"
     "  --convert   write cron text (*/15, mon-fri, jan) as the stored form and say\n"
     "              each change on standard error\n"},
    {"check", CmdCheck, "check [FILE]", "report what the reader accepts but was probably not meant",
     "Prints FILE:LINE: and a finding per line; exits with 1 when there is any.\n"},
    {"due", CmdDue, "due --at MOMENT [FILE]", "names of the entries due at that local moment",
     "  --at MOMENT   the local moment to test (required)\n"},
    {"next", CmdNext, "next [--from MOMENT] [--count N] [FILE]",
     "the next N due moments of every active entry",
     "  --from MOMENT  start the search at this local minute (default: now)\n"
     "  --count N      moments per entry, 1 to 1000000 (default: 5)\n"},
    {"upcoming", CmdUpcoming, "upcoming [--from MOMENT] [--days N | --count N] [FILE]",
     "every run of the active entries in time order",
     "  --from MOMENT  start at this local minute (default: the next minute)\n"
     "  --days N       every run of the next N days (default: 7)\n"
     "  --count N      the next N runs, however far ahead\n"},
    {"expand", CmdExpand, "expand [--at MOMENT] TEXT", "TEXT with its $-tokens expanded",
     "  --at MOMENT   expand as at this local moment (default: now)\n"},
    {"run", CmdRun,
     "run [--once [--wait SECONDS]] [--dry-run] [--at MOMENT]... [--log LOGFILE] "
     "[--keep-runs N] [--keep-mb N] [--on-failure COMMAND] [--on-recovery COMMAND] "
     "[--fail NAME]... [--ac | --no-ac] [--network | --no-network] [FILE]",
     "run the scheduler without a window",
     "Runs a cycle a second after start, then five seconds past every minute, until\n"
     "SIGINT, SIGTERM or SIGHUP.\n"
     "  --once         run one cycle at once and exit (1 when it or an entry failed)\n"
     "  --wait SECONDS with --once, wait up to SECONDS for the started programs to\n"
     "                 end, logging their ends (1 when one ended badly; default 0)\n"
     "  --dry-run      start nothing and set no clock; print the log lines instead\n"
     "  --at MOMENT    the moment of the one cycle (needs --once); given more than\n"
     "                 once (with --dry-run), one cycle at each moment in turn\n"
     "  --log LOGFILE  the log (default: FILE with the extension .LOG, or the\n"
     "                 desktop program's log when FILE is left out)\n"
     "  --keep-runs N  the run records keep the newest N runs (default: 1000)\n"
     "  --keep-mb N    ... and at most N megabytes of their output (default: 200)\n"
     "  --on-failure COMMAND   run when a failure of an entry without its own\n"
     "                 OnFailure= is told (the run's details in VANTLE_* variables,\n"
     "                 the end of its output on standard input)\n"
     "  --on-recovery COMMAND  the same when such an entry works again\n"
     "  --fail NAME    with --dry-run, the played runs of entry NAME fail, so its\n"
     "                 retries play out\n"
     "  --ac, --no-ac  with --dry-run, play on mains power or on battery\n"
     "  --network, --no-network  with --dry-run, play with or without a network\n"
     "                 (default: what this machine says now)\n"},
    {"history", CmdHistory,
     "history [--entry NAME] [--failed] [--since MOMENT] [--count N] [--output RUN] [FILE]",
     "the recorded runs, one line each, newest last",
     "Prints START<TAB>NAME<TAB>RESULT<TAB>DURATION<TAB>RUN<TAB>HOW per run.\n"
     "  --entry NAME    the runs of that entry only\n"
     "  --failed        failed runs only\n"
     "  --since MOMENT  runs started at that local moment or later\n"
     "  --count N       the newest N runs\n"
     "  --output RUN    print what run RUN wrote instead\n"},
    {"add", CmdAdd,
     "add --name NAME --time \"M H D Mo W\" --command CMD [--parms P] [--workdir DIR] "
     "[--comment C] [--inactive] [--catch-up yes|no] [--overlap allow|skip] "
     "[--time-limit N] [--env NAME=VALUE]... [FILE]",
     "add an entry at the end of the schedule",
     "Saves the schedule at once, as the window saves it; a scheduler running on it\n"
     "takes the change up at its next cycle.\n"
     "  --time TEXT    the five time fields; cron's steps, names and 7 for Sunday are\n"
     "                 converted as the entry dialog converts them\n"
     "  --inactive     add it switched off\n"
     "  --env NAME=VALUE  a variable for its program (repeat for more)\n"
     "CR, LF, Ctrl-Z and NUL are refused in every value.\n"},
    {"set", CmdSet,
     "set NAME [--index N] [--name NEW] [--time TEXT] [--command CMD] [--parms P] "
     "[--workdir DIR] [--comment C] [--active | --inactive] [--catch-up yes|no] "
     "[--overlap allow|skip] [--time-limit N] [--env NAME=VALUE]... [FILE]",
     "change the entry named NAME",
     "Options as for add. --time-limit 0 and --catch-up no undo; any --env replaces the\n"
     "whole environment, and one empty --env \"\" clears it.\n"
     "  --index N      the entry at position N (from 0, as [Schedule N]) when several\n"
     "                 have the name\n"},
    {"remove", CmdRemove, "remove NAME [--index N] [FILE]", "delete the entry named NAME",
     "  --index N      the entry at position N when several have the name\n"},
    {"enable", CmdEnable, "enable NAME [--index N] [FILE]", "switch the entry named NAME on",
     "  --index N      the entry at position N when several have the name\n"},
    {"disable", CmdDisable, "disable NAME [--index N] [FILE]", "switch the entry named NAME off",
     "  --index N      the entry at position N when several have the name\n"},
    {"rename", CmdRename, "rename NAME NEW [--index N] [FILE]",
     "give the entry named NAME a new name",
     "  --index N      the entry at position N when several have the name\n"},
    {"import", CmdImport, "import [--dry-run] [--active] [--from CRONTAB | --from -] [FILE]",
     "add a crontab's lines as entries that run as cron runs them",
     "Reads your crontab (crontab -l), says on standard error for each line whether it\n"
     "was imported, imported as several entries, approximated or not imported, and\n"
     "why, then adds the entries at the end of FILE (created when missing), switched\n"
     "off, each named after its command. Exits with 1 when a line was not imported.\n"
     "  --from CRONTAB read this file instead; - reads standard input\n"
     "  --active       add the entries switched on\n"
     "  --dry-run      write nothing; print what each entry would start\n"},
    {"status", CmdStatus, "status [FILE]",
     "whether a scheduler runs FILE, and what fails, waits or is overdue",
     "Prints what holds the schedule, the latest minute tested, then a line per entry\n"
     "failing, waiting for a condition, overdue or with a retry pending. Never takes\n"
     "the schedule's lock.\n"
     "Exits with 0 when a scheduler runs, switched on, and nothing fails or is\n"
     "overdue; 1 when something fails or is overdue, or the latest minute tested is\n"
     "more than 3 minutes old; 3 when no scheduler runs or it is switched off.\n"},
    {"start", CmdStart, "start NAME [--wait] [--here] [--index N] [FILE]",
     "carry out the entry NAME at once, through the scheduler that runs FILE",
     "Asks the scheduler that holds FILE (the window or run) to carry the entry out at\n"
     "once, as Execute Now does: recorded with the trigger \"Execute Now\", its time\n"
     "limit kept. Prints the run's number (as history lists it; 0: not recorded).\n"
     "  --wait         wait for the run's end, say its result on standard error and\n"
     "                 exit with 0 for a good end, 1 for a failure, 3 when the\n"
     "                 scheduler stops first\n"
     "  --here         when no scheduler runs FILE, take its lock and carry the entry\n"
     "                 out here, waiting for its end as --wait does\n"
     "  --index N      the entry at position N (from 0, as [Schedule N]) when several\n"
     "                 have the name\n"
     "Exits with 2 when no active entry has the name or several have it, and with 3\n"
     "when no scheduler runs FILE.\n"},
};

const char* const Footer =
    "Without FILE, a command uses the desktop program's schedule (see --paths).\n"
    "\n"
    "MOMENT is local time \"YYYY-MM-DD hh:mm[:ss[.zzz]]\", optionally followed by Z or\n"
    "+hh:mm to name one of the two readings of a repeated hour (else the earlier one).\n"
    "\n"
    "Exit codes: 0 success, 1 findings (check) or a failed cycle or start (run --once),\n"
    "2 usage or input/output error; status and start say 3 when no scheduler runs.\n";

const TCommandHelp* FindCommand(const std::string& name) {
    for (const TCommandHelp& command : Commands)
        if (name == command.Name)
            return &command;
    return nullptr;
}

void PrintUsage(std::ostream& out) {
    out << "Usage: vantle-schedctl COMMAND [OPTIONS] ...\n"
           "       vantle-schedctl help COMMAND | --paths | --help | --version\n"
           "\n"
           "Commands:\n";
    for (const TCommandHelp& command : Commands) {
        std::string usage = command.Usage;
        out << "  " << usage;
        if (usage.size() < 23)
            out << std::string(25 - usage.size(), ' ');
        else
            out << "\n" << std::string(27, ' ');
        out << command.Summary << "\n";
    }
    out << "\n" << Footer;
}

void PrintCommandHelp(const TCommandHelp& command, std::ostream& out) {
    out << UsageLine(command.Name) << "\n\n"
        << char(std::toupper(static_cast<unsigned char>(command.Summary[0])))
        << (command.Summary + 1) << ".\n"
        << command.Details;
}

} // namespace

std::string UsageLine(const std::string& command) {
    const TCommandHelp* found = FindCommand(command);
    return std::string("Usage: vantle-schedctl ") + (found ? found->Usage : command.c_str());
}

int RunSchedCtl(const TArgs& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        PrintUsage(err);
        return 2;
    }
    const std::string& command = args.front();
    TArgs rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || (command == "help" && rest.empty())) {
        PrintUsage(out);
        return 0;
    }
    if (command == "--version") {
        out << "vantle-schedctl " << VANTLE_VERSION << "\n";
        return 0;
    }
    if (command == "--paths") {
        TFileLocations files = DesktopFiles();
        out << "schedule: " << files.ScheduleFile << "\nlog: " << files.LogFile << "\n";
        return 0;
    }
    if (command == "help") {
        if (const TCommandHelp* found = FindCommand(rest.front()); found && rest.size() == 1) {
            PrintCommandHelp(*found, out);
            return 0;
        }
        err << "vantle-schedctl help: no command '" << rest.front() << "'\n";
        PrintUsage(err);
        return 2;
    }
    const TCommandHelp* found = FindCommand(command);
    if (found == nullptr) {
        err << "vantle-schedctl: unknown command '" << command << "'\n";
        PrintUsage(err);
        return 2;
    }
    // Anywhere among the options; after "--" it is a word like any other.
    for (const std::string& arg : rest) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            PrintCommandHelp(*found, out);
            return 0;
        }
    }
    return found->Run(rest, out, err);
}

} // namespace vantle::cli
