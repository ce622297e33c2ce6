// File > Import Crontab: the dialog's table of verdicts, what it says when there is no
// crontab, and the entries Ok adds to the window's list as unsaved changes.
#include "ui/ImportCrontab.h"

#include "ui/WindowFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <stdexcept>

using namespace vantle;
using namespace vantle::test;

namespace {

const std::string Crontab = "MAILTO=ann@example.org\n"
                            "# nightly\n"
                            "30 2 * * 1-5 /usr/local/bin/backup\n"
                            "0 9 1,15 * mon report\n"
                            "0 8 * * * /usr/bin/mail -s hi ann%Hello\n";

QStringList Row(const QTableWidget& table, int row) {
    QStringList cells;
    for (int col = 0; col < table.columnCount(); ++col)
        cells << table.item(row, col)->text();
    return cells;
}

} // namespace

class TImportCrontabTest : public QObject, private TWindowFixture {
    Q_OBJECT
private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    // One row per line that says something, in crontab order; a line not imported in red.
    void TableShowsEachLinesVerdict() {
        TfmImportCrontab dialog([] { return Crontab; });
        dialog.Start({"backup"});
        auto* table = Child<QTableWidget>(dialog, "tbVerdicts");
        QCOMPARE(table->rowCount(), 4);
        QCOMPARE(Row(*table, 0).mid(0, 3),
                 QStringList({"1", "MAILTO=ann@example.org", "approximated"}));
        QCOMPARE(Row(*table, 1).mid(0, 3),
                 QStringList({"3", "30 2 * * 1-5 /usr/local/bin/backup", "imported"}));
        QCOMPARE(Row(*table, 1).at(3), QString("entry 'backup (2)'"));
        QCOMPARE(Row(*table, 2).at(2), QString("imported as 2 entries"));
        QCOMPARE(Row(*table, 3).at(2), QString("not imported"));
        QVERIFY2(Row(*table, 3).at(3).contains("'Hello'"), qPrintable(Row(*table, 3).at(3)));
        QCOMPARE(table->item(3, 2)->foreground().color(), QColor(0xd0, 0x20, 0x20));
        QVERIFY(Child<QPushButton>(dialog, "btnOk")->isEnabled());
        const QString advice = Child<QLabel>(dialog, "lbAdvice")->text();
        QVERIFY2(advice.startsWith("Ok adds 3 entries, switched off"), qPrintable(advice));
        QVERIFY(advice.contains("crontab -l | sed -e '3s/^/#/' -e '4s/^/#/' | crontab -"));

        std::vector<TSchedule> entries = dialog.Entries();
        QCOMPARE(entries.size(), std::size_t{3});
        QVERIFY(!entries[0].Active);
        Child<QCheckBox>(dialog, "cbActive")->setChecked(true);
        QVERIFY(dialog.Entries()[2].Active);
        QVERIFY(Child<QLabel>(dialog, "lbAdvice")->text().contains("switched on"));
        // A long line is cut off in its cell; its tip shows it whole.
        QCOMPARE(table->item(1, 1)->toolTip(), table->item(1, 1)->text());
        // The dialog is kept for the next import, which starts unticked again.
        dialog.Start({});
        QVERIFY(!Child<QCheckBox>(dialog, "cbActive")->isChecked());
    }

    // The advice sits under the table and above the buttons, not over either.
    void LaysTheAdviceOutUnderTheTable() {
        TfmImportCrontab dialog([] { return Crontab; });
        dialog.Start({});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QRect table = Child<QTableWidget>(dialog, "tbVerdicts")->geometry();
        const QRect advice = Child<QLabel>(dialog, "lbAdvice")->geometry();
        QVERIFY(advice.top() > table.bottom());
        QVERIFY(Child<QPushButton>(dialog, "btnOk")->geometry().top() > advice.bottom());
    }

    // No crontab: the reason where the source is named, nothing to add.
    void SaysWhyThereIsNoCrontab() {
        TfmImportCrontab dialog(
            []() -> std::string { throw std::runtime_error("you have no crontab"); });
        dialog.Start({});
        QVERIFY(Child<QLabel>(dialog, "lbSource")->text().endsWith(": you have no crontab"));
        QCOMPARE(Child<QTableWidget>(dialog, "tbVerdicts")->rowCount(), 0);
        QVERIFY(!Child<QPushButton>(dialog, "btnOk")->isEnabled());
        // A file instead; its lines are no user's crontab, so no one-line rewrite is offered.
        WriteFile(FDir->File("crontab"), "@daily sync\n");
        dialog.ReadFile(QString::fromStdString(FDir->File("crontab")));
        QCOMPARE(Child<QTableWidget>(dialog, "tbVerdicts")->rowCount(), 1);
        QVERIFY(Child<QPushButton>(dialog, "btnOk")->isEnabled());
        QVERIFY(!Child<QLabel>(dialog, "lbAdvice")->text().contains("crontab -l |"));

        // A long reason wraps rather than widening the dialog past the screen.
        TfmImportCrontab wordy([]() -> std::string {
            throw std::runtime_error(QString("crontab said no; ").repeated(40).toStdString());
        });
        wordy.Start({});
        QVERIFY2(wordy.sizeHint().width() < 1200,
                 qPrintable(QString::number(wordy.sizeHint().width())));
    }

    // Ok adds the entries at the end of the list, switched on as ticked, unsaved.
    void OkAddsTheEntriesAsUnsavedChanges() {
        WriteFile(IniPath(), ScheduleText({{.Name = "backup", .Command = "/bin/true"}}));
        TSchedMainServices services = Services();
        services.ReadCrontab = [] { return Crontab; };
        int shown = 0;
        services.ShowModal = [&shown](QDialog& dialog) {
            ++shown;
            Child<QCheckBox>(dialog, "cbActive")->setChecked(true);
            return int(QDialog::Accepted);
        };
        TfmSchedMain fm(0, services);
        Child<QAction>(fm, "ImportCrontab1")->trigger();
        QCOMPARE(shown, 1);
        TSchedList& list = *fm.SchedList();
        QCOMPARE(list.Count(), 4);
        QCOMPARE(list.Items(1).Name, std::string("backup (2)"));
        QCOMPARE(list.Items(3).Name, std::string("report (days of the month)"));
        QVERIFY(list.Items(3).Active);
        QVERIFY(list.Modified());
        QVERIFY(Child<QAction>(fm, "Save1")->isEnabled());
        QVERIFY(fm.isWindowModified());
        QCOMPARE(Column(fm, 0).size(), 4);

        // Cancel adds nothing.
        fm.SchedList()->Save();
        services.ShowModal = [](QDialog&) { return int(QDialog::Rejected); };
        TfmSchedMain again(0, services);
        Child<QAction>(again, "ImportCrontab1")->trigger();
        QCOMPARE(again.SchedList()->Count(), 4);
        QVERIFY(!again.SchedList()->Modified());
    }
};

QTEST_MAIN(TImportCrontabTest)
#include "ImportCrontabTest.moc"
