#include "platform/ProcessWatch.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantle {

namespace {

int OpenPidFd(int pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

bool PidFdEnded(int fd) {
    pollfd wait{fd, POLLIN, 0};
    return ::poll(&wait, 1, 0) > 0;
}

} // namespace

TProcessWatch::TProcessWatch() {
    // Without pidfds (a kernel before 5.3) nothing would ever wake the poll: no descriptor.
    const int probe = OpenPidFd(::getpid());
    if (probe >= 0) {
        ::close(probe);
        FEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    }
}

TProcessWatch::~TProcessWatch() {
    for (auto& [pid, followed] : FFollowed)
        if (followed.PidFd >= 0)
            ::close(followed.PidFd);
    if (FEpoll >= 0)
        ::close(FEpoll);
}

bool TProcessWatch::Add(const TProcessIdentity& process) {
    Remove(process.Pid);
    TFollowed followed{process, FEpoll >= 0 ? OpenPidFd(process.Pid) : -1};
    // Checked after the pidfd is open, so it cannot stand for a later process of that pid.
    if (!StillRunning(process)) {
        if (followed.PidFd >= 0)
            ::close(followed.PidFd);
        return false;
    }
    if (followed.PidFd >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = process.Pid;
        if (::epoll_ctl(FEpoll, EPOLL_CTL_ADD, followed.PidFd, &event) != 0) {
            ::close(followed.PidFd);
            followed.PidFd = -1;
        }
    }
    FFollowed[process.Pid] = std::move(followed);
    return true;
}

void TProcessWatch::Remove(int pid) {
    auto found = FFollowed.find(pid);
    if (found == FFollowed.end())
        return;
    if (found->second.PidFd >= 0)
        ::close(found->second.PidFd); // closing takes it out of the epoll set too
    FFollowed.erase(found);
}

std::vector<int> TProcessWatch::TakeEnded() {
    if (FEpoll >= 0) {
        // Level-triggered: drained here so the descriptor stops waking the loop.
        epoll_event events[16];
        while (::epoll_wait(FEpoll, events, 16, 0) == 16) {
        }
    }
    std::vector<int> ended;
    for (auto& [pid, followed] : FFollowed)
        if (followed.PidFd >= 0 ? PidFdEnded(followed.PidFd) : !StillRunning(followed.Process))
            ended.push_back(pid);
    for (int pid : ended)
        Remove(pid);
    return ended;
}

} // namespace vantle
