#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include "engine/FailureWatch.h"
#include "engine/Log.h"
#include "engine/Parameters.h"
#include "engine/RunLoop.h"
#include "engine/RunRecorder.h"
#include "engine/RunView.h"
#include "engine/Scheduler.h"
#include "engine/SchedulerCore.h"
#include "engine/SchedulerStart.h"
#include "engine/TildeWarnings.h"
#include "platform/ChildWatch.h"
#include "platform/Environment.h"
#include "platform/ExecutablePath.h"
#include "platform/FileLocations.h"
#include "platform/PathChecks.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/StartProbe.h"
#include "platform/StopSignals.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"
#include "sched/EnvironmentText.h"
#include "sched/SchedList.h"
#include "sched/TimeField.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <poll.h>

namespace vantle::cli {

namespace {

// The clock of --at: it reads the moment it was last set to.
class TMomentClock : public TClock {
public:
    TDateTime Now() const override { return FMoment.Local; }
    std::timespec UtcNow() const override { return FMoment.Instant; }
    void Set(const TMoment& moment) { FMoment = moment; }

private:
    TMoment FMoment;
};

// --dry-run: the log goes to standard output, one line per event, stamped by the
// run's clock (the cycle's moment under --at), shown as a terminal must see it.
class TStreamLog : public TLog {
public:
    TStreamLog(const std::string& fileName, const TClock& clock, std::ostream& out)
        : TLog(fileName, clock), FOut(out) {}
    void WriteLine(const std::string& message) override {
        FOut << LogTimeStamp(Clock().Now()) << ':' << VisibleText(message, TVisibleFor::Terminal)
             << '\n'
             << std::flush;
    }

private:
    std::ostream& FOut;
};

class TPrintingStarter : public TProgramStarter {
public:
    explicit TPrintingStarter(std::ostream& out) : FOut(out) {}
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showCommand) override {
        return StartWith(file, parameters, directory, showCommand, -1, {}).Code;
    }
    TStartResult StartWith(const std::string& file, const std::string& parameters,
                           const std::string& directory, int showCommand, int outputFd,
                           const TStartExtras& extras) override {
        (void)outputFd;
        // A "~" the program would get as it is: said before what would happen.
        TSchedule tried;
        tried.Command = file;
        tried.Parms = parameters;
        tried.WorkDir = directory;
        for (const std::string& warning : TildeWarnings(tried, HomeFolder(ProcessEnvironment())))
            FOut << VisibleText("warning: " + warning, TVisibleFor::Terminal) << '\n';
        // A program that is not there: the log lines that follow are the real run's.
        if (std::uint32_t code = ProbeStart(file, directory, SearchPathFor(extras.Environment));
            code != 0) {
            FOut << VisibleText("would fail: " + ShellQuote(file) + ": " + StartErrorText(code),
                                TVisibleFor::Terminal)
                 << '\n'
                 << std::flush;
            return {code, 0};
        }
        std::string line = "would start: " + ShellQuote(file);
        for (const std::string& word : SplitShellWords(parameters))
            line += ' ' + ShellQuote(word);
        // A normal window (1) is what every program gets anyway: only another state is said.
        // The variables set are named, never given: a value may be a secret.
        const std::string names = EnvironmentNames(extras.Environment);
        line += " (in " + WorkFolderOf(directory) +
                (showCommand == 1 ? std::string() : ", show " + std::to_string(showCommand)) +
                (names.empty() ? std::string() : ", setting " + names) + ")";
        FOut << VisibleText(line, TVisibleFor::Terminal) << '\n' << std::flush;
        return {SE_START_ACCEPTED, 0};
    }

private:
    std::ostream& FOut;
};

class TPrintingClockSetter : public TClockSetter {
public:
    explicit TPrintingClockSetter(std::ostream& out) : FOut(out) {}
    int SetSystemTime(const TSystemTime& utc) override {
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{utc.Year},
                      unsigned{utc.Month}, unsigned{utc.Day}, unsigned{utc.Hour},
                      unsigned{utc.Minute}, unsigned{utc.Second});
        FOut << "would set clock: " << text << " UTC\n" << std::flush;
        return 0;
    }

private:
    std::ostream& FOut;
};

void SayError(std::ostream& err, std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        err << VisibleText(DescribeError(e), TVisibleFor::Terminal) << '\n' << std::flush;
    }
}

// What failed in a cycle (`error`, what the cycle raised, and the entries that failed),
// said on `err`; true when anything did. A failure the watch told is not said again.
bool ReportCycle(TScheduler& scheduler, std::ostream& err, std::exception_ptr error,
                 TFailureLines& lines) {
    if (error)
        SayError(err, error);
    for (const TEntryFailure& failure : scheduler.Failures())
        if (!lines.Told(failure.Name))
            err << VisibleText(failure.Name + ": " + failure.Text, TVisibleFor::Terminal) << '\n';
    err << std::flush;
    lines.CycleReported();
    return error || !scheduler.Failures().empty();
}

// One cycle, with what failed in it said on `err`; true when the cycle or an entry
// failed.
bool RunReportedCycle(TScheduler& scheduler, std::ostream& err, TFailureLines& lines) {
    std::exception_ptr error;
    try {
        scheduler.RunCycle();
    } catch (...) {
        error = std::current_exception();
    }
    return ReportCycle(scheduler, err, error, lines);
}

// Runs cycles through the run loop until SIGINT, SIGTERM or SIGHUP (a closed terminal or
// an ended session), as the desktop program does: the first a second from now, then five
// seconds past every minute. Started programs that end are reaped and logged as they end.
void RunUntilStopped(TSchedulerCore& core, std::ostream& err, TFailureLines& lines) {
    TRunLoopEvents events;
    events.CycleFinished = [&](std::exception_ptr error) {
        ReportCycle(core.Scheduler(), err, error, lines);
    };
    events.ReapFailed = [&](std::exception_ptr error) { SayError(err, error); };
    core.Loop().SetEvents(std::move(events));
    core.Loop().Start();
    core.Loop().Run();
}

} // namespace

int CmdExpand(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("expand", err, [&] {
        TArguments options = ReadArguments("expand", args, {}, {"--at"});
        if (options.Positional.size() != 1)
            throw UsageError("expand", "expects exactly one TEXT");
        std::optional<std::string> atText = options.Value("--at");
        TMomentClock fixed;
        if (atText)
            fixed.Set(ReadMoment(*atText, "--at"));
        const TClock& clock = atText ? static_cast<const TClock&>(fixed) : SystemClock();
        TParameterExpander expander(clock, ProcessEnvironment(), SystemFormatSettings());
        try {
            out << expander.ExpandParameters(options.Positional.front()) << '\n';
        } catch (const std::exception& e) {
            // A date the calendar lacks is the expansion's result, not a usage error.
            err << DescribeError(e) << '\n';
            return 1;
        }
        return 0;
    });
}

namespace {

// How long a played run lasts in a dry run: as long as its entry's latest recorded run
// took; with nothing recorded, it ends at once.
std::function<std::int64_t(const std::string&)> PlayedRunTimes(const std::string& file) {
    std::map<std::string, std::int64_t> took;
    try {
        TRunStore store(TRunStore::FolderOf(ProcessEnvironment()), file, TRunStoreMode::Reader);
        for (const auto& [name, run] : store.LastRuns())
            if (run.Ended)
                took[name] = run.DurationMs;
    } catch (const std::exception&) {
        // Nothing recorded, or nothing readable: every played run ends at once.
    }
    return [took = std::move(took)](const std::string& name) {
        auto found = took.find(name);
        return found != took.end() ? found->second : std::int64_t{0};
    };
}

// The readings a play was given, and this machine's for the others.
class TGivenConditions final : public TRunConditions {
public:
    explicit TGivenConditions(const TRunConditions* machine) : FMachine(*machine) {}
    bool OnMains() const override { return Mains.value_or(FMachine.OnMains()); }
    bool HasNetwork() const override { return Network.value_or(FMachine.HasNetwork()); }
    std::optional<bool> Mains, Network;

private:
    const TRunConditions& FMachine;
};

// A reading given on the command line: `yes` or `no`, not both; none when neither.
std::optional<bool> Reading(const TArguments& options, const char* yes, const char* no) {
    if (options.Has(yes) && options.Has(no))
        throw UsageError("run", std::string(yes) + " and " + no + " exclude each other");
    if (options.Has(yes))
        return true;
    if (options.Has(no))
        return false;
    return std::nullopt;
}

// run, with its failures raised for Guarded to report.
int RunScheduler(const TArgs& args, std::ostream& out, std::ostream& err) {
    TArguments options = ReadArguments(
        "run", args, {"--once", "--dry-run", "--ac", "--no-ac", "--network", "--no-network"},
        {"--at", "--log", "--wait", "--keep-runs", "--keep-mb", "--on-failure", "--on-recovery",
         "--fail"});
    if (options.Positional.size() > 1)
        throw UsageError("run", "expects at most one FILE");
    const bool dryRun = options.Has("--dry-run");
    std::vector<TMoment> moments;
    for (const std::string& text : options.AllValues("--at"))
        moments.push_back(ReadMoment(text, "--at"));
    // Cycles at given moments: a replay, announced moment by moment under --dry-run.
    const bool replay = !moments.empty();
    // Several moments play a run of ticks; one moment is a single cycle.
    const bool once = options.Has("--once") || moments.size() > 1;
    if (moments.size() == 1 && !once) {
        // A clock that stands still would run the same minute forever.
        throw UsageError("run", "--at needs --once");
    }
    if (moments.size() > 1 && !dryRun)
        throw UsageError("run", "--at more than once needs --dry-run");
    // Played runs of these entries fail, so a play of retries is repeatable.
    const std::vector<std::string> failing = options.AllValues("--fail");
    if (!failing.empty() && !dryRun)
        throw UsageError("run", "--fail needs --dry-run");

    // A play on battery or offline, whatever this machine says now.
    TGivenConditions conditions(SystemSchedulerServices().Conditions);
    conditions.Mains = Reading(options, "--ac", "--no-ac");
    conditions.Network = Reading(options, "--network", "--no-network");
    if ((conditions.Mains || conditions.Network) && !dryRun)
        throw UsageError("run", "--ac, --no-ac, --network and --no-network need --dry-run");

    // How long --once waits for the programs it started, to log their ends; 0: not at all.
    int waitSeconds = 0;
    if (std::optional<std::string> waitText = options.Value("--wait")) {
        std::optional<std::int32_t> n = ReadInt(*waitText);
        if (!n || *n < 0 || waitText->find_first_not_of("0123456789") != std::string::npos)
            throw UsageError("run", "--wait needs a number of seconds");
        if (!options.Has("--once"))
            throw UsageError("run", "--wait needs --once");
        waitSeconds = *n;
    }
    std::optional<std::string> logOption = options.Value("--log");
    if (logOption && logOption->empty())
        throw UsageError("run", "--log needs a file name");

    // Without FILE, the desktop program's schedule and log.
    TFileLocations files;
    if (options.Positional.empty()) {
        files = DesktopFiles();
        if (!dryRun)
            MakeFileFolders(files);
    } else {
        files.ScheduleFile = options.Positional.front();
        files.LogFile = ChangeFileExt(files.ScheduleFile, ".LOG");
    }
    if (logOption)
        files.LogFile = *logOption;
    const std::string& file = files.ScheduleFile;
    // Two schedulers on one file would start every due entry twice; a dry run starts
    // nothing, writes nothing and needs no lock. Without a lock nothing runs.
    std::optional<TSchedulerStart> start;
    if (!dryRun) {
        try {
            start.emplace(file, files.LogFile);
        } catch (const EStartRefused& e) {
            throw EFailure(e.Message(), false);
        }
        if (!start->Held())
            throw EFailure(start->HeldElsewhere(), false);
    }
    TMomentClock momentClock;
    if (!moments.empty())
        momentClock.Set(moments.front());
    const TClock& clock = moments.empty() ? SystemClock() : momentClock;
    TPrintingStarter printingStarter(out);
    TPrintingClockSetter printingClockSetter(out);
    TSchedulerServices services = SystemSchedulerServices();
    services.Clock = &clock;
    services.Conditions = &conditions;
    if (start)
        services.OnSwitch = [&start](bool on) { start->Describe("vantle-schedctl run", on); };
    services.LogFile = files.LogFile;
    // What-if runs and replays of given moments neither read nor move the memory of
    // the minutes the real scheduler has run.
    services.KeepState = !dryRun && moments.empty();
    if (dryRun) {
        services.PlayedRunMs = PlayedRunTimes(file);
        if (!failing.empty())
            services.PlayedRunFails = [failing](const std::string& name) {
                return std::find(failing.begin(), failing.end(), name) != failing.end();
            };
        services.Starter = &printingStarter;
        services.ClockSetter = &printingClockSetter;
        services.MakeLog = [&clock, &out](const std::string& path) {
            return std::make_unique<TStreamLog>(path, clock, out);
        };
    } else {
        // Log time stamps tell when a line was written, also under --at.
        services.MakeLog = [](const std::string& path) {
            return std::make_unique<TLog>(path, SystemClock());
        };
    }

    // Start-up runs belong to a scheduler that stays, not to a single cycle or a play.
    services.StartUpRuns = !once;
    services.DefaultOnFailure = options.Value("--on-failure").value_or("");
    services.DefaultOnRecovery = options.Value("--on-recovery").value_or("");
    if (std::optional<std::string> keep = options.Value("--keep-runs"))
        services.KeptRuns =
            static_cast<std::size_t>(WholeNumberOption(*keep, "--keep-runs", 1000000));
    if (std::optional<std::string> keep = options.Value("--keep-mb"))
        services.KeptBytes = std::uint64_t(WholeNumberOption(*keep, "--keep-mb", 1000000)) << 20;
    // Every real run is recorded with its output; without the store the runs still go
    // on, and say so.
    if (services.KeepState) {
        services.Recorder = start->OpenRecords(TRunStore::FolderOf(ProcessEnvironment()));
        if (services.Recorder == nullptr)
            err << "vantle-schedctl run: "
                << VisibleText(start->RecordsRefused(), TVisibleFor::Terminal) << '\n'
                << std::flush;
    }
    // Failures on standard error, as the window notifies them: under the user unit that
    // is the journal.
    TFailureLines failureLines(services, err);
    // A program --wait saw end with a code other than 0 or by a signal fails the run.
    bool endedBadly = false;
    services.OnRunEvent = [&endedBadly, told = std::move(services.OnRunEvent)](const TRunEvent& e) {
        endedBadly = endedBadly || e.Kind == TRunEvent::Signalled ||
                     (e.Kind == TRunEvent::Exited && e.Code != 0);
        if (told)
            told(e);
    };
    // Without --once the scheduler stays, so it learns how the programs it starts end;
    // --once learns it when it waits.
    std::optional<TChildWatch> children;
    if ((!once || waitSeconds > 0) && !dryRun)
        children.emplace();
    // The loop watches stop signals while it runs, and the children when there are.
    TSchedulerCore core(file, services,
                        TRunLoopServices{.Clock = nullptr,
                                         .Children = children ? &*children : nullptr,
                                         .StopFd = once ? -1 : WatchStopSignals(),
                                         .TakeStop = TakeStopSignal});
    TScheduler& scheduler = core.Scheduler();
    TSchedList& list = core.List();
    try {
        scheduler.SetEnabled(true);
        list.Load();
    } catch (const std::exception& e) {
        throw EFailure(DescribeError(e), false);
    }

    int code = 0;
    if (once) {
        if (moments.empty())
            moments.push_back({}); // the real clock's moment
        for (const TMoment& moment : moments) {
            if (dryRun && replay) {
                momentClock.Set(moment);
                out << "== cycle at " << MomentText(moment) << '\n' << std::flush;
            }
            if (RunReportedCycle(scheduler, err, failureLines))
                code = 1;
        }
        if (children) {
            // What still runs at the end goes on without us.
            TRunLoopEvents events;
            events.ReapFailed = [&](std::exception_ptr error) { SayError(err, error); };
            core.Loop().SetEvents(std::move(events));
            core.Loop().RunUntil([&scheduler] { return !scheduler.HasRunningPrograms(); },
                                 std::int64_t{waitSeconds} * 1000);
            if (endedBadly)
                code = 1;
        }
    } else {
        // `vantle-schedctl start` reaches this scheduler here (a dry run starts nothing);
        // without the socket it still runs the schedule.
        try {
            if (start)
                core.ServeControl(start->Lock().SiblingPath(".control"));
        } catch (const std::exception& e) {
            err << "vantle-schedctl run: no control socket: " << DescribeError(e) << '\n'
                << std::flush;
        }
        try {
            RunUntilStopped(core, err, failureLines);
        } catch (const std::exception& e) {
            err << DescribeError(e) << '\n';
            code = 2;
        }
    }
    try {
        core.SwitchOff();
    } catch (const std::exception& e) {
        err << DescribeError(e) << '\n';
        return code != 0 ? code : 2;
    }
    return code;
}

} // namespace

int CmdRun(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("run", err, [&] { return RunScheduler(args, out, err); });
}

} // namespace vantle::cli
