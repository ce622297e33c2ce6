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
#include "engine/TildeWarnings.h"
#include "platform/ChildWatch.h"
#include "platform/Environment.h"
#include "platform/ExecutablePath.h"
#include "platform/FileLocations.h"
#include "platform/InstanceLock.h"
#include "platform/PathChecks.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/StopSignals.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"
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
        // A "~" the program would get as it is: said before what would happen.
        TSchedule tried;
        tried.Command = file;
        tried.Parms = parameters;
        tried.WorkDir = directory;
        for (const std::string& warning : TildeWarnings(tried, HomeFolder(ProcessEnvironment())))
            FOut << VisibleText("warning: " + warning, TVisibleFor::Terminal) << '\n';
        // A program that is not there: the log lines that follow are the real run's.
        if (std::uint32_t code = ProbeStart(file, directory, SearchPath()); code != 0) {
            FOut << VisibleText("would fail: " + ShellQuote(file) + ": " + StartErrorText(code),
                                TVisibleFor::Terminal)
                 << '\n'
                 << std::flush;
            return code;
        }
        std::string line = "would start: " + ShellQuote(file);
        for (const std::string& word : SplitShellWords(parameters))
            line += ' ' + ShellQuote(word);
        // A normal window (1) is what every program gets anyway: only another state is said.
        line += " (in " + WorkFolderOf(directory) +
                (showCommand == 1 ? std::string() : ", show " + std::to_string(showCommand)) + ")";
        FOut << VisibleText(line, TVisibleFor::Terminal) << '\n' << std::flush;
        return SE_START_ACCEPTED;
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
bool ReportCycle(TScheduler& scheduler, TSchedList& list, std::ostream& err,
                 std::exception_ptr error, TFailureLines& lines) {
    if (error)
        SayError(err, error);
    for (const TEntryFailure& failure : scheduler.Failures())
        if (!lines.Told(failure.Name))
            err << VisibleText(failure.Name + ": " + failure.Text, TVisibleFor::Terminal) << '\n';
    err << std::flush;
    lines.CycleReported();
    list.SetReloaded(false);
    return error || !scheduler.Failures().empty();
}

// One cycle, with what failed in it said on `err`; true when the cycle or an entry
// failed.
bool RunReportedCycle(TScheduler& scheduler, TSchedList& list, std::ostream& err,
                      TFailureLines& lines) {
    std::exception_ptr error;
    try {
        scheduler.RunCycle();
    } catch (...) {
        error = std::current_exception();
    }
    return ReportCycle(scheduler, list, err, error, lines);
}

// Runs cycles through the run loop until SIGINT, SIGTERM or SIGHUP (a closed terminal or
// an ended session), as the desktop program does: the first a second from now, then five
// seconds past every minute. Started programs that end are reaped and logged as they end.
void RunUntilStopped(TSchedulerCore& core, std::ostream& err, TFailureLines& lines) {
    TRunLoopEvents events;
    events.CycleFinished = [&](std::exception_ptr error) {
        ReportCycle(core.Scheduler(), core.List(), err, error, lines);
    };
    events.ReapFailed = [&](std::exception_ptr error) { SayError(err, error); };
    core.Loop().SetEvents(std::move(events));
    core.Loop().Start();
    core.Loop().Run();
}

// Waits until every program the cycles started has ended, logging each end, or until
// `seconds` have passed; what still runs then goes on without us. True when one of them
// ended with a code other than 0 or by a signal.
bool WaitForPrograms(TScheduler& scheduler, TChildWatch& children, int seconds, std::ostream& err) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool failed = false;
    for (;;) {
        for (const TChildEnd& end : children.Reap()) {
            try {
                if (scheduler.ProgramEnded(end.Pid, end.Signalled, end.Code))
                    failed = failed || end.Signalled || end.Code != 0;
            } catch (const std::exception& e) {
                err << VisibleText(DescribeError(e), TVisibleFor::Terminal) << '\n' << std::flush;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!scheduler.HasRunningPrograms() || left.count() <= 0)
            return failed;
        try {
            scheduler.KillOverdue(); // a time limit and the output cap hold while we wait, too
            scheduler.HoldOutputs();
        } catch (const std::exception& e) {
            err << VisibleText(DescribeError(e), TVisibleFor::Terminal) << '\n' << std::flush;
        }
        pollfd wait{children.Fd(), POLLIN, 0};
        int timeout = static_cast<int>(left.count());
        for (std::optional<std::int64_t> next :
             {scheduler.NextOverdue(), scheduler.NextOutputHold()})
            if (next)
                timeout = static_cast<int>(std::clamp<std::int64_t>(
                    (*next - SystemClock().RunNanos()) / 1'000'000 + 1, 0, timeout));
        if (children.Fd() < 0)
            timeout = std::min(timeout, 100); // nothing says when: look now and then
        ::poll(&wait, children.Fd() >= 0 ? 1 : 0, timeout);
    }
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

// run, with its failures raised for Guarded to report.
int RunScheduler(const TArgs& args, std::ostream& out, std::ostream& err) {
    TArguments options = ReadArguments("run", args, {"--once", "--dry-run"},
                                       {"--at", "--log", "--wait", "--keep-runs", "--keep-mb"});
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
    if (!dryRun) {
        // Refused before anything is written: a folder's name would lead the log and the
        // state to "FOLDER.LOG" and "FOLDER.STATE" beside it.
        try {
            CheckWritablePath(file, "schedule");
            CheckWritablePath(files.LogFile, "log");
            CheckWritablePath(StateFileOf(file, files.LogFile), "state");
        } catch (const std::exception& e) {
            throw EFailure(DescribeError(e), false);
        }
    }
    // Two schedulers on one file would start every due entry twice; a dry run starts
    // nothing and needs no lock. Without a lock nothing runs.
    TInstanceLock instanceLock(file);
    bool locked = false;
    try {
        locked = dryRun || instanceLock.TryAcquire();
    } catch (const std::exception& e) {
        throw EFailure(file + ": no instance lock: " + DescribeError(e), false);
    }
    if (!locked)
        throw EFailure(file + ": already used by another scheduler (process " +
                           std::to_string(instanceLock.HolderPid()) + ")",
                       false);
    TMomentClock momentClock;
    if (!moments.empty())
        momentClock.Set(moments.front());
    const TClock& clock = moments.empty() ? SystemClock() : momentClock;
    TPrintingStarter printingStarter(out);
    TPrintingClockSetter printingClockSetter(out);
    TSchedulerServices services = SystemSchedulerServices();
    services.Clock = &clock;
    services.LogFile = files.LogFile;
    // What-if runs and replays of given moments neither read nor move the memory of
    // the minutes the real scheduler has run.
    services.KeepState = !dryRun && moments.empty();
    if (dryRun) {
        services.PlayedRunMs = PlayedRunTimes(file);
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

    if (std::optional<std::string> keep = options.Value("--keep-runs"))
        services.KeptRuns =
            static_cast<std::size_t>(WholeNumberOption(*keep, "--keep-runs", 1000000));
    if (std::optional<std::string> keep = options.Value("--keep-mb"))
        services.KeptBytes = std::uint64_t(WholeNumberOption(*keep, "--keep-mb", 1000000)) << 20;
    // Every real run is recorded with its output; without the store the runs still go
    // on, and say so.
    std::optional<TRunRecorder> runs;
    if (services.KeepState) {
        try {
            runs.emplace(TRunStore::FolderOf(ProcessEnvironment()), file);
            services.Recorder = &*runs;
        } catch (const std::exception& e) {
            err << "vantle-schedctl run: runs are not recorded: "
                << VisibleText(DescribeError(e), TVisibleFor::Terminal) << '\n'
                << std::flush;
        }
    }
    // Failures on standard error, as the window notifies them: under the user unit that
    // is the journal.
    TFailureLines failureLines(services, err);
    // Without --once the scheduler stays, so it learns how the programs it starts end;
    // --once learns it when it waits.
    std::optional<TChildWatch> children;
    if ((!once || waitSeconds > 0) && !dryRun)
        children.emplace();
    // The loop watches stop signals while it runs, and the children when there are.
    TSchedulerCore core(file, services,
                        TRunLoopServices{.Clock = nullptr,
                                         .Children = children && !once ? &*children : nullptr,
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
            if (RunReportedCycle(scheduler, list, err, failureLines))
                code = 1;
        }
        if (children && WaitForPrograms(scheduler, *children, waitSeconds, err))
            code = 1;
    } else {
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
