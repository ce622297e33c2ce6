// The scheduler's control socket: `vantle-schedctl start` asks the scheduler that holds a
// schedule (the window or `run`) for an Execute Now through it (see ControlProtocol.h),
// so the run is recorded, limited and told like any other.
#pragma once

#include "engine/ControlProtocol.h"
#include "engine/RunConclusion.h"
#include "engine/RunLoop.h"
#include "engine/Scheduler.h"
#include "platform/FileWriter.h"
#include "sched/SchedList.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

namespace vantle {

/// What the server reaches outside itself; tests replace any piece.
struct TControlServices {
    /// The user id of a connection's other end; empty: the kernel's (SO_PEERCRED).
    std::function<std::optional<uid_t>(int fd)> PeerUid;
};

class TControlServer {
public:
    /// At most this many connections at once; more are answered with an error and closed.
    static constexpr std::size_t MaxConnections = 64;

    /// Serves the socket at `path` for the entries of `list` (unsaved edits included),
    /// run by `scheduler`, whose limits `loop` keeps. Call it holding the schedule's
    /// instance lock. Raises EInOutError.
    TControlServer(TSchedList& list, TScheduler& scheduler, TRunLoop& loop, std::string path,
                   TControlServices services = {});
    /// Closes every connection (a client that waits learns that the scheduler stopped
    /// first) and removes the socket. Touches neither the list nor the scheduler.
    ~TControlServer();
    TControlServer(const TControlServer&) = delete;
    TControlServer& operator=(const TControlServer&) = delete;

    /// Readable when a connection or a request waits; then Handle.
    int Fd() const { return FEvents.Get(); }
    /// Takes new connections and answers whole requests, without ever waiting for a
    /// client: a client that says nothing holds nobody up.
    void Handle() noexcept;
    /// Tells the clients that wait for a run its end; every run event goes here.
    void See(const TRunEvent& event);
    std::size_t Connections() const { return FClients.size(); }

private:
    struct TClient {
        TOwnFd Fd;
        TLineReader Lines = {};
        bool Asked = false;                   // its one request has come
        std::optional<TRunTicket> Waits = {}; // the run whose end it waits for
    };

    void Accept();
    /// Reads what the client sent; false when it is to be closed.
    bool Read(TClient& client);
    /// Answers a request line; false when the connection is done.
    bool Answer(TClient& client, const std::string& line);

    TSchedList& FList;
    TScheduler& FScheduler;
    TRunLoop& FLoop;
    std::string FPath;
    TControlServices FServices;
    TOwnFd FListener;
    TOwnFd FEvents; // an epoll set of the listener and the clients: one descriptor to watch
    std::map<int, TClient> FClients;
};

} // namespace vantle
