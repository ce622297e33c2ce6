#include "ui/CommandLine.h"

#include <algorithm>
#include <ostream>

namespace vantle {

// The build says the version; a build that does not (the fuzz targets') still compiles.
#ifndef VANTLE_VERSION
#define VANTLE_VERSION "unknown"
#endif

std::optional<int> AnswerInfoOption(const std::vector<std::string>& args,
                                    const vantle::TFileLocations& files,
                                    const std::string& settingsFile, std::ostream& out) {
    auto has = [&](std::initializer_list<const char*> names) {
        return std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
            return std::find(names.begin(), names.end(), arg) != names.end();
        });
    };
    if (has({"--help", "-h"})) {
        out << "Usage: vantle-scheduler [--enable]\n"
               "Runs programs on a schedule, from a window or the system tray.\n"
               "\n"
               "  --enable    start with the scheduler switched on (any other argument\n"
               "              does the same; without one it starts switched off)\n"
               "  --paths     print where the schedule, the log and the settings are\n"
               "  --help      print this help and exit\n"
               "  --version   print the version and exit\n";
        return 0;
    }
    if (has({"--version"})) {
        out << "vantle-scheduler " << VANTLE_VERSION << "\n";
        return 0;
    }
    if (has({"--paths"})) {
        out << "schedule: " << files.ScheduleFile << "\nlog: " << files.LogFile
            << "\nsettings: " << settingsFile << "\n";
        return 0;
    }
    return std::nullopt;
}

} // namespace vantle
