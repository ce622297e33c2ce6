// What the desktop program remembers between runs, and the Options menu that holds
// "Start at Login", the notification switch and the default failure commands.
#include "ui/Settings.h"
#include "ui/AccessKeys.h"
#include "ui/Autostart.h"
#include "ui/OptionsMenu.h"
#include "ui/WindowFixture.h"
#include "ui/WindowSettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <filesystem>
#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

class TSettingsTest : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    QString SettingsFile() const { return QString::fromStdString(FDir->File("settings.conf")); }

    /// A window that took what `settings` hold, shown.
    std::unique_ptr<TfmSchedMain> Restored(QSettings& settings) {
        auto fm = MakeWindow();
        RestoreWindowSettings(*fm, settings);
        fm->show();
        RestoreGridSort(*fm, settings);
        return fm;
    }

private slots:
    void init() {
        StartFixture();
        WriteFile(IniPath(), ScheduleText({{.Name = "b"}, {.Name = "c"}, {.Name = "a"}}));
    }

    void cleanup() { EndFixture(); }

    void windowComesBackAsItWasLeft_data() {
        QTest::addColumn<int>("clicks"); // on the Name column's header
        QTest::addColumn<QStringList>("names");
        QTest::newRow("list order") << 0 << QStringList{"b", "c", "a"};
        QTest::newRow("sorted ascending") << 1 << QStringList{"a", "b", "c"};
        QTest::newRow("sorted descending") << 2 << QStringList{"c", "b", "a"};
    }

    void windowComesBackAsItWasLeft() {
        QFETCH(int, clicks);
        QFETCH(QStringList, names);
        {
            QSettings settings(SettingsFile(), QSettings::IniFormat);
            auto fm = Restored(settings); // nothing saved yet: the defaults
            fm->resize(700, 450);
            Grid(*fm)->setColumnWidth(1, 122); // Name takes what is left
            for (int i = 0; i < clicks; ++i)
                fm->Grid().SortBy(0);
            SaveWindowSettings(*fm, settings);
        }
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        auto fm = Restored(settings);
        QCOMPARE(fm->size(), QSize(700, 450));
        QCOMPARE(Grid(*fm)->columnWidth(1), 122);
        QCOMPARE(Column(*fm, 0), names);
    }

    // The scheduler starts as the user left it; any argument (--enable) switches it on.
    void schedulerStartsAsItWasLeft() {
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        QVERIFY(!StartsSwitchedOn(0, settings)); // the very first time: off
        QVERIFY(StartsSwitchedOn(1, settings));
        RememberSchedulerOn(settings, true);
        QVERIFY(StartsSwitchedOn(0, settings));
        RememberSchedulerOn(settings, false);
        QVERIFY(!StartsSwitchedOn(0, settings));
        QVERIFY(StartsSwitchedOn(1, settings));
    }

    // Widths saved by a version whose moments were shorter: a date column comes back as
    // wide as a moment needs, a wider one as it was left.
    void savedWidthsStillHoldAMoment() {
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        settings.setValue("grid/columnWidths",
                          QVariantList{180, 80, 80, 80, 80, 80, 110, 300, 160});
        auto fresh = MakeWindow();
        auto fm = Restored(settings);
        QVERIFY(Grid(*fresh)->columnWidth(TScheduleModel::colNextRun) > 110);
        QCOMPARE(Grid(*fm)->columnWidth(TScheduleModel::colNextRun),
                 Grid(*fresh)->columnWidth(TScheduleModel::colNextRun));
        QCOMPARE(Grid(*fm)->columnWidth(TScheduleModel::colLastRun), 300);
    }

    void damagedSettingsKeepTheDefaults() {
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        settings.setValue("window/geometry", QByteArray("garbage"));
        settings.setValue("grid/columnWidths", QVariantList{"x", -5, 100000});
        settings.setValue("grid/sorted", true);
        settings.setValue("grid/sortColumn", 99);
        auto fresh = MakeWindow();
        auto fm = Restored(settings);
        QCOMPARE(fm->size(), fresh->size());
        for (int col = 1; col < 3; ++col) // Name takes what the window leaves
            QCOMPARE(Grid(*fm)->columnWidth(col), Grid(*fresh)->columnWidth(col));
        QCOMPARE(Column(*fm, 0), (QStringList{"b", "c", "a"}));
    }

    void optionsMenuWritesAndRemovesTheAutostartEntry() {
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        auto fm = MakeWindow();
        const QString entry = QString::fromStdString(FDir->File("config/autostart/vs.desktop"));
        auto* options = new TOptionsMenu(*fm, settings, entry, "/opt/my tools/vantle-scheduler");
        QAction* startAtLogin = Child<QAction>(*options, "StartAtLogin1");
        QVERIFY(!startAtLogin->isChecked());
        QVERIFY(Child<QAction>(*options, "NotifyFailures1")->isChecked()); // until changed

        const mode_t umaskWas = umask(022);
        startAtLogin->trigger();
        umask(umaskWas);
        QString text = QString::fromStdString(ReadFile(entry.toStdString()));
        QVERIFY2(text.contains("\nExec=\"/opt/my tools/vantle-scheduler\" --enable\n"),
                 qPrintable(text));
        // A new entry is made as any file of the user's: what the umask leaves.
        QCOMPARE(std::filesystem::status(entry.toStdString()).permissions(),
                 std::filesystem::perms(0644));

        startAtLogin->trigger();
        QVERIFY(!QFile::exists(entry));

        // An entry that cannot be written says so and stays unchecked.
        WriteFile(FDir->File("plain"), "a file where the autostart folder should be");
        const QString bad = QString::fromStdString(FDir->File("plain/vs.desktop"));
        auto* unwritable = new TOptionsMenu(*fm, settings, bad, "/usr/bin/vantle-scheduler");
        Child<QAction>(*unwritable, "StartAtLogin1")->trigger();
        QVERIFY(!Child<QAction>(*unwritable, "StartAtLogin1")->isChecked());
        QVERIFY2(TApplication::ErrorBox()->text().startsWith("Cannot write " + bad),
                 qPrintable(TApplication::ErrorBox()->text()));

        Child<QAction>(*options, "NotifyNone1")->trigger();
        QCOMPARE(NotifyMode(settings), TNotifyMode::None);
        Child<QAction>(*options, "NotifyEveryRun1")->trigger();
        QCOMPARE(NotifyMode(settings), TNotifyMode::EveryRun);
        // The switch of older versions.
        settings.setValue("options/notifications", false);
        QCOMPARE(NotifyMode(settings), TNotifyMode::None);
        settings.setValue("options/notifications", true);
        QCOMPARE(NotifyMode(settings), TNotifyMode::Failures);
    }

    // Kept in the settings as typed, an empty one as no key; the dialog shows what is kept
    // and Cancel keeps it; the window hands them to its scheduler unless told its own.
    void defaultCommandsAreKeptAndHandedToTheScheduler() {
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(DefaultCommands(settings), TDefaultCommands{});
        const TDefaultCommands commands{R"(notify-send "$N failed" 'code $R')",
                                        "/opt/my\\ tools/ok --from=$D(yyyy)"};
        SetDefaultCommands(settings, commands);
        settings.sync();
        QCOMPARE(DefaultCommands(QSettings(SettingsFile(), QSettings::IniFormat)), commands);

        auto fm = MakeWindow();
        auto* options = new TOptionsMenu(*fm, settings, "", "vantle-scheduler");
        // Opens the dialog, sees its fields and any clash of access keys, clears the
        // recovery command and leaves through `button`.
        const auto edit = [&](const char* button, QStringList* shown) {
            QTimer::singleShot(0, [&, button, shown] {
                QWidget* dialog = QApplication::activeModalWidget();
                QVERIFY(dialog != nullptr);
                auto* failure = Child<QLineEdit>(*dialog, "edFailureCommand");
                auto* recovery = Child<QLineEdit>(*dialog, "edRecoveryCommand");
                *shown << failure->text() << recovery->text();
                QStringList captions;
                for (auto* label : dialog->findChildren<QLabel*>())
                    captions << label->text();
                for (auto* button : dialog->findChildren<QPushButton*>())
                    captions << button->text();
                *shown << AccessKeyClash(captions);
                recovery->clear();
                Child<QPushButton>(*dialog, button)->click();
            });
            Child<QAction>(*options, "FailureCommands1")->trigger();
        };
        QStringList shown;
        edit("btnCancel", &shown);
        QCOMPARE(DefaultCommands(settings), commands);
        edit("btnOk", &shown);
        const QStringList opened{QString::fromStdString(commands.OnFailure),
                                 QString::fromStdString(commands.OnRecovery), QString()};
        QCOMPARE(shown, opened + opened);
        QCOMPARE(DefaultCommands(settings), (TDefaultCommands{commands.OnFailure, ""}));
        QVERIFY(!settings.contains("Commands/OnRecovery"));

        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(FDir->Path().string()));
        {
            QSettings user;
            SetDefaultCommands(user, commands);
        }
        TSchedMainServices given = Services();
        given.Scheduler.DefaultOnRecovery = "its own";
        const TSchedMainServices completed = CompleteServices(given);
        QCOMPARE(completed.Scheduler.DefaultOnFailure, commands.OnFailure);
        QCOMPARE(completed.Scheduler.DefaultOnRecovery, std::string("its own"));
        QSettings().remove("Commands");
    }

    void execLineQuotesWhatDesktopEntriesReserve_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/vs"
                               << "/usr/bin/vs --enable";
        QTest::newRow("dollar and quote") << "/opt/$x\"y/vs"
                                          << "\"/opt/\\$x\\\"y/vs\" --enable";
        QTest::newRow("percent") << "/opt/100%/vs"
                                 << "/opt/100%%/vs --enable";
        QTest::newRow("backslash") << "/opt/a\\b/vs"
                                   << "\"/opt/a\\\\b/vs\" --enable";
    }

    void execLineQuotesWhatDesktopEntriesReserve() {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(AutostartExec(program), exec);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TSettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsTest.moc"
