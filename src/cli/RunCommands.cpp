#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include "engine/Log.h"
#include "engine/Parameters.h"
#include "engine/Scheduler.h"
#include "platform/ExecutablePath.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/SysErrors.h"
#include "sched/SchedList.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <ostream>
#include <pthread.h>

namespace vantle::cli {

namespace {

class TFixedClock : public TClock {
public:
    explicit TFixedClock(TDateTime moment) : FMoment(moment) {}
    TDateTime Now() const override { return FMoment; }

private:
    TDateTime FMoment;
};

// --dry-run: the log goes to standard output, one line per event.
class TStreamLog : public TLog {
public:
    TStreamLog(const std::string& fileName, std::ostream& out)
        : TLog(fileName, SystemClock()), FOut(out) {}
    void WriteLine(const std::string& message) override {
        FOut << LogTimeStamp(Clock().Now()) << ':' << message << '\n' << std::flush;
    }

private:
    std::ostream& FOut;
};

class TPrintingStarter : public TProgramStarter {
public:
    explicit TPrintingStarter(std::ostream& out) : FOut(out) {}
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showCommand) override {
        FOut << "would start: " << ShellQuote(file);
        for (const std::string& word : SplitShellWords(parameters))
            FOut << ' ' << ShellQuote(word);
        FOut << " (in " << (directory.empty() ? std::string(".") : directory) << ", show "
             << showCommand << ")\n"
             << std::flush;
        return SE_START_ACCEPTED;
    }

private:
    std::ostream& FOut;
};

class TPrintingClockSetter : public TClockSetter {
public:
    explicit TPrintingClockSetter(std::ostream& out) : FOut(out) {}
    bool SetSystemTime(const TSystemTime& utc) override {
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{utc.Year},
                      unsigned{utc.Month}, unsigned{utc.Day}, unsigned{utc.Hour},
                      unsigned{utc.Minute}, unsigned{utc.Second});
        FOut << "would set clock: " << text << " UTC\n" << std::flush;
        return true;
    }

private:
    std::ostream& FOut;
};

// Waits up to `milliseconds` for one of `signals` (blocked by the caller); true when
// one came.
bool WaitForSignal(const sigset_t& signals, std::int32_t milliseconds) {
    using namespace std::chrono;
    auto deadline = steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        auto left = duration_cast<nanoseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return false;
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(left / 1000000000);
        timeout.tv_nsec = static_cast<long>(left % 1000000000);
        if (sigtimedwait(&signals, nullptr, &timeout) > 0)
            return true;
        if (errno != EINTR && errno != EAGAIN)
            return false;
    }
}

// Runs cycles five seconds past every whole minute until SIGINT or SIGTERM.
void RunUntilStopped(TScheduler& scheduler, TSchedList& list, std::ostream& err) {
    sigset_t stop, previous;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
    while (!WaitForSignal(stop, NextCycleInterval(SystemClock().Now()))) {
        try {
            scheduler.RunCycle();
        } catch (const std::exception& e) {
            err << e.what() << '\n' << std::flush;
        }
        list.SetReloaded(false);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace

int CmdExpand(const TArgs& args, std::ostream& out, std::ostream& err) {
    TArguments options;
    std::optional<std::string> error = ParseArguments(args, {}, {"--at"}, options);
    if (error || options.Positional.size() != 1) {
        err << "vantle-schedctl expand: " << error.value_or("expects exactly one TEXT")
            << "\nUsage: vantle-schedctl expand [--at \"YYYY-MM-DD hh:mm:ss[.zzz]\"] TEXT\n";
        return 2;
    }
    std::optional<TDateTime> at;
    if (std::optional<std::string> text = options.Value("--at")) {
        std::string problem;
        at = ParseMoment(*text, TMomentPart::Millisecond, "--at", problem);
        if (!at) {
            err << "vantle-schedctl expand: " << problem << '\n';
            return 2;
        }
    }
    TFixedClock fixed(at.value_or(0));
    const TClock& clock = at ? static_cast<const TClock&>(fixed) : SystemClock();
    TParameterExpander expander(clock, ProcessEnvironment(), SystemFormatSettings());
    try {
        out << expander.ExpandParameters(options.Positional.front()) << '\n';
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
    return 0;
}

int CmdRun(const TArgs& args, std::ostream& out, std::ostream& err) {
    static const char* const Usage =
        "Usage: vantle-schedctl run [--once] [--dry-run] [--at MOMENT] [--log LOGFILE] [FILE]\n";
    TArguments options;
    std::optional<std::string> error =
        ParseArguments(args, {"--once", "--dry-run"}, {"--at", "--log"}, options);
    if (error || options.Positional.size() > 1) {
        err << "vantle-schedctl run: " << error.value_or("expects at most one FILE") << '\n'
            << Usage;
        return 2;
    }
    const bool once = options.Has("--once");
    const bool dryRun = options.Has("--dry-run");
    std::optional<TDateTime> at;
    if (std::optional<std::string> text = options.Value("--at")) {
        std::string problem;
        at = ParseMoment(*text, TMomentPart::Millisecond, "--at", problem);
        if (!at) {
            err << "vantle-schedctl run: " << problem << '\n';
            return 2;
        }
        if (!once) {
            // A clock that stands still would run the same minute forever.
            err << "vantle-schedctl run: --at needs --once\n" << Usage;
            return 2;
        }
    }

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
    const std::string& file = files.ScheduleFile;
    std::string logPath = options.Value("--log").value_or(files.LogFile);
    TFixedClock fixed(at.value_or(0));
    TPrintingStarter printingStarter(out);
    TPrintingClockSetter printingClockSetter(out);
    TSchedulerServices services = SystemSchedulerServices();
    if (at)
        services.Clock = &fixed;
    if (dryRun) {
        services.Starter = &printingStarter;
        services.ClockSetter = &printingClockSetter;
        services.MakeLog = [&logPath, &out](const std::string&) {
            return std::make_unique<TStreamLog>(logPath, out);
        };
    } else {
        // Log time stamps tell when a line was written, also under --at.
        services.MakeLog = [&logPath](const std::string&) {
            return std::make_unique<TLog>(logPath, SystemClock());
        };
    }

    TSchedList list;
    list.SetFileName(file);
    TScheduler scheduler(list, services);
    try {
        scheduler.SetEnabled(true);
        list.Load();
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 2;
    }

    int code = 0;
    if (once) {
        try {
            scheduler.RunCycle();
        } catch (const std::exception& e) {
            err << e.what() << '\n';
            code = 1;
        }
    } else {
        RunUntilStopped(scheduler, list, err);
    }
    try {
        scheduler.SetEnabled(false);
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return code != 0 ? code : 2;
    }
    return code;
}

} // namespace vantle::cli
