// The freedesktop notifications client against a real session bus, with a stand-in
// service under a name of its own, so nothing shows on a desktop. Where no session bus
// answers (the suite starts no daemon), the test says so and skips.
#include "ui/DesktopNotifications.h"
#include "ui/Application.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QVariantMap>
#include <QtTest>

#include <unistd.h>

using namespace vantle;

// What a notification daemon does with a Notify call, kept for the test to look at.
class TStandInService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct TCall {
        QString Icon, Summary, Body;
        QStringList Actions;
        QVariantMap Hints;
        uint ReplacesId = 0;
    };
    QList<TCall> Calls;

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    uint Notify(const QString&, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        Calls << TCall{icon, summary, body, actions, hints, replacesId};
        return uint(Calls.size());
    }
};

class TDesktopNotificationsTest : public QObject {
    Q_OBJECT

private slots:
    void notesReachTheServiceEachOnItsOwnAndClicksComeBack() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            QSKIP("no session bus here (the suite starts no daemon): the real-bus test is skipped");
        const QString service = QStringLiteral("org.vantle.test.Notifications%1")
                                    .arg(QCoreApplication::applicationPid());
        TStandInService standIn;
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                                   QDBusConnection::ExportAllSlots));
        TFreedesktopNotifications notifications(service);
        QVERIFY(!notifications.Available()); // nobody holds the name yet
        QVERIFY(bus.registerService(service));
        QVERIFY(notifications.Available());

        QVERIFY(notifications.Show(
            {TDesktopNote::Failure, "Vantle Scheduler", "Backup ended with code 3", 7}));
        QVERIFY(notifications.Show(
            {TDesktopNote::Recovered, "Vantle Scheduler", "Backup works again", 8}));
        QCOMPARE(standIn.Calls.size(), 2);
        QCOMPARE(standIn.Calls[0].Icon, QString("dialog-error"));
        QCOMPARE(standIn.Calls[1].Icon, QString("dialog-information"));
        QCOMPARE(standIn.Calls[0].Body, QString("Backup ended with code 3"));
        QCOMPARE(standIn.Calls[0].ReplacesId, 0u); // each its own
        QCOMPARE(standIn.Calls[0].Actions.value(0), QString("default"));

        // A click on the first one: the service's signal, for that notification.
        QSignalSpy clicked(&notifications, &TNotificationService::RunClicked);
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << 1u << QStringLiteral("default");
        QVERIFY(bus.send(signal));
        QTRY_COMPARE(clicked.size(), 1);
        QCOMPARE(clicked[0][0].value<std::int64_t>(), std::int64_t(7));
        bus.unregisterService(service);
        bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TDesktopNotificationsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopNotificationsTest.moc"
