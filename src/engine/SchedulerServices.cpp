#include "engine/SchedulerServices.h"

#include "netware/NetSession.h"
#include "netware/nwbase.h"
#include "platform/ClockSetterPosix.h"
#include "platform/ExecutablePath.h"
#include "platform/ProcessSignals.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/RunConditions.h"

namespace vantle {

namespace {

// The one place that decides which network session the real program gets.
std::unique_ptr<TNetSession> MakeSystemSession() {
    // The NetWare client, when installed, lies beside the program or on the loader's path.
    return std::make_unique<TNWBase>(
        std::make_unique<TDlLibraryLoader>(ExtractFileDir(ExecutablePath())));
}

} // namespace

TSchedulerServices SystemSchedulerServices() {
    static TPosixProgramStarter starter;
    static TPosixClockSetter clockSetter;
    static TPosixProcessSignals signaller;
    static const TSystemConditions conditions;
    TSchedulerServices services;
    services.Conditions = &conditions;
    services.Clock = &SystemClock();
    services.Environment = &ProcessEnvironment();
    services.Starter = &starter;
    services.ClockSetter = &clockSetter;
    services.Signals = &signaller;
    services.FormatSettings = &SystemFormatSettings();
    services.MakeSession = MakeSystemSession;
    services.MakeLog = [](const std::string& path) { return std::make_unique<TLog>(path); };
    services.ExecutablePath = ExecutablePath();
    return services;
}

TSchedulerServices WithSystemDefaults(TSchedulerServices services) {
    const bool needSystem = services.Clock == nullptr || services.Environment == nullptr ||
                            services.Starter == nullptr || services.ClockSetter == nullptr ||
                            services.Signals == nullptr || services.FormatSettings == nullptr ||
                            services.Conditions == nullptr || !services.MakeSession ||
                            services.ExecutablePath.empty();
    if (needSystem) {
        TSchedulerServices system = SystemSchedulerServices();
        if (services.Clock == nullptr)
            services.Clock = system.Clock;
        if (services.Environment == nullptr)
            services.Environment = system.Environment;
        if (services.Starter == nullptr)
            services.Starter = system.Starter;
        if (services.ClockSetter == nullptr)
            services.ClockSetter = system.ClockSetter;
        if (services.Signals == nullptr)
            services.Signals = system.Signals;
        if (services.FormatSettings == nullptr)
            services.FormatSettings = system.FormatSettings;
        if (services.Conditions == nullptr)
            services.Conditions = system.Conditions;
        if (!services.MakeSession)
            services.MakeSession = system.MakeSession;
        if (services.ExecutablePath.empty())
            services.ExecutablePath = system.ExecutablePath;
    }
    if (!services.MakeLog) {
        const TClock* clock = services.Clock;
        services.MakeLog = [clock](const std::string& path) {
            return std::make_unique<TLog>(path, *clock);
        };
    }
    return services;
}

} // namespace vantle
