// The entry dialog driven as the user drives it: keys, clipboard, clicks, OK and Cancel.
#include "ui/Entry.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <array>
#include <functional>

namespace {

using vantle::test::ExecWith;

std::array<QCheckBox*, 7> DayBoxes(const TfmEntry& dialog) {
    return {dialog.cbSunday,   dialog.cbMonday, dialog.cbTuesday, dialog.cbWednesday,
            dialog.cbThursday, dialog.cbFriday, dialog.cbSaturday};
}

// The day boxes Sunday first as "0"/"1" characters, then "+" when Any is checked.
QString ShownDays(const TfmEntry& dialog) {
    QString text;
    for (const QCheckBox* box : DayBoxes(dialog)) {
        text += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    }
    return dialog.cbAnyDay->isChecked() ? text + QLatin1Char('+') : text;
}

vantle::TSchedule SampleEntry(const std::string& weekDays) {
    vantle::TSchedule entry = *vantle::test::EntryOf(
        {"Nightly backup", "30 2 * 1-12 " + weekDays, true, vantle::ctDosCommand,
         vantle::wsMinimized, "backup.sh", "--to /mnt/$D(yyyymmdd)", "/srv"});
    entry.Comment = {"first line", "", "third line"};
    return entry;
}

} // namespace

class TEntryTest : public QObject {
    Q_OBJECT
private slots:
    void TimeFieldFilter_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("caretAfter");
        auto row = [](const char* name, const char* before, int caret, bool paste,
                      const char* input, const char* after, int caretAfter) {
            QTest::newRow(name) << before << caret << paste << input << after << caretAfter;
        };
        row("list typed", "", 0, false, "1,5-9", "1,5-9", 5);
        row("space typed", "", 0, false, "1, 5", "1,5", 3);
        row("letter typed", "", 0, false, "a", "", 0);
        row("digit after star", "*", 1, false, "3", "*", 1);
        row("digit before star", "*", 0, false, "3", "*", 0);
        row("star typed mid-list", "1,2", 1, false, "*", "*", 1);
        row("letter typed mid-list", "12", 1, false, "x", "12", 1);
        row("list with star pasted", "", 0, true, "10,*,20", "*", 1);
        row("step pasted", "", 0, true, "*/5", "*", 1);
        row("range step pasted", "", 0, true, "0-59/15", "0-5915", 6);
        row("junk pasted mid-list", "1,9", 2, true, " 3 ,", "1,3,9", 4);
    }

    void TimeFieldFilter() {
        QFETCH(QString, before);
        QFETCH(int, caret);
        QFETCH(bool, paste);
        QFETCH(QString, input);
        QFETCH(QString, after);
        QFETCH(int, caretAfter);

        TfmEntry dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QLineEdit* edit : {dialog.edMinutes, dialog.edHours, dialog.edDays, dialog.edMonths}) {
            edit->setText(before);
            edit->setFocus();
            edit->setCursorPosition(caret);
            if (paste) {
                QGuiApplication::clipboard()->setText(input);
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            } else {
                QTest::keyClicks(edit, input);
            }
            QCOMPARE(edit->text(), after);
            QCOMPARE(edit->cursorPosition(), caretAfter);
        }
    }

    void StoredTimeFieldIsShownAndKeptFiltered() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.Hours = "8 - 17";
        dialog.SetEntry(entry);
        QCOMPARE(dialog.edHours->text(), QStringLiteral("8-17"));
        QCOMPARE(dialog.GetEntry().Hours, std::string("8-17"));
    }

    void AnyAndDayBoxesStayConsistent() {
        TfmEntry dialog;
        dialog.SetEntry(SampleEntry(""));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        dialog.cbAnyDay->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("1111111+"));
        dialog.cbTuesday->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("1101111"));
        dialog.cbTuesday->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("1111111+"));
        dialog.cbAnyDay->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("0000000"));

        // Every day box, clicked by itself, keeps Any true to the seven boxes.
        for (int day = 0; day < 7; ++day) {
            dialog.cbAnyDay->setChecked(true);
            DayBoxes(dialog)[std::size_t(day)]->click();
            QVERIFY(!dialog.cbAnyDay->isChecked());
            DayBoxes(dialog)[std::size_t(day)]->click();
            QVERIFY(dialog.cbAnyDay->isChecked());
        }
    }

    void DayBoxesShowTheMatchedDays_data() {
        QTest::addColumn<QString>("weekDays");
        QTest::addColumn<QString>("boxes");
        auto row = [](const char* name, const char* weekDays, const char* boxes) {
            QTest::newRow(name) << weekDays << boxes;
        };
        row("any", "*", "1111111+");
        row("weekdays as a range", "1-5", "0111110");
        row("no such day", "10", "0000000");
        row("every day listed", "0,1,2,3,4,5,6", "1111111+");
        row("every day as a range", "0-6", "1111111+");
        row("weekend unordered", "6,0", "1000001");
        row("range and number", "2-3,5", "0011010");
        row("empty", "", "0000000");
    }

    void DayBoxesShowTheMatchedDays() {
        QFETCH(QString, weekDays);
        QFETCH(QString, boxes);

        TfmEntry dialog;
        dialog.SetEntry(SampleEntry("3")); // a previous entry's boxes must not linger
        dialog.SetEntry(SampleEntry(weekDays.toStdString()));
        QString shown;
        const int result = ExecWith(dialog, [&] {
            shown = ShownDays(dialog);
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(shown, boxes);
        // OK without touching a box keeps the stored text, whatever its spelling.
        QCOMPARE(QString::fromStdString(dialog.GetEntry().WeekDays), weekDays);
    }

    void ChangedDayBoxStoresTheBoxes_data() {
        QTest::addColumn<QString>("weekDays");
        QTest::addColumn<QString>("clicks"); // day numbers, "a" for Any
        QTest::addColumn<QString>("stored");
        auto row = [](const char* name, const char* weekDays, const char* clicks,
                      const char* stored) { QTest::newRow(name) << weekDays << clicks << stored; };
        row("Saturday added to a range", "1-5", "6", "1,2,3,4,5,6");
        row("Monday taken from a range", "1-5", "1", "2,3,4,5");
        row("Tuesday taken from any", "*", "2", "0,1,3,4,5,6");
        row("a day added to no day", "10", "0", "0");
        row("any checked", "1-5", "a", "*");
        row("all cleared", "1-5", "aa", "");
        row("the last day completes the week", "0-5", "6", "*");
        row("a box clicked back", "1-5", "11", "1-5");
    }

    void ChangedDayBoxStoresTheBoxes() {
        QFETCH(QString, weekDays);
        QFETCH(QString, clicks);
        QFETCH(QString, stored);

        TfmEntry dialog;
        dialog.SetEntry(SampleEntry(weekDays.toStdString()));
        const int result = ExecWith(dialog, [&] {
            for (QChar click : clicks) {
                QCheckBox* box = click == QLatin1Char('a')
                                     ? dialog.cbAnyDay
                                     : DayBoxes(dialog)[std::size_t(click.digitValue())];
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            }
            dialog.btnOk->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(dialog.GetEntry().WeekDays), stored);
    }

    void OkWithoutChangeGivesTheSameEntry() {
        const std::vector<std::vector<std::string>> comments{
            {}, {""}, {"one"}, {"a", ""}, {"", "b", ""}};
        TfmEntry dialog;
        for (const auto& comment : comments) {
            vantle::TSchedule entry = SampleEntry("1-5");
            entry.Comment = comment;
            dialog.SetEntry(entry);
            QCOMPARE(ExecWith(dialog, [&] { dialog.btnOk->click(); }), int(QDialog::Accepted));
            QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), entry));
        }
        // Lines typed by the user: the break after the last line makes no empty line.
        dialog.memComment->setPlainText(QStringLiteral("x\ny\n"));
        QCOMPARE(dialog.GetEntry().Comment, (std::vector<std::string>{"x", "y"}));
    }

    void BuiltinTypeGreysOperationFieldsAndKeepsTexts() {
        TfmEntry dialog;
        dialog.SetEntry(SampleEntry("*")); // DOS Command
        const std::array<QWidget*, 4> fields{dialog.edCommand, dialog.edParms, dialog.edWorkDir,
                                             dialog.cbWindowState};
        const auto enabledFields = [&] {
            return int(std::count_if(fields.begin(), fields.end(),
                                     [](QWidget* field) { return field->isEnabled(); }));
        };
        int enabledBefore = -1, enabledBuiltin = -1, enabledAfter = -1;
        const int result = ExecWith(dialog, [&] {
            enabledBefore = enabledFields();
            dialog.PageControl1->setCurrentIndex(1);
            dialog.cbOpType->setFocus();
            QTest::keyClick(dialog.cbOpType, Qt::Key_Down); // Direct Execute
            QTest::keyClick(dialog.cbOpType, Qt::Key_Down); // Builtin
            enabledBuiltin = enabledFields();
            dialog.btnOk->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(enabledBefore, 4);
        QCOMPARE(enabledBuiltin, 0);
        QCOMPARE(dialog.edCommand->palette().color(QPalette::Disabled, QPalette::Base),
                 dialog.edCommand->palette().color(QPalette::Active, QPalette::Button));
        vantle::TSchedule expected = SampleEntry("*");
        expected.CommandType = vantle::ctBuiltinResetTime;
        QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), expected));

        // Opened again for the built-in entry: greyed from the start; another type restores.
        dialog.SetEntry(expected);
        ExecWith(dialog, [&] {
            enabledBefore = enabledFields();
            QTest::keyClick(dialog.cbOpType, Qt::Key_Up);
            enabledAfter = enabledFields();
            dialog.btnCancel->click();
        });
        QCOMPARE(enabledBefore, 0);
        QCOMPARE(enabledAfter, 4);
        QCOMPARE(dialog.edParms->text(), QString::fromStdString(expected.Parms));
    }

    void ActivationShowsFirstPageWithFocusInName() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        int result = ExecWith(dialog, [&] {
            dialog.PageControl1->setCurrentIndex(2);
            dialog.memComment->setFocus();
            QTest::keyClick(dialog.memComment, Qt::Key_Escape);
        });
        QCOMPARE(result, int(QDialog::Rejected));

        int page = -1;
        QWidget* focus = nullptr;
        result = ExecWith(dialog, [&] {
            page = dialog.PageControl1->currentIndex();
            focus = dialog.focusWidget();
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(page, 0);
        QCOMPARE(focus, static_cast<QWidget*>(dialog.edName));
    }
};

QTEST_MAIN(TEntryTest)
#include "EntryTest.moc"
