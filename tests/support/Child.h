// Running a step in a forked child: process limits, environment and the NetWare
// client's process-wide binding stay there, and only the step's text comes back.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace vantle::test {

struct TChildResult {
    int Status = -1;    // as waitpid gives it
    std::string Output; // what the step returned
    bool Succeeded() const { return WIFEXITED(Status) && WEXITSTATUS(Status) == 0; }
};

/// An exception out of `step` comes back as "unexpected exception: ..." with exit code 3.
/// The child ends with a normal exit, so the leak checker looks at the step too.
inline TChildResult RunInChild(const std::function<std::string()>& step) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    std::fflush(nullptr); // nothing buffered may be written twice
    pid_t pid = fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        close(fds[0]);
        std::string output;
        int code = 0;
        try {
            output = step();
        } catch (const std::exception& e) {
            output = std::string("unexpected exception: ") + e.what();
            code = 3;
        }
        for (std::size_t done = 0; done < output.size();) {
            ssize_t n = write(fds[1], output.data() + done, output.size() - done);
            if (n <= 0)
                _exit(4);
            done += static_cast<std::size_t>(n);
        }
        close(fds[1]);
        std::exit(code);
    }
    close(fds[1]);
    TChildResult result;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            result.Output.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    }
    close(fds[0]);
    while (waitpid(pid, &result.Status, 0) < 0 && errno == EINTR) {
    }
    return result;
}

/// Whether this process has no child left, running or not yet reaped.
inline bool NoChildLeft() {
    errno = 0;
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

} // namespace vantle::test
