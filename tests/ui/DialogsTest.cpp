// The log viewer, a window of its own, and the About box, shown modally as the main
// window shows them.
#include "support/ModalDriver.h"
#include "ui/About.h"
#include "ui/FindChild.h"
#include "ui/ViewLog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
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

QPlainTextEdit* Memo(const TfmViewLog& viewer) {
    return Child<QPlainTextEdit>(viewer, "memLog");
}

// Scrolled to the bottom, with the last line in sight.
bool AtTheEnd(const TfmViewLog& viewer) {
    const QScrollBar* bar = Memo(viewer)->verticalScrollBar();
    return bar->value() == bar->maximum() &&
           Memo(viewer)->viewport()->rect().contains(
               Memo(viewer)->cursorRect(Memo(viewer)->textCursor()).center());
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
        QTest::newRow("long log") << 2000 << "2026.01.02 03.04.05:Log file reset" << 3;
        QTest::newRow("short last line") << 2000 << "ab" << 2;
    }

    // A log line fits the window as it opens: the stamp and a message of 80 characters.
    void viewLogOpensWideEnoughForALogLine() {
        TfmViewLog viewer;
        const QString line = QStringLiteral("2026.12.07 04.30.05:") + QString(80, u'x');
        const int room = viewer.screen()->availableGeometry().width() * 9 / 10; // at most
        QVERIFY(viewer.width() >=
                std::min(QFontMetrics(Memo(viewer)->font()).horizontalAdvance(line), room));
    }

    void ViewerOpensAtTheEnd() {
        QFETCH(int, count);
        QFETCH(QString, last);
        QFETCH(int, column);
        TfmViewLog viewer;
        viewer.SetLines(count == 0 ? std::vector<std::string>{}
                                   : LogLines(count, last.toStdString()));
        QWidget other;
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTest::qWait(50); // let the first layout pass settle the scroll bars
        const bool atTheEnd = AtTheEnd(viewer);
        const QTextCursor cursor = Memo(viewer)->textCursor();
        const bool scrolls = Memo(viewer)->verticalScrollBar()->maximum() > 0;
        const QString text = Memo(viewer)->toPlainText();
        // Each time it becomes active again it goes back to the end.
        Memo(viewer)->moveCursor(QTextCursor::Start);
        Memo(viewer)->verticalScrollBar()->setValue(0);
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QApplication::setActiveWindow(&viewer);
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        QVERIFY(atTheEnd && AtTheEnd(viewer));
        QCOMPARE(scrolls, count > 20);
        const int lastLineStart = count == 0 ? 0 : int(text.lastIndexOf(QLatin1Char('\n')) + 1);
        QCOMPARE(cursor.selectionStart(), lastLineStart + column);
        QCOMPARE(cursor.selectionEnd(), std::min(lastLineStart + column + 1, int(text.size())));
        // Closed, it lets its text go.
        Child<QPushButton>(viewer, "btnOk")->click();
        QVERIFY(!viewer.isVisible());
        QVERIFY(Memo(viewer)->toPlainText().isEmpty());
    }

    void ViewerIsReadOnlyUnwrappedClosesOnEnterAndEscAndFitsTheNameToTheWindow() {
        TfmViewLog viewer;
        viewer.SetLines({"one", std::string(600, 'w'), "three"});
        const QString text = Memo(viewer)->toPlainText();
        QGuiApplication::clipboard()->clear();
        QList<int> results; // closing with Enter, then with Esc
        QObject::connect(&viewer, &QDialog::finished, [&](int result) { results << result; });
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        Memo(viewer)->setFocus();
        QTest::keyClicks(Memo(viewer), QStringLiteral("typed"));
        QTest::keyClick(Memo(viewer), Qt::Key_Backspace);
        QCOMPARE(Memo(viewer)->toPlainText(), text);
        QVERIFY(Memo(viewer)->horizontalScrollBar()->maximum() > 0);
        Memo(viewer)->selectAll(); // copying still works
        QTest::keyClick(Memo(viewer), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QTest::keyClick(Memo(viewer), Qt::Key_Return);
        QVERIFY(!viewer.isVisible());
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTest::keyClick(Memo(viewer), Qt::Key_Escape);
        QVERIFY(!viewer.isVisible());
        QCOMPARE(results, QList<int>(2, int(QDialog::Accepted)));
        // Neither the long line nor a long file name widens the window; the name follows it.
        QLabel* name = Child<QLabel>(viewer, "lbLogFileName");
        const int opened = TfmViewLog().width();
        name->setText("/opt/vantle/" + QString(300, QLatin1Char('n')) + "/vantle-scheduler.LOG");
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QCOMPARE(viewer.width(), opened);
        const int narrow = name->width();
        viewer.resize(viewer.width() + 200, viewer.height());
        QTRY_COMPARE(name->width(), narrow + 200);
        // A sunken strip naming the file, the log edge to edge below it, and the button's
        // strip of 49 pixels, with nothing between them.
        auto* top = qobject_cast<QFrame*>(name->parentWidget());
        QWidget* bottom = Child<QPushButton>(viewer, "btnOk")->parentWidget();
        QCOMPARE(top->frameStyle(), int(QFrame::Panel | QFrame::Sunken));
        QCOMPARE(top->geometry().topLeft(), QPoint(0, 0));
        QCOMPARE(Memo(viewer)->geometry(),
                 QRect(0, top->height(), viewer.width(), viewer.height() - top->height() - 49));
        QCOMPARE(bottom->geometry(), QRect(0, viewer.height() - 49, viewer.width(), 49));
    }

    // A dialog comes back centred over the window at every showing, wherever it was moved
    // while shown or hidden.
    void DialogIsCentredOverItsWindowAtEveryShowing() {
        QWidget window;
        window.setGeometry(200, 150, 900, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TfmAbout about(&window);
        for (int showing = 0; showing < 2; ++showing) {
            about.move(0, 0);
            about.show();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            const QPoint offset = about.frameGeometry().center() - window.frameGeometry().center();
            QVERIFY2(offset.manhattanLength() <= 4,
                     qPrintable(QStringLiteral("showing %1 off by %2,%3")
                                    .arg(showing)
                                    .arg(offset.x())
                                    .arg(offset.y())));
            about.move(0, 0);
            about.hide();
        }
    }

    void AboutShowsTheIconAndClosesOnEnter() {
        TfmAbout about;
        QVERIFY(!about.windowIcon().isNull()); // the program's own, from its resources
        QCOMPARE(ExecWith(about, [&] { QTest::keyClick(&about, Qt::Key_Return); }),
                 int(QDialog::Accepted));
    }

    // A deep path is shown whole, wrapped at its slashes, and the box grows to hold it.
    void AboutShowsLongPathsWhole() {
        TfmAbout about;
        const QString schedule = QStringLiteral("/home/someone/.local/share/a rather long folder/"
                                                "of schedules kept for the office/and one more "
                                                "level/vantle-scheduler.INI");
        const QString log = QStringLiteral("/var/log/vantle/vantle-scheduler.LOG");
        about.SetPaths(schedule, log);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* ok = Child<QPushButton>(about, "btnOk");
        QRect above(0, 0, about.width(), ok->y()); // the paths' room, above Ok
        for (auto [name, path] :
             {std::pair{"lbSchedulePath", schedule}, std::pair{"lbLogPath", log}}) {
            auto* label = Child<QLabel>(about, name);
            QVERIFY(label->text().endsWith(path));
            QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
            QVERIFY2(above.contains(label->geometry()), name);
            above.setTop(label->geometry().bottom());
        }
        QVERIFY(Child<QLabel>(about, "lbSchedulePath")->height() >
                Child<QLabel>(about, "lbLogPath")->height()); // wrapped
        QVERIFY(about.rect().contains(ok->geometry()));
    }
};

QTEST_MAIN(TDialogsTest)
#include "DialogsTest.moc"
