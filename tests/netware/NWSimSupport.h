// Test support for the NetWare session: folders composed of simulated client libraries,
// and scenarios run in a child process so that each binds the client afresh.
#pragma once

#include "support/Child.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vantle::test {

// Where the build put each simulated library; a variant leaves one entry point out.
inline const std::string SimCalls = NWSIM_CALLS;
inline const std::string SimClient = NWSIM_CLIENT;
inline const std::string SimDirectory = NWSIM_DIRECTORY;
inline const std::string SimLocale = NWSIM_LOCALE;
inline const std::vector<std::string> FullClient = {SimCalls, SimClient, SimDirectory, SimLocale};

/// Links each library file into `folder` under its own file name.
inline void PlaceLibraries(const std::filesystem::path& folder,
                           const std::vector<std::string>& files) {
    for (const std::string& file : files)
        std::filesystem::create_symlink(file, folder / std::filesystem::path(file).filename());
}

using TReport = std::map<std::string, std::string>;
using TEnvironmentSettings = std::vector<std::pair<std::string, std::string>>;

/// Runs `scenario` in a child process with `environment` set there (TZ included): the
/// client's binding is process-wide and its libraries are never unloaded, so no
/// scenario may see another's. An exception comes back as the entry "raised".
inline TReport RunIsolated(const TEnvironmentSettings& environment,
                           const std::function<TReport()>& scenario) {
    TChildResult child = RunInChild([&] {
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        tzset();
        std::string text;
        try {
            for (const auto& [key, value] : scenario())
                text += key + '\t' + value + '\n';
        } catch (const std::exception& e) {
            text = std::string("raised\t") + e.what() + '\n';
        }
        return text;
    });
    EXPECT_TRUE(child.Succeeded())
        << "the scenario's process ended abnormally (status " << child.Status << ")";
    TReport report;
    std::istringstream lines(child.Output);
    for (std::string line; std::getline(lines, line);) {
        std::size_t tab = line.find('\t');
        if (tab != std::string::npos)
            report[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return report;
}

/// How many of the simulator's log lines (in the file `log`) record a call to `function`.
inline int CallCount(const std::string& log, const std::string& function) {
    int count = 0;
    std::istringstream in(ReadFile(log));
    for (std::string line; std::getline(in, line);)
        count += line.rfind(function + "(", 0) == 0 ? 1 : 0;
    return count;
}

} // namespace vantle::test
