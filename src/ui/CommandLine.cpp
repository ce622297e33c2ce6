#include "ui/CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

#include <ostream>

namespace vantle {

// The build says the version; a build that does not (the fuzz targets') still compiles.
#ifndef VANTLE_VERSION
#define VANTLE_VERSION "unknown"
#endif

std::optional<int> AnswerInfoOption(const std::vector<std::string>& args,
                                    const vantle::TFileLocations& files,
                                    const std::string& settingsFile, std::ostream& out) {
    QStringList arguments{QStringLiteral("vantle-scheduler")};
    for (const std::string& arg : args)
        arguments.append(QString::fromLocal8Bit(arg.c_str()));
    QCommandLineParser parser;
    // Qt's own options (-stylesheet, -platformtheme) are single-dash words, not bundles
    // of letters that could hold an h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption paths(QStringLiteral("paths"));
    parser.addOptions({help, version, paths, QCommandLineOption(QStringLiteral("enable"))});
    // Anything unknown is no error: any argument at all switches the scheduler on.
    (void)parser.parse(arguments);

    if (parser.isSet(help)) {
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
    if (parser.isSet(version)) {
        out << "vantle-scheduler " << VANTLE_VERSION << "\n";
        return 0;
    }
    if (parser.isSet(paths)) {
        out << "schedule: " << files.ScheduleFile << "\nlog: " << files.LogFile
            << "\nsettings: " << settingsFile << "\n";
        return 0;
    }
    return std::nullopt;
}

} // namespace vantle
