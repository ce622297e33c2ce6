#include "ui/TrayIcon.h"

#include "sched/NextDue.h"
#include "ui/Application.h"
#include "ui/Icon.h"
#include "ui/MomentText.h"
#include "ui/SchedMain.h"
#include "ui/Settings.h"
#include "ui/TextBytes.h"

#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>
#include <set>
#include <string>

namespace vantle {

namespace {

// Faded and grey: the scheduler is there but does nothing.
QPixmap FadedPixmap(const QPixmap& source) {
    QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            int gray = qGray(line[x]);
            line[x] = qRgba(gray, gray, gray, qAlpha(line[x]) * 3 / 5);
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

TTrayIcon::TTrayIcon(TfmSchedMain& window, QSettings& settings, const TClock& clock,
                     const TFormatSettings& formatSettings, std::function<bool()> available)
    : QObject(&window), FWindow(window), FSettings(settings), FClock(clock),
      FFormatSettings(formatSettings), FAvailable(std::move(available)) {
    if (!FAvailable)
        FAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    Icon = new QSystemTrayIcon(this);
    Icon->setObjectName(QStringLiteral("TrayIcon1"));
    TrayMenu = new QMenu(&window);
    TrayMenu->setObjectName(QStringLiteral("TrayMenu1"));
    Show1 = TrayMenu->addAction(QStringLiteral("&Show"));
    Show1->setObjectName(QStringLiteral("Show1"));
    connect(Show1, &QAction::triggered, this, [this] { RunHandler([this] { Show1Click(); }); });
    // The window's own items: one check mark, one handler, wherever they are chosen.
    TrayMenu->addAction(window.RunAction());
    TrayMenu->addAction(window.UpcomingRunsAction());
    TrayMenu->addSeparator();
    TrayMenu->addAction(window.ExitAction());
    Icon->setContextMenu(TrayMenu);
    connect(TrayMenu, &QMenu::aboutToShow, this, [this] { RunHandler([this] { UpdateIcon(); }); });

    connect(Icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why != QSystemTrayIcon::Trigger)
            return;
        if (FWindow.isVisible() && !FWindow.isMinimized())
            FWindow.hide();
        else
            RunHandler([this] { Show1Click(); });
    });
    // After the window's own handlers, so the state they leave is the one shown: a
    // finished cycle (also one that failed), and Run.
    connect(&window, &TfmSchedMain::CycleFinished, this,
            [this] { RunHandler([this] { UpdateIcon(); }); });
    connect(window.RunAction(), &QAction::triggered, this,
            [this] { RunHandler([this] { UpdateIcon(); }); });
    window.installEventFilter(this);

    connect(Icon, &QSystemTrayIcon::messageClicked, this, [this] {
        if (OpenRun && FToldRecord != 0)
            OpenRun(FToldRecord);
    });
    ShowMessage = [this](const QString& title, const QString& text,
                         QSystemTrayIcon::MessageIcon icon) {
        Icon->showMessage(title, text, icon, 10000);
    };
    RunHandler([this] { UpdateIcon(); });
}

TTrayIcon::~TTrayIcon() {
    FWindow.removeEventFilter(this);
}

QIcon TTrayIcon::StateIcon(bool enabled) {
    QIcon source = VantleIcon();
    if (enabled)
        return source;
    QIcon icon;
    for (const QSize& size : source.availableSizes())
        icon.addPixmap(FadedPixmap(source.pixmap(size)));
    return icon;
}

QString TTrayIcon::NextRunText() const {
    if (FWindow.SchedList() == nullptr)
        return {};
    // A cycle runs five seconds past the minute: until then this minute still counts,
    // and from then on it has run. Runs strictly after the minute of `from` are to come.
    TDateTime now = FClock.Now();
    std::timespec instant = FClock.UtcNow();
    instant.tv_sec -= 5;
    TDateTime from = IncSeconds(now, -5);
    // In the repeated autumn hour the clock alone says which reading it is.
    const bool fromAgain = IsSecondReading(from, instant);
    std::optional<TDateTime> next;
    std::string name;
    TSchedList& list = *FWindow.SchedList();
    TSchedListLock lock(list);
    for (std::int32_t i = 0; i < list.Count(); ++i) {
        const TSchedule& entry = list.Items(i);
        if (!entry.Active)
            continue;
        std::vector<TDateTime> moments;
        for (const TDueRun& run : TDueFinder(entry).Runs(from, 1, fromAgain))
            moments.push_back(run.Moment);
        // Earlier by at least a second: equal moments go to the first in list order.
        if (!moments.empty() && (!next || moments.front() < IncMSecs(*next, -500))) {
            next = moments.front();
            name = entry.Name;
        }
    }
    if (!next)
        return QStringLiteral("Next: none");
    bool today = DateOf(*next) == DateOf(now);
    std::string when =
        today ? TimeOfDayText(*next, FFormatSettings) : MomentText(*next, FFormatSettings);
    return QStringLiteral("Next: %1 at %2")
        .arg(VisibleTextOfBytes(name), QString::fromStdString(when));
}

std::size_t TTrayIcon::OverdueCount() const {
    TScheduler* scheduler = FWindow.Scheduler();
    TSchedList* list = FWindow.SchedList();
    if (scheduler == nullptr || list == nullptr)
        return 0;
    TSchedListLock lock(*list);
    // The alarm knows an entry by its name: two entries of one name are one alarm.
    std::set<std::string> names;
    for (const TSchedule* entry : list->Entries())
        if (scheduler->Overdue(entry->Name))
            names.insert(entry->Name);
    return names.size();
}

void TTrayIcon::UpdateIcon() {
    // A panel started after the program (both at login) gets the icon at the next tick.
    if (!FAvailable())
        return;
    bool enabled = FWindow.Scheduler() != nullptr && FWindow.Scheduler()->Enabled();
    // Made and handed to the panel again only when the state changes, not every minute;
    // before the icon is shown, which without one would only warn.
    if (FIconEnabled != enabled) {
        Icon->setIcon(StateIcon(enabled));
        FIconEnabled = enabled;
    }
    if (!Icon->isVisible())
        Icon->show();
    QString tip = QStringLiteral("Vantle Scheduler: ") +
                  (enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
    if (enabled)
        tip += u'\n' + NextRunText();
    if (std::size_t failing = FailingCount ? FailingCount() : 0; failing > 0)
        tip += failing == 1 ? QStringLiteral("\n1 entry failing")
                            : QStringLiteral("\n%1 entries failing").arg(failing);
    if (std::size_t overdue = OverdueCount(); overdue > 0)
        tip += overdue == 1 ? QStringLiteral("\n1 entry overdue")
                            : QStringLiteral("\n%1 entries overdue").arg(overdue);
    Icon->setToolTip(tip);
}

void TTrayIcon::Notify(const TNotice& notice) {
    // The count of failing entries changes with a failure or a recovery only: a start
    // or a good end costs no look at the next runs.
    if (notice.Kind != TNotice::Ran)
        UpdateIcon();
    bool wanted = false;
    switch (NotifyMode(FSettings)) {
    case TNotifyMode::Failures:
        // An entry that keeps failing the same way is told once, not every minute.
        wanted = (notice.Kind == TNotice::Failure && !notice.Repeated) ||
                 notice.Kind == TNotice::Recovered || notice.Kind == TNotice::Records;
        break;
    case TNotifyMode::EveryRun:
        wanted = true;
        break;
    case TNotifyMode::None:
        break;
    }
    if (!wanted)
        return;
    TDesktopNote note;
    note.Kind = notice.Kind == TNotice::Failure     ? TDesktopNote::Failure
                : notice.Kind == TNotice::Recovered ? TDesktopNote::Recovered
                                                    : TDesktopNote::Ran;
    note.Title = QStringLiteral("Vantle Scheduler");
    note.Text = QString::fromStdString(notice.Text);
    note.Record = notice.Record;
    if (FNotifications != nullptr && FNotifications->Available() && FNotifications->Show(note))
        return;
    // Without a service the tray's balloon, which shows one message at a time.
    if (!FAvailable() || !Icon->isVisible())
        return;
    FToldRecord = notice.Record;
    ShowMessage(note.Title, note.Text,
                note.Kind == TDesktopNote::Failure ? QSystemTrayIcon::Warning
                                                   : QSystemTrayIcon::Information);
}

void TTrayIcon::SetNotifications(TNotificationService* service) {
    if (FNotifications != nullptr)
        disconnect(FNotifications, nullptr, this, nullptr);
    FNotifications = service;
    if (service != nullptr)
        connect(service, &TNotificationService::RunClicked, this, [this](std::int64_t record) {
            if (OpenRun && record != 0)
                RunHandler([this, record] { OpenRun(record); });
        });
}

void TTrayIcon::Show1Click() {
    FWindow.showNormal();
    FWindow.raise();
    FWindow.activateWindow();
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    // Minimized goes to the tray, where there is one; closing still ends the program.
    if (watched == &FWindow && event->type() == QEvent::WindowStateChange &&
        FWindow.isMinimized() && Icon->isVisible() && FAvailable())
        QTimer::singleShot(0, &FWindow, [this] {
            if (FWindow.isMinimized())
                FWindow.hide();
        });
    return QObject::eventFilter(watched, event);
}

} // namespace vantle
