// The desktop program's services for benchmarks: the real machine, except that nothing
// is started, the clock is never set and there is no network.
#pragma once

#include "netware/NetSession.h"
#include "ui/SchedMain.h"

#include <filesystem>
#include <memory>

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

} // namespace vantle::bench
