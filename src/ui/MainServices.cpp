#include "ui/MainServices.h"

#include "platform/FileLocations.h"
#include "platform/StopSignals.h"

#include <QDialog>

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

} // namespace vantle
