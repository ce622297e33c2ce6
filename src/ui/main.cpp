// vantle-scheduler: the desktop program.
#include "ui/About.h"
#include "ui/Application.h"
#include "ui/Autostart.h"
#include "ui/CommandLine.h"
#include "ui/Entry.h"
#include "ui/OptionsMenu.h"
#include "ui/SchedMain.h"
#include "ui/Settings.h"
#include "ui/TrayIcon.h"
#include "ui/ViewLog.h"

#include "engine/FailureWatch.h"
#include "platform/ExecutablePath.h"

#include <QIcon>
#include <QMessageBox>
#include <QSettings>

#include <iostream>

int main(int argc, char** argv) {
    // Counted as the user gave them: the application object removes the ones it knows
    // (-style, -platform), and any argument at all switches the scheduler on.
    const int argumentCount = argc - 1;
    {
        using namespace vantle;
        std::string settingsFile = ConfigHome(ProcessEnvironment()) + "/" + SettingsOrganization +
                                   "/" + SettingsApplication + ".conf";
        if (std::optional<int> code = AnswerInfoOption(
                {argv + 1, argv + argc}, LocateFiles(ExecutablePath(), ProcessEnvironment()),
                settingsFile, std::cout))
            return *code;
    }

    QCoreApplication::setOrganizationName(QString::fromUtf8(SettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromUtf8(SettingsApplication));
    TApplication app(argc, argv);
    QSettings settings;
    QApplication::setApplicationDisplayName(QStringLiteral("Vantle Scheduler"));
    QApplication::setWindowIcon(VantleIcon());
    // The program ends when the main window agrees to close, not when the last window
    // goes: an error box may still be open.
    QApplication::setQuitOnLastWindowClosed(false);

    // Failures the log records are also told through the tray, as they happen.
    vantle::TFailureWatch failures;
    TSchedMainServices services = SystemSchedMainServices();
    failures.Attach(services.Scheduler);
    fmSchedMain = new TfmSchedMain(argumentCount, std::move(services));
    fmEntry = new TfmEntry(fmSchedMain);
    fmAbout = new TfmAbout(fmSchedMain);
    fmViewLog = new TfmViewLog(fmSchedMain);
    QObject::connect(fmSchedMain, &TfmSchedMain::Closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    RestoreWindowSettings(*fmSchedMain, settings);
    new TOptionsMenu(*fmSchedMain, settings, AutostartFile(),
                     QString::fromStdString(vantle::ExecutablePath()));
    auto* tray = new TTrayIcon(*fmSchedMain, settings, vantle::SystemClock(),
                               vantle::SystemFormatSettings());
    failures.OnFailure = [tray](const std::string& text) {
        tray->Notify(QString::fromStdString(text));
    };
    fmSchedMain->show();
    RestoreGridSort(*fmSchedMain, settings);

    int result = app.exec();
    SaveWindowSettings(*fmSchedMain, settings);

    RunHandler([] { fmSchedMain->FormDestroy(); });
    failures.OnFailure = nullptr; // the tray goes with the window
    if (QMessageBox* box = TApplication::ErrorBox())
        box->exec();    // the last error is not lost when the program ends
    delete fmSchedMain; // and the three dialogs it parents
    fmSchedMain = nullptr;
    fmEntry = nullptr;
    fmAbout = nullptr;
    fmViewLog = nullptr;
    return result;
}
