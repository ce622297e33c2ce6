#include "ui/OptionsMenu.h"

#include "ui/Application.h"
#include "ui/Autostart.h"
#include "ui/DefaultCommands.h"
#include "ui/SchedMain.h"
#include "ui/Settings.h"

#include <QActionGroup>
#include <QMenuBar>
#include <QSettings>

namespace vantle {

TOptionsMenu::TOptionsMenu(TfmSchedMain& window, QSettings& settings, QString autostartFile,
                           QString program)
    : QMenu(QStringLiteral("&Options"), &window), FWindow(window), FSettings(settings),
      FAutostartFile(std::move(autostartFile)), FProgram(std::move(program)) {
    setObjectName(QStringLiteral("Options1"));
    StartAtLogin1 = addAction(QStringLiteral("Start at &Login"));
    StartAtLogin1->setObjectName(QStringLiteral("StartAtLogin1"));
    StartAtLogin1->setCheckable(true);
    connect(StartAtLogin1, &QAction::triggered, this,
            [this] { RunHandler([this] { StartAtLogin1Click(); }); });
    Notifications1 = addMenu(QStringLiteral("Show &Notifications"));
    Notifications1->setObjectName(QStringLiteral("Notifications1"));
    auto* modes = new QActionGroup(this);
    auto mode = [&](const char* name, const char* caption, TNotifyMode value) {
        QAction* action = Notifications1->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        action->setCheckable(true);
        modes->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, value] { RunHandler([this, value] { SetNotifyMode(FSettings, value); }); });
        return action;
    };
    NotifyFailures1 = mode("NotifyFailures1", "&Failures", TNotifyMode::Failures);
    NotifyEveryRun1 = mode("NotifyEveryRun1", "&Every Run", TNotifyMode::EveryRun);
    NotifyNone1 = mode("NotifyNone1", "&None", TNotifyMode::None);
    FailureCommands1 = addAction(QStringLiteral("&Failure and Recovery Commands..."));
    FailureCommands1->setObjectName(QStringLiteral("FailureCommands1"));
    connect(FailureCommands1, &QAction::triggered, this,
            [this] { RunHandler([this] { FailureCommands1Click(); }); });
    window.menuBar()->insertMenu(window.HelpMenu()->menuAction(), this);
    // The entry may have been removed by hand, or made by another copy of the program.
    connect(this, &QMenu::aboutToShow, this, &TOptionsMenu::UpdateItems);
    UpdateItems();
}

void TOptionsMenu::UpdateItems() {
    StartAtLogin1->setChecked(StartsAtLogin(FAutostartFile));
    switch (NotifyMode(FSettings)) {
    case TNotifyMode::Failures:
        NotifyFailures1->setChecked(true);
        break;
    case TNotifyMode::EveryRun:
        NotifyEveryRun1->setChecked(true);
        break;
    case TNotifyMode::None:
        NotifyNone1->setChecked(true);
        break;
    }
}

void TOptionsMenu::StartAtLogin1Click() {
    bool wanted = StartAtLogin1->isChecked();
    // The mark shows what is on disk, also when writing failed.
    StartAtLogin1->setChecked(!wanted);
    SetStartAtLogin(FAutostartFile, wanted, FProgram);
    StartAtLogin1->setChecked(StartsAtLogin(FAutostartFile));
}

void TOptionsMenu::FailureCommands1Click() {
    TfmDefaultCommands dialog(&FWindow);
    dialog.SetCommands(DefaultCommands(FSettings));
    if (dialog.exec() == QDialog::Accepted)
        SetDefaultCommands(FSettings, dialog.Commands());
}

} // namespace vantle
