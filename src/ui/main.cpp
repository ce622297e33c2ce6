// vantle-scheduler: the desktop program.
#include "platform/ExecutablePath.h"
#include "ui/Application.h"
#include "ui/Autostart.h"
#include "ui/CommandLine.h"
#include "ui/Icon.h"
#include "ui/OptionsMenu.h"
#include "ui/ProgramEnd.h"
#include "ui/SchedMain.h"
#include "ui/Settings.h"
#include "ui/SingleInstance.h"
#include "ui/StopSignalWatch.h"
#include "ui/TrayIcon.h"
#include "ui/WindowSettings.h"

#include "engine/FailureWatch.h"
#include "engine/RunView.h"
#include "engine/SchedulerStart.h"
#include "platform/ChildWatch.h"

#include <QAction>
#include <QIcon>
#include <QMessageBox>
#include <QSessionManager>
#include <QSettings>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>

using namespace vantle;

namespace {

// A start that cannot go on safely ends with 2, saying why on standard error and, where
// there is a screen, in a box.
int RefuseStart(const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QMessageBox::critical(nullptr, QStringLiteral("Vantle Scheduler"), message);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread starts, so that only the window's child watch sees SIGCHLD.
    TChildWatch::BlockChildSignal();
    // Counted as the user gave them: the application object removes the ones it knows
    // (-style, -platform), and any argument at all switches the scheduler on.
    const int argumentCount = argc - 1;
    const std::string executable = ExecutablePath();
    // Found once: --paths prints the files the program then uses.
    const TFileLocations files = LocateFiles(executable, ProcessEnvironment());
    {
        std::string settingsFile = ConfigHome(ProcessEnvironment()) + "/" + SettingsOrganization +
                                   "/" + SettingsApplication + ".conf";
        if (std::optional<int> code =
                AnswerInfoOption({argv + 1, argv + argc}, files, settingsFile, std::cout))
            return *code;
    }

    QCoreApplication::setOrganizationName(QString::fromUtf8(SettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromUtf8(SettingsApplication));
    TApplication app(argc, argv);
    QSettings settings;
    // No application display name: the platform would append it to every caption.
    QApplication::setWindowIcon(VantleIcon());
    // The program ends when the main window agrees to close, not when the last window
    // goes: an error box may still be open.
    QApplication::setQuitOnLastWindowClosed(false);

    // A stop signal ends the program through its loop from here on, as Exit does without
    // its question: nobody may be there to answer it. The window's run loop takes the
    // signals over once it is made.
    std::optional<TStopSignalWatch> startStop;
    startStop.emplace();

    TSchedMainServices services = SystemSchedMainServices(files);
    const std::string scheduleFile = services.ScheduleFile;
    // One scheduler per schedule file: a second program for the same file brings the
    // first one's window to the front instead of running every entry twice. Without the
    // lock nothing runs.
    std::optional<TSchedulerStart> start;
    try {
        start.emplace(scheduleFile, services.Scheduler.LogFile);
    } catch (const EStartRefused& e) {
        return RefuseStart(QString::fromStdString(e.Message()));
    }
    const QString serverPath = QString::fromStdString(start->Lock().SiblingPath(".socket"));
    if (!start->Held()) {
        if (TSingleInstance::ActivateRunning(serverPath))
            return 0;
        // Held by a scheduler without a window (vantle-schedctl run).
        return RefuseStart(QString::fromStdString(start->HeldElsewhere()));
    }
    // `vantle-schedctl start` asks this window for Execute Now.
    services.ControlPath = start->Lock().SiblingPath(".control");

    // Every run is recorded with its output; without the store the runs still go on.
    // The views read the records through a connection of their own.
    const std::string runsFolder = TRunStore::FolderOf(ProcessEnvironment());
    TRunView runView(runsFolder, scheduleFile);
    if ((services.Scheduler.Recorder = start->OpenRecords(runsFolder)) != nullptr)
        services.Scheduler.RunView = &runView;
    const QString runsRefused = QString::fromLocal8Bit(start->RecordsRefused().c_str());
    // `vantle-schedctl status` reads in the lock whether this window's scheduler is on.
    services.Scheduler.OnSwitch = [&start](bool on) { start->Describe("vantle-scheduler", on); };
    services.OnUnsaved = [&start](bool unsaved) { start->DescribeUnsaved(unsaved); };
    // Failures are also told through the tray, as they happen.
    TFailureWatch failures;
    failures.Attach(services.Scheduler);
    const bool stoppedAtStart = startStop->Stopped();
    startStop.reset();
    // Started as the user left it, unless the command line switches it on.
    auto* fmSchedMain =
        new TfmSchedMain(StartsSwitchedOn(argumentCount, settings) ? 1 : 0, std::move(services));
    QObject::connect(fmSchedMain->RunAction(), &QAction::triggered, fmSchedMain,
                     [&settings](bool on) { RememberSchedulerOn(settings, on); });
    TSingleInstance singleInstance(serverPath);
    QObject::connect(&singleInstance, &TSingleInstance::ActivationRequested, fmSchedMain,
                     [fmSchedMain] {
                         if (fmSchedMain->isMinimized() || fmSchedMain->isHidden())
                             fmSchedMain->showNormal();
                         fmSchedMain->raise();
                         fmSchedMain->activateWindow();
                     });
    singleInstance.Listen();
    QObject::connect(fmSchedMain, &TfmSchedMain::Closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // At logout the session manager asks first: the close question, when it lets us ask.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, fmSchedMain,
        [fmSchedMain](QSessionManager& manager) {
            bool mayEnd = true;
            RunHandler([&] { mayEnd = fmSchedMain->AnswerLogout(manager.allowsInteraction()); });
            if (!mayEnd)
                manager.cancel();
            manager.release();
        });
    RestoreWindowSettings(*fmSchedMain, settings);
    new TOptionsMenu(*fmSchedMain, settings, AutostartFile(), QString::fromStdString(executable));
    auto* tray = new TTrayIcon(*fmSchedMain, settings, SystemClock(), SystemFormatSettings());
    tray->FailingCount = [&failures] { return failures.FailingCount(); };
    failures.OnNotice = [tray](const TNotice& notice) { tray->Notify(notice); };
    tray->OpenRun = [fmSchedMain](std::int64_t record) {
        RunHandler([&] { fmSchedMain->ShowRun(record); });
    };
    // The desktop's notification service when one answers, the tray's balloon otherwise.
    TFreedesktopNotifications notifications;
    tray->SetNotifications(&notifications);
    fmSchedMain->show();
    if (!runsRefused.isEmpty())
        TApplication::ShowError(runsRefused);
    RestoreGridSort(*fmSchedMain, settings);

    int result = app.exec();
    SaveWindowSettings(*fmSchedMain, settings);
    failures.OnNotice = nullptr; // the tray goes with the window
    tray->SetNotifications(nullptr);
    const bool stopped =
        stoppedAtStart || (fmSchedMain->Loop() != nullptr && fmSchedMain->Loop()->Stopped());
    EndProgram(*fmSchedMain, stopped, std::cerr);
    delete fmSchedMain; // and the dialogs it owns
    return result;
}
