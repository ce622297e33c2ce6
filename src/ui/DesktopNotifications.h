// Notifications through the desktop's notification service (the freedesktop
// notifications interface on the session bus), which needs no system tray: each one
// its own, with an icon that fits it, and a click on it opens its run where the service
// offers actions. The tray's balloon is what is left without a service.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <map>

class QDBusInterface;

namespace vantle {

/// One notification as the desktop shows it.
struct TDesktopNote {
    enum TKind {
        Failure,   // a failure: the error icon, critical urgency
        Recovered, // "NAME works again": the information icon
        Ran        // a run that went well: the information icon
    };
    TKind Kind = Failure;
    QString Title;
    QString Text;
    std::int64_t Record = 0; // the run it tells of, 0 when not recorded
};

/// Where notifications go: the seam the tray talks to, a fake in tests.
class TNotificationService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    /// Whether a service answers now.
    virtual bool Available() = 0;
    /// Shows the note on its own; false when the service refused it.
    virtual bool Show(const TDesktopNote& note) = 0;

signals:
    /// The user clicked the note of this run.
    void RunClicked(std::int64_t record);
};

/// The freedesktop notifications service on the session bus: `service` is its bus name
/// (another name in tests, so no test shows anything on a desktop).
class TFreedesktopNotifications : public TNotificationService {
    Q_OBJECT
public:
    explicit TFreedesktopNotifications(
        QString service = QStringLiteral("org.freedesktop.Notifications"),
        QObject* parent = nullptr);
    ~TFreedesktopNotifications() override;

    bool Available() override;
    bool Show(const TDesktopNote& note) override;

    /// The icon name a note of `kind` shows with (the freedesktop icon naming).
    static QString IconName(TDesktopNote::TKind kind);

private slots:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

private:
    QDBusInterface* Interface();

    QString FService;
    QDBusInterface* FInterface = nullptr;
    bool FConnected = false;
    std::map<uint, std::int64_t> FRecords; // shown notification -> its run
};

} // namespace vantle
