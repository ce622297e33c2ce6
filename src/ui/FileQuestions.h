// The questions around the program's files: before a save replaces what is not ours to
// replace, before closing with unsaved changes, before a refresh throws them away, before
// the log is emptied.
#pragma once

#include <QMessageBox>

#include <functional>

namespace vantle {

class TSchedList;
class TSchedulerCore;

/// A question box: caption, text (lines broken by "\r\n"), buttons and default button;
/// returns the button chosen.
using TAskFunction = std::function<QMessageBox::StandardButton(
    QWidget* parent, const QString& caption, const QString& text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)>;

/// Asks before a save replaces a file that is no schedule, or that another program
/// changed since it was loaded; true when the save may go ahead.
bool ConfirmOverwrite(TSchedList& list, const TAskFunction& ask, QWidget* parent);
/// With unsaved changes, asks whether to save them, and saves on Yes; true when the
/// window may close (Cancel, or an overwrite the user refused, keeps it open).
bool SaveBeforeClose(TSchedulerCore& core, const TAskFunction& ask, QWidget* parent);
/// With unsaved changes, asks whether a reload may throw them away.
bool ConfirmReload(TSchedList& list, const TAskFunction& ask, QWidget* parent);
/// Whether the user agrees to empty the log.
bool ConfirmResetLog(const TAskFunction& ask, QWidget* parent);
/// Says that another program changed the file over unsaved edits, which were kept.
void TellKeptChange();

} // namespace vantle
