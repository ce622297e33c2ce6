// The application's last line of defence: errors escaping a handler are shown in one box.
#include "ui/Application.h"
#include "platform/SysErrors.h"
#include "support/ModalDriver.h"

#include <QMessageBox>
#include <QRegularExpression>
#include <QtTest>

using namespace vantle;

namespace {

using vantle::test::VisibleMessageBoxes;

class TThrowingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw vantle::EInOutError(101);
        return QObject::event(event);
    }
};

} // namespace

class TApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { delete TApplication::ErrorBox(); }

    void errorInEventHandlerIsShown() {
        TThrowingObject object;
        QEvent event(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&object, &event));
        QMessageBox* box = TApplication::ErrorBox();
        QVERIFY(box != nullptr && box->isVisible());
        QCOMPARE(box->text(), QString("Disk full"));
        // The program's own title, whatever the platform knows the application as.
        QCOMPARE(box->windowTitle(), QString("Vantle Scheduler"));
    }

    void closedBoxMakesRoomForANewOne() {
        TApplication::ShowError("a");
        TApplication::ErrorBox()->close();
        TApplication::ShowError("b"); // before the closed box is even deleted
        QCOMPARE(TApplication::ErrorBox()->text(), QString("b"));
        QCOMPARE(VisibleMessageBoxes(), 1);
    }

    void laterMessagesAreBounded() {
        TApplication::ShowError("first");
        for (int i = 0; i < TApplication::MaxLaterMessages + 5; ++i)
            TApplication::ShowError(QString::number(i));
        QStringList lines = TApplication::ErrorBox()->detailedText().split('\n');
        QCOMPARE(lines.size(), TApplication::MaxLaterMessages + 1);
        QCOMPARE(lines.first(), QString("(5 earlier messages dropped)"));
        // Each with its time, to the second, as every window writes one (the C locale's
        // settings here).
        QVERIFY(lines.last().contains(
            QRegularExpression(R"(^\d\d?/\d\d?/\d{4} \d\d?:\d\d:\d\d [AP]M )" +
                               QString::number(TApplication::MaxLaterMessages + 4) + "$")));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ApplicationTest.moc"
