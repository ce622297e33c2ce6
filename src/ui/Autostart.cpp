#include "ui/Autostart.h"

#include "platform/FileLocations.h"
#include "platform/FileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <stdexcept>

namespace vantle {

QString AutostartFile() {
    return QString::fromStdString(vantle::ConfigHome(vantle::ProcessEnvironment())) +
           QStringLiteral("/autostart/vantle-scheduler.desktop");
}

QString AutostartExec(const QString& program) {
    // Reserved characters need the argument quoted, and inside quotes ", `, $ and \ are
    // escaped; a % is doubled everywhere, or it would read as a field code.
    static const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted = program;
    bool needsQuotes =
        std::any_of(program.begin(), program.end(), [](QChar c) { return Reserved.contains(c); });
    if (needsQuotes) {
        QString escaped;
        for (QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                escaped += u'\\';
            escaped += c;
        }
        quoted = u'"' + escaped + u'"';
    }
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted + QStringLiteral(" --enable");
}

bool StartsAtLogin(const QString& file) {
    return QFileInfo(file).isFile();
}

void SetStartAtLogin(const QString& file, bool on, const QString& program) {
    if (!on) {
        if (QFile::exists(file) && !QFile::remove(file))
            throw std::runtime_error(QStringLiteral("Cannot remove %1")
                                         .arg(QDir::toNativeSeparators(file))
                                         .toStdString());
        return;
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    // Backslashes in a value are escapes themselves, so the Exec line doubles them.
    QString exec = AutostartExec(program);
    exec.replace(u'\\', QStringLiteral("\\\\"));
    const QByteArray content = QStringLiteral("[Desktop Entry]\n"
                                              "Type=Application\n"
                                              "Name=Vantle Scheduler\n"
                                              "Comment=Run programs on a schedule\n"
                                              "Exec=%1\n"
                                              "Icon=vantle-scheduler\n"
                                              "Terminal=false\n"
                                              "X-GNOME-Autostart-enabled=true\n")
                                   .arg(exec)
                                   .toUtf8();
    // Whole or not at all, and never through another user's link; a new entry gets
    // what the umask leaves, as any file the user makes.
    try {
        ReplaceFileContent(
            QFile::encodeName(file).toStdString(),
            std::string_view(content.constData(), static_cast<std::size_t>(content.size())),
            0666 & ~CurrentUmask());
    } catch (const std::exception& e) {
        throw std::runtime_error("Cannot write " + DescribeError(e));
    }
}

} // namespace vantle
