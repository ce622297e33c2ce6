// The main window driven through its menu, grid, keys and timer, with the clock, the
// question boxes, the modal step and the machine's services replaced.
#include "ui/SchedMain.h"
#include "platform/StopSignals.h"
#include "support/ModalDriver.h"
#include "ui/AccessKeys.h"
#include "ui/Entry.h"
#include "ui/ProgramEnd.h"
#include "ui/Upcoming.h"
#include "ui/WindowFixture.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sstream>

using namespace vantle;
using namespace vantle::test;

class TSchedMainTest : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    struct TQuestion {
        QString Text;
        QMessageBox::StandardButton Default;
    };

    QList<TQuestion> FQuestions;
    QStringList FQuestionTitles;
    QMessageBox::StandardButton FAnswer = QMessageBox::No;
    std::function<void()> FDuringQuestion;
    QList<QDialog*> FShown;
    std::function<int(QDialog&)> FOnModal;
    int FWrites = 0;

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

    /// `adjust` changes the services before the window takes them.
    std::unique_ptr<TfmSchedMain>
    MakeWindow(int argumentCount = 0, std::function<void(TSchedMainServices&)> adjust = nullptr) {
        TSchedMainServices services = Services();
        services.Ask = [this](QWidget*, const QString& title, const QString& text,
                              QMessageBox::StandardButtons,
                              QMessageBox::StandardButton defaultButton) {
            FQuestions.append({text, defaultButton});
            FQuestionTitles.append(title);
            if (FDuringQuestion)
                FDuringQuestion();
            return FAnswer;
        };
        services.ShowModal = [this](QDialog& dialog) {
            FShown.append(&dialog);
            return FOnModal ? FOnModal(dialog) : int(QDialog::Rejected);
        };
        if (adjust)
            adjust(services);
        return std::make_unique<TfmSchedMain>(argumentCount, std::move(services));
    }

    /// Created, shown and active, with the timer left to the test.
    std::unique_ptr<TfmSchedMain> ShowWindow(int argumentCount = 0) {
        auto fm = MakeWindow(argumentCount);
        Timer(*fm)->stop();
        fm->show();
        fm->activateWindow();
        if (!QTest::qWaitForWindowActive(fm.get()))
            qWarning("window not active");
        return fm;
    }

    static QAction* Act(TfmSchedMain& fm, const char* name) { return Child<QAction>(fm, name); }
    /// The log viewer when it is open: a window of its own, not the main window's child.
    static QWidget* OpenViewer() {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "fmViewLog" && window->isVisible())
                return window;
        return nullptr;
    }
    static TCycleTimer* Timer(TfmSchedMain& fm) { return Child<TCycleTimer>(fm, "Timer1"); }
    bool LogHas(const std::string& text) const {
        return ReadFile(LogPath()).find(text) != std::string::npos;
    }
    /// The entry dialog is answered OK after `edit` ran on it (nothing when empty).
    void AcceptWith(std::function<void(QDialog&)> edit = nullptr) {
        FOnModal = [edit](QDialog& dialog) {
            if (edit)
                edit(dialog);
            return int(QDialog::Accepted);
        };
    }
    static void SetName(QDialog& dialog, const char* name) {
        Child<QLineEdit>(dialog, "edName")->setText(name);
    }

    /// The one question asked so far: its text, "|", its default button.
    QString OnlyQuestion() const {
        if (FQuestions.size() != 1)
            return QString::number(FQuestions.size()) + " questions";
        return FQuestions[0].Text + (FQuestions[0].Default == QMessageBox::Yes ? "|Yes" : "|No");
    }

    static QPoint HeaderPoint(TfmSchedMain& fm, int col) {
        QHeaderView* header = Grid(fm)->horizontalHeader();
        return QPoint(header->sectionViewportPosition(col) + header->sectionSize(col) / 2, 10);
    }

    static void PressHeader(TfmSchedMain& fm, int col, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(Grid(fm)->horizontalHeader()->viewport(), button, {},
                          HeaderPoint(fm, col));
    }

    /// Row 1 is the first row of the grid.
    static QPoint RowPoint(TfmSchedMain& fm, int row) {
        TScheduleGrid* grid = Grid(fm);
        return grid->visualRect(grid->Model()->index(row - 1, 1)).center();
    }

    static void PressRow(TfmSchedMain& fm, int row) {
        QTest::mouseClick(Grid(fm)->viewport(), Qt::LeftButton, {}, RowPoint(fm, row));
    }

    /// Through the platform, so the toolkit makes it press, release, double click, release.
    static void DoubleClick(QWidget* widget, QPoint pos) {
        QTest::mouseDClick(widget->window()->windowHandle(), Qt::LeftButton, {},
                           widget->mapTo(widget->window(), pos));
    }

private slots:
    void init() {
        StartFixture();
        // A day-first date and a 24-hour clock, separators of their own.
        FFake->Settings.ShortDateFormat = "dd/mm/yyyy";
        FFake->Settings.ShortTimeFormat = "hh:nn";
        FFake->Settings.LongTimeFormat = "hh:nn:ss";
        FFake->Settings.DateSeparator = '-';
        FFake->Settings.TimeSeparator = '.';
        FQuestions.clear();
        FAnswer = QMessageBox::No;
        FDuringQuestion = nullptr;
        FShown.clear();
        FOnModal = nullptr;
    }

    void cleanup() { EndFixture(); }

    void startUp_data() {
        QTest::addColumn<int>("arguments");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no argument") << 0 << false;
        QTest::newRow("one argument of any value") << 1 << true;
    }

    void startUp() {
        QFETCH(int, arguments);
        QFETCH(bool, enabled);
        auto fm = MakeWindow(arguments);
        QCOMPARE(Act(*fm, "Run1")->isChecked(), enabled);
        QVERIFY(Timer(*fm)->isActive());
        fm->show();
        QCOMPARE(Child<QLabel>(*fm, "Panel0")->text(), QString("04-03-2024 12.05"));
        QCOMPARE(Child<QLabel>(*fm, "Panel1")->text(), enabled ? " Enabled" : " Disabled");
        QCOMPARE(LogHas(":Scheduler has been Enabled\r\n"), enabled);
        // While it is off a bar above the grid says so, and its button switches it on.
        auto* bar = Child<QFrame>(*fm, "pnOff");
        QCOMPARE(bar->isVisible(), !enabled);
        QCOMPARE(Child<QLabel>(*bar, "lbOff")->text(),
                 QString("The scheduler is off: nothing runs"));
        Child<QPushButton>(*bar, "btnSwitchOn")->click();
        QVERIFY(fm->Scheduler()->Enabled());
        QVERIFY(Act(*fm, "Run1")->isChecked());
        QVERIFY(!bar->isVisible());
        QCOMPARE(Child<QLabel>(*fm, "Panel1")->text(), QString(" Enabled"));
        Act(*fm, "Run1")->trigger(); // off again, from the menu or the tray
        QVERIFY(bar->isVisible());
    }

    void accessKeysAreUniqueInEachMenu() {
        auto fm = MakeWindow();
        QList<QMenu*> menus{nullptr}; // the menu bar first
        for (QAction* title : fm->menuBar()->actions())
            menus << title->menu();
        for (QMenu* menu : menus) {
            QStringList captions;
            for (QAction* action : menu ? menu->actions() : fm->menuBar()->actions())
                captions << action->text();
            QVERIFY2(AccessKeyClash(captions).isEmpty(), qPrintable(AccessKeyClash(captions)));
        }
    }

    void runShowsTheNewStateWhenItsLogLineFails() {
        auto fm = ShowWindow();
        std::filesystem::create_directory(LogPath()); // a log that cannot be written
        Act(*fm, "Run1")->trigger();
        QVERIFY(TApplication::ErrorBox() != nullptr);
        QVERIFY(fm->Scheduler()->Enabled());
        QCOMPARE(Child<QLabel>(*fm, "Panel1")->text(), QString(" Enabled"));
    }

    void failingEntryDoesNotStopTheTickNorItsReArm() {
        WriteIni({{"first"}, {.Name = "bad", .Parms = "$D-3000Y"}, {"last"}}); // every minute
        auto fm = ShowWindow(1);
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 1, 5, 40));
        fm->Timer1Timer();
        QVERIFY(LogHas(":bad failed: Invalid argument to date encode\r\n"));
        QCOMPARE(FFake->Starter.Requests.size(), std::size_t(2)); // first and last
        // Which moment each wake asks for is the run loop's own affair.
        QVERIFY(Timer(*fm)->isActive());
    }

    void headerClickSorts() {
        WriteIni({{"alpha", "5 * * * *"},
                  {"Zeta", "10 * * * *"},
                  {"beta", "5 * * * *", false},
                  {"Zeta", "7 * * * *"}});
        auto fm = ShowWindow();
        PressHeader(*fm, 0);
        QCOMPARE(Column(*fm, 0), QStringList({"**beta", "Zeta", "Zeta", "alpha"}));
        // The selection follows its entry (alpha) to the bottom; the header shows the order.
        QCOMPARE(Grid(*fm)->CurrentRow(), 3);
        QCOMPARE(Grid(*fm)->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        PressHeader(*fm, 0);
        QCOMPARE(Column(*fm, 0), QStringList({"alpha", "Zeta", "Zeta", "**beta"}));
        PressHeader(*fm, 0);
        PressHeader(*fm, 1); // Minutes: as text, ties in their previous order
        QCOMPARE(Column(*fm, 0), QStringList({"Zeta", "**beta", "alpha", "Zeta"}));
        // A new entry goes to the bottom, even where its "*" would sort it first.
        AcceptWith([](QDialog& dialog) { SetName(dialog, "new"); });
        QTest::keyClick(Grid(*fm), Qt::Key_Insert);
        QCOMPARE(Column(*fm, 0), QStringList({"Zeta", "**beta", "alpha", "Zeta", "new"}));
        // Every row keeps its entry: modify the second row and see that very entry change.
        PressRow(*fm, 2);
        AcceptWith([](QDialog& dialog) { SetName(dialog, "beta2"); });
        Act(*fm, "Modify1")->trigger();
        // A cancelled Add adds nothing; its dialog showed a new entry, not the one modified.
        FOnModal = nullptr;
        Act(*fm, "mnAdd")->trigger();
        QVERIFY(Child<QLineEdit>(*fm, "edName")->text().isEmpty());
        // A refill shows list order, and the selection stays on its entry.
        Act(*fm, "Duplicate1")->trigger();
        QCOMPARE(Column(*fm, 0),
                 QStringList({"alpha", "Zeta", "**beta2", "**beta2", "Zeta", "new"}));
        QCOMPARE(Grid(*fm)->CurrentRow(), 2);
        QVERIFY(!Grid(*fm)->horizontalHeader()->isSortIndicatorShown());
    }

    void dragResizesAndClickSorts() {
        WriteIni({{"b", "1 * * * *"}, {"a", "2 * * * *"}});
        auto fm = ShowWindow();
        QHeaderView* header = Grid(*fm)->horizontalHeader();
        fm->resize(fm->width() + 200, fm->height());
        // Dragging the boundary between Minutes and Hours widens Minutes and sorts nothing.
        const int edge = header->sectionViewportPosition(2) - 1;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, 10));
        QTest::mouseMove(header->viewport(), QPoint(edge + 30, 10));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 30, 10));
        QCOMPARE(Grid(*fm)->columnWidth(1), 110);
        QCOMPARE(Column(*fm, 0), QStringList({"b", "a"}));
        // The Name column takes what the window and the other columns leave over.
        int before = Grid(*fm)->columnWidth(0);
        fm->resize(fm->width() + 100, fm->height());
        QTRY_COMPARE(Grid(*fm)->columnWidth(0), before + 100);
        // A press on the header is no press on a row: Modify and Execute Now from the menu
        // do nothing, until a key is pressed in the grid (the Ctrl of the shortcut does).
        PressHeader(*fm, 0);
        Act(*fm, "Modify1")->trigger();
        Act(*fm, "ExecuteNow1")->trigger();
        QVERIFY(FShown.isEmpty() && FFake->Starter.Requests.empty());
        QTest::keyClick(Grid(*fm), Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(FShown, QList<QDialog*>({fm->findChild<TfmEntry*>()}));
        // A right press is remembered but sorts nothing.
        PressRow(*fm, 1);
        PressHeader(*fm, 0, Qt::RightButton);
        QVERIFY(!fm->Grid().PressOnDataRow());
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b"}));
        // A double click on the header (its press sorts again: b, a) or below the last row
        // opens nothing; on a row, Modify of the entry it shows.
        DoubleClick(header->viewport(), HeaderPoint(*fm, 0));
        DoubleClick(Grid(*fm)->viewport(), RowPoint(*fm, 2) + QPoint(0, 60));
        QCOMPARE(FShown.size(), 1);
        DoubleClick(Grid(*fm)->viewport(), RowPoint(*fm, 2));
        QCOMPARE(FShown.size(), 2);
        QCOMPARE(Child<QLineEdit>(*fm, "edName")->text(), QString("a"));
    }

    void runColumns() {
        // 04-03-2024 12.05 is a Monday.
        WriteFile(LogPath(), "2024.03.04 02.30.00:Executing Backup (Command prog-Backup)\r\n"
                             "2024.03.04 02.30.00:Backup Failed (2)\r\n"
                             "2024.03.03 06.00.00:Executing Clock (Command prog-Clock)\r\n"
                             "2024.03.03 06.00.09:Clock ended with code 0 after 9 s\r\n");
        WriteIni({{"Backup", "30 2 * * *"},
                  {"Never", "0 0 30 2 *"},
                  {"Clock", "0 6 * * *", false},
                  {"Soon", "10 12 * * *"}});
        auto fm = ShowWindow();
        using M = TScheduleModel;
        QCOMPARE(Column(*fm, M::colNextRun),
                 QStringList({"05-03-2024 02.30", "never", "", "04-03-2024 12.10"}));
        QCOMPARE(Column(*fm, M::colLastRun),
                 QStringList({"04-03-2024 02.30", "", "03-03-2024 06.00", ""}));
        QCOMPARE(Column(*fm, M::colResult),
                 QStringList({"Failed: file not found (2)", "", "Exited 0 after 9 s", ""}));
        TScheduleSort* model = Grid(*fm)->Model();
        QVERIFY(model->data(model->index(0, M::colResult), Qt::ForegroundRole).isValid());
        QVERIFY(!model->data(model->index(2, M::colResult), Qt::ForegroundRole).isValid());
        // Sorted (the order is the sort's own test), the rows keep their entries.
        PressHeader(*fm, M::colNextRun);
        // Each cycle moves Next Run on, also of entries it did not run; a start shows at once.
        FFake->Clock.Set(EncodeDate(2024, 3, 5) + EncodeTime(12, 10, 5, 0));
        Act(*fm, "Run1")->trigger();
        FFake->Starter.Pid = 4321;
        fm->Timer1Timer();
        int soon = model->RowOfSerial(fm->SchedList()->SerialOf(3));
        QCOMPARE(model->Text(soon, M::colNextRun), std::string("06-03-2024 12.10"));
        QCOMPARE(model->Text(soon, M::colLastRun), std::string("05-03-2024 12.10"));
        QCOMPARE(model->Text(soon, M::colResult), std::string("Running"));
        int backup = model->RowOfSerial(fm->SchedList()->SerialOf(0));
        QCOMPARE(model->Text(backup, M::colNextRun), std::string("06-03-2024 02.30"));
    }

    void upcomingRuns() {
        // "On\xe9" is Latin-1, as older schedule files hold names: shown as the dialog does.
        WriteIni(
            {{"Half", "0,30 13 * * *"}, {"Off", "* * * * *", false}, {"On\xe9", "30 13 4 3 *"}});
        auto fm = ShowWindow();
        QTest::keyClick(Grid(*fm), Qt::Key_U, Qt::ControlModifier);
        TfmUpcoming* upcoming = fm->findChild<TfmUpcoming*>();
        QVERIFY(upcoming != nullptr && upcoming->isVisible() && !upcoming->isModal());
        QTableWidget* runs = Child<QTableWidget>(*upcoming, "lvRuns");
        QCOMPARE(runs->rowCount(), 15); // seven days of two runs, and One
        // The runs' order is the search's own, pinned where it is made; here the cells.
        QCOMPARE(runs->item(2, 0)->text() + " " + runs->item(2, 1)->text() + " " +
                     runs->item(2, 2)->text(),
                 QString("04-03-2024 13.30 On\u00e9 prog-On\u00e9"));
        QCOMPARE(Grid(*fm)->Model()->index(2, 0).data().toString(), QString("On\u00e9"));
        // An edit refreshes it, the row the user selected still selected.
        QTest::mouseClick(runs->viewport(), Qt::LeftButton, {},
                          runs->visualItemRect(runs->item(4, 1)).center());
        AcceptWith([](QDialog& dialog) { SetName(dialog, "Half hour"); });
        Act(*fm, "Modify1")->trigger();
        QCOMPARE(runs->item(0, 1)->text(), QString("Half hour"));
        QCOMPARE(runs->selectionModel()->selectedRows(),
                 QModelIndexList({runs->model()->index(4, 0)}));
        // A double click opens the entry dialog for that entry.
        FOnModal = nullptr;
        emit runs->cellDoubleClicked(2, 1);
        QCOMPARE(Child<QLineEdit>(*fm, "edName")->text(), QString("On\u00e9"));
        // So does a delete.
        FAnswer = QMessageBox::Yes;
        PressRow(*fm, 3);
        Act(*fm, "Delete1")->trigger();
        QCOMPARE(runs->rowCount(), 14);
    }

    // Switched off since yesterday: the entry that catches up is listed first, to run when
    // the scheduler is switched on; once it has run, it is gone.
    void upcomingRunsShowAPendingCatchUp() {
        WriteIni({{.Name = "C", .Time = "0 10 * * *", .More = "CatchUp=Yes\r\n"}});
        WriteFile(FDir->File("vantle-scheduler.STATE"), "2024.03.03 12.00\r\n");
        auto fm = ShowWindow();
        QTest::keyClick(Grid(*fm), Qt::Key_U, Qt::ControlModifier);
        QTableWidget* runs = Child<QTableWidget>(*fm->findChild<TfmUpcoming*>(), "lvRuns");
        QCOMPARE(runs->item(0, 0)->text() + " " + runs->item(0, 1)->text(),
                 QString("When switched on (missed 04-03-2024 10.00) C"));
        Act(*fm, "Run1")->trigger();
        fm->Timer1Timer();
        QCOMPARE(FFake->Starter.Requests.size(), std::size_t(1));
        QVERIFY(runs->item(0, 0)->text().startsWith("05-03-2024"));
    }

    // A due run that waits for mains power is listed first, until a cycle finds the
    // power back and runs it.
    void upcomingRunsShowAWaitingRun() {
        WriteIni({{.Name = "Sync", .Time = "5 12 * * *", .More = "OnlyOnACPower=Yes\r\n"},
                  {.Name = "Lunch", .Time = "0 13 * * *"}});
        FFake->Conditions.Mains = false;
        auto fm = ShowWindow(1);
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 5, 5, 0));
        fm->Timer1Timer();
        QTest::keyClick(Grid(*fm), Qt::Key_U, Qt::ControlModifier);
        QTableWidget* runs = Child<QTableWidget>(*fm->findChild<TfmUpcoming*>(), "lvRuns");
        const auto row = [runs](int row) {
            return runs->item(row, 0)->text() + " " + runs->item(row, 1)->text();
        };
        QCOMPARE(row(0), QString("Waiting: on battery (due 04-03-2024 12.05) Sync"));
        QCOMPARE(row(1), QString("04-03-2024 13.00 Lunch"));
        FFake->Conditions.Mains = true;
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 6, 5, 0));
        fm->Timer1Timer();
        QCOMPARE(FFake->Starter.Requests.size(), std::size_t(1));
        QCOMPARE(row(0), QString("04-03-2024 13.00 Lunch"));
    }

    void closeQuestion_data() {
        QTest::addColumn<int>("way"); // 0 close, 1 a logout that lets us ask, 2 one that does not
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Yes") << 0 << true << QMessageBox::Yes << true << true;
        QTest::newRow("No") << 0 << true << QMessageBox::No << true << false;
        QTest::newRow("Cancel") << 0 << true << QMessageBox::Cancel << false << false;
        QTest::newRow("unmodified: no question")
            << 0 << false << QMessageBox::Cancel << true << false;
        QTest::newRow("logout, Cancel") << 1 << true << QMessageBox::Cancel << false << false;
        // A session that lets nobody ask still ends.
        QTest::newRow("logout without asking") << 2 << true << QMessageBox::Cancel << true << false;
    }

    void closeQuestion() {
        QFETCH(int, way);
        QFETCH(bool, modified);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, closes);
        QFETCH(bool, saved);
        WriteIni({{"Backup", "30 2 * * *"}});
        auto fm = ShowWindow();
        QSignalSpy closed(fm.get(), &TfmSchedMain::Closed);
        if (modified)
            Act(*fm, "Duplicate1")->trigger();
        FAnswer = answer;
        QCOMPARE(way == 0 ? fm->close() : fm->AnswerLogout(way == 1), closes);
        if (way == 0)
            QCOMPARE(closed.count(), closes ? 1 : 0);
        QCOMPARE(ReadFile(IniPath()).find("[Schedule 1]") != std::string::npos, saved);
        const QString asked = "The schedule has changed.\r\nDo you want to save it now?|Yes";
        QCOMPARE(OnlyQuestion(), modified && way != 2 ? asked : QString("0 questions"));
    }

    // A save that fails in the close question keeps the window, and the edits, open.
    void closeStaysOpenWhenItsSaveFails() {
        WriteIni({{"Backup", "30 2 * * *"}});
        auto fm = ShowWindow();
        Act(*fm, "Duplicate1")->trigger();
        std::filesystem::remove(IniPath());
        std::filesystem::create_directory(IniPath());
        FAnswer = QMessageBox::Yes;
        QVERIFY(!fm->close());
        QVERIFY(fm->SchedList()->Modified());
        std::filesystem::remove(IniPath());
    }

    void tickErrorShownOnce() {
        WriteIni({{"Every", "* * * * *"}});
        auto fm = ShowWindow(1);
        FFake->FailLogFrom = 0;
        for (int minute = 1; minute <= 3; ++minute) {
            FFake->Clock.Advance(1.0 / 1440);
            Timer(*fm)->start(5);
            QTRY_COMPARE(FFake->LogFailures, minute);
            // A failed tick arms the next one all the same.
            QTRY_VERIFY(Timer(*fm)->isActive() && Timer(*fm)->interval() > 5000);
        }
        QCOMPARE(VisibleMessageBoxes(), 1);
        // Later messages join that box (how, is the application's own affair).
        QCOMPARE(TApplication::ErrorBox()->detailedText().count("File access denied"), 2);
    }

    void executeNowAndDelete() {
        WriteIni({{"Backup", "30 2 * * *"}, {"Clock", "0 6 * * *", false}});
        auto fm = ShowWindow();
        PressRow(*fm, 1);
        QTest::keyClick(Grid(*fm), Qt::Key_E, Qt::ControlModifier); // also while switched off
        QCOMPARE(FFake->Starter.Requests.size(), 1u);
        QCOMPARE(FFake->Starter.Requests[0].File, std::string("prog-Backup"));
        PressRow(*fm, 2);
        QTest::keyClick(Grid(*fm), Qt::Key_Delete);
        QCOMPARE(OnlyQuestion(), QString("Delete schedule for Clock?|No"));
        QCOMPARE(fm->SchedList()->Count(), 2);
        FAnswer = QMessageBox::Yes;  // but a reload while it is asked takes the entry away
        Act(*fm, "Run1")->trigger(); // a switched-off scheduler does not reload
        FDuringQuestion = [&] {
            WriteIni({{"Backup", "30 2 * * *"}, {"x", "0 6 * * *", false}});
            fm->Timer1Timer();
        };
        QVERIFY_THROWS_EXCEPTION(EListError, fm->Delete1Click());
        QCOMPARE(Column(*fm, 0), QStringList({"Backup", "**x"}));
        FDuringQuestion = nullptr;
        PressRow(*fm, 2);
        Act(*fm, "Delete1")->trigger(); // the last of several: the row above becomes current
        QCOMPARE(Column(*fm, 0), QStringList({"Backup"}));
        QCOMPARE(Grid(*fm)->CurrentRow(), 0);
        Act(*fm, "Delete1")->trigger(); // the only one: one blank row, without an entry
        QCOMPARE(Column(*fm, 0), QStringList({""}));
        // The blank row cannot be selected, and the commands on an entry do nothing.
        FQuestions.clear();
        PressRow(*fm, 1);
        QVERIFY(!fm->SelectedEntry());
        for (const char* name : {"Modify1", "ExecuteNow1", "Duplicate1", "Delete1"})
            Act(*fm, name)->trigger();
        QVERIFY(FShown.isEmpty() && FQuestions.isEmpty());
        QCOMPARE(fm->SchedList()->Count(), 0);
        // The first entry takes the blank row, which becomes the selected one.
        AcceptWith();
        Act(*fm, "mnAdd")->trigger();
        QCOMPARE(Column(*fm, 0), QStringList({""}));
        QVERIFY(fm->SelectedEntry());
    }

    void refreshAsksOverUnsavedEdits() {
        WriteIni({{"alpha", "1 * * * *"}, {"beta", "2 * * * *"}});
        auto fm = ShowWindow(1);
        WriteIni({{"a", "1 * * * *"}, {"b", "2 * * * *"}});
        Act(*fm, "Refresh1")->trigger(); // not modified: reloads at once, without a question
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b"}));
        Act(*fm, "Duplicate1")->trigger();
        Act(*fm, "Refresh1")->trigger(); // answered No
        QCOMPARE(OnlyQuestion(), QString("Schedule has changed.  Overwrite those changes?|No"));
        QCOMPARE(fm->SchedList()->Count(), 3);
        FAnswer = QMessageBox::Yes;
        Act(*fm, "Refresh1")->trigger();
        QCOMPARE(Column(*fm, 0), QStringList({"a", "b"}));
        QVERIFY(!Act(*fm, "Save1")->isEnabled());
    }

    void resetLogAndViewer() {
        auto fm = ShowWindow();
        Act(*fm, "LogFile1")->trigger(); // no log yet: the error, and no viewer
        QVERIFY(OpenViewer() == nullptr);
        QCOMPARE(TApplication::ErrorBox()->text(), QString("File not found"));
        delete TApplication::ErrorBox();
        Act(*fm, "Run1")->trigger();
        Act(*fm, "ResetLog1")->trigger(); // answered No: the log stays
        QCOMPARE(OnlyQuestion(),
                 QString("Empty the log file?\r\nEvery line in it will be lost.|No"));
        QVERIFY(LogHas(":Scheduler has been Enabled"));
        FAnswer = QMessageBox::Yes;
        Act(*fm, "ResetLog1")->trigger(); // one line left
        QCOMPARE(QString::fromStdString(ReadFile(LogPath()).substr(19)),
                 QString(":Log file reset\r\n"));
        // Of a large log, the viewer shows the end.
        std::string log;
        for (int i = 0; i < 50000; ++i) // 100 B a line
            log += "2024.03.04 12.00.00:" + std::string(78, 'x') + "\r\n";
        WriteFile(LogPath(), log + "2024.03.04 12.00.00:the last line\r\n");
        Act(*fm, "LogFile1")->trigger();
        QWidget* viewer = OpenViewer();
        QVERIFY(viewer != nullptr);
        QCOMPARE(Child<QLabel>(*viewer, "lbLogFileName")->text(),
                 QString::fromStdString(LogPath()));
        auto* memo = Child<QPlainTextEdit>(*viewer, "memLog");
        const QStringList shown = memo->toPlainText().split('\n');
        QCOMPARE(shown.first(),
                 QString("(0.8 MB at the start of the log are not shown; this is its end.)"));
        QCOMPARE(shown.last(), QString("2024.03.04 12.00.00:the last line"));
        Child<QPushButton>(*viewer, "btnOk")->click();
        QVERIFY(memo->toPlainText().isEmpty()); // not kept once closed
    }

    // View > Log File opens a window of its own: not modal, without a parent or transient
    // parent the window manager would keep it above, and not one that keeps the program
    // running. The main window goes on while it is open; opened again, the viewer comes
    // up with the log read anew, at its end. It goes to the tray and back with the main
    // window, read anew on its return, and is deleted with it.
    void logViewerIsAWindowOfItsOwn() {
        auto fm = ShowWindow();
        Act(*fm, "Run1")->trigger();
        Act(*fm, "LogFile1")->trigger();
        QPointer<QWidget> viewer = OpenViewer();
        QVERIFY(viewer != nullptr);
        QVERIFY(FShown.isEmpty()); // not through the modal step
        QVERIFY(!viewer->isModal() && QApplication::activeModalWidget() == nullptr);
        QVERIFY(viewer->parentWidget() == nullptr);
        QVERIFY(viewer->windowHandle()->transientParent() == nullptr);
        QVERIFY(!viewer->testAttribute(Qt::WA_QuitOnClose));
        auto* memo = Child<QPlainTextEdit>(*viewer, "memLog");
        QVERIFY(memo->toPlainText().endsWith(":Scheduler has been Enabled"));
        Act(*fm, "Run1")->trigger();
        Act(*fm, "LogFile1")->trigger();
        QCOMPARE(OpenViewer(), viewer.data());
        QVERIFY(memo->toPlainText().endsWith(":Scheduler has been Disabled"));
        QCOMPARE(memo->textCursor().blockNumber(), memo->blockCount() - 1);
        fm->hide();
        QVERIFY(!viewer->isVisible());
        Act(*fm, "Run1")->trigger();
        fm->show();
        QVERIFY(viewer->isVisible());
        QVERIFY(memo->toPlainText().endsWith(":Scheduler has been Enabled"));
        fm.reset();
        QVERIFY(viewer.isNull());
    }

    void reloadDuringModify_data() {
        QTest::addColumn<bool>("removed"); // the edited entry "a" from the file
        QTest::addColumn<QStringList>("names");
        QTest::newRow("removed: the edit is added") << true << QStringList{"x", "y", "changed"};
        QTest::newRow("unchanged: the edit is kept") << false << QStringList{"new", "changed", "b"};
    }

    void reloadDuringModify() {
        QFETCH(bool, removed);
        QFETCH(QStringList, names);
        WriteIni({{"a", "1 * * * *"}, {"b", "2 * * * *"}});
        auto fm = ShowWindow(1);
        AcceptWith([&](QDialog& dialog) {
            if (removed)
                WriteIni({{"x", "1 * * * *"}, {"y", "2 * * * *"}});
            else
                WriteIni({{"new", "5 * * * *"}, {"a", "1 * * * *"}, {"b", "2 * * * *"}});
            fm->Timer1Timer(); // a tick while the dialog is open reloads the list
            SetName(dialog, "changed");
        });
        QTest::keyClick(Grid(*fm), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(TApplication::ErrorBox() == nullptr);
        QCOMPARE(Column(*fm, 0), names);
        QVERIFY(Act(*fm, "Save1")->isEnabled());
        QCOMPARE(FQuestions.size(), removed ? 1 : 0);
        if (removed)
            QCOMPARE(FQuestions[0].Text,
                     QString("Another program changed or removed the entry \"a\" while you "
                             "edited it.\r\nYour edit is added as a new entry."));
    }

    void tickKeepsUnsavedEditsAndSaveAsks() {
        WriteIni({{"a", "1 * * * *"}});
        auto fm = ShowWindow(1);
        QVERIFY(fm->windowTitle().endsWith("[*]"));
        QVERIFY(!fm->isWindowModified());
        Act(*fm, "Duplicate1")->trigger(); // an unsaved change
        QVERIFY2(fm->isWindowModified(), "the title bar shows it");
        WriteIni({{"theirs", "1 * * * *"}});
        fm->Timer1Timer();
        fm->Timer1Timer();
        QCOMPARE(Column(*fm, 0), QStringList({"a", "**a"}));
        QVERIFY(TApplication::ErrorBox()->text().contains(
            "Refresh loads the file (losing the changes); Save overwrites it."));
        QVERIFY(TApplication::ErrorBox()->detailedText().isEmpty()); // said once
        Act(*fm, "Save1")->trigger(); // answered No: the other program's file stays
        QCOMPARE(FQuestionTitles.last(), QString("Vantle Scheduler")); // like every other box
        QCOMPARE(OnlyQuestion(), QString("Another program changed the schedule file since it was "
                                         "loaded.\r\nOverwrite those changes?|No"));
        QVERIFY(ReadFile(IniPath()).find("Name=theirs") != std::string::npos);
        FAnswer = QMessageBox::Yes;
        Act(*fm, "Save1")->trigger();
        QVERIFY(ReadFile(IniPath()).find("Name=theirs") == std::string::npos);
        QVERIFY(!Act(*fm, "Save1")->isEnabled());
        QVERIFY(!fm->isWindowModified());
    }

    void saveOverAFileThatIsNoScheduleAsks() {
        const std::string text = "#!/bin/sh\necho this is not a schedule\n";
        WriteFile(IniPath(), text);
        auto fm = ShowWindow(1);
        QVERIFY(TApplication::ErrorBox()->text().endsWith("no [Schedule N] section"));
        fm->Timer1Timer(); // refused once, not at every tick
        QVERIFY(TApplication::ErrorBox()->detailedText().isEmpty());
        delete TApplication::ErrorBox();
        AcceptWith();
        Act(*fm, "mnAdd")->trigger();
        fm->Timer1Timer(); // the file never loaded has not changed: nothing to report
        QVERIFY(TApplication::ErrorBox() == nullptr);
        Act(*fm, "Save1")->trigger(); // answered No
        QCOMPARE(OnlyQuestion(),
                 QString::fromStdString(IniPath()) +
                     " is not a schedule file.\r\nReplace it with the schedule?|No");
        QCOMPARE(ReadFile(IniPath()), text);
        FAnswer = QMessageBox::Yes;
        FDuringQuestion = [&] {
            if (FQuestions.size() == 3)
                FAnswer = QMessageBox::No;
        };
        bool canClose = true;
        fm->FormCloseQuery(canClose); // Yes to saving, No to replacing: stays open
        QVERIFY(!canClose);
        QCOMPARE(ReadFile(IniPath()), text);
    }

    void modifyAndOkKeepEveryByte() {
        // Every byte that is not ASCII in every free-text field, and a comment line in UTF-8.
        std::string high;
        for (int byte = 0x80; byte <= 0xFF; ++byte)
            high += char(byte);
        TSchedule entry = *EntryOf({.Name = "caf" + high,
                                    .Type = ctDosCommand,
                                    .Command = "/opt/" + high,
                                    .Parms = high + " --x " + high,
                                    .WorkDir = "/srv/" + high});
        entry.Comment = {high, "", "caf\xc3\xa9"};
        const std::string text = FormatScheduleFile({&entry});
        WriteFile(IniPath(), text);
        auto fm = ShowWindow();
        AcceptWith();
        fm->sgScheduleListClick(); // the first row is the current one
        QVERIFY(!fm->SchedList()->Modified());
        fm->Save1Click();
        QVERIFY(ReadFile(IniPath()) == text);

        // A changed field keeps the encoding it was shown in (the rules of which are pinned
        // with the conversion itself); the others keep their bytes.
        AcceptWith([](QDialog& dialog) {
            auto* name = Child<QLineEdit>(dialog, "edName");
            name->setText(name->text() + " 2");
        });
        fm->sgScheduleListClick();
        QCOMPARE(fm->SchedList()->Items(0).Name, "caf" + high + " 2");
        QCOMPARE(fm->SchedList()->Items(0).Command, "/opt/" + high);
    }

    void logSizeLimitComesFromTheSettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(FDir->Path().string()));
        QCOMPARE(MakeWindow()->Scheduler()->Log().MaxSize(), DefaultMaxLogSize);
        QSettings().setValue("Log/MaxSize", 1000);
        QCOMPARE(MakeWindow()->Scheduler()->Log().MaxSize(), std::uint64_t(1000));
        QSettings().remove("Log/MaxSize");
    }

    void ticksWhileModalDialogIsOpen() {
        auto fm = ShowWindow();
        FOnModal = [](QDialog& dialog) {
            QTimer::singleShot(300, &dialog, &QDialog::reject);
            return dialog.exec();
        };
        Timer(*fm)->start(10);
        Act(*fm, "About1")->trigger();
        QVERIFY(Timer(*fm)->interval() > 5000); // re-armed by a tick inside the dialog's loop
    }

    void realQuestionBox() {
        QString seen; // the text, the default button
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen =
                box->text() + (box->defaultButton() == box->button(QMessageBox::Yes) ? " yes" : "");
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(AskQuestion(nullptr, "Scheduler", "one\r\ntwo",
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                             QMessageBox::Yes),
                 QMessageBox::No);
        QCOMPARE(seen, QString("one\ntwo yes"));
    }

    // Nobody may be there to answer: a stop signal ends every loop, the nested ones of a
    // dialog and its question too, applies nothing of them, saves nothing and logs the
    // scheduler's end.
    void stopSignalEndsTheProgramWhateverIsOpen_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("open");
        QTest::newRow("SIGTERM over the tick's error box") << SIGTERM << "box";
        QTest::newRow("SIGHUP in the entry dialog") << SIGHUP << "entry";
        QTest::newRow("SIGINT in the entry dialog's question") << SIGINT << "question";
    }

    void stopSignalEndsTheProgramWhateverIsOpen() {
        QFETCH(int, signal);
        QFETCH(QString, open);
        WriteIni({{"a", "1 * * * *"}});
        auto fm = MakeWindow(1, [](TSchedMainServices& services) {
            services.Ask = AskQuestion; // real boxes that nobody answers
            services.ShowModal = nullptr;
            services.StopFd = WatchStopSignals();
            services.TakeStop = TakeStopSignal;
        });
        Timer(*fm)->stop();
        fm->show();
        Act(*fm, "Duplicate1")->trigger(); // unsaved: closing the window would ask
        WriteIni({{"theirs", "1 * * * *"}});
        fm->Timer1Timer(); // tells in its box that the edits are kept over the change
        QVERIFY(TApplication::ErrorBox() != nullptr);

        bool hung = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&] {
            hung = true;
            QCoreApplication::exit(99);
        });
        watchdog.start(5000);
        auto* entry = fm->findChild<TfmEntry*>("fmEntry");
        QString openAtSignal = "box"; // what was on top when the signal came
        QTimer::singleShot(0, fm.get(), [&] {
            if (open != "box") {
                QTimer::singleShot(50, entry, [&] {
                    Child<QLineEdit>(*entry, "edName")->setText("mine");
                    if (open == "question") { // never due: Ok asks whether to save it
                        Child<QLineEdit>(*entry, "edHours")->setText("25");
                        QTimer::singleShot(0, entry, &QDialog::accept);
                    }
                });
                QTimer::singleShot(300, [&, signal] {
                    QWidget* modal = QApplication::activeModalWidget();
                    openAtSignal = modal == entry                                 ? "entry"
                                   : qobject_cast<QMessageBox*>(modal) != nullptr ? "question"
                                                                                  : "other";
                    raise(signal);
                });
                Act(*fm, "mnAdd")->trigger();
                return;
            }
            raise(signal);
        });
        int code = QApplication::exec();
        watchdog.stop();
        QVERIFY2(!hung, "the stop signal did not end the loop");
        QCOMPARE(code, 0);
        QVERIFY(fm->Loop()->Stopped());
        QCOMPARE(openAtSignal, open);
        // Neither the dialog's entry nor the unsaved edits went anywhere.
        QCOMPARE(Column(*fm, 0), QStringList({"a", "**a"}));

        std::ostringstream err;
        QTimer endWatchdog;
        endWatchdog.setSingleShot(true);
        connect(&endWatchdog, &QTimer::timeout, [&] {
            hung = true;
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        endWatchdog.start(3000);
        EndProgram(*fm, true, err);
        endWatchdog.stop();
        QVERIFY2(!hung, "the program waited for its error box");
        QCOMPARE(LogMessages(ReadFile(LogPath())).back(),
                 std::string("Scheduler has been Disabled"));
        QVERIFY(
            QString::fromStdString(err.str()).contains("the schedule here has unsaved changes"));
        QCOMPARE(VisibleMessageBoxes(), 0);
        QVERIFY(ReadFile(IniPath()).find("Name=theirs") != std::string::npos);
        QVERIFY(ReadFile(IniPath()).find("mine") == std::string::npos);
    }

    void filesWhereTheServicesPutThem() {
        // An installed program keeps its files in the user's folders, not beside itself.
        const std::string schedule = FDir->File("home/s.INI"), log = FDir->File("home/l.LOG");
        std::filesystem::create_directories(FDir->File("home"));
        // A Linux editor's file, read and saved whole.
        WriteFile(schedule, "[Schedule 0]\nName=one\nTime=0 1 * * *\nActive=Yes\n\n"
                            "[Schedule 1]\nName=two\nTime=0 2 * * *\nActive=Yes\n");
        auto fm = MakeWindow(1, [&](TSchedMainServices& services) {
            services.Scheduler.LogFile = log;
            services.ScheduleFile = schedule;
        });
        QVERIFY(ReadFile(log).find("Scheduler has been Enabled") != std::string::npos);
        AcceptWith();
        Act(*fm, "mnAdd")->trigger();
        Act(*fm, "Save1")->trigger(); // neither foreign nor changed: no question
        QCOMPARE(ParseScheduleFile(ReadFile(schedule)).size(), std::size_t(3));
        QVERIFY(!std::filesystem::exists(IniPath()) && !std::filesystem::exists(LogPath()));
        Act(*fm, "About1")->trigger(); // which names both files
        QCOMPARE(Child<QLabel>(*fm, "lbLogPath")->property("path").toString(),
                 QString::fromStdString(log));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TSchedMainTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SchedMainTest.moc"
