#include "ui/OptionsMenu.h"

#include "ui/Application.h"
#include "ui/Autostart.h"
#include "ui/SchedMain.h"
#include "ui/Settings.h"

#include <QMenuBar>
#include <QSettings>

namespace vantle {

TOptionsMenu::TOptionsMenu(TfmSchedMain& window, QSettings& settings, QString autostartFile,
                           QString program)
    : QMenu(QStringLiteral("&Options"), &window), FSettings(settings),
      FAutostartFile(std::move(autostartFile)), FProgram(std::move(program)) {
    setObjectName(QStringLiteral("Options1"));
    StartAtLogin1 = addAction(QStringLiteral("Start at &Login"));
    StartAtLogin1->setObjectName(QStringLiteral("StartAtLogin1"));
    StartAtLogin1->setCheckable(true);
    connect(StartAtLogin1, &QAction::triggered, this,
            [this] { RunHandler([this] { StartAtLogin1Click(); }); });
    Notifications1 = addAction(QStringLiteral("Show &Notifications"));
    Notifications1->setObjectName(QStringLiteral("Notifications1"));
    Notifications1->setCheckable(true);
    connect(Notifications1, &QAction::triggered, this,
            [this] { RunHandler([this] { Notifications1Click(); }); });
    window.menuBar()->insertMenu(window.HelpMenu()->menuAction(), this);
    // The entry may have been removed by hand, or made by another copy of the program.
    connect(this, &QMenu::aboutToShow, this, &TOptionsMenu::UpdateItems);
    UpdateItems();
}

void TOptionsMenu::UpdateItems() {
    StartAtLogin1->setChecked(StartsAtLogin(FAutostartFile));
    Notifications1->setChecked(NotificationsOn(FSettings));
}

void TOptionsMenu::StartAtLogin1Click() {
    bool wanted = StartAtLogin1->isChecked();
    // The mark shows what is on disk, also when writing failed.
    StartAtLogin1->setChecked(!wanted);
    SetStartAtLogin(FAutostartFile, wanted, FProgram);
    StartAtLogin1->setChecked(StartsAtLogin(FAutostartFile));
}

void TOptionsMenu::Notifications1Click() {
    SetNotificationsOn(FSettings, Notifications1->isChecked());
}

} // namespace vantle
