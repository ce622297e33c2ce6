#include "engine/ControlServer.h"

#include "engine/EntryPick.h"
#include "platform/LocalSocket.h"
#include "platform/SysErrors.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantle {

namespace {

// Sends a line whole or not at all, without waiting: an answer is small, and a client
// whose socket cannot take it is not waited for.
bool SendLine(int fd, const std::string& line) {
    for (;;) {
        const ssize_t sent = send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR)
            continue;
        return sent == static_cast<ssize_t>(line.size());
    }
}

TControlAnswer ErrorAnswer(std::string text) {
    return {.Kind = TControlAnswer::Error, .Text = std::move(text)};
}

} // namespace

TControlServer::TControlServer(TSchedList& list, TScheduler& scheduler, TRunLoop& loop,
                               std::string path, TControlServices services)
    : FList(list), FScheduler(scheduler), FLoop(loop), FPath(std::move(path)),
      FServices(std::move(services)) {
    if (!FServices.PeerUid)
        FServices.PeerUid = PeerUid;
    FEvents = TOwnFd(epoll_create1(EPOLL_CLOEXEC));
    if (FEvents.Get() < 0)
        RaiseInOutError(errno);
    FListener = ListenLocal(FPath);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = FListener.Get();
    if (epoll_ctl(FEvents.Get(), EPOLL_CTL_ADD, FListener.Get(), &event) != 0) {
        const int error = errno;
        unlink(FPath.c_str());
        RaiseInOutError(error, FPath);
    }
}

TControlServer::~TControlServer() {
    FClients.clear();
    FListener.Close();
    unlink(FPath.c_str());
}

void TControlServer::Handle() noexcept {
    epoll_event events[16];
    const int count = epoll_wait(FEvents.Get(), events, 16, 0);
    for (int i = 0; i < count; ++i) {
        const int fd = events[i].data.fd;
        if (fd == FListener.Get()) {
            Accept();
            continue;
        }
        auto found = FClients.find(fd);
        if (found != FClients.end() && !Read(found->second))
            FClients.erase(found);
    }
}

void TControlServer::Accept() {
    for (;;) {
        TOwnFd fd;
        try {
            fd = AcceptLocal(FListener.Get());
        } catch (const std::exception&) {
            return; // out of descriptors, say: the connection waits for the next wake
        }
        if (fd.Get() < 0)
            return;
        // The socket is the user's own (0600 in a 0700 folder); the kernel's word on who
        // connected is checked all the same, since Execute Now runs programs as this user.
        const std::optional<uid_t> peer = FServices.PeerUid(fd.Get());
        if (!peer || *peer != geteuid()) {
            SendLine(fd.Get(),
                     FormatAnswer(ErrorAnswer(
                         "refused: this scheduler takes requests from its own user only")));
            continue;
        }
        if (FClients.size() >= MaxConnections) {
            SendLine(fd.Get(), FormatAnswer(ErrorAnswer("too many connections; try again")));
            continue;
        }
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = fd.Get();
        if (epoll_ctl(FEvents.Get(), EPOLL_CTL_ADD, fd.Get(), &event) != 0)
            continue;
        const int key = fd.Get();
        FClients.emplace(key, TClient{.Fd = std::move(fd)});
    }
}

bool TControlServer::Read(TClient& client) {
    // A bounded share per wake: a client that keeps writing does not keep the loop.
    char buffer[4096];
    for (std::size_t total = 0; total <= ControlLineLimit;) {
        const ssize_t got = recv(client.Fd.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        if (got == 0)
            return false; // gone, also a client that waited for its run's end
        total += static_cast<std::size_t>(got);
        if (client.Asked)
            continue; // one request per connection; the rest is not kept
        client.Lines.Append({buffer, static_cast<std::size_t>(got)});
        if (client.Lines.Overflowed()) {
            SendLine(client.Fd.Get(), FormatAnswer(ErrorAnswer("the request is too long")));
            return false;
        }
        if (std::optional<std::string> line = client.Lines.TakeLine()) {
            client.Asked = true;
            if (!Answer(client, *line))
                return false;
        }
    }
    return true;
}

bool TControlServer::Answer(TClient& client, const std::string& line) {
    const int fd = client.Fd.Get();
    std::string error;
    const std::optional<TControlRequest> request = ParseRequest(line, error);
    if (!request) {
        SendLine(fd, FormatAnswer(ErrorAnswer(error)));
        return false;
    }
    const TEntryPick pick = PickEntry(FList, request->Name, request->Index);
    if (pick.Index < 0) {
        SendLine(fd, FormatAnswer(ErrorAnswer(pick.Error)));
        return false;
    }
    std::optional<TRunTicket> ticket;
    try {
        ticket = FScheduler.ExecuteNow(pick.Index);
    } catch (const std::exception& e) {
        error = DescribeError(e); // the log could not be written: nothing runs without it
    }
    // Its time limit and output cap are kept from now, not from the next cycle.
    FLoop.FollowLimits();
    if (!ticket) {
        SendLine(fd, FormatAnswer(ErrorAnswer(error.empty() ? "the entry did not start" : error)));
        return false;
    }
    if (!SendLine(fd, FormatAnswer({.Kind = TControlAnswer::Started, .Key = ticket->Record})) ||
        !request->Wait)
        return false;
    if (ticket->Verdict) {
        SendLine(fd, FormatAnswer({.Kind = TControlAnswer::Ended,
                                   .Failure = ticket->Verdict->Failure,
                                   .Text = ticket->Verdict->Result}));
        return false;
    }
    if (ticket->Pid == 0) {
        SendLine(fd, FormatAnswer(ErrorAnswer("the run's end cannot be followed")));
        return false;
    }
    client.Waits = std::move(ticket);
    return true;
}

void TControlServer::See(const TRunEvent& event) {
    for (auto it = FClients.begin(); it != FClients.end();) {
        const TClient& client = it->second;
        std::optional<TRunVerdict> verdict;
        if (client.Waits && client.Waits->EndedBy(event))
            verdict = VerdictOf(event);
        if (!verdict) {
            ++it;
            continue;
        }
        SendLine(client.Fd.Get(), FormatAnswer({.Kind = TControlAnswer::Ended,
                                                .Failure = verdict->Failure,
                                                .Text = verdict->Result}));
        it = FClients.erase(it);
    }
}

} // namespace vantle
