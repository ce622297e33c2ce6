#include "ui/MainServices.h"

#include "platform/CrontabSource.h"
#include "platform/ExecutablePath.h"
#include "platform/FileLocations.h"
#include "platform/StopSignals.h"

#include "ui/Settings.h"

#include <QDialog>
#include <QSettings>

namespace vantle {

QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Question, caption, shown, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

TSchedMainServices SystemSchedMainServices(const TFileLocations& files) {
    TSchedMainServices services;
    services.Scheduler = SystemSchedulerServices();
    MakeFileFolders(files);
    services.ScheduleFile = files.ScheduleFile;
    services.Scheduler.LogFile = files.LogFile;
    services.Ask = AskQuestion;
    services.ShowModal = [](QDialog& dialog) { return dialog.exec(); };
    static TChildWatch childWatch;
    services.ChildWatch = &childWatch;
    services.StopFd = WatchStopSignals();
    services.TakeStop = TakeStopSignal;
    return services;
}

TSchedMainServices CompleteServices(TSchedMainServices services) {
    if (!services.Ask)
        services.Ask = AskQuestion;
    if (!services.ShowModal)
        services.ShowModal = [](QDialog& dialog) { return dialog.exec(); };
    if (!services.ReadCrontab)
        services.ReadCrontab = [] { return ReadUserCrontab(); };
    // The window's clock, regional settings and executable path are the scheduler's.
    services.Scheduler = WithSystemDefaults(std::move(services.Scheduler));
    if (services.ScheduleFile.empty()) // beside the executable, named after it
        services.ScheduleFile = ChangeFileExt(services.Scheduler.ExecutablePath, ".INI");
    const QSettings settings;
    if (std::optional<std::uint64_t> maxSize = LogMaxSize(settings))
        services.Scheduler.MaxLogSize = *maxSize;
    if (std::optional<std::uint64_t> runs = KeptRuns(settings))
        services.Scheduler.KeptRuns = static_cast<std::size_t>(*runs);
    if (std::optional<std::uint64_t> megabytes = KeptMegabytes(settings))
        services.Scheduler.KeptBytes = *megabytes << 20;
    // Read once: the scheduler keeps what it was made with.
    const TDefaultCommands commands = DefaultCommands(settings);
    if (services.Scheduler.DefaultOnFailure.empty())
        services.Scheduler.DefaultOnFailure = commands.OnFailure;
    if (services.Scheduler.DefaultOnRecovery.empty())
        services.Scheduler.DefaultOnRecovery = commands.OnRecovery;
    return services;
}

} // namespace vantle
