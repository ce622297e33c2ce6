#include "ui/StopSignalWatch.h"

#include "platform/StopSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

namespace vantle {

TStopSignalWatch::TStopSignalWatch(QObject* parent) : QObject(parent) {
    if (int fd = WatchStopSignals(); fd >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            TakeStopSignal();
            Stop();
        });
    }
}

void TStopSignalWatch::Stop() {
    FStopped = true;
    EndEveryLoop();
}

void EndEveryLoop() {
    // An open dialog's exec() returns its result when its loop ends: rejected.
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog != nullptr && dialog->isVisible())
            dialog->setResult(QDialog::Rejected);
    // quit() would close the windows first, and the main window's close asks about
    // unsaved changes, which nobody may be there to answer.
    QCoreApplication::exit(0);
}

} // namespace vantle
