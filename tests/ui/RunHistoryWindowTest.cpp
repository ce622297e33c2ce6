// The run history window over a real run store in a folder of its own, its rows under
// Qt's model tester: what each row shows, the filters, the output pane and the signals.
#include "ui/RunHistoryWindow.h"
#include "engine/RunStore.h"
#include "platform/FormatSettings.h"
#include "support/TempDir.h"
#include "ui/Colours.h"
#include "ui/FindChild.h"
#include "ui/RunListModel.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace vantle;
using vantle::test::Child;

namespace {

TDateTime At(int hour, int minute) {
    return EncodeDate(2026, 3, 6) + EncodeTime(hour, minute, 0, 0);
}

// The regional settings of a day-first date and a 24-hour clock.
TFormatSettings DayFirstSettings() {
    TFormatSettings settings = FixedFormatSettings();
    settings.ShortDateFormat = "dd/mm/yyyy";
    settings.DateSeparator = '.';
    settings.ShortTimeFormat = "hh:nn";
    settings.LongTimeFormat = "hh:nn:ss";
    return settings;
}

// A store with runs of its own, and the window over it once Open is called.
struct TRig {
    vantle::test::TTempDir Dir;
    TRunStore Store{Dir.File("state"), Dir.File("s.INI"), TRunStoreMode::Writer};
    TFormatSettings Settings = DayFirstSettings();
    std::unique_ptr<TfmRunHistory> Window;
    std::unique_ptr<QAbstractItemModelTester> Tester;

    // A run that ended with `result` (running while empty) after writing `output`.
    std::int64_t Add(const std::string& name, TDateTime started, const std::string& result,
                     bool failure = false, const std::string& output = {},
                     std::int64_t durationMs = 12'345) {
        TStoredRun run;
        run.Name = name;
        run.Started = started;
        const std::int64_t id = Store.Begin(run);
        if (!output.empty()) {
            TOwnFd out = Store.CreateOutput(id);
            if (write(out.Get(), output.data(), output.size()) != ssize_t(output.size()))
                qFatal("cannot write the output");
        }
        if (!result.empty())
            Store.Finish(id, IncMSecs(started, durationMs), durationMs, result, failure,
                         output.size(), false);
        return id;
    }

    TfmRunHistory& Open() {
        Window = std::make_unique<TfmRunHistory>(Store, Settings);
        Tester = std::make_unique<QAbstractItemModelTester>(
            Runs()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        Window->show();
        return *Window;
    }
    QTableView* Runs() const { return Child<QTableView>(*Window, "lvRuns"); }
    QPlainTextEdit* Output() const { return Child<QPlainTextEdit>(*Window, "memOutput"); }
    QPushButton* Stop() const { return Child<QPushButton>(*Window, "btnStopRun"); }
    int Rows() const { return Runs()->model()->rowCount(); }
    QString Cell(int row, int col) const {
        return Runs()->model()->index(row, col).data().toString();
    }
    void Select(int row) const { Runs()->selectRow(row); }
    int RowOf(std::int64_t id) const {
        for (int row = 0; row < Rows(); ++row)
            if (Runs()->model()->index(row, 0).data(TRunListModel::IdRole).toLongLong() == id)
                return row;
        return -1;
    }
    // Types `text` into the search field and presses Enter.
    void Search(const QString& text) const {
        auto* search = Child<QLineEdit>(*Window, "edSearch");
        search->setFocus();
        search->selectAll();
        QTest::keyClicks(search, text);
        QTest::keyClick(search, Qt::Key_Return);
    }
};

} // namespace

class TRunHistoryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void RowsShowEachRunNewestFirst() {
        TRig rig;
        rig.Add("Backup", At(2, 30), "Exited 0");
        rig.Add("Mail", At(2, 31), "Exited 3", true);
        rig.Add("Sync", At(2, 32), "");
        rig.Open();
        QCOMPARE(rig.Rows(), 3);
        const QStringList expected[] = {
            // The start in the regional settings' date and time, to the second.
            {"06.03.2026 02:32:00", "Sync", "schedule", "Running", "running"},
            {"06.03.2026 02:31:00", "Mail", "schedule", "Exited 3", "12.3 s"},
            {"06.03.2026 02:30:00", "Backup", "schedule", "Exited 0", "12.3 s"}};
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < TRunListModel::ColCount; ++col)
                QCOMPARE(rig.Cell(row, col), expected[row][col]);
            const QVariant colour =
                rig.Runs()->model()->index(row, TRunListModel::colResult).data(Qt::ForegroundRole);
            QCOMPARE(colour.isValid(), row == 1);
        }
        QCOMPARE(rig.Runs()->model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(),
                 ErrorColour());
        QCOMPARE(Child<QLabel>(*rig.Window, "lbCount")->text(), QStringLiteral("3 runs"));
    }

    void FiltersByEntryAndFailure_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("failuresOnly");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("all") << "" << false << QStringList{"Mail", "Backup", "Mail", "Backup"};
        QTest::newRow("one entry") << "Mail" << false << QStringList{"Mail", "Mail"};
        QTest::newRow("failures") << "" << true << QStringList{"Mail", "Backup"};
        QTest::newRow("both") << "Backup" << true << QStringList{"Backup"};
    }
    void FiltersByEntryAndFailure() {
        QFETCH(QString, entry);
        QFETCH(bool, failuresOnly);
        QFETCH(QStringList, names);
        TRig rig;
        rig.Add("Backup", At(1, 0), "Exited 0");
        rig.Add("Mail", At(1, 1), "Exited 0");
        rig.Add("Backup", At(1, 2), "Exited 1", true);
        rig.Add("Mail", At(1, 3), "Killed", true);
        rig.Open();
        auto* entries = Child<QComboBox>(*rig.Window, "cbEntry");
        QCOMPARE(entries->count(), 3); // "All entries", Backup, Mail
        if (!entry.isEmpty())
            entries->setCurrentIndex(entries->findText(entry));
        Child<QCheckBox>(*rig.Window, "cbFailuresOnly")->setChecked(failuresOnly);
        QStringList shown;
        for (int row = 0; row < rig.Rows(); ++row)
            shown << rig.Cell(row, TRunListModel::colEntry);
        QCOMPARE(shown, names);
    }

    void SearchFindsARunByItsOutputOnEnter() {
        TRig rig;
        rig.Add("Backup", At(1, 0), "Exited 1", true, "copying\nNo space left on DEVICE\n");
        rig.Add("Mail", At(1, 1), "Exited 0", false, "sent 3 messages\n");
        rig.Add("Device check", At(1, 2), "Exited 0");
        rig.Open();
        auto* search = Child<QLineEdit>(*rig.Window, "edSearch");
        search->setFocus();
        QTest::keyClicks(search, "left on device");
        QCOMPARE(rig.Rows(), 3); // not on each keystroke
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(rig.Rows(), 1);
        QCOMPARE(rig.Cell(0, TRunListModel::colEntry), QStringLiteral("Backup"));
        // After a pause the search runs by itself; names are searched too.
        search->selectAll();
        QTest::keyClicks(search, "device");
        QTRY_COMPARE(rig.Rows(), 2);
    }

    void OutputPaneShowsTheSelectedRunsEnd() {
        TRig rig;
        std::string output;
        for (int line = 1; line <= 2000; ++line)
            output += "line " + std::to_string(line) + "\n";
        output += "caf\xe9 last\n"; // not UTF-8: shown byte for byte
        rig.Add("Long", At(1, 0), "Exited 0", false, output);
        rig.Add("Quiet", At(1, 1), "Exited 0");
        rig.Open();
        QVERIFY(QTest::qWaitForWindowExposed(rig.Window.get()));
        rig.Select(1);
        QVERIFY(rig.Output()->toPlainText().endsWith(QStringLiteral("caf\u00e9 last\n")));
        const QScrollBar* bar = rig.Output()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        rig.Select(0);
        QVERIFY(rig.Output()->toPlainText().isEmpty());
        QCOMPARE(rig.Output()->placeholderText(), QStringLiteral("No output"));
    }

    // The names of the variables the run's entry set, for the run selected; no line for a
    // run without them.
    void DetailsNameTheVariablesTheRunsEntrySet() {
        TRig rig;
        TStoredRun run;
        run.Name = "Backup";
        run.Started = At(2, 30);
        run.Environment = "PATH, BACKUP_PASSFILE";
        const std::int64_t id = rig.Store.Begin(run);
        rig.Store.Finish(id, At(2, 31), 60'000, "Exited 0", false, 0, false);
        rig.Add("Plain", At(2, 32), "Exited 0");
        rig.Open();
        QVERIFY(QTest::qWaitForWindowExposed(rig.Window.get()));
        auto* details = Child<QLabel>(*rig.Window, "lbDetails");
        QVERIFY(!details->isVisible());
        rig.Select(rig.RowOf(id));
        QVERIFY(details->isVisible());
        QCOMPARE(details->text(), QStringLiteral("Environment: PATH, BACKUP_PASSFILE"));
        rig.Select(rig.RowOf(id) == 0 ? 1 : 0);
        QVERIFY(!details->isVisible());
    }

    void SignalsNameTheEntryAndTheRunToStop() {
        TRig rig;
        rig.Add("Done", At(1, 0), "Exited 0");
        const std::int64_t running = rig.Add("Busy", At(1, 1), "");
        rig.Open();
        QSignalSpy stops(rig.Window.get(), &TfmRunHistory::StopRequested);
        std::string named;
        QObject::connect(rig.Window.get(), &TfmRunHistory::EntryDoubleClicked,
                         [&](const std::string& name) { named = name; });
        QVERIFY(!rig.Stop()->isEnabled());
        rig.Select(1);
        QVERIFY(!rig.Stop()->isEnabled()); // Stop Run only for a run still running
        QTableView* view = rig.Runs();
        const QPoint at = view->visualRect(view->model()->index(0, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(named, std::string("Busy"));
        QVERIFY(rig.Stop()->isEnabled());
        // Enter in the search field searches; it never presses Stop Run.
        rig.Search(QStringLiteral("Bu"));
        QCOMPARE(stops.count(), 0);
        rig.Stop()->click();
        QCOMPARE(stops.count(), 1);
        QCOMPARE(stops.at(0).at(0).value<std::int64_t>(), running);
    }

    void RefreshKeepsTheSelectedRunAndShowsNewOnes() {
        TRig rig;
        for (int minute = 0; minute < 100; ++minute)
            rig.Add("Job " + std::to_string(minute % 7), At(1, minute % 60), "Exited 0");
        const std::int64_t running = rig.Add("Busy", At(2, 0), "", false, "started\n");
        rig.Open();
        QVERIFY(QTest::qWaitForWindowExposed(rig.Window.get()));
        rig.Select(60);
        const std::int64_t selected = *rig.Window->SelectedRun();
        rig.Runs()->verticalScrollBar()->setValue(40);
        rig.Window->Refresh(); // nothing new: nothing moves
        QCOMPARE(rig.Runs()->verticalScrollBar()->value(), 40);
        QCOMPARE(rig.Window->SelectedRun(), selected);

        rig.Store.Finish(running, At(2, 1), 60'000, "Exited 2", true, 8, false);
        rig.Add("Newcomer", At(2, 2), "Exited 0");
        rig.Window->Refresh();
        QCOMPARE(rig.Rows(), 102);
        QCOMPARE(rig.Cell(0, TRunListModel::colEntry), QStringLiteral("Newcomer"));
        QCOMPARE(rig.Cell(1, TRunListModel::colResult), QStringLiteral("Exited 2"));
        QCOMPARE(rig.Window->SelectedRun(), selected);
        QCOMPARE(rig.Output()->placeholderText(), QStringLiteral("No output"));
        auto* entries = Child<QComboBox>(*rig.Window, "cbEntry");
        QVERIFY(entries->findText(QStringLiteral("Newcomer")) > 0);

        // The selected run that ends: Stop Run goes grey.
        const std::int64_t late = rig.Add("Late", At(2, 3), "");
        rig.Window->Refresh();
        rig.Select(rig.RowOf(late));
        QVERIFY(rig.Stop()->isEnabled());
        rig.Store.Finish(late, At(2, 4), 60'000, "Exited 0", false, 0, false);
        rig.Window->Refresh();
        QVERIFY(!rig.Stop()->isEnabled());
    }

    void ShowRunClearsAFilterThatHidesIt_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("failuresOnly");
        QTest::addColumn<QString>("search");
        QTest::newRow("entry") << "Mail" << false << "";
        QTest::newRow("failures only") << "" << true << "";
        QTest::newRow("search") << "" << false << "nowhere";
    }
    void ShowRunClearsAFilterThatHidesIt() {
        QFETCH(QString, entry);
        QFETCH(bool, failuresOnly);
        QFETCH(QString, search);
        TRig rig;
        const std::int64_t wanted = rig.Add("Backup", At(1, 0), "Exited 0", false, "all done\n");
        rig.Add("Mail", At(1, 1), "Exited 1", true);
        rig.Open();
        auto* entries = Child<QComboBox>(*rig.Window, "cbEntry");
        if (!entry.isEmpty())
            entries->setCurrentIndex(entries->findText(entry));
        Child<QCheckBox>(*rig.Window, "cbFailuresOnly")->setChecked(failuresOnly);
        if (!search.isEmpty())
            rig.Search(search);
        QCOMPARE(rig.RowOf(wanted), -1);
        rig.Window->ShowRun(wanted);
        QCOMPARE(rig.Window->SelectedRun(), wanted);
        QCOMPARE(rig.Output()->toPlainText(), QStringLiteral("all done\n"));
    }
};

QTEST_MAIN(TRunHistoryWindowTest)
#include "RunHistoryWindowTest.moc"
