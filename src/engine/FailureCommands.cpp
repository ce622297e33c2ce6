#include "engine/FailureCommands.h"

#include "platform/ProgramStarterPosix.h"
#include "platform/TextUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

namespace {

// What a command printed, kept aside until it ends: a file no one else can open.
TOwnFd MakeOutputFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    TOwnFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd.Get() < 0)
        fd = TOwnFd(::open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    return fd;
}

// The end of a run's output, read from its own file, never through a pipe: a command
// that does not read cannot hold the scheduler up.
TOwnFd OutputTail(const TRunOutputs* outputs, std::int64_t record) {
    if (outputs == nullptr || record == 0)
        return TOwnFd();
    TOwnFd fd(::open(outputs->PathOf(record).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return TOwnFd();
    const off_t skip = std::max<off_t>(0, st.st_size - off_t(FailureCommandInput));
    ::lseek(fd.Get(), skip, SEEK_SET);
    return fd;
}

std::string CommandName(bool failure) {
    return failure ? "failure command" : "recovery command";
}

} // namespace

TFailureCommands::TFailureCommands(TFailureCommandSetup setup) : FSetup(std::move(setup)) {
    FWatch.OnNotice = [this](const TNotice& notice) {
        if (FSeeing == nullptr)
            return;
        if (notice.Kind == TNotice::Failure && !notice.Repeated)
            Run(*FSeeing, true);
        else if (notice.Kind == TNotice::Recovered)
            Run(*FSeeing, false);
    };
}

void TFailureCommands::See(const TRunEvent& event) {
    FSeeing = &event;
    FWatch.See(event);
    FSeeing = nullptr;
}

void TFailureCommands::Run(const TRunEvent& event, bool failure) {
    const TSchedule* entry = FSetup.EntryOf ? FSetup.EntryOf(event.Name) : nullptr;
    std::string command =
        entry != nullptr ? (failure ? entry->OnFailure : entry->OnRecovery) : std::string();
    if (command.empty())
        command = failure ? FSetup.DefaultOnFailure : FSetup.DefaultOnRecovery;
    if (command.empty())
        return;
    TLog& log = *FSetup.Log;
    const std::string what = CommandName(failure);
    std::vector<std::string> words;
    try {
        words = SplitShellWords(FSetup.Expander->ExpandParameters(command));
    } catch (const std::exception& e) {
        log.WriteFmt("The %s of %s could not run: %s", {what, event.Name, std::string(e.what())});
        return;
    }
    if (words.empty())
        return;
    std::string parameters;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (i > 1)
            parameters += ' ';
        parameters += ShellQuote(words[i]);
    }
    TStartExtras extras;
    // Appended rather than "TEXT" + string: GCC 12 warns falsely (-Wrestrict) of that at -O2.
    auto variable = [](const char* name, const std::string& value) {
        return std::string(name).append("=").append(value);
    };
    extras.Environment = {variable("VANTLE_ENTRY", event.Name),
                          variable("VANTLE_RESULT", failure ? event.Result : "works again"),
                          variable("VANTLE_RUN", std::to_string(event.Record)),
                          variable("VANTLE_TRIGGER", TriggerText(event.Trigger)),
                          variable("VANTLE_ATTEMPT", std::to_string(event.Attempt)),
                          variable("VANTLE_SCHEDULE", FSetup.ScheduleFile)};
    TOwnFd input = OutputTail(FSetup.Outputs, event.Record);
    extras.InputFd = input.Get();
    TOwnFd output = MakeOutputFile();
    log.WriteFmt("Running the %s of %s (%s)", {what, event.Name, words[0]});
    const std::string workDir = entry != nullptr ? entry->WorkDir : std::string();
    TStartResult started =
        FSetup.Starter->StartWith(words[0], parameters, workDir, 0, output.Get(), extras);
    const std::string key = what + " " + event.Name;
    if (!StartSucceeded(started.Code)) {
        const std::string text = "The " + what + " of " + event.Name +
                                 " could not start: " + StartErrorText(started.Code);
        log.WriteLine(text);
        if (FFailingTold.insert(key).second && FSetup.Tell)
            FSetup.Tell(text);
        return;
    }
    if (started.Pid <= 0)
        return;
    FSetup.Programs->Start(started.Pid, {.Name = "The " + what + " of " + event.Name,
                                         .TimeLimit = FailureCommandLimit,
                                         .FailureCommand = true});
    FRunning[started.Pid] = {event.Name, failure, std::move(output)};
}

bool TFailureCommands::Ended(int pid, const TRunningProgram& program, bool signalled, int code) {
    auto found = FRunning.find(pid);
    if (found == FRunning.end())
        return false;
    TCommandRun run = std::move(found->second);
    FRunning.erase(found);
    TLog& log = *FSetup.Log;
    // What it printed, a line each, as much as a log should hold.
    if (run.Output.Get() >= 0) {
        char buffer[4096];
        const ssize_t n = ::pread(run.Output.Get(), buffer, sizeof buffer, 0);
        std::string text(buffer, n > 0 ? std::size_t(n) : 0);
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = std::min(text.find('\n', start), text.size());
            if (end > start)
                log.WriteLine(program.Name + ": " + text.substr(start, end - start));
            start = end + 1;
        }
    }
    const bool failed = signalled || code != 0;
    log.WriteFmt(signalled ? "%s ended by signal %d" : "%s ended with code %d",
                 {program.Name, std::int64_t{code}});
    const std::string key = CommandName(run.Failure) + " " + run.Name;
    if (!failed) {
        FFailingTold.erase(key);
    } else if (FFailingTold.insert(key).second && FSetup.Tell) {
        FSetup.Tell(program.Name + (signalled ? " ended by signal " : " ended with code ") +
                    std::to_string(code));
    }
    return true;
}

} // namespace vantle
