#include "engine/Scheduler.h"

#include "netware/NetSession.h"
#include "netware/nwbase.h"
#include "platform/ClockSetterPosix.h"
#include "platform/ExecutablePath.h"
#include "platform/ProgramStarterPosix.h"

namespace vantle {

namespace {

// The one place that decides which network session the real program gets.
std::unique_ptr<TNetSession> MakeSystemSession() {
    // The NetWare client, when installed, lies beside the program or on the loader's path.
    return std::make_unique<TNWBase>(
        std::make_unique<TDlLibraryLoader>(ExtractFileDir(ExecutablePath())));
}

} // namespace

const TFormatSettings& SystemFormatSettings() {
    static const TFormatSettings settings = LocaleFormatSettings();
    return settings;
}

TSchedulerServices SystemSchedulerServices() {
    static TPosixProgramStarter starter;
    static TPosixClockSetter clockSetter;
    TSchedulerServices services;
    services.Clock = &SystemClock();
    services.Environment = &ProcessEnvironment();
    services.Starter = &starter;
    services.ClockSetter = &clockSetter;
    services.FormatSettings = &SystemFormatSettings();
    services.MakeSession = MakeSystemSession;
    services.MakeLog = [](const std::string& path) { return std::make_unique<TLog>(path); };
    services.ExecutablePath = ExecutablePath();
    return services;
}

} // namespace vantle
