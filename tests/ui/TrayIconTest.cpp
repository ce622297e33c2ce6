// The tray icon: its menu of the window's own commands, the state it shows, the next
// run in its tooltip, minimizing to it, and failures told as notifications.
#include "ui/TrayIcon.h"
#include "ui/Settings.h"
#include "ui/WindowFixture.h"

#include <QMenu>
#include <QRegularExpression>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>

using namespace vantle;
using namespace vantle::test;

class TTrayIconTest : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    std::unique_ptr<QSettings> FSettings;
    bool FAvailable = true;
    QStringList FMessages;
    QList<QSystemTrayIcon::MessageIcon> FBalloonIcons;

    // The desktop's notification service as the tray sees it.
    class TFakeNotifications : public TNotificationService {
    public:
        bool Answers = true;
        QList<TDesktopNote> Shown;
        bool Available() override { return Answers; }
        bool Show(const TDesktopNote& note) override {
            Shown << note;
            return true;
        }
        void Click(std::int64_t record) { emit RunClicked(record); }
    };

    TTrayIcon* MakeTray(TfmSchedMain& fm) {
        auto* tray = new TTrayIcon(fm, *FSettings, FFake->Clock, FFake->Settings,
                                   [this] { return FAvailable; });
        tray->ShowMessage = [this](const QString& title, const QString& text,
                                   QSystemTrayIcon::MessageIcon icon) {
            FMessages << title + ": " + text;
            FBalloonIcons << icon;
        };
        return tray;
    }

    static QImage Image(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

private slots:
    void init() {
        StartFixture();
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 5, 3, 0));
        FFake->Settings.ShortDateFormat = "yyyy-mm-dd";
        FSettings = std::make_unique<QSettings>(QString::fromStdString(FDir->File("s.conf")),
                                                QSettings::IniFormat);
        FAvailable = true;
        FMessages.clear();
        FBalloonIcons.clear();
    }

    void cleanup() {
        FSettings.reset();
        EndFixture();
    }

    void menuHoldsTheWindowsOwnCommands() {
        // The icon is set before it is shown: every start warned otherwise.
        QTest::failOnWarning(QRegularExpression("No Icon set"));
        auto fm = MakeWindow(0);
        QSystemTrayIcon* icon = Child<QSystemTrayIcon>(*MakeTray(*fm), "TrayIcon1");
        QList<QAction*> items = icon->contextMenu()->actions();
        QCOMPARE(items.size(), 5); // and a separator before Exit
        QCOMPARE(items.mid(0, 3),
                 QList<QAction*>({Child<QAction>(*fm, "Show1"), Child<QAction>(*fm, "Run1"),
                                  Child<QAction>(*fm, "UpcomingRuns1")}));
        QCOMPARE(items.last(), Child<QAction>(*fm, "Exit1"));
        // Run there is File > Run: one check mark, one scheduler.
        Child<QAction>(*fm, "Run1")->trigger();
        QCOMPARE(Image(icon->icon()), Image(TTrayIcon::StateIcon(true)));
        Child<QAction>(*fm, "Run1")->trigger();
        QCOMPARE(Image(icon->icon()), Image(TTrayIcon::StateIcon(false)));
        QVERIFY(Image(TTrayIcon::StateIcon(true)) != Image(TTrayIcon::StateIcon(false)));
        QCOMPARE(icon->toolTip(), QString("Vantle Scheduler: Disabled"));
    }

    void tooltipSaysTheNextRun_data() {
        QTest::addColumn<QStringList>("entries"); // name=time, "**" before an inactive one
        QTest::addColumn<QString>("next");
        QTest::newRow("tomorrow, with the date")
            << QStringList{"Backup=30 2 * * *"} << "Next: Backup at 2024-03-05 2:30 AM";
        QTest::newRow("this minute before its cycle")
            << QStringList{"Now=5 12 * * *", "Lunch=0 13 * * *"} << "Next: Now at 12:05 PM";
        QTest::newRow("the minute before has run")
            << QStringList{"Past=4 12 * * *", "Caf\u00e9=0 13 * * *"}
            << "Next: Caf\u00e9 at 1:00 PM";
        QTest::newRow("inactive entries do not count")
            << QStringList{"**Soon=0 13 * * *", "Late=0 20 * * *"} << "Next: Late at 8:00 PM";
        QTest::newRow("nothing ever due") << QStringList{"Never=0 0 31 2 *"} << "Next: none";
        // A control character shows as an escape, in UTF-8 and in Latin-1 alike.
        QTest::newRow("control characters")
            << QStringList{"Bad\u001b[2J\v=0 13 * * *", "Caf\u00e9\u0085=0 13 * * *"}
            << "Next: Bad\\x1b[2J\\x0b at 1:00 PM";
        QTest::newRow("C1 byte of a Latin-1 name")
            << QStringList{"Caf\u00e9\u0085=0 13 * * *"} << "Next: Caf\u00e9\\x85 at 1:00 PM";
    }

    void tooltipSaysTheNextRun() {
        QFETCH(QStringList, entries);
        QFETCH(QString, next);
        std::vector<TEntryText> texts;
        for (QString entry : entries)
            // Names in Latin-1, as older schedule files hold them.
            texts.push_back({.Name = entry.section('=', 0, 0).remove("**").toLatin1().toStdString(),
                             .Time = entry.section('=', 1).toStdString(),
                             .Active = !entry.startsWith("**")});
        WriteFile(IniPath(), ScheduleText(texts));
        auto fm = MakeWindow(1);
        QCOMPARE(Child<QSystemTrayIcon>(*MakeTray(*fm), "TrayIcon1")->toolTip(),
                 "Vantle Scheduler: Enabled\n" + next);
    }

    void followsEveryCycle_data() {
        QTest::addColumn<bool>("failing"); // the log cannot be written
        QTest::newRow("a cycle") << false;
        QTest::newRow("a cycle that failed") << true;
    }

    // A tick that reloads the schedule shows the new next run, also when the cycle
    // failed after the reload.
    void followsEveryCycle() {
        QFETCH(bool, failing);
        WriteFile(IniPath(), ScheduleText({{.Name = "Lunch", .Time = "0 13 * * *"}}));
        auto fm = MakeWindow(1);
        QSystemTrayIcon* icon = Child<QSystemTrayIcon>(*MakeTray(*fm), "TrayIcon1");
        QCOMPARE(icon->toolTip(), QString("Vantle Scheduler: Enabled\nNext: Lunch at 1:00 PM"));
        WriteFile(IniPath(), ScheduleText({{.Name = "Tea", .Time = "30 12 * * *"}}));
        if (failing) {
            std::filesystem::remove(LogPath());
            std::filesystem::create_directory(LogPath());
        }
        fm->Timer1Timer();
        QCOMPARE(TApplication::ErrorBox() != nullptr, failing);
        QCOMPARE(icon->toolTip(), QString("Vantle Scheduler: Enabled\nNext: Tea at 12:30 PM"));
    }

    // The entries the scheduler holds overdue are counted, each from its own hour on; an
    // entry without an alarm never is.
    void tooltipCountsTheEntriesOverdue() {
        WriteFile(IniPath(),
                  ScheduleText({{.Name = "Sync", .Time = "0 0 1 1 *", .More = "AlertAfter=1\r\n"},
                                {.Name = "Backup", .Time = "0 0 1 1 *", .More = "AlertAfter=2\r\n"},
                                {.Name = "Lunch", .Time = "0 0 1 1 *"}}));
        auto fm = MakeWindow(1);
        QSystemTrayIcon* icon = Child<QSystemTrayIcon>(*MakeTray(*fm), "TrayIcon1");
        QStringList lines; // the tooltip's last line after each cycle
        for (int hours : {0, 1, 2}) {
            FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12 + hours, 6 + hours, 5, 0));
            fm->Timer1Timer();
            lines << icon->toolTip().section('\n', -1);
        }
        QCOMPARE(lines, QStringList({"Next: Sync at 2025-01-01 12:00 AM", "1 entry overdue",
                                     "2 entries overdue"}));
    }

    void minimizingHidesToTheTrayOnlyWhereThereIsOne_data() {
        QTest::addColumn<bool>("available");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }

    void minimizingHidesToTheTrayOnlyWhereThereIsOne() {
        QFETCH(bool, available);
        FAvailable = available;
        auto fm = MakeWindow(0);
        TTrayIcon* tray = MakeTray(*fm);
        QCOMPARE(Child<QSystemTrayIcon>(*tray, "TrayIcon1")->isVisible(), available);
        // A tray that comes later is used from the next tick on.
        FAvailable = true;
        tray->UpdateIcon();
        QVERIFY(Child<QSystemTrayIcon>(*tray, "TrayIcon1")->isVisible());
        FAvailable = available;
        fm->show();
        fm->showMinimized();
        QTRY_COMPARE(fm->isVisible(), !available);
        Child<QAction>(*fm, "Show1")->trigger();
        QVERIFY(fm->isVisible() && !fm->isMinimized());
    }

    // A click on the icon hides the window shown, and brings back one hidden or minimized
    // to the tray, in its normal state.
    void aClickOnTheIconHidesOrShowsTheWindow() {
        auto fm = MakeWindow(0);
        QSystemTrayIcon* icon = Child<QSystemTrayIcon>(*MakeTray(*fm), "TrayIcon1");
        fm->show();
        QVERIFY(QTest::qWaitForWindowExposed(fm.get()));
        QList<bool> shown; // shown and not minimized, after each click
        const auto click = [&] {
            emit icon->activated(QSystemTrayIcon::Trigger);
            shown << (fm->isVisible() && !fm->isMinimized());
        };
        click();
        click();
        fm->showMinimized(); // clicked before it has gone to the tray
        click();
        QCoreApplication::processEvents();
        QVERIFY(fm->isVisible() && !fm->isMinimized());
        fm->showMinimized();
        QTRY_VERIFY(!fm->isVisible());
        click();
        QCOMPARE(shown, QList<bool>({false, true, true, true}));
    }

    // The window beside the main one goes to the tray with it and comes back with it, up
    // to date; one the user had closed stays closed.
    void sideWindowsComeBackFromTheTray() {
        auto fm = MakeWindow(1);
        TTrayIcon* tray = MakeTray(*fm);
        fm->show();
        QVERIFY(QTest::qWaitForWindowExposed(fm.get()));
        Child<QAction>(*fm, "UpcomingRuns1")->trigger();
        auto* upcoming = Child<QWidget>(*fm, "fmUpcoming");
        auto* runs = Child<QTableWidget>(*upcoming, "lvRuns");
        QCOMPARE(runs->rowCount(), 0);
        QList<bool> shown; // after each return from the tray
        for (bool closeFirst : {false, true}) {
            if (closeFirst)
                upcoming->close();
            fm->showMinimized();
            QTRY_VERIFY(!fm->isVisible());
            QVERIFY(!upcoming->isVisible());
            WriteFile(IniPath(), ScheduleText({{.Name = "Lunch", .Time = "0 13 * * *"}}));
            fm->Timer1Timer(); // reloads while the window is away
            tray->Show1Click();
            QVERIFY(fm->isVisible());
            shown << upcoming->isVisible();
        }
        QCOMPARE(shown, QList<bool>({true, false}));
        QCOMPARE(runs->rowCount(), 7); // a week of lunches
    }

    void whatIsToldFollowsTheChoice_data() {
        QTest::addColumn<bool>("available");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("told");
        const auto failures = int(TNotifyMode::Failures);
        QTest::newRow("failures") << true << failures
                                  << "Backup ended with code 3|Backup works again";
        QTest::newRow("every run")
            << true << int(TNotifyMode::EveryRun)
            << "Backup ended with code 3|Backup ended with code 3|Backup works again|"
               "Backup ended with code 0 after 0 s";
        QTest::newRow("none") << true << int(TNotifyMode::None) << "";
        QTest::newRow("no tray") << false << failures << "";
    }

    // What a run's notice says is the failure watch's own; the tray decides which are
    // told, and its tooltip counts the entries failing now.
    void whatIsToldFollowsTheChoice() {
        QFETCH(bool, available);
        QFETCH(int, mode);
        QFETCH(QString, told);
        FAvailable = available;
        SetNotifyMode(*FSettings, TNotifyMode(mode));
        auto fm = MakeWindow(1);
        TTrayIcon* tray = MakeTray(*fm);
        TFailureWatch watch;
        tray->FailingCount = [&watch] { return watch.FailingCount(); };
        watch.OnNotice = [tray](const TNotice& notice) { tray->Notify(notice); };
        TRunEvent event;
        event.Name = "Backup";
        event.Kind = TRunEvent::Exited;
        event.Code = 3;
        watch.See(event);
        watch.See(event);
        if (available)
            QVERIFY(
                Child<QSystemTrayIcon>(*fm, "TrayIcon1")->toolTip().endsWith("\n1 entry failing"));
        event.Code = 0;
        watch.See(event);
        QStringList expected = told.isEmpty() ? QStringList{} : told.split('|');
        for (QString& text : expected)
            text = "Vantle Scheduler: " + text;
        QCOMPARE(FMessages, expected);
    }

    // The desktop's notification service needs no tray: each notice is a notification
    // of its own (two failures in the same second are two), with an icon that fits it,
    // and a click opens its run. Without a service the tray's balloon is left, with the
    // information icon for "works again".
    void notificationsGoThroughTheServiceWhereOneAnswers() {
        SetNotifyMode(*FSettings, TNotifyMode::Failures);
        FAvailable = false; // a window manager without a tray
        auto fm = MakeWindow(1);
        TTrayIcon* tray = MakeTray(*fm);
        TFakeNotifications service;
        tray->SetNotifications(&service);
        std::int64_t opened = 0;
        tray->OpenRun = [&opened](std::int64_t record) { opened = record; };
        TFailureWatch watch;
        watch.OnNotice = [tray](const TNotice& notice) { tray->Notify(notice); };
        TRunEvent event;
        event.Kind = TRunEvent::Exited;
        event.Code = 3;
        event.Name = "Backup";
        event.Record = 7;
        watch.See(event);
        event.Name = "Report";
        event.Record = 8;
        watch.See(event);
        event.Code = 0;
        event.Record = 9;
        watch.See(event);
        QCOMPARE(service.Shown.size(), 3);
        QCOMPARE(service.Shown[0].Text, QString("Backup ended with code 3"));
        QCOMPARE(service.Shown[1].Text, QString("Report ended with code 3"));
        QCOMPARE(service.Shown[2].Text, QString("Report works again"));
        QCOMPARE(service.Shown[0].Title, QString("Vantle Scheduler"));
        QCOMPARE(QList<int>({service.Shown[0].Kind, service.Shown[2].Kind}),
                 QList<int>({TDesktopNote::Failure, TDesktopNote::Recovered}));
        QCOMPARE(service.Shown[1].Record, std::int64_t(8));
        QVERIFY(FMessages.isEmpty());
        QCOMPARE(TFreedesktopNotifications::IconName(TDesktopNote::Failure),
                 QString("dialog-error"));
        QCOMPARE(TFreedesktopNotifications::IconName(TDesktopNote::Recovered),
                 QString("dialog-information"));
        service.Click(8);
        QCOMPARE(opened, std::int64_t(8));

        // No service: the balloon, where there is a tray.
        service.Answers = false;
        FAvailable = true;
        tray->UpdateIcon();
        event.Code = 3;
        watch.See(event);
        event.Code = 0;
        watch.See(event);
        QCOMPARE(FMessages, QStringList({"Vantle Scheduler: Report ended with code 3",
                                         "Vantle Scheduler: Report works again"}));
        QCOMPARE(FBalloonIcons, QList<QSystemTrayIcon::MessageIcon>(
                                    {QSystemTrayIcon::Warning, QSystemTrayIcon::Information}));
        QCOMPARE(service.Shown.size(), 3);
        tray->SetNotifications(nullptr);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TTrayIconTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TrayIconTest.moc"
