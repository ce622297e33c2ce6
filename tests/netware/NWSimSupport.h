// Test support for the NetWare session: folders composed of simulated client libraries,
// and scenarios run in a child process so that each binds the client afresh.
#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vantle::test {

// Where the build put each simulated library; a variant leaves one entry point out.
inline const std::string SimCalls = NWSIM_CALLS;
inline const std::string SimClient = NWSIM_CLIENT;
inline const std::string SimDirectory = NWSIM_DIRECTORY;
inline const std::string SimLocale = NWSIM_LOCALE;
inline const std::string SimCallsNoInit = NWSIM_CALLS_NO_INIT;
inline const std::string SimClientNoPrimConnRef = NWSIM_CLIENT_NO_PRIMCONNREF;
inline const std::string SimCallsNoConnInfo = NWSIM_CALLS_NO_CONNINFO;
inline const std::string SimClientNoConnInfo = NWSIM_CLIENT_NO_CONNINFO;

/// Links each library file into `folder` under its own file name.
inline void PlaceLibraries(const std::filesystem::path& folder,
                           const std::vector<std::string>& files) {
    for (const std::string& file : files)
        std::filesystem::create_symlink(file, folder / std::filesystem::path(file).filename());
}

using TReport = std::map<std::string, std::string>;
using TEnvironmentSettings = std::vector<std::pair<std::string, std::string>>;

/// Runs `scenario` in a child process with `environment` set there: the client's
/// binding is process-wide and its libraries are never unloaded, so no scenario may
/// see another's. An exception comes back as the entry "raised".
inline TReport RunIsolated(const TEnvironmentSettings& environment,
                           const std::function<TReport()>& scenario) {
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string text;
        try {
            for (const auto& [name, value] : environment)
                setenv(name.c_str(), value.c_str(), 1);
            for (const auto& [key, value] : scenario())
                text += key + '\t' + value + '\n';
        } catch (const std::exception& e) {
            text = std::string("raised\t") + e.what() + '\n';
        }
        for (std::size_t done = 0; done < text.size();) {
            ssize_t n = write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0)
                _exit(3);
            done += static_cast<std::size_t>(n);
        }
        close(fds[1]);
        std::exit(0); // a normal exit, so the leak checker looks at the scenario too
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the scenario's process ended abnormally (status " << status << ")";

    TReport report;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::size_t tab = line.find('\t');
        if (tab != std::string::npos)
            report[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return report;
}

inline std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

/// How many of the simulator's log lines record a call to `function`.
inline int CallCount(const std::vector<std::string>& log, const std::string& function) {
    int count = 0;
    for (const std::string& line : log)
        count += line.rfind(function + "(", 0) == 0 ? 1 : 0;
    return count;
}

} // namespace vantle::test
