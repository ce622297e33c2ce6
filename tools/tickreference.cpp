// The floor that tick lateness is measured against: waits on an absolute wall-clock
// timer for hh:mm:05.000 of the minutes whose minute of the hour is AT modulo EVERY, and
// there starts PROGRAM the way the scheduler starts an entry's program, COUNT times.
//   usage: tickreference EVERY AT COUNT PROGRAM [ARGUMENT...]
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The next hh:mm:05 after now, of a minute whose minute of the hour is `at` mod `every`.
std::time_t NextTick(std::time_t now, int every, int at) {
    for (std::time_t t = now - now % 60 + 5;; t += 60) {
        std::tm local{};
        localtime_r(&t, &local);
        if (t > now && local.tm_min % every == at)
            return t;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return 2;
    const int every = std::atoi(argv[1]);
    const int at = std::atoi(argv[2]);
    const int count = std::atoi(argv[3]);
    if (every < 1 || at < 0 || at >= every || count < 1)
        return 2;
    const int timer = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC);
    const int folder = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (timer < 0 || folder < 0)
        return 3;

    // The scheduler's spawn: its own session, signals at their defaults and unblocked,
    // into the working folder, standard files on /dev/null, no other descriptor.
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    if (posix_spawnattr_init(&attributes) != 0 ||
        posix_spawnattr_setflags(&attributes,
                                 static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                    POSIX_SPAWN_SETSIGDEF)) != 0 ||
        posix_spawnattr_setsigmask(&attributes, &none) != 0 ||
        posix_spawnattr_setsigdefault(&attributes, &all) != 0 ||
        posix_spawn_file_actions_init(&actions) != 0 ||
        posix_spawn_file_actions_addfchdir_np(&actions, folder) != 0 ||
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDWR, 0) != 0 ||
        posix_spawn_file_actions_adddup2(&actions, 0, 1) != 0 ||
        posix_spawn_file_actions_adddup2(&actions, 0, 2) != 0 ||
        posix_spawn_file_actions_addclosefrom_np(&actions, 3) != 0)
        return 3;

    for (int i = 0; i < count; ++i) {
        std::timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        itimerspec when{};
        when.it_value.tv_sec = NextTick(now.tv_sec, every, at);
        if (timerfd_settime(timer, TFD_TIMER_ABSTIME, &when, nullptr) != 0)
            return 3;
        std::uint64_t expirations = 0;
        if (::read(timer, &expirations, sizeof expirations) < 0) {
            if (errno == EINTR)
                --i;
            continue;
        }
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[4], &actions, &attributes, argv + 4, environ) != 0) {
            std::perror(argv[4]);
            return 4;
        }
        // Reaped at once, off the measured path: the program is started by then.
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return 0;
}
