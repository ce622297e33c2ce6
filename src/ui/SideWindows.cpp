#include "ui/SideWindows.h"

#include "engine/RunView.h"
#include "engine/SchedulerCore.h"
#include "platform/SysErrors.h"
#include "ui/Application.h"
#include "ui/RunHistoryWindow.h"
#include "ui/Upcoming.h"
#include "ui/ViewLog.h"

#include <QEvent>

#include <utility>

namespace vantle {

namespace {

void BringToFront(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

// A window of its own, as one read beside the schedule wants: with the main window as
// its parent the window manager kept it above the main window. It goes with the main
// window (FollowOwner, and TSideWindows' destructor), and it alone never keeps the
// program running.
void MakeOwnWindow(QWidget& window) {
    window.setWindowFlags(Qt::Window);
    window.setAttribute(Qt::WA_QuitOnClose, false);
}

} // namespace

TSideWindows::TSideWindows(QWidget& owner, TRunView* runs, std::function<TSchedulerCore*()> core,
                           const TFormatSettings& settings)
    : QObject(&owner), FOwner(owner), FRuns(runs), FCore(std::move(core)), FSettings(settings) {
    FOwner.installEventFilter(this);
}

TSideWindows::~TSideWindows() {
    // No parent takes them along.
    delete FRunHistory;
    delete FViewLog;
}

void TSideWindows::ShowUpcoming(TSchedList& list, TDateTime now) {
    if (FUpcoming == nullptr) {
        FUpcoming = new TfmUpcoming(FSettings, &FOwner);
        connect(FUpcoming, &TfmUpcoming::EntryDoubleClicked, this, [this](std::uint64_t serial) {
            // Gone since the list was shown: nothing to modify.
            if (FCore() != nullptr && FCore()->List().IndexOfSerial(serial) >= 0)
                emit EntryPicked(serial);
        });
    }
    BringToFront(*FUpcoming);
    FUpcoming->ShowRunsOf(list, now, LatestTested(), PendingRetries(), WaitingRuns());
}

std::optional<std::int64_t> TSideWindows::LatestTested() const {
    TSchedulerCore* core = FCore();
    return core != nullptr ? core->Scheduler().LatestTested() : std::nullopt;
}

std::vector<TPendingRetry> TSideWindows::PendingRetries() const {
    TSchedulerCore* core = FCore();
    return core != nullptr ? core->Scheduler().Retries().List() : std::vector<TPendingRetry>{};
}

std::vector<TWaitingRun> TSideWindows::WaitingRuns() const {
    TSchedulerCore* core = FCore();
    return core != nullptr ? core->Scheduler().Waiting().List() : std::vector<TWaitingRun>{};
}

QWidget* TSideWindows::RunHistoryWindow() const {
    return FRunHistory;
}

void TSideWindows::ShowRunHistory(std::int64_t run) {
    if (FRuns == nullptr)
        throw Exception("Runs are not recorded: the run store could not be opened");
    if (FRunHistory == nullptr) {
        FRunHistory = new TfmRunHistory(FRuns->Store(), FSettings, nullptr);
        MakeOwnWindow(*FRunHistory);
        connect(FRunHistory, &TfmRunHistory::EntryDoubleClicked, this, &TSideWindows::PickNamed);
        connect(FRunHistory, &TfmRunHistory::StopRequested, this,
                [this](std::int64_t run) { RunHandler([this, run] { StopRun(run); }); });
    }
    BringToFront(*FRunHistory);
    FRunHistory->Refresh();
    if (run != 0)
        FRunHistory->ShowRun(run);
}

void TSideWindows::ShowLog() {
    TSchedulerCore* core = FCore();
    if (core == nullptr)
        return;
    if (FViewLog == nullptr) {
        FViewLog = new TfmViewLog(nullptr);
        MakeOwnWindow(*FViewLog);
    }
    // Read before it is shown: a log that cannot be read shows no empty window.
    FViewLog->ReadLog(core->Scheduler().Log());
    BringToFront(*FViewLog);
}

void TSideWindows::ReadLog() {
    TSchedulerCore* core = FCore();
    if (FViewLog != nullptr && FViewLog->isVisible() && core != nullptr)
        RunHandler([this, core] { FViewLog->ReadLog(core->Scheduler().Log()); });
}

void TSideWindows::FollowList(TSchedList& list, TDateTime now) {
    if (FUpcoming != nullptr)
        FUpcoming->ShowRunsOf(list, now, LatestTested(), PendingRetries(), WaitingRuns());
}

void TSideWindows::FollowRuns() {
    if (FRunHistory != nullptr)
        RunHandler([this] { FRunHistory->Refresh(); });
}

bool TSideWindows::eventFilter(QObject* watched, QEvent* event) {
    // Only the program's own hide and show: a window manager's minimizing is its own.
    if (watched == &FOwner && !event->spontaneous()) {
        if (event->type() == QEvent::Hide)
            FollowOwner(false);
        else if (event->type() == QEvent::Show)
            FollowOwner(true);
    }
    return QObject::eventFilter(watched, event);
}

void TSideWindows::FollowOwner(bool shown) {
    // Left alone, a window beside the main one would stay on screen while the main one is
    // in the tray, or stay minimized where the window manager minimized it along.
    bool returned = false;
    for (auto [window, away] : {std::pair<QWidget*, bool*>{FUpcoming, &FUpcomingAway},
                                std::pair<QWidget*, bool*>{FRunHistory, &FRunHistoryAway},
                                std::pair<QWidget*, bool*>{FViewLog, &FViewLogAway}}) {
        if (window == nullptr)
            continue;
        if (!shown) {
            *away = *away || window->isVisible();
            window->hide();
        } else if (*away) {
            *away = false;
            window->showNormal();
            returned = true;
        }
    }
    if (returned) {
        FollowRuns();
        ReadLog(); // the log went on while the viewer was away
        emit Returned();
    }
}

void TSideWindows::PickNamed(const std::string& name) {
    if (TSchedulerCore* core = FCore()) {
        TSchedList& list = core->List();
        for (std::int32_t i = 0; i < list.Count(); ++i)
            if (list.Items(i).Name == name)
                return emit EntryPicked(list.SerialOf(i));
    }
}

void TSideWindows::StopRun(std::int64_t run) {
    TSchedulerCore* core = FCore();
    if (core != nullptr && core->Scheduler().StopRun(run))
        core->Loop().FollowLimits(); // its SIGKILL comes from the loop, 10 s on
}

} // namespace vantle
