// The system tray icon: whether the scheduler is on, when it runs next, a menu with the
// window's own commands, how many entries are failing or overdue, and notifications of runs.
#pragma once

#include "engine/FailureWatch.h"
#include "platform/Clock.h"
#include "platform/FormatSettings.h"

#include "ui/DesktopNotifications.h"

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QIcon;
class QMenu;
class QSettings;

namespace vantle {

class TfmSchedMain;

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    /// `available` tells whether the desktop offers a tray now (by default
    /// QSystemTrayIcon::isSystemTrayAvailable); without one nothing here shows and
    /// minimizing leaves the window where it is.
    TTrayIcon(TfmSchedMain& window, QSettings& settings, const vantle::TClock& clock,
              const vantle::TFormatSettings& formatSettings, std::function<bool()> available = {});
    ~TTrayIcon() override;

    /// The icon for the scheduler's state: the program's icon, or a faded grey copy.
    static QIcon StateIcon(bool enabled);
    /// "Next: Backup at 02:30", with the date when it is not today; what the icon shows.
    QString NextRunText() const;
    /// Brings icon and tooltip up to date with the scheduler.
    void UpdateIcon();
    /// Shows a notice as a desktop notification when the user's choice wants it: a new
    /// failure and a recovery, every run, or nothing. Through the desktop's notification
    /// service whenever one answers (no tray needed), else as the tray's balloon.
    void Notify(const vantle::TNotice& notice);
    /// The desktop's notification service (may be null: balloons only); it must outlive
    /// the tray icon. Its clicks open their runs through OpenRun.
    void SetNotifications(TNotificationService* service);
    /// Tells how many entries are failing now, for the tooltip.
    std::function<std::size_t()> FailingCount;
    /// How many entries of the list the scheduler holds overdue now.
    std::size_t OverdueCount() const;
    /// A click on a notification opens the run it told of.
    std::function<void(std::int64_t record)> OpenRun;
    /// Shows the window again, in front.
    void Show1Click();

    /// Replaces the tray's balloon in tests: title, text and its icon.
    std::function<void(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon)>
        ShowMessage;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Controls, found by their object names in tests.
    QSystemTrayIcon* Icon = nullptr;
    QMenu* TrayMenu = nullptr;
    QAction* Show1 = nullptr;

    TfmSchedMain& FWindow;
    QSettings& FSettings;
    const vantle::TClock& FClock;
    const vantle::TFormatSettings& FFormatSettings;
    std::function<bool()> FAvailable;
    TNotificationService* FNotifications = nullptr;
    std::optional<bool> FIconEnabled; // the state the icon was last set for
    std::int64_t FToldRecord = 0;     // the run of the notification last shown
};

} // namespace vantle
