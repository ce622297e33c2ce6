// The entry dialog driven as the user drives it: keys, clipboard, clicks, OK and Cancel.
#include "ui/Entry.h"
#include "platform/FormatSettings.h"
#include "support/FakeClock.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"
#include "ui/FindChild.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <array>
#include <functional>

using namespace vantle;

namespace {

using vantle::test::Child;
using vantle::test::ExecWith;

std::array<QCheckBox*, 7> DayBoxes(const TfmEntry& dialog) {
    return {Child<QCheckBox>(dialog, "cbSunday"),   Child<QCheckBox>(dialog, "cbMonday"),
            Child<QCheckBox>(dialog, "cbTuesday"),  Child<QCheckBox>(dialog, "cbWednesday"),
            Child<QCheckBox>(dialog, "cbThursday"), Child<QCheckBox>(dialog, "cbFriday"),
            Child<QCheckBox>(dialog, "cbSaturday")};
}

// The day boxes Sunday first as "0"/"1" characters, then "+" when Any is checked.
QString ShownDays(const TfmEntry& dialog) {
    QString text;
    for (const QCheckBox* box : DayBoxes(dialog)) {
        text += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    }
    return Child<QCheckBox>(dialog, "cbAnyDay")->isChecked() ? text + QLatin1Char('+') : text;
}

vantle::TSchedule SampleEntry(const std::string& weekDays) {
    vantle::TSchedule entry = *vantle::test::EntryOf(
        {"Nightly backup", "30 2 * 1-12 " + weekDays, true, vantle::ctDosCommand,
         vantle::wsMinimized, "backup.sh", "--to /mnt/$D(yyyymmdd)", "/srv"});
    entry.Comment = {"first line", "", "third line"};
    return entry;
}

// Answers the question box that opens next, if one does, with `button`, and keeps what
// it asked.
void AnswerQuestion(QMessageBox::StandardButton button, QString* asked = nullptr) {
    QTimer::singleShot(0, [button, asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        if (asked != nullptr) {
            *asked = box->windowTitle() + QLatin1Char('|') + box->text();
        }
        box->button(button)->click();
    });
}

// The access key of a caption: the letter after a single "&".
QChar AccessKey(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (caption[i + 1] != QLatin1Char('&')) {
                return caption[i + 1].toUpper();
            }
            ++i;
        }
    }
    return {};
}

// Focus moves, and leaves a field, only in the active window.
void Activate(QWidget& window) {
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// Sunday 6 December 2026, noon.
const vantle::TDateTime PreviewNow = 46362.5;

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
        row("letter typed", "", 0, false, "a", "a", 1);
        row("blank and dot typed", "", 0, false, "1 .2", "12", 2);
        row("digit after star", "*", 1, false, "3", "*", 1);
        row("digit before star", "*", 0, false, "3", "*", 0);
        row("star typed mid-list", "1,2", 1, false, "*", "*", 1);
        row("letter typed mid-list", "12", 1, false, "x", "1x2", 2);
        row("step typed after a star", "*", 1, false, "/5", "*/5", 3);
        row("star typed before a step", "*/5", 0, false, "*", "*", 1);
        row("list with star pasted", "", 0, true, "10,*,20", "*", 1);
        row("step pasted", "", 0, true, "*/5", "*/5", 3);
        row("range step pasted", "", 0, true, "0-59/15", "0-59/15", 7);
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
        for (QLineEdit* edit :
             {Child<QLineEdit>(dialog, "edMinutes"), Child<QLineEdit>(dialog, "edHours"),
              Child<QLineEdit>(dialog, "edDays"), Child<QLineEdit>(dialog, "edMonths")}) {
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
        QCOMPARE(Child<QLineEdit>(dialog, "edHours")->text(), QStringLiteral("8-17"));
        QCOMPARE(dialog.GetEntry().Hours, std::string("8-17"));
    }

    void AnyAndDayBoxesStayConsistent() {
        TfmEntry dialog;
        dialog.SetEntry(SampleEntry(""));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        Child<QCheckBox>(dialog, "cbAnyDay")->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("1111111+"));
        Child<QCheckBox>(dialog, "cbTuesday")->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("1101111"));
        Child<QCheckBox>(dialog, "cbTuesday")->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("1111111+"));
        Child<QCheckBox>(dialog, "cbAnyDay")->click();
        QCOMPARE(ShownDays(dialog), QStringLiteral("0000000"));

        // Every day box, clicked by itself, keeps Any true to the seven boxes.
        for (int day = 0; day < 7; ++day) {
            Child<QCheckBox>(dialog, "cbAnyDay")->setChecked(true);
            DayBoxes(dialog)[std::size_t(day)]->click();
            QVERIFY(!Child<QCheckBox>(dialog, "cbAnyDay")->isChecked());
            DayBoxes(dialog)[std::size_t(day)]->click();
            QVERIFY(Child<QCheckBox>(dialog, "cbAnyDay")->isChecked());
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
            AnswerQuestion(QMessageBox::Yes); // asked when no day is left
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
                                     ? Child<QCheckBox>(dialog, "cbAnyDay")
                                     : DayBoxes(dialog)[std::size_t(click.digitValue())];
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            }
            if (stored.isEmpty()) {
                AnswerQuestion(QMessageBox::Yes); // no day: it never runs
            }
            Child<QPushButton>(dialog, "btnOk")->click();
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
            QCOMPARE(ExecWith(dialog, [&] { Child<QPushButton>(dialog, "btnOk")->click(); }),
                     int(QDialog::Accepted));
            QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), entry));
        }
        // Lines typed by the user: the break after the last line makes no empty line.
        Child<QPlainTextEdit>(dialog, "memComment")->setPlainText(QStringLiteral("x\ny\n"));
        QCOMPARE(dialog.GetEntry().Comment, (std::vector<std::string>{"x", "y"}));
    }

    void BuiltinTypeGreysOperationFieldsAndKeepsTexts() {
        TfmEntry dialog;
        dialog.SetEntry(SampleEntry("*")); // DOS Command
        const std::array<QWidget*, 4> fields{
            Child<QLineEdit>(dialog, "edCommand"), Child<QLineEdit>(dialog, "edParms"),
            Child<QLineEdit>(dialog, "edWorkDir"), Child<QComboBox>(dialog, "cbWindowState")};
        const auto enabledFields = [&] {
            return int(std::count_if(fields.begin(), fields.end(),
                                     [](QWidget* field) { return field->isEnabled(); }));
        };
        int enabledBefore = -1, enabledBuiltin = -1, enabledAfter = -1;
        const int result = ExecWith(dialog, [&] {
            enabledBefore = enabledFields();
            Child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(1);
            Child<QComboBox>(dialog, "cbOpType")->setFocus();
            QTest::keyClick(Child<QComboBox>(dialog, "cbOpType"), Qt::Key_Down); // Direct Execute
            QTest::keyClick(Child<QComboBox>(dialog, "cbOpType"), Qt::Key_Down); // Builtin
            enabledBuiltin = enabledFields();
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(enabledBefore, 4);
        QCOMPARE(enabledBuiltin, 0);
        QCOMPARE(Child<QLineEdit>(dialog, "edCommand")
                     ->palette()
                     .color(QPalette::Disabled, QPalette::Base),
                 Child<QLineEdit>(dialog, "edCommand")
                     ->palette()
                     .color(QPalette::Active, QPalette::Button));
        vantle::TSchedule expected = SampleEntry("*");
        expected.CommandType = vantle::ctBuiltinResetTime;
        QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), expected));

        // Opened again for the built-in entry: greyed from the start; another type restores.
        dialog.SetEntry(expected);
        ExecWith(dialog, [&] {
            enabledBefore = enabledFields();
            QTest::keyClick(Child<QComboBox>(dialog, "cbOpType"), Qt::Key_Up);
            enabledAfter = enabledFields();
            Child<QPushButton>(dialog, "btnCancel")->click();
        });
        QCOMPARE(enabledBefore, 0);
        QCOMPARE(enabledAfter, 4);
        QCOMPARE(Child<QLineEdit>(dialog, "edParms")->text(),
                 QString::fromStdString(expected.Parms));
    }

    void LeavingAFieldStoresItsCronForm_data() {
        QTest::addColumn<int>("field"); // 0 Minutes .. 3 Months
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        auto row = [](const char* name, int field, bool paste, const char* typed,
                      const char* stored) {
            QTest::newRow(name) << field << paste << typed << stored;
        };
        row("every five minutes", 0, false, "*/5", "0,5,10,15,20,25,30,35,40,45,50,55");
        row("pasted range step", 0, true, "0-59/15", "0,15,30,45");
        row("range step", 0, false, "10-20/5", "10,15,20");
        row("every six hours", 1, false, "*/6", "0,6,12,18");
        row("every tenth day", 2, false, "*/10", "1,11,21,31");
        row("month name", 3, false, "jan", "1");
        row("month names in any case", 3, false, "JUN-Aug", "6-8");
        row("word that is no number stays", 1, false, "3O", "3O");
        row("day name in Hours stays", 1, false, "mon", "mon");
    }

    void LeavingAFieldStoresItsCronForm() {
        QFETCH(int, field);
        QFETCH(bool, paste);
        QFETCH(QString, typed);
        QFETCH(QString, stored);

        TfmEntry dialog;
        dialog.SetNewEntry();
        QLineEdit* edit = std::array{
            Child<QLineEdit>(dialog, "edMinutes"), Child<QLineEdit>(dialog, "edHours"),
            Child<QLineEdit>(dialog, "edDays"), Child<QLineEdit>(dialog, "edMonths")}[field];
        QString shownBeforeLeaving;
        const int result = ExecWith(dialog, [&] {
            Activate(dialog);
            edit->setFocus();
            edit->clear();
            if (paste) {
                QGuiApplication::clipboard()->setText(typed);
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            } else {
                QTest::keyClicks(edit, typed);
            }
            shownBeforeLeaving = edit->text();
            QTest::keyClick(edit, Qt::Key_Tab);
            QCOMPARE(edit->text(), stored);
            dialog.reject();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(shownBeforeLeaving, typed);
    }

    void EnterStoresTheCronFormWithoutLeavingTheField() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        const int result = ExecWith(dialog, [&] {
            Child<QLineEdit>(dialog, "edMinutes")->setFocus();
            Child<QLineEdit>(dialog, "edMinutes")->clear();
            QTest::keyClicks(Child<QLineEdit>(dialog, "edMinutes"), "*/15");
            QTest::keyClick(Child<QLineEdit>(dialog, "edMinutes"), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.GetEntry().Minutes, std::string("0,15,30,45"));
    }

    void PreviewAnswersWhenItRuns_data() {
        QTest::addColumn<QString>("time"); // as the schedule file writes it
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<bool>("never");
        auto row = [](const char* name, const char* time, const char* preview, const char* notes,
                      bool never) { QTest::newRow(name) << time << preview << notes << never; };
        row("nightly", "30 2 * * *", "Next: Mon 7 Dec 2026 02:30, Tue 8 Dec 02:30, Wed 9 Dec 02:30",
            "", false);
        row("over the new year", "0 9 1 * *",
            "Next: Fri 1 Jan 2027 09:00, Mon 1 Feb 09:00, Mon 1 Mar 09:00", "", false);
        row("leap days", "0 0 29 2 *",
            "Next: Tue 29 Feb 2028 00:00, Sun 29 Feb 2032 00:00, Fri 29 Feb 2036 00:00", "", false);
        row("a word reads as midnight", "0 3O * * *",
            "Next: Mon 7 Dec 2026 00:00, Tue 8 Dec 00:00, Wed 9 Dec 00:00",
            "Hours '3O': item '3O' reads as 0", false);
        row("minute out of range", "995 * * * *",
            "Never runs: Minutes '995' matches no minute (0 to 59)", "", true);
        row("hour out of range", "0 25 * * *", "Never runs: Hours '25' matches no hour (0 to 23)",
            "", true);
        row("days beyond the month", "0 0 31-40 2 *",
            "Never runs: no date has Days '31-40' in Months '2' on WeekDays '*'", "", true);
        row("month out of range", "0 0 1 13 *",
            "Never runs: Months '13' matches no month (1 to 12)", "", true);
        row("no day of the week", "0 0 * * ", "Never runs: its WeekDays field is empty", "", true);
    }

    void PreviewAnswersWhenItRuns() {
        QFETCH(QString, time);
        QFETCH(QString, preview);
        QFETCH(QString, notes);
        QFETCH(bool, never);

        vantle::test::TFakeClock clock(PreviewNow);
        const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, &settings);
        dialog.SetEntry(
            *vantle::test::EntryOf({"Entry", time.toStdString(), true, vantle::ctDirectExecute,
                                    vantle::wsNormal, "true", "", ""}));
        QCOMPARE(Child<QLabel>(dialog, "lbNextRuns")->text(), preview);
        QCOMPARE(Child<QLabel>(dialog, "lbTimeNotes")->text(), notes);
        QCOMPARE(Child<QLabel>(dialog, "lbTimeNotes")->isVisibleTo(&dialog), !notes.isEmpty());
        const QColor normal =
            QApplication::palette(Child<QLabel>(dialog, "lbNextRuns")).color(QPalette::WindowText);
        QCOMPARE(Child<QLabel>(dialog, "lbNextRuns")->palette().color(QPalette::WindowText) !=
                     normal,
                 never);
    }

    void PreviewFollowsTheKeysAndTheDayBoxes() {
        vantle::test::TFakeClock clock(PreviewNow);
        const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, &settings);
        dialog.SetNewEntry();
        QStringList seen;
        const int result = ExecWith(dialog, [&] {
            Activate(dialog);
            Child<QLineEdit>(dialog, "edMinutes")->setFocus();
            Child<QLineEdit>(dialog, "edMinutes")->clear();
            QTest::keyClicks(Child<QLineEdit>(dialog, "edMinutes"), "*/30");
            seen << Child<QLabel>(dialog, "lbNextRuns")->text();
            Child<QLineEdit>(dialog, "edHours")->setFocus();
            Child<QLineEdit>(dialog, "edHours")->clear();
            QTest::keyClicks(Child<QLineEdit>(dialog, "edHours"), "2");
            seen << Child<QLabel>(dialog, "lbNextRuns")->text();
            QTest::keyClicks(Child<QLineEdit>(dialog, "edHours"), "5");
            seen << Child<QLabel>(dialog, "lbNextRuns")->text();
            QTest::keyClick(Child<QLineEdit>(dialog, "edHours"), Qt::Key_Backspace);
            Child<QCheckBox>(dialog, "cbAnyDay")->click(); // no day
            seen << Child<QLabel>(dialog, "lbNextRuns")->text();
            Child<QCheckBox>(dialog, "cbFriday")->click();
            seen << Child<QLabel>(dialog, "lbNextRuns")->text();
            dialog.reject();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(seen, (QStringList{
                           "Next: Sun 6 Dec 2026 12:30, Sun 6 Dec 13:00, Sun 6 Dec 13:30",
                           "Next: Mon 7 Dec 2026 02:00, Mon 7 Dec 02:30, Tue 8 Dec 02:00",
                           "Never runs: Hours '25' matches no hour (0 to 23)",
                           "Never runs: its WeekDays field is empty",
                           "Next: Fri 11 Dec 2026 02:00, Fri 11 Dec 02:30, Fri 18 Dec 02:00",
                       }));
    }

    void OkOnAnEntryThatNeverRunsAsksFirst() {
        vantle::test::TFakeClock clock(PreviewNow);
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, nullptr);
        dialog.SetNewEntry();
        Child<QLineEdit>(dialog, "edHours")->setText(QStringLiteral("25"));
        QString asked;
        bool openAfterNo = false;
        const int result = ExecWith(dialog, [&] {
            AnswerQuestion(QMessageBox::No, &asked);
            Child<QPushButton>(dialog, "btnOk")->click();
            openAfterNo = dialog.isVisible();
            AnswerQuestion(QMessageBox::Yes);
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(asked, QStringLiteral("Scheduler|This entry will never run. Save it anyway?"));
        QVERIFY(openAfterNo);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.GetEntry().Hours, std::string("25"));
    }

    void TabVisitsEveryControlInTheDesignedOrder_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("Schedule") << 0;
        QTest::newRow("Operation") << 1;
        QTest::newRow("Comment") << 2;
    }

    void TabVisitsEveryControlInTheDesignedOrder() {
        QFETCH(int, page);
        TfmEntry dialog;
        dialog.SetNewEntry();
        Child<QComboBox>(dialog, "cbOpType")->setCurrentIndex(vantle::ctDirectExecute);
        QWidget* tabBar = Child<QTabWidget>(dialog, "PageControl1")->tabBar();
        const std::vector<std::vector<QWidget*>> pages{
            {Child<QLineEdit>(dialog, "edMinutes"), Child<QLineEdit>(dialog, "edHours"),
             Child<QLineEdit>(dialog, "edDays"), Child<QLineEdit>(dialog, "edMonths"),
             Child<QCheckBox>(dialog, "cbActive"), Child<QCheckBox>(dialog, "cbAnyDay"),
             Child<QCheckBox>(dialog, "cbSunday"), Child<QCheckBox>(dialog, "cbMonday"),
             Child<QCheckBox>(dialog, "cbTuesday"), Child<QCheckBox>(dialog, "cbWednesday"),
             Child<QCheckBox>(dialog, "cbThursday"), Child<QCheckBox>(dialog, "cbFriday"),
             Child<QCheckBox>(dialog, "cbSaturday")},
            {Child<QComboBox>(dialog, "cbOpType"), Child<QComboBox>(dialog, "cbWindowState"),
             Child<QLineEdit>(dialog, "edCommand"), Child<QLineEdit>(dialog, "edParms"),
             Child<QLineEdit>(dialog, "edWorkDir")},
            {Child<QPlainTextEdit>(dialog, "memComment")}};
        std::vector<QWidget*> expected{Child<QLineEdit>(dialog, "edName"), tabBar};
        expected.insert(expected.end(), pages[std::size_t(page)].begin(),
                        pages[std::size_t(page)].end());
        expected.insert(expected.end(), {Child<QPushButton>(dialog, "btnOk"),
                                         Child<QPushButton>(dialog, "btnCancel"),
                                         Child<QLineEdit>(dialog, "edName")});

        std::vector<QWidget*> forward;
        std::vector<QWidget*> backward;
        const int result = ExecWith(dialog, [&] {
            Activate(dialog);
            Child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(page);
            Child<QLineEdit>(dialog, "edName")->setFocus();
            forward.push_back(QApplication::focusWidget());
            for (std::size_t i = 1; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                forward.push_back(QApplication::focusWidget());
            }
            backward.push_back(QApplication::focusWidget());
            for (std::size_t i = 1; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
                backward.push_back(QApplication::focusWidget());
            }
            dialog.reject();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(forward, expected);
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(backward, expected);
    }

    void AccessKeysAreUniqueOnEveryPage() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int page = 0; page < Child<QTabWidget>(dialog, "PageControl1")->count(); ++page) {
            Child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(page);
            QStringList captions;
            for (int tab = 0; tab < Child<QTabWidget>(dialog, "PageControl1")->count(); ++tab) {
                captions << Child<QTabWidget>(dialog, "PageControl1")->tabText(tab);
            }
            for (QWidget* widget : dialog.findChildren<QWidget*>()) {
                if (!widget->isVisible()) {
                    continue;
                }
                if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) {
                    captions << label->text();
                } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                    captions << button->text();
                } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
                    captions << group->title();
                }
            }
            QHash<QChar, QString> owner;
            for (const QString& caption : captions) {
                const QChar key = AccessKey(caption);
                if (key.isNull()) {
                    continue;
                }
                QVERIFY2(
                    !owner.contains(key),
                    qPrintable(
                        QStringLiteral("%1 and %2 share Alt+%3").arg(owner[key], caption, key)));
                owner[key] = caption;
            }
            QCOMPARE(owner.value(QLatin1Char('O')), QStringLiteral("&Ok"));
            QCOMPARE(owner.value(QLatin1Char('C')), QStringLiteral("&Cancel"));
        }
    }

    void AltOPressesOkAndAltPOpensTheOperationPage() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        int page = -1;
        const int result = ExecWith(dialog, [&] {
            Activate(dialog);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
            page = Child<QTabWidget>(dialog, "PageControl1")->currentIndex();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        });
        QCOMPARE(page, 1);
        QCOMPARE(result, int(QDialog::Accepted));
    }

    void ActivationShowsFirstPageWithFocusInName() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        int result = ExecWith(dialog, [&] {
            Child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(2);
            Child<QPlainTextEdit>(dialog, "memComment")->setFocus();
            QTest::keyClick(Child<QPlainTextEdit>(dialog, "memComment"), Qt::Key_Escape);
        });
        QCOMPARE(result, int(QDialog::Rejected));

        int page = -1;
        QWidget* focus = nullptr;
        result = ExecWith(dialog, [&] {
            page = Child<QTabWidget>(dialog, "PageControl1")->currentIndex();
            focus = dialog.focusWidget();
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(page, 0);
        QCOMPARE(focus, static_cast<QWidget*>(Child<QLineEdit>(dialog, "edName")));
    }
};

QTEST_MAIN(TEntryTest)
#include "EntryTest.moc"
