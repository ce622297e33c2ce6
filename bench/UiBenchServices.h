// The desktop program's services for benchmarks: the real machine, except that nothing
// is started, the clock is never set and there is no network; and the offscreen
// application the window benchmarks share.
#pragma once

#include "netware/NetSession.h"
#include "ui/SchedMain.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace vantle::bench {

class TNoStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string&, const std::string&, const std::string&,
                               int) override {
        return SE_START_ACCEPTED;
    }
};

class TNoClockSetter : public TClockSetter {
public:
    int SetSystemTime(const TSystemTime&) override { return 0; }
};

/// Services whose schedule and log lie in `folder`, named after "vantle-scheduler".
inline TSchedMainServices IdleWindowServices(const std::filesystem::path& folder) {
    static TNoStarter starter;
    static TNoClockSetter clockSetter;
    TSchedMainServices services;
    services.Scheduler = SystemSchedulerServices();
    services.Scheduler.Starter = &starter;
    services.Scheduler.ClockSetter = &clockSetter;
    services.Scheduler.MakeSession = [] { return std::make_unique<TNoNetSession>(); };
    services.Scheduler.ExecutablePath = (folder / "vantle-scheduler").string();
    return services;
}

namespace detail {
inline std::unique_ptr<QApplication> OffscreenApp;
inline std::filesystem::path OffscreenFolder;
} // namespace detail

/// Starts the offscreen application named `name` for the whole run, and gives a new
/// private folder for its files; an atexit handler calls EndOffscreen once what was built
/// on them is gone.
inline std::filesystem::path StartOffscreen(const char* name) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr}; // Qt reads it, never writes
    detail::OffscreenApp = std::make_unique<QApplication>(argc, argv);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantle-uibench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    detail::OffscreenFolder = pattern;
    return detail::OffscreenFolder;
}

/// Removes the application's folder at the end of the run. The application itself is left
/// to the process's end: Qt makes some globals lazily (the keyboard at the first key
/// event), and an application deleted after they are gone crashes the exit.
inline void EndOffscreen() {
    (void)detail::OffscreenApp.release();
    std::error_code ec;
    std::filesystem::remove_all(detail::OffscreenFolder, ec);
}

} // namespace vantle::bench
