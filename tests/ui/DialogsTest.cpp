// The log viewer and the About box, shown modally as the main window shows them.
#include "support/ModalDriver.h"
#include "ui/About.h"
#include "ui/FindChild.h"
#include "ui/ViewLog.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

using namespace vantle;

namespace {

using vantle::test::Child;
using vantle::test::ExecWith;

std::vector<std::string> LogLines(int count, const std::string& last) {
    std::vector<std::string> lines;
    for (int i = 1; i < count; ++i)
        lines.push_back("2026.01.02 03.04.05:Executing job " + std::to_string(i));
    lines.push_back(last);
    return lines;
}

struct TViewState {
    int vertical = -1, verticalMaximum = -1, selectionStart = -1, selectionEnd = -1;
    bool lastLineVisible = false;
};

TViewState ViewState(const TfmViewLog& viewer) {
    TViewState state;
    const QScrollBar* bar = Child<QPlainTextEdit>(viewer, "memLog")->verticalScrollBar();
    state.vertical = bar->value();
    state.verticalMaximum = bar->maximum();
    const QTextCursor cursor = Child<QPlainTextEdit>(viewer, "memLog")->textCursor();
    state.selectionStart = cursor.selectionStart();
    state.selectionEnd = cursor.selectionEnd();
    state.lastLineVisible =
        Child<QPlainTextEdit>(viewer, "memLog")
            ->viewport()
            ->rect()
            .contains(Child<QPlainTextEdit>(viewer, "memLog")->cursorRect(cursor).center());
    return state;
}

} // namespace

class TDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void ViewerOpensAtTheEnd_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("column"); // where in the last line the selection starts

        QTest::newRow("empty log") << 0 << "" << 0;
        QTest::newRow("three lines") << 3 << "2026.01.02 03.04.05:Log file reset" << 3;
        QTest::newRow("long log") << 2000 << "2026.01.02 03.04.05:Log file reset" << 3;
        QTest::newRow("short last line") << 2000 << "ab" << 2;
    }

    void ViewerOpensAtTheEnd() {
        QFETCH(int, count);
        QFETCH(QString, last);
        QFETCH(int, column);

        TfmViewLog viewer;
        viewer.SetLines(count == 0 ? std::vector<std::string>{}
                                   : LogLines(count, last.toStdString()));
        TViewState state;
        const int result = ExecWith(viewer, [&] {
            QTest::qWait(50); // let the first layout pass settle the scroll bars
            state = ViewState(viewer);
            Child<QPushButton>(viewer, "btnOk")->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(state.vertical, state.verticalMaximum);
        if (count > 20) {
            QVERIFY(state.verticalMaximum > 0);
        }
        const QString text = Child<QPlainTextEdit>(viewer, "memLog")->toPlainText();
        const int lastLineStart = count == 0 ? 0 : int(text.lastIndexOf(QLatin1Char('\n')) + 1);
        QCOMPARE(state.selectionStart, lastLineStart + column);
        QCOMPARE(state.selectionEnd, std::min(lastLineStart + column + 1, int(text.size())));
        QVERIFY(state.lastLineVisible);
    }

    void ViewerGoesToTheEndEachTimeItBecomesActive() {
        TfmViewLog viewer;
        viewer.SetLines(LogLines(2000, "2026.01.02 03.04.05:Log file reset"));
        QWidget other;
        TViewState state;
        const int result = ExecWith(viewer, [&] {
            QTest::qWait(50);
            Child<QPlainTextEdit>(viewer, "memLog")->moveCursor(QTextCursor::Start);
            Child<QPlainTextEdit>(viewer, "memLog")->verticalScrollBar()->setValue(0);
            other.show();
            QApplication::setActiveWindow(&other);
            QVERIFY(QTest::qWaitForWindowActive(&other));
            QApplication::setActiveWindow(&viewer);
            QVERIFY(QTest::qWaitForWindowActive(&viewer));
            state = ViewState(viewer);
            Child<QPushButton>(viewer, "btnOk")->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(state.verticalMaximum > 0);
        QCOMPARE(state.vertical, state.verticalMaximum);
        QVERIFY(state.lastLineVisible);
    }

    void ViewerClosesWithOkOnEnterAndEsc() {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            TfmViewLog viewer;
            viewer.SetLines(LogLines(3, "last"));
            QCOMPARE(ExecWith(viewer,
                              [&] {
                                  Child<QPlainTextEdit>(viewer, "memLog")->setFocus();
                                  QTest::keyClick(Child<QPlainTextEdit>(viewer, "memLog"), key);
                              }),
                     int(QDialog::Accepted));
        }
    }

    void ViewerRejectsEditingAndDoesNotWrap() {
        TfmViewLog viewer;
        const std::string wide(600, 'w');
        viewer.SetLines({"one", wide, "three"});
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        const QString before = Child<QPlainTextEdit>(viewer, "memLog")->toPlainText();

        Child<QPlainTextEdit>(viewer, "memLog")->setFocus();
        QTest::keyClicks(Child<QPlainTextEdit>(viewer, "memLog"), QStringLiteral("typed"));
        QTest::keyClick(Child<QPlainTextEdit>(viewer, "memLog"), Qt::Key_Backspace);
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        QTest::keyClick(Child<QPlainTextEdit>(viewer, "memLog"), Qt::Key_V, Qt::ControlModifier);
        Child<QPlainTextEdit>(viewer, "memLog")->selectAll();
        QTest::keyClick(Child<QPlainTextEdit>(viewer, "memLog"), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(Child<QPlainTextEdit>(viewer, "memLog")->toPlainText(), before);

        QGuiApplication::clipboard()->clear();
        QTest::keyClick(Child<QPlainTextEdit>(viewer, "memLog"), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), before);

        QCOMPARE(Child<QPlainTextEdit>(viewer, "memLog")->document()->lineCount(), 3);
        QVERIFY(Child<QPlainTextEdit>(viewer, "memLog")->horizontalScrollBar()->maximum() > 0);
    }

    void FileNameLabelFollowsTheWindow() {
        TfmViewLog viewer;
        Child<QLabel>(viewer, "lbLogFileName")
            ->setText(QStringLiteral("/opt/vantle/") + QString(300, QLatin1Char('n')) +
                      QStringLiteral("/vantle-scheduler.LOG"));
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QVERIFY(viewer.width() < 600); // a long name does not widen the window
        const int narrow = Child<QLabel>(viewer, "lbLogFileName")->width();
        viewer.resize(viewer.width() + 200, viewer.height());
        QTRY_COMPARE(Child<QLabel>(viewer, "lbLogFileName")->width(), narrow + 200);
        const QRect button = Child<QPushButton>(viewer, "btnOk")->geometry();
        QVERIFY(qAbs(button.center().x() - viewer.width() / 2) <= 1);
    }

    void AboutShowsNameAndVersionAndClosesOnEnter() {
        TfmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("Vantle Program Scheduler")));
        QVERIFY(texts.contains(QStringLiteral("Version 1.0.0.12")));
        QCOMPARE(Child<QPushButton>(about, "btnOk")->text(), QStringLiteral("OK"));
        // The program's own icon, in every size a desktop asks for.
        QCOMPARE(about.windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
        QVERIFY(!TfmViewLog().windowIcon().isNull());
        QCOMPARE(ExecWith(about, [&] { QTest::keyClick(&about, Qt::Key_Return); }),
                 int(QDialog::Accepted));
    }
};

QTEST_MAIN(TDialogsTest)
#include "DialogsTest.moc"
