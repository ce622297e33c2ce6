#include "ui/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

namespace vantle {

namespace {

const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString NotificationsInterface = QStringLiteral("org.freedesktop.Notifications");
const QString OpenAction = QStringLiteral("default"); // a click on the notification itself

} // namespace

TFreedesktopNotifications::TFreedesktopNotifications(QString service, QObject* parent)
    : TNotificationService(parent), FService(std::move(service)) {}

TFreedesktopNotifications::~TFreedesktopNotifications() = default;

QString TFreedesktopNotifications::IconName(TDesktopNote::TKind kind) {
    return kind == TDesktopNote::Failure ? QStringLiteral("dialog-error")
                                         : QStringLiteral("dialog-information");
}

QDBusInterface* TFreedesktopNotifications::Interface() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return nullptr;
    if (FInterface == nullptr) {
        FInterface =
            new QDBusInterface(FService, NotificationsPath, NotificationsInterface, bus, this);
        // Clicks and closes come as signals of the service, for any notification.
        FConnected = bus.connect(FService, NotificationsPath, NotificationsInterface,
                                 QStringLiteral("ActionInvoked"), this,
                                 SLOT(ActionInvoked(uint, QString))) &&
                     bus.connect(FService, NotificationsPath, NotificationsInterface,
                                 QStringLiteral("NotificationClosed"), this,
                                 SLOT(NotificationClosed(uint, uint)));
    }
    return FInterface;
}

bool TFreedesktopNotifications::Available() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr)
        return false;
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(FService);
    return registered.isValid() && registered.value();
}

bool TFreedesktopNotifications::Show(const TDesktopNote& note) {
    QDBusInterface* notifications = Interface();
    if (notifications == nullptr)
        return false;
    // A click opens the run only where the service offers actions at all.
    QStringList actions;
    const QDBusReply<QStringList> capabilities =
        notifications->call(QStringLiteral("GetCapabilities"));
    if (note.Record != 0 && capabilities.isValid() &&
        capabilities.value().contains(QStringLiteral("actions")))
        actions << OpenAction << QStringLiteral("Open in Run History");
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(note.Kind == TDesktopNote::Failure ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("vantle-scheduler"));
    // replaces_id 0: every note its own, so two failures in one second both show.
    const QDBusReply<uint> id =
        notifications->call(QStringLiteral("Notify"), note.Title, uint(0), IconName(note.Kind),
                            note.Title, note.Text, actions, hints, int(-1));
    if (!id.isValid())
        return false;
    if (note.Record != 0)
        FRecords[id.value()] = note.Record;
    return true;
}

void TFreedesktopNotifications::ActionInvoked(uint id, const QString& action) {
    auto found = FRecords.find(id);
    if (found == FRecords.end() || action != OpenAction)
        return;
    emit RunClicked(found->second);
}

void TFreedesktopNotifications::NotificationClosed(uint id, uint) {
    FRecords.erase(id);
}

} // namespace vantle
