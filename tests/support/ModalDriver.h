// Driving a modal dialog from inside its own event loop, as a user at the keyboard would,
// and counting the message boxes on the screen.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>

namespace vantle::test {

/// Runs `act` inside the dialog's modal loop; `act` must close the dialog. A watchdog
/// rejects it if the test forgot to.
inline int ExecWith(QDialog& dialog, const std::function<void()>& act) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, &QDialog::reject);
    watchdog.start(10000);
    QTimer::singleShot(0, &dialog, act);
    return dialog.exec();
}

inline int VisibleMessageBoxes() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible();
    return count;
}

} // namespace vantle::test
