// start: Execute Now through the scheduler that holds the schedule, over its control
// socket, or with --here by taking the schedule's lock for the one run.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include "engine/ControlProtocol.h"
#include "engine/EntryPick.h"
#include "engine/RunView.h"
#include "engine/SchedulerCore.h"
#include "engine/SchedulerStart.h"
#include "platform/ChildWatch.h"
#include "platform/Environment.h"
#include "platform/ExecutablePath.h"
#include "platform/InstanceLock.h"
#include "platform/LocalSocket.h"
#include "platform/StopSignals.h"
#include "platform/TextUtils.h"

#include <cerrno>
#include <charconv>
#include <limits>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantle::cli {

namespace {

// Exit codes beyond 0 and 1 (a good or failed end of the run) and 2 (nothing started).
constexpr int NoScheduler = 3;
// How long the holder may take to start the run; its end may take as long as it takes.
constexpr int AnswerTimeoutMs = 30'000;

std::optional<std::int32_t> IndexOption(const TArguments& options) {
    std::optional<std::string> text = options.Value("--index");
    if (!text)
        return std::nullopt;
    std::int32_t index = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), index);
    if (text->empty() || (*text)[0] == '-' || (*text)[0] == '+' || error != std::errc() ||
        end != text->data() + text->size())
        throw UsageError("start", "--index wants a position from 0, as [Schedule N], not '" +
                                      VisibleText(*text, TVisibleFor::Terminal) + "'");
    return index;
}

void SayResult(std::ostream& err, const std::string& name, const TRunVerdict& verdict) {
    err << VisibleText(name + ": " + verdict.Result, TVisibleFor::Terminal) << '\n' << std::flush;
}

enum class TRead { Line, Closed, Late };

// The next line from the holder; Late after `timeoutMs` (-1: no limit).
TRead ReadLine(int fd, TLineReader& lines, std::string& line, int timeoutMs) {
    for (;;) {
        if (std::optional<std::string> taken = lines.TakeLine()) {
            line = std::move(*taken);
            return TRead::Line;
        }
        if (lines.Overflowed())
            return TRead::Closed;
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return TRead::Late;
        char buffer[4096];
        const ssize_t got = ready < 0 ? -1 : read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return TRead::Closed;
        lines.Append({buffer, static_cast<std::size_t>(got)});
    }
}

// Asks the holder on `fd` and says what it answered.
int AskHolder(int fd, const std::string& socket, const TControlRequest& request, std::ostream& out,
              std::ostream& err) {
    // A socket in the private folder is the user's own; the kernel's word is asked all the
    // same before an entry's name goes to whatever serves it.
    if (std::optional<uid_t> server = PeerUid(fd); !server || *server != geteuid())
        throw EFailure(socket + ": served by another user's program; not used");
    const std::string sent = FormatRequest(request);
    if (send(fd, sent.data(), sent.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(sent.size())) {
        err << "vantle-schedctl start: the scheduler closed the connection\n";
        return NoScheduler;
    }
    TLineReader lines;
    std::string line;
    const TRead read = ReadLine(fd, lines, line, AnswerTimeoutMs);
    std::optional<TControlAnswer> answer;
    if (read == TRead::Line)
        answer = ParseAnswer(line);
    if (!answer || answer->Kind == TControlAnswer::Ended) {
        err << "vantle-schedctl start: "
            << (read == TRead::Late ? "the scheduler did not answer within 30 s"
                                    : "the scheduler gave no answer")
            << '\n';
        return NoScheduler;
    }
    if (answer->Kind == TControlAnswer::Error)
        throw EFailure(VisibleText(answer->Text, TVisibleFor::Terminal));
    out << answer->Key << '\n' << std::flush;
    if (!request.Wait)
        return 0;
    answer.reset();
    if (ReadLine(fd, lines, line, -1) == TRead::Line)
        answer = ParseAnswer(line);
    if (answer && answer->Kind == TControlAnswer::Ended) {
        SayResult(err, request.Name, {answer->Failure, answer->Text});
        return answer->Failure ? 1 : 0;
    }
    err << "vantle-schedctl start: "
        << (answer && answer->Kind == TControlAnswer::Error
                ? VisibleText(answer->Text, TVisibleFor::Terminal)
                : "the scheduler stopped before the run ended")
        << '\n';
    return NoScheduler;
}

// --here: the scheduler for one Execute Now, as `run --once --wait` is for one cycle:
// the lock taken, the run recorded, its time limit kept while it is waited for.
int StartHere(const TFileLocations& files, const TControlRequest& request, std::ostream& out,
              std::ostream& err) {
    std::optional<TSchedulerStart> start;
    try {
        start.emplace(files.ScheduleFile, files.LogFile);
    } catch (const EStartRefused& e) {
        throw EFailure(e.Message(), false);
    }
    if (!start->Held())
        throw EFailure(start->HeldElsewhere(), false);
    TSchedulerServices services = SystemSchedulerServices();
    services.LogFile = files.LogFile;
    services.StartUpRuns = false;
    services.OnSwitch = [&start](bool on) { start->Describe("vantle-schedctl start --here", on); };
    services.Recorder = start->OpenRecords(TRunStore::FolderOf(ProcessEnvironment()));
    if (services.Recorder == nullptr)
        err << "vantle-schedctl start: "
            << VisibleText(start->RecordsRefused(), TVisibleFor::Terminal) << '\n'
            << std::flush;
    std::optional<TRunTicket> ticket;
    std::optional<TRunVerdict> verdict;
    services.OnRunEvent = [&](const TRunEvent& event) {
        if (ticket && ticket->EndedBy(event))
            verdict = VerdictOf(event);
    };
    TChildWatch children;
    TSchedulerCore core(files.ScheduleFile, services,
                        TRunLoopServices{.Clock = nullptr,
                                         .Children = &children,
                                         .StopFd = WatchStopSignals(),
                                         .TakeStop = TakeStopSignal});
    try {
        core.List().Load();
    } catch (const std::exception& e) {
        throw EFailure(DescribeError(e), false);
    }
    const TEntryPick pick = PickEntry(core.List(), request.Name, request.Index);
    if (pick.Index < 0)
        throw EFailure(pick.Error);
    core.Scheduler().SetEnabled(true);
    ticket = core.Scheduler().ExecuteNow(pick.Index);
    if (!ticket)
        throw EFailure("the entry did not start");
    out << ticket->Record << '\n' << std::flush;
    verdict = ticket->Verdict;
    // A stop signal ends the wait; the program runs on, as after any scheduler's end.
    while (!verdict && ticket->Pid != 0 && !core.Loop().Stopped())
        core.Loop().RunUntil([&verdict] { return verdict.has_value(); },
                             std::int64_t{24} * 3600 * 1000);
    core.SwitchOff();
    if (!verdict) {
        err << "vantle-schedctl start: stopped before the run ended\n";
        return NoScheduler;
    }
    SayResult(err, request.Name, *verdict);
    return verdict->Failure ? 1 : 0;
}

int StartEntry(const TArgs& args, std::ostream& out, std::ostream& err) {
    TArguments options = ReadArguments("start", args, {"--wait", "--here"}, {"--index"});
    if (options.Positional.empty())
        throw UsageError("start", "expects the NAME of an entry");
    if (options.Positional.size() > 2)
        throw UsageError("start", "expects NAME and at most one FILE");
    const TControlRequest request{.Name = options.Positional[0],
                                  .Index = IndexOption(options),
                                  .Wait = options.Has("--wait")};
    TFileLocations files;
    if (options.Positional.size() == 2) {
        files.ScheduleFile = options.Positional[1];
        files.LogFile = ChangeFileExt(files.ScheduleFile, ".LOG");
    } else {
        files = DesktopFiles();
    }
    const std::string socket = TInstanceLock(files.ScheduleFile).SiblingPath(".control");
    int error = 0;
    TOwnFd fd = ConnectLocal(socket, error);
    if (fd.Get() >= 0)
        return AskHolder(fd.Get(), socket, request, out, err);
    // Nothing there, or a socket a scheduler that ended left behind.
    if (error != ENOENT && error != ECONNREFUSED)
        throw EFailure(socket + ": " + PlainErrorText(error));
    if (options.Has("--here")) {
        if (options.Positional.size() < 2)
            MakeFileFolders(files);
        return StartHere(files, request, out, err);
    }
    err << "vantle-schedctl start: no scheduler runs "
        << VisibleText(files.ScheduleFile, TVisibleFor::Terminal) << "; start it, or use --here\n";
    return NoScheduler;
}

} // namespace

int CmdStart(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("start", err, [&] { return StartEntry(args, out, err); });
}

} // namespace vantle::cli
