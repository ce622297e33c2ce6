// The main window driven through its menu, grid, keys and timer, with the clock, the
// question boxes, the modal step and the machine's services replaced.
#include "ui/SchedMain.h"
#include "support/FakeServices.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"
#include "ui/About.h"
#include "ui/Application.h"
#include "ui/Entry.h"
#include "ui/ViewLog.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <memory>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TQuestion {
    QString Caption, Text;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default;
};

} // namespace

class TSchedMainTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempDir> FDir;
    std::unique_ptr<TFakeServices> FFake;
    QList<TQuestion> FQuestions;
    QMessageBox::StandardButton FAnswer = QMessageBox::No;
    std::function<void()> FDuringQuestion;
    QList<QDialog*> FShown;
    std::function<int(QDialog&)> FOnModal;
    int FWrites = 0;

    std::string IniPath() const { return FDir->File("vantle-scheduler.INI"); }
    std::string LogPath() const { return FDir->File("vantle-scheduler.LOG"); }

    /// Entries of a name, a time and whether active; each runs "prog-" and its name.
    void WriteIni(std::vector<TEntryText> entries) {
        for (TEntryText& entry : entries)
            entry.Command = "prog-" + entry.Name;
        WriteFile(IniPath(), ScheduleText(entries));
        // Stamps well apart and in the past, so every rewrite is a change to the list.
        ++FWrites;
        std::filesystem::last_write_time(IniPath(), std::filesystem::file_time_type::clock::now() -
                                                        std::chrono::hours(1) +
                                                        FWrites * std::chrono::seconds(10));
    }

    std::unique_ptr<TfmSchedMain> MakeWindow(int argumentCount = 0) {
        TSchedMainServices services;
        services.Scheduler = FFake->Services();
        services.Ask = [this](QWidget*, const QString& caption, const QString& text,
                              QMessageBox::StandardButtons buttons,
                              QMessageBox::StandardButton defaultButton) {
            FQuestions.append({caption, text, buttons, defaultButton});
            if (FDuringQuestion)
                FDuringQuestion();
            return FAnswer;
        };
        services.ShowModal = [this](QDialog& dialog) {
            FShown.append(&dialog);
            return FOnModal ? FOnModal(dialog) : int(QDialog::Rejected);
        };
        return std::make_unique<TfmSchedMain>(argumentCount, std::move(services));
    }

    /// Created, shown and active, with the timer left to the test.
    std::unique_ptr<TfmSchedMain> ShowWindow(int argumentCount = 0) {
        auto fm = MakeWindow(argumentCount);
        fm->Timer1->stop();
        fm->show();
        fm->activateWindow();
        if (!QTest::qWaitForWindowActive(fm.get()))
            qWarning("window not active");
        return fm;
    }

    static QStringList Column(TfmSchedMain& fm, int col) {
        QStringList texts;
        for (int row = 1; row < fm.sgScheduleList->RowCount(); ++row)
            texts << QString::fromStdString(fm.sgScheduleList->Cells(col, row));
        return texts;
    }

    static void PressHeader(TfmSchedMain& fm, int x, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(fm.sgScheduleList->horizontalHeader()->viewport(), button, {},
                          QPoint(x, 10));
    }

    static void PressRow(TfmSchedMain& fm, int row) {
        QTest::mouseClick(fm.sgScheduleList->viewport(), Qt::LeftButton, {},
                          QPoint(20, (row - 1) * 20 + 10));
    }

    /// Through the platform, so the toolkit makes it press, release, double click, release.
    static void DoubleClick(QWidget* widget, QPoint pos) {
        QTest::mouseDClick(widget->window()->windowHandle(), Qt::LeftButton, {},
                           widget->mapTo(widget->window(), pos));
    }

    static std::string SelectedName(TfmSchedMain& fm) {
        auto serial = fm.SelectedEntry();
        return serial ? fm.SchedList->Items(fm.SchedList->IndexOfSerial(*serial)).Name : "-";
    }

private slots:
    void initTestCase() {
        fmEntry = new TfmEntry;
        fmAbout = new TfmAbout;
        fmViewLog = new TfmViewLog;
    }

    void cleanupTestCase() {
        delete fmEntry;
        delete fmAbout;
        delete fmViewLog;
    }

    void init() {
        FDir = std::make_unique<TTempDir>();
        FFake = std::make_unique<TFakeServices>();
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 5, 30, 0));
        FFake->Settings.ShortDateFormat = "dd/mm/yyyy";
        FFake->Settings.DateSeparator = '-';
        FFake->Settings.TimeSeparator = '.';
        FFake->ExecutablePath = FDir->File("vantle-scheduler");
        FQuestions.clear();
        FAnswer = QMessageBox::No;
        FDuringQuestion = nullptr;
        FShown.clear();
        FOnModal = nullptr;
    }

    void cleanup() {
        delete TApplication::ErrorBox();
        FFake.reset();
        FDir.reset();
    }

    void startUp_data() {
        QTest::addColumn<int>("arguments");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no argument") << 0 << false;
        QTest::newRow("one argument of any value") << 1 << true;
    }

    void startUp() {
        QFETCH(int, arguments);
        QFETCH(bool, enabled);
        WriteIni({{"Backup", "30 2 * * 1-5"}, {"Clock", "0 6 * * *", false}});
        auto fm = MakeWindow(arguments);
        QCOMPARE(fm->windowTitle(), QString("Vantle Scheduler"));
        QCOMPARE(fm->SchedList->FileName(), IniPath());
        QCOMPARE(fm->Scheduler->Log().FileName(), LogPath());
        QCOMPARE(fm->Run1->isChecked(), enabled);
        QCOMPARE(fm->SchedList->Count(), 2);
        QVERIFY(!fm->Save1->isEnabled());
        QVERIFY(fm->Timer1->isActive() && !fm->Timer1->isSingleShot());
        QCOMPARE(fm->Timer1->interval(), 1000);
        QCOMPARE(fm->Timer1->timerType(), Qt::PreciseTimer);
        QVERIFY(fm->sgScheduleList->Cells(0, 1).empty()); // filled on the first activation
        QCOMPARE(fm->sgScheduleList->Cells(5, 0), std::string("WeekDays"));

        fm->show();
        QVERIFY(!fm->FirstActivate);
        QCOMPARE(Column(*fm, 0), QStringList({"Backup", "**Clock"}));
        QCOMPARE(Column(*fm, 5), QStringList({"1-5", "*"}));
        QCOMPARE(fm->Panels[0]->text(), QString("04-03-2024 12.05"));
        QCOMPARE(fm->Panels[1]->text(), enabled ? QString(" Enabled") : QString(" Disabled"));
        std::string log = ReadFile(LogPath());
        QCOMPARE(log.find(":Scheduler has been Enabled\r\n") != std::string::npos, enabled);

        fm->Run1->trigger();
        QCOMPARE(fm->Scheduler->Enabled(), !enabled);
        QCOMPARE(fm->Panels[1]->text(), enabled ? QString(" Disabled") : QString(" Enabled"));
    }

    void emptyListShowsOneBlankRow() {
        auto fm = ShowWindow();
        TScheduleGrid* grid = fm->sgScheduleList;
        QList<int> widths;
        for (int col = 0; col < grid->columnCount(); ++col)
            widths << grid->columnWidth(col);
        QCOMPARE(widths, QList<int>({180, 80, 80, 80, 80, 80}));
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        // An empty list: the header and one blank row that cannot be selected.
        QCOMPARE(grid->RowCount(), 2);
        QVERIFY(!grid->Objects(1));
        PressRow(*fm, 1);
        QCOMPARE(grid->currentRow(), -1);
        QVERIFY(!fm->SelectedEntry());
        fm->Modify1->trigger();
        fm->ExecuteNow1->trigger();
        fm->Duplicate1->trigger();
        fm->Delete1->trigger();
        QVERIFY(FShown.isEmpty() && FQuestions.isEmpty());
        QCOMPARE(fm->SchedList->Count(), 0);
        // The first entry takes the blank row, which becomes the selected one.
        FOnModal = [](QDialog&) { return int(QDialog::Accepted); };
        fm->mnAdd->trigger();
        QCOMPARE(grid->RowCount(), 2);
        QVERIFY(grid->Objects(1));
        QCOMPARE(grid->currentRow(), 0);
        QVERIFY(fm->SelectedEntry());
    }

    void menu_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("enabled");
        auto row = [](const char* name, const char* caption, const char* keys, bool enabled) {
            QTest::newRow(name) << name << caption << QKeySequence(keys) << enabled;
        };
        row("Run1", "&Run", "", true);
        row("Save1", "&Save", "Ctrl+S", false);
        row("Refresh1", "Re&fresh", "", true);
        row("ResetLog1", "&Reset Log", "", true);
        row("Exit1", "E&xit", "", true);
        row("mnAdd", "&Add...", "Ins", true);
        row("Modify1", "&Modify...", "Ctrl+M", true);
        row("Delete1", "&Delete", "Del", true);
        row("ExecuteNow1", "&Execute Now", "Ctrl+E", true);
        row("Duplicate1", "Dup&licate", "Ctrl+D", true);
        row("Cut1", "C&ut", "Ctrl+X", false);
        row("Copy1", "&Copy", "Ctrl+C", false);
        row("Paste1", "&Paste", "Ctrl+V", false);
        row("LogFile1", "&Log File", "", true);
        row("About1", "&About...", "", true);
    }

    void menu() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, enabled);
        auto fm = MakeWindow();
        auto* action = fm->findChild<QAction*>(name);
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(action->isEnabled(), enabled);
        QCOMPARE(action->isCheckable(), name == "Run1");
    }

    void cutCopyPasteDoNothing() {
        WriteIni({{"Backup", "30 2 * * *"}});
        auto fm = ShowWindow();
        QGuiApplication::clipboard()->setText("before");
        for (Qt::Key key : {Qt::Key_X, Qt::Key_C, Qt::Key_V})
            QTest::keyClick(fm->sgScheduleList, key, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
        QCOMPARE(Column(*fm, 0), QStringList({"Backup"}));
        QVERIFY(!fm->SchedList->Modified());
    }

    void duplicateAndSaveFollowModified() {
        WriteIni({{"b", "1 * * * *"}, {"a", "2 * * * *"}});
        auto fm = ShowWindow();
        QVERIFY(!fm->Save1->isEnabled());
        PressHeader(*fm, 10); // a, b
        PressRow(*fm, 2);
        QTest::keyClick(fm->sgScheduleList, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(Column(*fm, 0), QStringList({"b", "**b", "a"})); // after it, in list order again
        QVERIFY(!fm->SchedList->Items(1).Active);
        QVERIFY(fm->Save1->isEnabled());
        QTest::keyClick(fm->sgScheduleList, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!fm->Save1->isEnabled());
        QVERIFY(!fm->SchedList->Modified());
        QVERIFY(ReadFile(IniPath()).find("[Schedule 1]\r\nName=b\r\n") != std::string::npos);
    }

    void rearm_data() {
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("msec");
        QTest::addColumn<int>("interval");
        QTest::newRow("02.300") << 2 << 300 << 62700;
        QTest::newRow("05.000") << 5 << 0 << 60000;
        QTest::newRow("04.999") << 4 << 999 << 60001;
        QTest::newRow("59.999") << 59 << 999 << 5001;
    }

    void rearm() {
        QFETCH(int, second);
        QFETCH(int, msec);
        QFETCH(int, interval);
        auto fm = MakeWindow();
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 0, second, msec));
        fm->Timer1Timer();
        QCOMPARE(fm->Timer1->interval(), interval);
        QVERIFY(fm->Timer1->isActive());
    }

    void tickReloadsChangedFile() {
        WriteIni({{"alpha", "1 * * * *"}, {"beta", "2 * * * *"}});
        auto fm = ShowWindow(1);
        PressHeader(*fm, 10);
        PressHeader(*fm, 10); // descending: beta, alpha
        QCOMPARE(Column(*fm, 0), QStringList({"beta", "alpha"}));
        WriteIni({{"gamma", "3 * * * *"}, {"alpha", "1 * * * *"}, {"delta", "4 * * * *"}});
        fm->Timer1Timer();
        QCOMPARE(Column(*fm, 0), QStringList({"gamma", "alpha", "delta"}));
        QVERIFY(!fm->SchedList->Reloaded());
        QVERIFY(!fm->Save1->isEnabled());
        QVERIFY(ReadFile(LogPath()).find(":INI file changed, new schedule loaded\r\n") !=
                std::string::npos);
        PressHeader(*fm, 10); // the sort state outlives the refill: after descending, ascending
        QCOMPARE(Column(*fm, 0), QStringList({"alpha", "delta", "gamma"}));
    }

    void headerClickSorts() {
        WriteIni({{"alpha", "5 * * * *"},
                  {"Zeta", "10 * * * *"},
                  {"beta", "5 * * * *", false},
                  {"Zeta", "7 * * * *"}});
        auto fm = ShowWindow();
        QCOMPARE(SelectedName(*fm), std::string("alpha"));
        PressHeader(*fm, 10);
        QCOMPARE(Column(*fm, 0), QStringList({"**beta", "Zeta", "Zeta", "alpha"}));
        QCOMPARE(Column(*fm, 1), QStringList({"5", "10", "7", "5"}));
        QCOMPARE(SelectedName(*fm), std::string("beta")); // the current row stays, its entry moves
        PressHeader(*fm, 10);
        QCOMPARE(Column(*fm, 0), QStringList({"alpha", "Zeta", "Zeta", "**beta"}));
        QCOMPARE(Column(*fm, 1), QStringList({"5", "10", "7", "5"}));
        PressHeader(*fm, 10);
        QCOMPARE(Column(*fm, 0), QStringList({"**beta", "Zeta", "Zeta", "alpha"}));
        PressHeader(*fm, 190); // Minutes: as text, ties in their previous order
        QCOMPARE(Column(*fm, 1), QStringList({"10", "5", "5", "7"}));
        QCOMPARE(Column(*fm, 0), QStringList({"Zeta", "**beta", "alpha", "Zeta"}));
        QCOMPARE(fm->SortCol, 1);
        QVERIFY(fm->SortAscending);
        // Every row keeps its entry: modify the second row and see that very entry change.
        PressRow(*fm, 2);
        FOnModal = [](QDialog&) {
            fmEntry->edName->setText("beta2");
            return int(QDialog::Accepted);
        };
        fm->Modify1->trigger();
        QCOMPARE(fm->SchedList->Items(2).Name, std::string("beta2"));
        QCOMPARE(Column(*fm, 0), QStringList({"Zeta", "**beta2", "alpha", "Zeta"}));
    }

    void headerPressGeometry() {
        WriteIni({{"b", "1 * * * *"}, {"a", "2 * * * *"}});
        auto fm = ShowWindow();
        PressHeader(*fm, 180); // the shared edge belongs to the left column
        QCOMPARE(fm->SortCol, 0);
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b"}));
        // The first line below the header is its bottom edge (Y = 20): it sorts and is
        // no press on a data row.
        QTest::mouseClick(fm->sgScheduleList->viewport(), Qt::LeftButton, {}, QPoint(10, 0));
        QCOMPARE(fm->MouseY, 20);
        QCOMPARE(Column(*fm, 0), QStringList({"b", "a"}));
        QVERIFY(!fm->PressOnDataRow());
        fm->Modify1->trigger();
        fm->ExecuteNow1->trigger();
        QVERIFY(FShown.isEmpty() && FFake->Starter.Requests.empty());
        // Any key in the grid forgets the press: the Ctrl of the shortcut does.
        QTest::keyClick(fm->sgScheduleList, Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(fm->MouseX, -1);
        QCOMPARE(FShown, QList<QDialog*>({fmEntry}));
        // A right press is remembered but sorts nothing.
        PressHeader(*fm, 10, Qt::RightButton);
        QCOMPARE(fm->MouseX, 10);
        QCOMPARE(Column(*fm, 0), QStringList({"b", "a"}));
        // Scrolled sideways, the first shown column starts at x = 0.
        fm->resize(300, 300);
        QTRY_VERIFY(fm->sgScheduleList->horizontalScrollBar()->maximum() > 0);
        fm->sgScheduleList->horizontalScrollBar()->setValue(1);
        QCOMPARE(fm->sgScheduleList->LeftCol(), 1);
        PressHeader(*fm, 10);
        QCOMPARE(fm->SortCol, 1);
    }

    void doubleClicks() {
        WriteIni({{"b", "1 * * * *"}, {"a", "2 * * * *"}});
        auto fm = ShowWindow();
        DoubleClick(fm->sgScheduleList->horizontalHeader()->viewport(), QPoint(10, 10));
        QCOMPARE(Column(*fm, 0), QStringList({"b", "a"})); // ascending, then descending
        QVERIFY(!fm->SortAscending);
        QVERIFY(FShown.isEmpty());
        // Below the last row: no data row, no dialog.
        DoubleClick(fm->sgScheduleList->viewport(), QPoint(10, 70));
        QCOMPARE(fm->MouseY, 90);
        QVERIFY(!fm->PressOnDataRow());
        QVERIFY(FShown.isEmpty());
        // On a data row: Modify.
        DoubleClick(fm->sgScheduleList->viewport(), QPoint(10, 30));
        QCOMPARE(fm->sgScheduleList->Row(), 2);
        QCOMPARE(FShown, QList<QDialog*>({fmEntry}));
        QCOMPARE(fmEntry->edName->text(), QString("a"));
    }

    void closeQuestion_data() {
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Yes") << true << QMessageBox::Yes << true << true;
        QTest::newRow("No") << true << QMessageBox::No << true << false;
        QTest::newRow("Cancel") << true << QMessageBox::Cancel << false << false;
        QTest::newRow("unmodified: no question") << false << QMessageBox::Cancel << true << false;
    }

    void closeQuestion() {
        QFETCH(bool, modified);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, closes);
        QFETCH(bool, saved);
        WriteIni({{"Backup", "30 2 * * *"}});
        auto fm = ShowWindow();
        QSignalSpy closed(fm.get(), &TfmSchedMain::Closed);
        if (modified)
            fm->Duplicate1->trigger();
        FAnswer = answer;
        QCOMPARE(fm->close(), closes);
        QCOMPARE(closed.count(), closes ? 1 : 0);
        QCOMPARE(ReadFile(IniPath()).find("[Schedule 1]") != std::string::npos, saved);
        QCOMPARE(fm->SchedList->Modified(), modified && !saved);
        QCOMPARE(FQuestions.size(), modified ? 1 : 0);
        if (modified) {
            QCOMPARE(FQuestions[0].Caption, QString("Scheduler"));
            QCOMPARE(FQuestions[0].Text,
                     QString("The schedule has changed.\r\nDo you want to save it now?"));
            QCOMPARE(FQuestions[0].Buttons,
                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            QCOMPARE(FQuestions[0].Default, QMessageBox::Yes);
        }
    }

    void tickErrorShownOnce() {
        WriteIni({{"Every", "* * * * *"}});
        auto fm = ShowWindow(1);
        FFake->FailLogFrom = 0;
        fm->Timer1->start(5);
        QTRY_VERIFY(FFake->LogFailures >= 3);
        QCOMPARE(VisibleMessageBoxes(), 1);
        QMessageBox* box = TApplication::ErrorBox();
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), QString("File access denied"));
        QVERIFY(box->informativeText().contains(" more error(s)"));
        // Later messages are added with their time, never as boxes of their own.
        QVERIFY(QRegularExpression(R"(^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d File access denied\n)")
                    .match(box->detailedText() + "\n")
                    .hasMatch());
        QVERIFY(box->detailedText().count("File access denied") >= 2);
        QCOMPARE(fm->Timer1->interval(), 5); // a failed tick does not re-arm
        FFake->FailLogFrom = -1;
        QTRY_VERIFY(fm->Timer1->interval() != 5);
        QVERIFY(ReadFile(LogPath()).find(":Executing Every (Command prog-Every)\r\n") !=
                std::string::npos);
        QCOMPARE(VisibleMessageBoxes(), 1);
    }

    void addEntry() {
        WriteIni({{"b", "1 * * * *"}, {"a", "2 * * * *"}});
        auto fm = ShowWindow();
        PressHeader(*fm, 10);
        TSchedule expected; // the presets of a new entry
        expected.Minutes = expected.Hours = expected.Days = expected.Months = "*";
        expected.WeekDays = "*";
        expected.Active = true;
        bool presets = false;
        FOnModal = [&](QDialog&) {
            presets = !EntriesDiffer(fmEntry->GetEntry(), expected);
            fmEntry->edName->setText("0 first by name");
            return int(QDialog::Accepted);
        };
        QTest::keyClick(fm->sgScheduleList, Qt::Key_Insert);
        QVERIFY(presets);
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b", "0 first by name"}));
        QCOMPARE(fm->SchedList->Items(2).Name, std::string("0 first by name"));
        QCOMPARE(fm->SchedList->Items(2).WeekDays, std::string("*"));
        QVERIFY(fm->Save1->isEnabled());
        FOnModal = nullptr; // cancelled: nothing changes
        fm->mnAdd->trigger();
        QCOMPARE(fm->SchedList->Count(), 3);
    }

    void modifyWithoutChange() {
        WriteIni({{"Backup", "30 2 * * 1-5"}});
        auto fm = ShowWindow();
        FOnModal = [](QDialog&) { return int(QDialog::Accepted); };
        fm->Modify1->trigger();
        QCOMPARE(FShown.size(), 1);
        QVERIFY(!fm->SchedList->Modified());
        QVERIFY(!fm->Save1->isEnabled());
        QCOMPARE(fm->SchedList->Items(0).WeekDays, std::string("1-5"));
    }

    void deleteEntry() {
        WriteIni({{"Backup", "30 2 * * *"}, {"Clock", "0 6 * * *", false}});
        auto fm = ShowWindow();
        PressRow(*fm, 2);
        QTest::keyClick(fm->sgScheduleList, Qt::Key_Delete);
        QCOMPARE(FQuestions.size(), 1);
        QCOMPARE(FQuestions[0].Caption, QString("Confirm Delete"));
        QCOMPARE(FQuestions[0].Text, QString("Delete schedule for Clock?"));
        QCOMPARE(FQuestions[0].Buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(FQuestions[0].Default, QMessageBox::No);
        QCOMPARE(fm->SchedList->Count(), 2);
        FAnswer = QMessageBox::Yes;
        fm->Delete1->trigger(); // the last of several: the row above becomes current
        QCOMPARE(Column(*fm, 0), QStringList({"Backup"}));
        QCOMPARE(fm->sgScheduleList->Row(), 1);
        QVERIFY(fm->Save1->isEnabled());
        fm->Delete1->trigger(); // the only one: one blank row, without an entry
        QCOMPARE(fm->SchedList->Count(), 0);
        QCOMPARE(fm->sgScheduleList->RowCount(), 2);
        QCOMPARE(Column(*fm, 0), QStringList({""}));
        QVERIFY(!fm->sgScheduleList->Objects(1));
        QVERIFY(!fm->SelectedEntry());
    }

    void executeNow() {
        WriteIni({{"Off", "0 0 1 1 *", false}, {"On", "0 0 1 1 *"}});
        auto fm = ShowWindow();
        fm->ExecuteNow1->trigger(); // inactive: nothing, not even a log line
        QVERIFY(FFake->Starter.Requests.empty());
        QVERIFY(!std::filesystem::exists(LogPath()));
        PressRow(*fm, 2);
        QTest::keyClick(fm->sgScheduleList, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(FFake->Starter.Requests.size(), 1u);
        QCOMPARE(FFake->Starter.Requests[0].File, std::string("prog-On"));
        QVERIFY(ReadFile(LogPath()).find(":Executing On (Command prog-On)\r\n") !=
                std::string::npos);
        QVERIFY(!fm->Scheduler->Enabled());
    }

    void refresh() {
        WriteIni({{"a", "1 * * * *"}});
        auto fm = ShowWindow();
        WriteIni({{"a", "1 * * * *"}, {"b", "2 * * * *"}});
        fm->Refresh1->trigger(); // not modified: reloads at once
        QVERIFY(FQuestions.isEmpty());
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b"}));
        fm->Duplicate1->trigger();
        fm->Refresh1->trigger(); // answered No
        QCOMPARE(FQuestions.size(), 1);
        QCOMPARE(FQuestions[0].Text, QString("Schedule has changed.  Overwrite those changes?"));
        QCOMPARE(FQuestions[0].Default, QMessageBox::No);
        QCOMPARE(fm->SchedList->Count(), 3);
        FAnswer = QMessageBox::Yes;
        fm->Refresh1->trigger();
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b"}));
        QVERIFY(!fm->Save1->isEnabled());
    }

    void resetLogAndViewer() {
        auto fm = ShowWindow();
        fm->LogFile1->trigger(); // no log yet: the error, and no viewer
        QVERIFY(FShown.isEmpty());
        QVERIFY(TApplication::ErrorBox() != nullptr);
        QCOMPARE(TApplication::ErrorBox()->text(), QString("File not found"));
        delete TApplication::ErrorBox();
        fm->Run1->trigger();
        fm->ResetLog1->trigger(); // one line left
        QCOMPARE(QString::fromStdString(ReadFile(LogPath()).substr(19)),
                 QString(":Log file reset\r\n"));
        QString shownText;
        FOnModal = [&](QDialog&) {
            shownText = fmViewLog->memLog->toPlainText();
            return int(QDialog::Accepted);
        };
        fm->LogFile1->trigger();
        QCOMPARE(FShown, QList<QDialog*>({fmViewLog}));
        QCOMPARE(fmViewLog->lbLogFileName->text(), QString::fromStdString(LogPath()));
        QVERIFY(shownText.endsWith(":Log file reset"));
        QVERIFY(fmViewLog->memLog->toPlainText().isEmpty());
        fm->About1->trigger();
        QCOMPARE(FShown.last(), fmAbout);
    }

    void reloadDuringModify() {
        WriteIni({{"a", "1 * * * *"}, {"b", "2 * * * *"}});
        auto fm = ShowWindow(1);
        FOnModal = [&](QDialog&) {
            WriteIni({{"x", "1 * * * *"}, {"y", "2 * * * *"}, {"z", "3 * * * *"}});
            fm->Timer1Timer(); // a tick while the dialog is open reloads the list
            fmEntry->edName->setText("changed");
            return int(QDialog::Accepted);
        };
        QTest::keyClick(fm->sgScheduleList, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(TApplication::ErrorBox() != nullptr);
        QCOMPARE(TApplication::ErrorBox()->text(),
                 QString("Schedule List Index (-1) Out of Range (0 to 2)"));
        QCOMPARE(Column(*fm, 0), QStringList({"x", "y", "z"}));
        QVERIFY(!fm->SchedList->Modified());
    }

    void reloadDuringDeleteQuestion() {
        WriteIni({{"a", "1 * * * *"}});
        auto fm = ShowWindow(1);
        FAnswer = QMessageBox::Yes;
        FDuringQuestion = [&] {
            WriteIni({{"x", "1 * * * *"}});
            fm->Timer1Timer();
        };
        QVERIFY_THROWS_EXCEPTION(EListError, fm->Delete1Click());
        QCOMPARE(Column(*fm, 0), QStringList({"x"}));
        QCOMPARE(fm->SchedList->Count(), 1);
    }

    void ticksWhileModalDialogIsOpen() {
        auto fm = ShowWindow();
        FOnModal = [](QDialog& dialog) {
            QTimer::singleShot(300, &dialog, &QDialog::reject);
            return dialog.exec();
        };
        fm->Timer1->start(10);
        fm->About1->trigger();
        QVERIFY(fm->Timer1->interval() > 5000); // re-armed by a tick inside the dialog's loop
    }

    void realQuestionBox() {
        QString seen; // the text, the icon, the default button
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen = box->text() + (box->icon() == QMessageBox::Question ? " question" : " other") +
                   (box->defaultButton() == box->button(QMessageBox::Yes) ? " yes" : " other");
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(AskQuestion(nullptr, "Scheduler", "one\r\ntwo",
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                             QMessageBox::Yes),
                 QMessageBox::No);
        QCOMPARE(seen, QString("one\ntwo question yes"));
    }

    void filesWhereTheServicesPutThem() {
        // An installed program keeps its files in the user's folders, not beside itself.
        const std::string schedule = FDir->File("config/s.INI"), log = FDir->File("state/l.LOG");
        std::filesystem::create_directories(FDir->File("config"));
        std::filesystem::create_directories(FDir->File("state"));
        WriteFile(schedule, ScheduleText({{"Backup", "30 2 * * *"}}));
        FFake->ExecutablePath = FDir->File("bin/vantle-scheduler");
        TSchedMainServices services;
        services.Scheduler = FFake->Services();
        services.Scheduler.LogFile = log;
        services.ScheduleFile = schedule;
        services.ShowModal = [this](QDialog& dialog) {
            FShown.append(&dialog);
            return int(QDialog::Accepted);
        };
        TfmSchedMain fm(1, std::move(services));
        QCOMPARE(fm.SchedList->Count(), 1);
        QVERIFY(ReadFile(log).find("Scheduler has been Enabled") != std::string::npos);
        fm.mnAdd->trigger();
        fm.Save1->trigger();
        QVERIFY(ReadFile(schedule).find("[Schedule 1]") != std::string::npos);
        QVERIFY(!std::filesystem::exists(FDir->File("bin")));

        fm.About1->trigger();
        QCOMPARE(FShown.last(), fmAbout);
        QCOMPARE(fmAbout->lbSchedulePath->property("path").toString(),
                 QString::fromStdString(schedule));
        QCOMPARE(fmAbout->lbLogPath->property("path").toString(), QString::fromStdString(log));
        QCOMPARE(fmAbout->lbLogPath->toolTip(), QString::fromStdString(log));
        QVERIFY(fmAbout->lbSchedulePath->text().startsWith("Schedule: "));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TSchedMainTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SchedMainTest.moc"
