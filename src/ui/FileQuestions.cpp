#include "ui/FileQuestions.h"

#include "engine/SchedulerCore.h"
#include "ui/Application.h"
#include "ui/TextBytes.h"

namespace vantle {

namespace {

bool AskYes(const TAskFunction& ask, QWidget* parent, const QString& text,
            QMessageBox::StandardButton defaultButton = QMessageBox::No) {
    return ask(parent, QStringLiteral("Vantle Scheduler"), text, QMessageBox::Yes | QMessageBox::No,
               defaultButton) == QMessageBox::Yes;
}

} // namespace

bool ConfirmOverwrite(TSchedList& list, const TAskFunction& ask, QWidget* parent) {
    if (list.FileHoldsForeignText())
        return AskYes(ask, parent,
                      QStringLiteral("%1 is not a schedule file.\r\nReplace it with the schedule?")
                          .arg(TextOfBytes(list.FileName())));
    if (list.FileChangedOnDisk())
        return AskYes(ask, parent,
                      QStringLiteral("Another program changed the schedule file since it was "
                                     "loaded.\r\nOverwrite those changes?"));
    return true;
}

bool SaveBeforeClose(TSchedulerCore& core, const TAskFunction& ask, QWidget* parent) {
    if (!core.List().Modified())
        return true;
    switch (ask(parent, QStringLiteral("Vantle Scheduler"),
                QStringLiteral("The schedule has changed.\r\nDo you want to save it now?"),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        if (!ConfirmOverwrite(core.List(), ask, parent))
            return false;
        core.Save(); // a failed save raises, and the window stays
        return true;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool ConfirmReload(TSchedList& list, const TAskFunction& ask, QWidget* parent) {
    return !list.Modified() ||
           AskYes(ask, parent, QStringLiteral("Schedule has changed.  Overwrite those changes?"));
}

bool ConfirmResetLog(const TAskFunction& ask, QWidget* parent) {
    return AskYes(ask, parent,
                  QStringLiteral("Empty the log file?\r\nEvery line in it will be lost."));
}

void TellKeptChange() {
    TApplication::ShowError(
        QStringLiteral("Another program changed the schedule file, and the schedule here has "
                       "unsaved changes: they are kept, and the scheduler runs them.\n"
                       "Refresh loads the file (losing the changes); Save overwrites it."));
}

} // namespace vantle
