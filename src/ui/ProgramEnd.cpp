#include "ui/ProgramEnd.h"

#include "platform/StopSignals.h"
#include "ui/Application.h"
#include "ui/SchedMain.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QSocketNotifier>

#include <ostream>

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

void EndProgram(TfmSchedMain& window, bool stopped, std::ostream& err) {
    RunHandler([&window] { window.FormDestroy(); });
    QMessageBox* box = TApplication::ErrorBox();
    if (box == nullptr)
        return;
    if (!stopped) {
        box->exec(); // the last error is not lost when the program ends
        return;
    }
    // Nobody may be there to close it: the box's errors go where a service's output goes.
    for (const QString& text : {box->text(), box->informativeText(), box->detailedText()})
        if (!text.isEmpty())
            err << "vantle-scheduler: " << text.toLocal8Bit().constData() << '\n';
    err << std::flush;
    delete box;
}

} // namespace vantle
