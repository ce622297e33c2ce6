// The Options menu: "Start at Login", which runs raise notifications and the default
// failure and recovery commands, kept in the autostart folder and in the settings.
#pragma once

#include <QMenu>
#include <QString>

class QAction;
class QSettings;

namespace vantle {

class TfmSchedMain;

class TOptionsMenu : public QMenu {
    Q_OBJECT
public:
    /// Adds itself to the window's menu bar, before Help. `autostartFile` is the entry
    /// "Start at Login" writes; `program` the path it starts.
    TOptionsMenu(TfmSchedMain& window, QSettings& settings, QString autostartFile, QString program);

    /// Sets the check marks from the autostart folder and the settings.
    void UpdateItems();

private:
    // Controls, found by their object names in tests.
    QAction* StartAtLogin1 = nullptr;
    QMenu* Notifications1 = nullptr; // Failures, Every Run, None
    QAction* NotifyFailures1 = nullptr;
    QAction* NotifyEveryRun1 = nullptr;
    QAction* NotifyNone1 = nullptr;
    QAction* FailureCommands1 = nullptr; // opens TfmDefaultCommands

    void StartAtLogin1Click();
    void FailureCommands1Click();

    TfmSchedMain& FWindow;
    QSettings& FSettings;
    QString FAutostartFile;
    QString FProgram;
};

} // namespace vantle
