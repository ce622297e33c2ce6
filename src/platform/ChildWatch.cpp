#include "platform/ChildWatch.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantle {

namespace {

sigset_t ChildSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    return set;
}

} // namespace

void TChildWatch::BlockChildSignal() {
    sigset_t set = ChildSignal();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TChildWatch::TChildWatch() {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    BlockChildSignal();
    sigset_t set = ChildSignal();
    FFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

TChildWatch::~TChildWatch() {
    if (FFd >= 0)
        ::close(FFd);
}

std::vector<TChildEnd> TChildWatch::Reap() {
    if (FFd >= 0) {
        // Signals of one kind merge while pending, so one read may stand for many
        // children; the wait loop below finds them all.
        signalfd_siginfo info[8];
        while (::read(FFd, info, sizeof info) > 0) {
        }
    }
    std::vector<TChildEnd> ends;
    for (;;) {
        int status = 0;
        pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid < 0 && errno == EINTR)
            continue;
        if (pid <= 0)
            break;
        if (WIFEXITED(status))
            ends.push_back({pid, false, WEXITSTATUS(status)});
        else if (WIFSIGNALED(status))
            ends.push_back({pid, true, WTERMSIG(status)});
    }
    return ends;
}

} // namespace vantle
