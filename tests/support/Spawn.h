// Starts a real program of the suite the way a user's shell would, and waits for it.
#pragma once

#include "support/TestFiles.h"

#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace vantle::test {

/// Starts `argv` (found on PATH) with no input, standard output appended to the file
/// `out` and standard error to `err` (to `out` too when empty); `env` ("NAME=value")
/// replaces the test's environment unless empty. The process id, or -1.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::string& out,
                   const std::string& err = {}, const std::vector<std::string>& env = {}) {
    std::vector<char*> args, vars;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (const std::string& var : env)
        vars.push_back(const_cast<char*>(var.c_str()));
    vars.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (err.empty())
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0666);
    pid_t pid = -1;
    int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(),
                             env.empty() ? environ : vars.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

/// The wait status, or nullopt when the process is still running after `timeout`.
inline std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    if (WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout))
        return status;
    return std::nullopt;
}

} // namespace vantle::test
