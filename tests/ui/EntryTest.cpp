// The entry dialog driven as the user drives it: keys, clipboard, clicks, OK and Cancel.
#include "ui/Entry.h"
#include "platform/FormatSettings.h"
#include "support/FakeClock.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"
#include "ui/AccessKeys.h"
#include "ui/FindChild.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <array>
#include <vector>

using namespace vantle;

namespace {

using vantle::test::Child;
using vantle::test::ExecWith;

QLineEdit* Edit(const TfmEntry& dialog, const char* name) {
    return Child<QLineEdit>(dialog, name);
}

QTabWidget* Pages(const TfmEntry& dialog) {
    return Child<QTabWidget>(dialog, "PageControl1");
}

// The time fields, Minutes to Months.
std::array<QLineEdit*, 4> TimeEdits(const TfmEntry& dialog) {
    return {Edit(dialog, "edMinutes"), Edit(dialog, "edHours"), Edit(dialog, "edDays"),
            Edit(dialog, "edMonths")};
}

std::array<QCheckBox*, 7> DayBoxes(const TfmEntry& dialog) {
    return {Child<QCheckBox>(dialog, "cbSunday"),   Child<QCheckBox>(dialog, "cbMonday"),
            Child<QCheckBox>(dialog, "cbTuesday"),  Child<QCheckBox>(dialog, "cbWednesday"),
            Child<QCheckBox>(dialog, "cbThursday"), Child<QCheckBox>(dialog, "cbFriday"),
            Child<QCheckBox>(dialog, "cbSaturday")};
}

// The day boxes Sunday first as "0"/"1" characters, then "+" when Any is checked.
QString ShownDays(const TfmEntry& dialog) {
    QString text;
    for (const QCheckBox* box : DayBoxes(dialog))
        text += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
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
        if (box == nullptr)
            return;
        if (asked != nullptr)
            *asked = box->windowTitle() + QLatin1Char('|') + box->text();
        box->button(button)->click();
    });
}

// Focus moves, and leaves a field, only in the active window.
void Activate(QWidget& window) {
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// Text in a time field with the caret at `Caret`; `Input` typed or pasted there.
struct TFilterRow {
    QString Before;
    int Caret;
    bool Paste;
    QString Input, After;
    int CaretAfter;
};

// The day boxes for a stored WeekDays text, before and after the clicks, and the text
// stored on OK. Boxes are shown Sunday first, "+" when Any is checked; the clicks are day
// numbers, "a" for Any.
struct TDaysRow {
    QString WeekDays, Shown, Clicks, After, Stored;
};

// An entry's retries and commands, and the Problems page as it shows them: the box
// ticked, the spin boxes' texts (or "-" while disabled).
struct TProblemsRow {
    std::int32_t Retries, RetryDelay;
    std::string OnFailure, OnRecovery;
    QStringList Shown;
};

} // namespace

Q_DECLARE_METATYPE(TFilterRow)
Q_DECLARE_METATYPE(TDaysRow)
Q_DECLARE_METATYPE(TProblemsRow)

class TEntryTest : public QObject {
    Q_OBJECT
private slots:
    void TimeFieldFilter_data() {
        QTest::addColumn<TFilterRow>("row");
        QTest::newRow("space typed") << TFilterRow{"", 0, false, "1, 5", "1,5", 3};
        QTest::newRow("star typed mid-list") << TFilterRow{"1,2", 1, false, "*", "*", 1};
        QTest::newRow("step typed after a star") << TFilterRow{"*", 1, false, "/5", "*/5", 3};
        QTest::newRow("junk pasted mid-list") << TFilterRow{"1,9", 2, true, " 3 ,", "1,3,9", 4};
    }

    void TimeFieldFilter() {
        QFETCH(TFilterRow, row);
        TfmEntry dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QLineEdit* edit : TimeEdits(dialog)) {
            edit->setText(row.Before);
            edit->setFocus();
            edit->setCursorPosition(row.Caret);
            if (row.Paste) {
                QGuiApplication::clipboard()->setText(row.Input);
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            } else {
                QTest::keyClicks(edit, row.Input);
            }
            QCOMPARE(edit->text(), row.After);
            QCOMPARE(edit->cursorPosition(), row.CaretAfter);
        }
        // A stored field is shown, and kept, filtered.
        vantle::TSchedule entry = SampleEntry("*");
        entry.Hours = "8 - 17";
        dialog.SetEntry(entry);
        QCOMPARE(dialog.GetEntry().Hours, std::string("8-17"));
    }

    void DayBoxesAndAny_data() {
        QTest::addColumn<TDaysRow>("row");
        const auto row = [](const char* name, const TDaysRow& days) {
            QTest::newRow(name) << days;
        };
        // OK without touching a box keeps the stored text, whatever its spelling.
        row("any", {"*", "1111111+", "", "1111111+", "*"});
        row("no such day", {"10", "0000000", "", "0000000", "10"});
        row("every day as a range", {"0-6", "1111111+", "", "1111111+", "0-6"});
        row("empty", {"", "0000000", "", "0000000", ""});
        // A changed box stores the boxes, and Any stays true to them.
        row("Saturday added to a range", {"1-5", "0111110", "6", "0111111", "1,2,3,4,5,6"});
        row("Tuesday taken from any", {"*", "1111111+", "2", "1101111", "0,1,3,4,5,6"});
        row("any checked", {"1-5", "0111110", "a", "1111111+", "*"});
        row("all cleared", {"1-5", "0111110", "aa", "0000000", ""});
        row("the last day completes the week", {"0-5", "1111110", "6", "1111111+", "*"});
        row("a box clicked back", {"1-5", "0111110", "11", "0111110", "1-5"});
    }

    void DayBoxesAndAny() {
        QFETCH(TDaysRow, row);
        TfmEntry dialog;
        dialog.SetEntry(SampleEntry("3")); // a previous entry's boxes must not linger
        dialog.SetEntry(SampleEntry(row.WeekDays.toStdString()));
        QString shownBefore, shownAfter;
        const int result = ExecWith(dialog, [&] {
            shownBefore = ShownDays(dialog);
            for (QChar click : row.Clicks) {
                QCheckBox* box = click == QLatin1Char('a')
                                     ? Child<QCheckBox>(dialog, "cbAnyDay")
                                     : DayBoxes(dialog)[std::size_t(click.digitValue())];
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            }
            shownAfter = ShownDays(dialog);
            AnswerQuestion(QMessageBox::Yes); // asked when no day is left
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(shownBefore, row.Shown);
        QCOMPARE(shownAfter, row.After);
        QCOMPARE(QString::fromStdString(dialog.GetEntry().WeekDays), row.Stored);
    }

    void OkWithoutChangeGivesTheSameEntry() {
        TfmEntry dialog;
        for (const std::vector<std::string>& comment :
             std::vector<std::vector<std::string>>{{}, {""}, {"a", ""}, {"", "b", ""}}) {
            vantle::TSchedule entry = SampleEntry("1-5");
            entry.Comment = comment;
            dialog.SetEntry(entry);
            ExecWith(dialog, [&] { Child<QPushButton>(dialog, "btnOk")->click(); });
            QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), entry));
        }
        // Lines typed by the user: the break after the last line makes no empty line.
        Child<QPlainTextEdit>(dialog, "memComment")->setPlainText(QStringLiteral("x\ny\n"));
        QCOMPARE(dialog.GetEntry().Comment, (std::vector<std::string>{"x", "y"}));
    }

    // The variables a row each, given back byte for byte when left alone; a pair the file
    // held malformed is refused at Ok, which stays on its row until it is mended.
    void EnvironmentRoundTripsAndOkRefusesAMalformedPair() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.Environment = {"PATH=/opt/backup/bin:/usr/bin", "LATIN=gr\xfc\xdf",
                             "RAW=a\r\nb;\x1a=", "no equals"};
        dialog.SetEntry(entry);
        auto* table = Child<QTableWidget>(dialog, "tvEnvironment");
        QCOMPARE(table->rowCount(), 4);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("PATH"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("gr\u00fc\u00df"));
        QString told;
        int page = -1;
        int row = -1;
        const int result = ExecWith(dialog, [&] {
            Pages(dialog)->setCurrentIndex(0);
            AnswerQuestion(QMessageBox::Ok, &told);
            Child<QPushButton>(dialog, "btnOk")->click();
            page = Pages(dialog)->currentIndex();
            row = table->currentRow();
            Child<QPushButton>(dialog, "btnRemoveVariable")->click();
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(told, QStringLiteral("Vantle Scheduler|The environment's pair 4 has no '=' (a "
                                      "';' in a value is written '\\;')."));
        QCOMPARE(page, 3);
        QCOMPARE(row, 3);
        QCOMPARE(result, int(QDialog::Accepted));
        entry.Environment.pop_back();
        QVERIFY(dialog.GetEntry() == entry);
    }

    void TypedVariableIsCheckedAtOk_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("told"); // empty: taken
        QTest::newRow("taken") << "BACKUP_PASS1"
                               << "x=y;z\\"
                               << "";
        QTest::newRow("digit first") << "9LIVES"
                                     << "7"
                                     << "The environment's pair '9LIVES' has no valid name "
                                        "(letters, digits and _, not starting with a digit).";
        QTest::newRow("blank") << "MY VAR"
                               << "1"
                               << "The environment's pair 'MY VAR' has no valid name (letters, "
                                  "digits and _, not starting with a digit).";
        QTest::newRow("no name") << ""
                                 << "orphan"
                                 << "The environment's pair 1 has no name before its '='.";
        QTest::newRow("NUL") << "KEY" << QStringLiteral("a") + QChar(0) + QStringLiteral("b")
                             << "The environment's value of KEY holds a NUL byte.";
    }

    void TypedVariableIsCheckedAtOk() {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, told);
        TfmEntry dialog;
        dialog.SetNewEntry();
        auto* table = Child<QTableWidget>(dialog, "tvEnvironment");
        QString asked;
        const int result = ExecWith(dialog, [&] {
            Activate(dialog);
            Pages(dialog)->setCurrentIndex(3);
            // Add opens the new row's name for typing; an empty row added gives nothing.
            Child<QPushButton>(dialog, "btnAddVariable")->click();
            Child<QPushButton>(dialog, "btnAddVariable")->click();
            QTest::keyClicks(QApplication::focusWidget(), name);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            table->item(1, 1)->setText(value);
            AnswerQuestion(QMessageBox::Ok, &asked);
            Child<QPushButton>(dialog, "btnOk")->click();
            if (dialog.isVisible())
                dialog.reject();
        });
        if (told.isEmpty()) {
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(dialog.GetEntry().Environment,
                     std::vector<std::string>{(name + QLatin1Char('=') + value).toStdString()});
        } else {
            QCOMPARE(result, int(QDialog::Rejected));
            QCOMPARE(asked, QStringLiteral("Vantle Scheduler|") + told);
            QCOMPARE(table->currentRow(), 1);
        }
    }

    // A long command opens on its program, not scrolled to its end.
    void LongFieldsOpenAtTheirStart() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.Name = std::string(200, 'n');
        entry.Command = "/opt/" + std::string(300, 'x') + "/backup";
        entry.Parms = std::string(300, 'p');
        entry.OnFailure = "/usr/bin/mail " + std::string(300, 'm');
        entry.OnRecovery = "/usr/bin/mail " + std::string(300, 'r');
        dialog.SetEntry(entry);
        for (const char* name :
             {"edName", "edCommand", "edParms", "edWorkDir", "edOnFailure", "edOnRecovery"})
            QVERIFY2(Edit(dialog, name)->cursorPosition() == 0, name);
    }

    // From Name, where the dialog opens, as from within a page: the page without an access
    // key is reached by Ctrl+Tab.
    void CtrlTabSwitchesPagesFromAnywhereInTheDialog() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        QList<int> pages;
        QStringList focused;
        ExecWith(dialog, [&] {
            Activate(dialog);
            for (int i = 0; i < 5; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
                pages << Pages(dialog)->currentIndex();
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                            Qt::ControlModifier | Qt::ShiftModifier);
            pages << Pages(dialog)->currentIndex();
            focused << QApplication::focusWidget()->objectName();
            Pages(dialog)->setCurrentIndex(2);
            Child<QPlainTextEdit>(dialog, "memComment")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            pages << Pages(dialog)->currentIndex();
            focused << QApplication::focusWidget()->objectName();
            dialog.reject();
        });
        QCOMPARE(pages, (QList<int>{1, 2, 3, 4, 0, 4, 3}));
        QCOMPARE(focused, (QStringList{"edName", "cbCatchUp"}));
    }

    // Cron text from a file written by hand: a note under the field says what it reads as,
    // and only its Convert button writes the stored form; Ok alone keeps the text.
    void AFieldReadAsSomethingElseIsConvertedOnlyOnRequest() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.Minutes = "*/15";
        entry.Hours = "*/6";
        dialog.SetEntry(entry);
        QLabel* note = Child<QLabel>(dialog, "lbReadsAsMinutes");
        QPushButton* convert = Child<QPushButton>(dialog, "btnConvertMinutes");
        ExecWith(dialog, [&] {
            QVERIFY(note->isVisibleTo(&dialog));
            QCOMPARE(note->text(), QStringLiteral("Reads as '0'"));
            QVERIFY(!Child<QLabel>(dialog, "lbReadsAsDays")->isVisibleTo(&dialog));
            // Through the field and out of it, unchanged.
            Edit(dialog, "edMinutes")->setFocus();
            QTest::keyClick(Edit(dialog, "edMinutes"), Qt::Key_Tab);
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), entry));
        ExecWith(dialog, [&] {
            convert->click();
            QVERIFY(!note->isVisibleTo(&dialog));
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(QString::fromStdString(dialog.GetEntry().Minutes), QStringLiteral("0,15,30,45"));
        QCOMPARE(QString::fromStdString(dialog.GetEntry().Hours), QStringLiteral("*/6"));
    }

    // The run settings shown and kept as stored, and set by the user as the page reads.
    void SettingsPageShowsKeepsAndSetsTheRunSettings() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.CatchUp = true;
        entry.Overlap = vantle::TOverlap::Skip;
        entry.TimeLimit = vantle::MaxTimeLimit;
        dialog.SetEntry(entry);
        auto* catchUp = Child<QCheckBox>(dialog, "cbCatchUp");
        auto* allow = Child<QRadioButton>(dialog, "rbOverlapAllow");
        auto* skip = Child<QRadioButton>(dialog, "rbOverlapSkip");
        auto* limited = Child<QCheckBox>(dialog, "cbTimeLimit");
        auto* limit = Child<QSpinBox>(dialog, "seTimeLimit");
        const auto shown = [&] {
            return QStringList{QString::number(catchUp->isChecked()),
                               QString::number(skip->isChecked()),
                               limit->isEnabled() ? limit->text() : QStringLiteral("-")};
        };
        QStringList opened;
        ExecWith(dialog, [&] {
            opened = shown();
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(opened, (QStringList{"1", "1", QString::number(vantle::MaxTimeLimit)}));
        QVERIFY(dialog.GetEntry() == entry);
        // Add starts from the defaults; the user's clicks and keys give the fields.
        dialog.SetNewEntry();
        QCOMPARE(shown(), (QStringList{"0", "0", "-"}));
        QCOMPARE(limit->value(), 60); // an hour offered, not the limit loaded before
        QVERIFY(allow->isChecked());
        ExecWith(dialog, [&] {
            Activate(dialog);
            Pages(dialog)->setCurrentIndex(3);
            QTest::mouseClick(catchUp, Qt::LeftButton, {}, QPoint(6, catchUp->height() / 2));
            QTest::mouseClick(skip, Qt::LeftButton, {}, QPoint(6, skip->height() / 2));
            QTest::mouseClick(limited, Qt::LeftButton, {}, QPoint(6, limited->height() / 2));
            limit->setFocus();
            limit->selectAll();
            QTest::keyClicks(limit, "90");
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        vantle::TSchedule got = dialog.GetEntry();
        QCOMPARE(got.CatchUp, true);
        QVERIFY(got.Overlap == vantle::TOverlap::Skip);
        QCOMPARE(got.TimeLimit, 90);
        // Unticking the limit means none, whatever the box still shows.
        limited->setChecked(false);
        QCOMPARE(dialog.GetEntry().TimeLimit, 0);
    }

    // As a user of the keyboard sets a limit: the page's key, the box's key, Tab into
    // the minutes, select all and type. The box kept 60.
    void TimeLimitIsSetByKeyboard() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        ExecWith(dialog, [&] {
            Activate(dialog);
            const auto type = [](int key, Qt::KeyboardModifiers modifiers = {}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
            };
            type(Qt::Key_G, Qt::AltModifier); // Settin&gs
            type(Qt::Key_S, Qt::AltModifier); // &Stop the program after
            type(Qt::Key_Tab);
            type(Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), "120");
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(dialog.GetEntry().TimeLimit, 120);
    }

    void ProblemsPageShowsAndKeepsTheEntry_data() {
        QTest::addColumn<TProblemsRow>("row");
        QTest::newRow("no retries")
            << TProblemsRow{0, vantle::DefaultRetryDelay, "", "", {"0", "-", "-"}};
        QTest::newRow("three retries ten minutes apart")
            << TProblemsRow{3, 10, "", "", {"1", "3", "10"}};
        // A delay the file gives without retries is kept for when they come back.
        QTest::newRow("a delay without retries") << TProblemsRow{0, 10, "", "", {"0", "-", "-"}};
        QTest::newRow("commands with quotes, codes and a byte of another encoding")
            << TProblemsRow{vantle::MaxRetries,
                            vantle::MaxTimeLimit,
                            R"(notify-send "Backup failed" 'on $N at $D(yyyy-mm-dd)')",
                            "/opt/my\\ tools/ok.sh --entry=\"$N\" caf\xe9",
                            {"1", "100", QString::number(vantle::MaxTimeLimit)}};
    }

    // Ok without a change gives every field back byte for byte, the delay too when the
    // box is not ticked.
    void ProblemsPageShowsAndKeepsTheEntry() {
        QFETCH(TProblemsRow, row);
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.Retries = row.Retries;
        entry.RetryDelay = row.RetryDelay;
        entry.OnFailure = row.OnFailure;
        entry.OnRecovery = row.OnRecovery;
        dialog.SetEntry(entry);
        QStringList shown;
        ExecWith(dialog, [&] {
            Pages(dialog)->setCurrentIndex(4);
            shown << QString::number(Child<QCheckBox>(dialog, "cbRetries")->isChecked());
            for (const char* name : {"seRetries", "seRetryDelay"}) {
                auto* box = Child<QSpinBox>(dialog, name);
                shown << (box->isEnabled() ? box->text() : QStringLiteral("-"));
            }
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(shown, row.Shown);
        QVERIFY(dialog.GetEntry() == entry);
    }

    // The page's key, the box's key (ticked at once, so Tab finds the spin boxes), Tab
    // through every control to Ok and Shift+Tab back; unticked, the retries are none and
    // the delay stays as typed.
    void ProblemsPageIsSetByKeyboard() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        QStringList met;
        ExecWith(dialog, [&] {
            Activate(dialog);
            // Once a stray key has closed the dialog, the keys go to it and do nothing.
            const auto focused = [&] {
                QWidget* focus = QApplication::focusWidget();
                return focus != nullptr ? focus : &dialog;
            };
            const auto type = [&](int key, Qt::KeyboardModifiers modifiers = {}) {
                QTest::keyClick(focused(), Qt::Key(key), modifiers);
                met << focused()->objectName();
            };
            const auto replace = [&](const char* text) {
                QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(focused(), text);
            };
            // The page has no access key (no letter of its name is free): Ctrl+Tab from
            // the page before it.
            QTest::keyClick(focused(), Qt::Key_G, Qt::AltModifier);
            QTest::keyClick(focused(), Qt::Key_Tab, Qt::ControlModifier);
            type(Qt::Key_T, Qt::AltModifier); // &Try again up to
            type(Qt::Key_Tab);
            replace("4");
            type(Qt::Key_Tab);
            replace("15");
            type(Qt::Key_Tab);
            replace("36");
            type(Qt::Key_Tab);
            QTest::keyClicks(focused(), R"(mail -s "$N failed" ann)");
            type(Qt::Key_Tab);
            QTest::keyClicks(focused(), "true");
            type(Qt::Key_Tab);
            for (int back = 0; back < 6; ++back)
                type(Qt::Key_Tab, Qt::ShiftModifier);
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(met,
                 (QStringList{"cbRetries", "seRetries", "seRetryDelay", "seAlertAfter",
                              "edOnFailure", "edOnRecovery", "btnOk", "edOnRecovery", "edOnFailure",
                              "seAlertAfter", "seRetryDelay", "seRetries", "cbRetries"}));
        vantle::TSchedule got = dialog.GetEntry();
        QCOMPARE(got.Retries, 4);
        QCOMPARE(got.RetryDelay, 15);
        QCOMPARE(got.AlertAfter, 36);
        QCOMPARE(got.OnFailure, std::string(R"(mail -s "$N failed" ann)"));
        QCOMPARE(got.OnRecovery, std::string("true"));
        auto* retried = Child<QCheckBox>(dialog, "cbRetries");
        retried->setChecked(false);
        QVERIFY(!Child<QSpinBox>(dialog, "seRetries")->isEnabled());
        QVERIFY(!Child<QSpinBox>(dialog, "seRetryDelay")->isEnabled());
        QCOMPARE(dialog.GetEntry().Retries, 0);
        QCOMPARE(dialog.GetEntry().RetryDelay, 15);
        // Add starts from the defaults again.
        dialog.SetNewEntry();
        got = dialog.GetEntry();
        const vantle::TSchedule fresh;
        QVERIFY(got.Retries == fresh.Retries && got.RetryDelay == fresh.RetryDelay &&
                got.OnFailure.empty() && got.OnRecovery.empty() && got.AlertAfter == 0);
    }

    // The conditions a run waits for, its wait limit, the start-up run and the overdue
    // alarm: shown and kept as stored, at their largest; set from the keyboard, each by
    // its own access key.
    void WaitsStartUpAndAlarmShowKeepAndSet() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.OnlyOnACPower = true;
        entry.OnlyWithNetwork = true;
        entry.WaitLimit = vantle::MaxTimeLimit;
        entry.AtStart = true;
        entry.AlertAfter = vantle::MaxAlertAfter;
        dialog.SetEntry(entry);
        auto* mains = Child<QCheckBox>(dialog, "cbOnlyOnACPower");
        auto* network = Child<QCheckBox>(dialog, "cbOnlyWithNetwork");
        auto* waitLimit = Child<QSpinBox>(dialog, "seWaitLimit");
        auto* atStart = Child<QCheckBox>(dialog, "cbAtStart");
        auto* alertAfter = Child<QSpinBox>(dialog, "seAlertAfter");
        // The boxes ticked, the spin boxes' texts ("-" while disabled).
        const auto shown = [&] {
            return QStringList{QString::number(mains->isChecked()),
                               QString::number(network->isChecked()),
                               waitLimit->isEnabled() ? waitLimit->text() : QStringLiteral("-"),
                               QString::number(atStart->isChecked()), alertAfter->text()};
        };
        QStringList opened;
        ExecWith(dialog, [&] {
            opened = shown();
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(opened, (QStringList{"1", "1", QString::number(vantle::MaxTimeLimit) + " min", "1",
                                      QString::number(vantle::MaxAlertAfter) + " h"}));
        QVERIFY(dialog.GetEntry() == entry);
        // Either condition lets the limit be set; the defaults say what 0 means.
        dialog.SetNewEntry();
        QCOMPARE(shown(), (QStringList{"0", "0", "-", "0", "never"}));
        network->setChecked(true);
        QCOMPARE(waitLimit->text(), QStringLiteral("no limit"));
        network->setChecked(false);
        ExecWith(dialog, [&] {
            Activate(dialog);
            const auto type = [](int key, Qt::KeyboardModifiers modifiers = {}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
            };
            const auto replace = [&](const char* text) {
                type(Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(QApplication::focusWidget(), text);
            };
            type(Qt::Key_G, Qt::AltModifier); // Settin&gs
            type(Qt::Key_Y, Qt::AltModifier); // Onl&y on AC power, ticked at once
            type(Qt::Key_V, Qt::AltModifier); // Gi&ve up waiting after
            replace("45");
            type(Qt::Key_U, Qt::AltModifier); // Also run at start-&up
            type(Qt::Key_Tab, Qt::ControlModifier);
            type(Qt::Key_A, Qt::AltModifier); // &Alert when no good run for
            replace("48");
            QTest::qWait(300); // no click of the box's own comes later to untick it
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        const vantle::TSchedule got = dialog.GetEntry();
        QCOMPARE(QList<int>({got.OnlyOnACPower, got.OnlyWithNetwork, got.WaitLimit, got.AtStart,
                             got.AlertAfter}),
                 QList<int>({1, 0, 45, 1, 48}));
    }

    void BuiltinTypeGreysOperationFieldsAndKeepsTexts() {
        TfmEntry dialog;
        dialog.SetEntry(SampleEntry("*")); // DOS Command
        const std::array<QWidget*, 4> fields{Edit(dialog, "edCommand"), Edit(dialog, "edParms"),
                                             Edit(dialog, "edWorkDir"),
                                             Child<QComboBox>(dialog, "cbWindowState")};
        QComboBox* type = Child<QComboBox>(dialog, "cbOpType");
        QList<int> enabled; // fields enabled: before, after Builtin; reopened, after another type
        const auto count = [&] {
            enabled << int(std::count_if(fields.begin(), fields.end(),
                                         [](QWidget* field) { return field->isEnabled(); }));
        };
        ExecWith(dialog, [&] {
            count();
            Pages(dialog)->setCurrentIndex(1);
            type->setFocus();
            QTest::keyClick(type, Qt::Key_Down); // Direct Execute
            QTest::keyClick(type, Qt::Key_Down); // Builtin
            count();
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        vantle::TSchedule expected = SampleEntry("*");
        expected.CommandType = vantle::ctBuiltinResetTime;
        QVERIFY(!vantle::EntriesDiffer(dialog.GetEntry(), expected));
        // Opened again for the built-in entry: greyed from the start; another type restores.
        dialog.SetEntry(expected);
        ExecWith(dialog, [&] {
            count();
            QTest::keyClick(type, Qt::Key_Up);
            count();
            Child<QPushButton>(dialog, "btnCancel")->click();
        });
        QCOMPARE(enabled, QList<int>({4, 0, 0, 4}));
    }

    // The fields take the page's width and the warning lines up under the program's; Normal
    // picked for an entry run maximized is saved.
    void OperationPageLinesUpAndSavesTheRunState() {
        TfmEntry dialog;
        vantle::TSchedule entry = SampleEntry("*");
        entry.WinState = vantle::wsMaximized;
        entry.Command = "/no/such/program";
        dialog.SetEntry(entry);
        QList<int> edges; // the page's, the program's and the warning's: left and right
        ExecWith(dialog, [&] {
            Pages(dialog)->setCurrentIndex(1);
            QApplication::processEvents();
            const QRect room = Pages(dialog)->currentWidget()->layout()->contentsRect();
            for (const QRect& box : {room, Edit(dialog, "edCommand")->geometry(),
                                     Child<QLabel>(dialog, "lbCommandWarning")->geometry()})
                edges << box.left() << box.right();
            auto* state = Child<QComboBox>(dialog, "cbWindowState");
            state->setFocus();
            QTest::keyClick(state, Qt::Key_Home);
            Child<QPushButton>(dialog, "btnOk")->click();
        });
        QCOMPARE(edges.mid(2, 2), edges.mid(0, 2));
        QCOMPARE(edges.mid(4, 2), edges.mid(0, 2));
        QCOMPARE(dialog.GetEntry().WinState, std::uint8_t(vantle::wsNormal));
    }

    // A program the start would not find is told under the field while the user types;
    // a program that is there, a field not yet filled and a built-in operation are not.
    void CommandWarningFollowsTheFields() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        auto* warning = Child<QLabel>(dialog, "lbCommandWarning");
        const auto shown = [&] { return warning->isHidden() ? QString() : warning->text(); };
        QCOMPARE(shown(), QString());
        QTest::keyClicks(Edit(dialog, "edCommand"), "/no/such/program");
        QCOMPARE(shown(), QString("Cannot start: file not found (2)"));
        Edit(dialog, "edCommand")->setText("sh");
        QCOMPARE(shown(), QString());
        // Looked for in the PATH the entry sets, as soon as it is set.
        auto* table = Child<QTableWidget>(dialog, "tvEnvironment");
        Child<QPushButton>(dialog, "btnAddVariable")->click();
        table->item(0, 1)->setText(QStringLiteral("/no/such/folder"));
        table->item(0, 0)->setText(QStringLiteral("PATH"));
        QCOMPARE(shown(), QString("Cannot start: file not found (2)"));
        table->item(0, 1)->setText(QStringLiteral("/no/such/folder:$V[PATH]"));
        QCOMPARE(shown(), QString());
        table->item(0, 1)->setText(QStringLiteral("/no/such/folder"));
        Child<QPushButton>(dialog, "btnRemoveVariable")->click();
        QCOMPARE(shown(), QString());
        // A "~" is no shell's: said with what to write instead, while the user types.
        QTest::keyClicks(Edit(dialog, "edParms"), "-a ~/Documents/");
        QCOMPARE(shown(), QString("The parameter '~/Documents/' starts with '~', which no shell "
                                  "expands here: write '$V[HOME]/Documents/'"));
        Edit(dialog, "edParms")->clear();
        QTest::keyClicks(Edit(dialog, "edWorkDir"), "/no/such/folder");
        QCOMPARE(shown(), QString("Cannot start: path not found (3)"));
        vantle::TSchedule builtin = SampleEntry("*");
        builtin.CommandType = vantle::ctBuiltinResetTime;
        builtin.Command = "/no/such/program";
        dialog.SetEntry(builtin);
        QCOMPARE(shown(), QString());
    }

    void LeavingAFieldStoresItsCronForm() {
        // Each field reads the text as its own kind; the forms themselves are the input
        // conversion's own tests.
        const QStringList typed{"*/5", "*/6", "*/10", "JUN-Aug"};
        const QStringList stored{"0,5,10,15,20,25,30,35,40,45,50,55", "0,6,12,18", "1,11,21,31",
                                 "6-8"};
        TfmEntry dialog;
        dialog.SetNewEntry();
        QStringList shownAfter;
        const int result = ExecWith(dialog, [&] {
            Activate(dialog);
            for (std::size_t field = 0; field < 4; ++field) {
                QLineEdit* edit = TimeEdits(dialog)[field];
                edit->setFocus();
                edit->clear();
                QTest::keyClicks(edit, typed[int(field)]);
                QTest::keyClick(edit, Qt::Key_Tab);
                shownAfter << edit->text();
            }
            // Enter stores every cron form typed too, though only its own field had the focus.
            for (std::size_t field = 0; field < 4; ++field) {
                TimeEdits(dialog)[field]->clear();
                QTest::keyClicks(TimeEdits(dialog)[field], typed[int(field)]);
            }
            QTest::keyClick(TimeEdits(dialog)[0], Qt::Key_Return);
        });
        QCOMPARE(shownAfter, stored);
        QCOMPARE(result, int(QDialog::Accepted));
        const vantle::TSchedule entry = dialog.GetEntry();
        QCOMPARE(QString::fromStdString(entry.Minutes + ' ' + entry.Hours + ' ' + entry.Days + ' ' +
                                        entry.Months),
                 stored.join(QLatin1Char(' ')));
    }

    // The preview follows the entry opened, the keys and the day boxes; OK on an entry
    // that never runs asks first.
    void PreviewAnswersWhenItRuns() {
        vantle::test::TFakeClock clock(46362.5); // Sunday 6 December 2026, noon
        const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, &settings);
        dialog.SetEntry(
            *vantle::test::EntryOf({"Entry", "30 * * * *", true, vantle::ctDirectExecute,
                                    vantle::wsNormal, "true", "", ""}));
        QLabel* next = Child<QLabel>(dialog, "lbNextRuns");
        QLabel* notes = Child<QLabel>(dialog, "lbTimeNotes");
        QStringList seen; // the preview, then " | " and the notes when shown, " !" in red
        const auto see = [&] {
            const bool red = next->palette().color(QPalette::WindowText) !=
                             QApplication::palette(next).color(QPalette::WindowText);
            seen << next->text() + (notes->isVisibleTo(&dialog) ? " | " + notes->text() : "") +
                        (red ? " !" : "");
        };
        const auto type = [&](const char* name, const char* text) {
            Edit(dialog, name)->setFocus();
            Edit(dialog, name)->clear();
            QTest::keyClicks(Edit(dialog, name), text);
        };
        QString asked;
        bool openAfterNo = false;
        see();
        ExecWith(dialog, [&] {
            Activate(dialog);
            type("edMinutes", "*/30");
            see();
            type("edHours", "3O");
            see();
            type("edHours", "25");
            see();
            AnswerQuestion(QMessageBox::No, &asked);
            Child<QPushButton>(dialog, "btnOk")->click();
            openAfterNo = dialog.isVisible();
            QTest::keyClick(Edit(dialog, "edHours"), Qt::Key_Backspace);
            Child<QCheckBox>(dialog, "cbAnyDay")->click(); // no day, and then Friday alone
            Child<QCheckBox>(dialog, "cbFriday")->click();
            see();
            type("edMonths", "2");
            type("edDays", "29");
            see();
            dialog.reject();
        });
        QCOMPARE(seen, (QStringList{
                           // In the windows' format, the weekday first; the date once a
                           // day, the year again only where it changes.
                           "Next: Sun 12/6/2026 12:30 PM, 1:30 PM, 2:30 PM",
                           "Next: Sun 12/6/2026 12:30 PM, 1:00 PM, 1:30 PM",
                           "Next: Mon 12/7/2026 12:00 AM, 12:30 AM, Tue 12/8 12:00 AM | "
                           "Hours '3O': item '3O' reads as 0",
                           "Never runs: Hours '25' matches no hour (0 to 23) !",
                           "Next: Fri 12/11/2026 2:00 AM, 2:30 AM, Fri 12/18 2:00 AM",
                           "Next: Fri 2/29/2036 2:00 AM, 2:30 AM, Fri 2/29/2064 2:00 AM",
                       }));
        QCOMPARE(asked,
                 QStringLiteral("Vantle Scheduler|This entry will never run. Save it anyway?"));
        QVERIFY(openAfterNo);
    }

    // An entry whose time never comes but that runs at start-up is no mistake: the
    // preview says so in the normal colour and Ok asks nothing; without it, it is one.
    void AnEntryThatRunsAtStartUpOnlyIsNoMistake() {
        vantle::test::TFakeClock clock(46362.5);
        const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, &settings);
        vantle::TSchedule entry =
            *vantle::test::EntryOf({"Boot", "0 0 30 2 *", true, vantle::ctDirectExecute,
                                    vantle::wsNormal, "true", "", ""});
        entry.AtStart = true;
        dialog.SetEntry(entry);
        QLabel* next = Child<QLabel>(dialog, "lbNextRuns");
        const auto red = [&] {
            return next->palette().color(QPalette::WindowText) !=
                   QApplication::palette(next).color(QPalette::WindowText);
        };
        QCOMPARE(next->text(), QStringLiteral("Runs at start-up only"));
        QVERIFY(!red());
        QString asked;
        QCOMPARE(ExecWith(dialog,
                          [&] {
                              AnswerQuestion(QMessageBox::No, &asked);
                              Child<QPushButton>(dialog, "btnOk")->click();
                          }),
                 int(QDialog::Accepted));
        QCOMPARE(asked, QString());
        QVERIFY(dialog.GetEntry() == entry);
        Child<QCheckBox>(dialog, "cbAtStart")->click();
        QVERIFY(next->text().startsWith(QStringLiteral("Never runs: ")));
        QVERIFY(red());
        ExecWith(dialog, [&] {
            AnswerQuestion(QMessageBox::No, &asked);
            Child<QPushButton>(dialog, "btnOk")->click();
            dialog.reject();
        });
        QCOMPARE(asked,
                 QStringLiteral("Vantle Scheduler|This entry will never run. Save it anyway?"));
    }

    // Three runs on three days of one year, at their widest (two-digit months, days and
    // hours, in the evening of a 12-hour clock), fit the dialog whole: nothing cut short
    // behind "…" and a tooltip.
    void PreviewOfThreeDaysIsWhole() {
        vantle::test::TFakeClock clock(vantle::EncodeDate(2026, 12, 27) +
                                       vantle::EncodeTime(23, 0, 0, 0));
        const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, &settings);
        dialog.SetEntry(
            *vantle::test::EntryOf({"Entry", "58 22 * * *", true, vantle::ctDirectExecute,
                                    vantle::wsNormal, "true", "", ""}));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLabel* next = Child<QLabel>(dialog, "lbNextRuns");
        QCOMPARE(next->text(),
                 QString("Next: Mon 12/28/2026 10:58 PM, Tue 12/29 10:58 PM, Wed 12/30 10:58 PM"));
        QVERIFY(next->toolTip().isEmpty());
    }

    // Five notes and a long reason: the notes keep three lines and say how many more there
    // are, and no control on any page is squeezed below the size it asks for or laid over
    // another; the notes stay between the fields and the days.
    void PreviewWarningsNeverCrushTheDialog() {
        vantle::test::TFakeClock clock(46362.5);
        const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
        TfmEntry dialog;
        dialog.SetPreviewServices(&clock, &settings);
        dialog.SetNewEntry();
        Edit(dialog, "edMinutes")->setText("x-y");
        Edit(dialog, "edHours")->setText("8-l8");
        Edit(dialog, "edDays")->setText("mon-fri");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* notes = Child<QLabel>(dialog, "lbTimeNotes");
        const QStringList lines = notes->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.last(), QStringLiteral("and 2 more"));
        QCOMPARE(notes->toolTip().count(QLatin1Char('\n')), 4); // all five notes
        QVERIFY(notes->toolTip().endsWith(QStringLiteral("'fri' of 'mon-fri' reads as 0")));
        QVERIFY(Child<QCheckBox>(dialog, "cbAnyDay")->parentWidget()->y() >
                notes->geometry().bottom());
        for (int page = 0; page < Pages(dialog)->count(); ++page) {
            Pages(dialog)->setCurrentIndex(page);
            QApplication::processEvents();
            const QList<QWidget*> placed =
                Pages(dialog)->widget(page)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (QWidget* one : placed)
                for (QWidget* other : placed)
                    if (one != other && one->isVisible() && other->isVisible())
                        QVERIFY2(!one->geometry().intersects(other->geometry()),
                                 qPrintable(QStringLiteral("%1 over %2 on page %3")
                                                .arg(one->metaObject()->className(),
                                                     other->metaObject()->className())
                                                .arg(page)));
            for (QWidget* widget : dialog.findChildren<QWidget*>()) {
                // Text that would be cut needs the width too; a field scrolls its text.
                const bool captioned =
                    qobject_cast<QAbstractButton*>(widget) || qobject_cast<QGroupBox*>(widget) ||
                    qobject_cast<QComboBox*>(widget) ||
                    (qobject_cast<QLabel*>(widget) && qobject_cast<QLabel*>(widget)->buddy());
                const bool sized = captioned || qobject_cast<QLabel*>(widget) ||
                                   qobject_cast<QLineEdit*>(widget) ||
                                   qobject_cast<QSpinBox*>(widget);
                QWidget* owner = widget->parentWidget();
                const bool inner = qobject_cast<QTabBar*>(owner) ||
                                   qobject_cast<QAbstractSpinBox*>(owner) ||
                                   qobject_cast<QComboBox*>(owner);
                if (!sized || inner || !widget->isVisible())
                    continue;
                const QSize hint = widget->sizeHint();
                const QString what = widget->objectName() + QLatin1Char(' ') +
                                     widget->metaObject()->className() + QLatin1Char(' ') +
                                     QString::number(page);
                QVERIFY2(widget->height() >= hint.height(), qPrintable(what));
                QVERIFY2(!captioned || widget->width() >= hint.width(), qPrintable(what));
            }
        }
    }

    void TabVisitsEveryControlInTheDesignedOrder_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("Schedule") << 0 << QStringList{"edMinutes",   "edHours",    "edDays",
                                                      "edMonths",    "cbActive",   "cbAnyDay",
                                                      "cbSunday",    "cbMonday",   "cbTuesday",
                                                      "cbWednesday", "cbThursday", "cbFriday",
                                                      "cbSaturday"};
        QTest::newRow("Operation")
            << 1 << QStringList{"cbOpType", "cbWindowState", "edCommand", "edParms", "edWorkDir"};
        QTest::newRow("Comment") << 2 << QStringList{"memComment"};
        // The spin box waits for its check box; of the two choices Tab visits the one set.
        // Remove waits for a variable to remove.
        QTest::newRow("Settings") << 3 << QStringList{"cbCatchUp",       "cbAtStart",
                                                      "rbOverlapAllow",  "cbTimeLimit",
                                                      "cbOnlyOnACPower", "cbOnlyWithNetwork",
                                                      "tvEnvironment",   "btnAddVariable"};
        QTest::newRow("Problems") << 4
                                  << QStringList{"cbRetries", "seAlertAfter", "edOnFailure",
                                                 "edOnRecovery"};
    }

    void TabVisitsEveryControlInTheDesignedOrder() {
        QFETCH(int, page);
        QFETCH(QStringList, controls);
        TfmEntry dialog;
        dialog.SetNewEntry();
        const QStringList expected = QStringList{"edName", "tab bar"} + controls +
                                     QStringList{"btnOk", "btnCancel", "edName"};
        Pages(dialog)->tabBar()->setObjectName(QStringLiteral("tab bar"));
        // The focus names met from edName on, pressing Tab once for each expected step; the
        // chain is the dialog's tab order, so Shift+Tab walks it back by itself.
        QStringList met;
        ExecWith(dialog, [&] {
            Activate(dialog);
            Pages(dialog)->setCurrentIndex(page);
            Edit(dialog, "edName")->setFocus();
            met << QApplication::focusWidget()->objectName();
            while (met.size() < expected.size()) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                met << QApplication::focusWidget()->objectName();
            }
            dialog.reject();
        });
        QCOMPARE(met, expected);
    }

    // Unique among the controls outside the pages (name, tab captions, Ok, Cancel) together
    // with any one page: only one page is on screen, so pages may share keys with each other.
    void AccessKeysAreUniquePerPage() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        QTabWidget* pages = Pages(dialog);
        QStringList outside;
        for (int tab = 0; tab < pages->count(); ++tab)
            outside << pages->tabText(tab);
        std::vector<QStringList> onPage(std::size_t(pages->count()));
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            QString caption;
            if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
                caption = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                caption = button->text();
            else if (auto* group = qobject_cast<QGroupBox*>(widget))
                caption = group->title();
            if (caption.isEmpty())
                continue; // the tab bar's scroll arrows, for one
            int page = pages->count() - 1;
            while (page >= 0 && !pages->widget(page)->isAncestorOf(widget))
                --page;
            (page < 0 ? outside : onPage[std::size_t(page)]) << caption;
        }
        QCOMPARE(outside.size(), pages->count() + 3); // Name, Ok and Cancel
        for (const QStringList& captions : onPage) {
            const QString clash = vantle::test::AccessKeyClash(outside + captions);
            QVERIFY2(clash.isEmpty(), qPrintable(clash));
        }
    }

    void AccessKeysActAndReopeningStartsAtName() {
        TfmEntry dialog;
        dialog.SetNewEntry();
        // Alt+P opens the Operation page, Alt+O presses OK.
        int page = -1;
        int result = ExecWith(dialog, [&] {
            Activate(dialog);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
            page = Pages(dialog)->currentIndex();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        });
        QCOMPARE(page, 1);
        QCOMPARE(result, int(QDialog::Accepted));
        // Opened again, it shows the first page with the focus in Name.
        QWidget* focus = nullptr;
        ExecWith(dialog, [&] {
            page = Pages(dialog)->currentIndex();
            focus = dialog.focusWidget();
            dialog.reject();
        });
        QCOMPARE(page, 0);
        QCOMPARE(focus, static_cast<QWidget*>(Edit(dialog, "edName")));
        // In Modify too, a page's key takes the focus into the page: what is typed next
        // goes there, not over the entry's name.
        dialog.SetEntry(SampleEntry("*"));
        QStringList focused;
        ExecWith(dialog, [&] {
            Activate(dialog);
            for (Qt::Key key : {Qt::Key_E, Qt::Key_G, Qt::Key_P, Qt::Key_L}) {
                QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
                focused << QApplication::focusWidget()->objectName();
            }
            QTest::keyClicks(QApplication::focusWidget(), "7");
            dialog.reject();
        });
        QCOMPARE(focused, QStringList({"memComment", "cbCatchUp", "cbOpType", "edMinutes"}));
        QCOMPARE(Edit(dialog, "edName")->text(), QString::fromStdString(SampleEntry("*").Name));
    }
};

QTEST_MAIN(TEntryTest)
#include "EntryTest.moc"
