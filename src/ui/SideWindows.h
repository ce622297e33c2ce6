// The windows beside the main one, made on first use and never modal: the upcoming runs,
// the run history and the log. They follow the schedule and the runs as the main window
// tells them, stop the runs the user stops, and hand back the entries the user picks.
#pragma once

#include "engine/Retries.h"
#include "engine/WaitingRuns.h"
#include "platform/DateTime.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

class TfmRunHistory;
class TfmUpcoming;
class TfmViewLog;
class TRunView;
class TSchedList;
class TSchedulerCore;
struct TFormatSettings;

class TSideWindows : public QObject {
    Q_OBJECT
public:
    /// `runs` may be null: the runs are then not recorded, and Run History says so.
    /// `core` gives the scheduler core while there is one; `settings` show the moments.
    TSideWindows(QWidget& owner, TRunView* runs, std::function<TSchedulerCore*()> core,
                 const TFormatSettings& settings);
    ~TSideWindows() override;
    /// Run History once it was opened (a window of its own, without a parent), else null.
    QWidget* RunHistoryWindow() const;

    /// Shows the upcoming runs of `list` from the minute after `now`, in front.
    void ShowUpcoming(TSchedList& list, TDateTime now);
    /// Shows the run history in front, at the run `run` when it is not 0.
    void ShowRunHistory(std::int64_t run = 0);
    /// Shows the end of the core's log in front, read anew; raises as TLog::AssignTailTo
    /// does, with nothing new shown.
    void ShowLog();
    /// Brings the open ones up to date: after an edit or a cycle, after a run event.
    void FollowList(TSchedList& list, TDateTime now);
    void FollowRuns();

signals:
    /// The user picked an entry still in the list to modify.
    void EntryPicked(std::uint64_t serial);
    /// The windows that went away with the owner are back, their lines possibly stale.
    void Returned();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // the owner hidden or shown

private:
    /// A run's entry is known by its name: a run outlives its entry's place in the list.
    void PickNamed(const std::string& name);
    /// SIGTERM for a running run now, SIGKILL when it outlives ten seconds.
    void StopRun(std::int64_t run);
    /// The scheduler's latest minute tested, so Upcoming can show pending catch-ups.
    std::optional<std::int64_t> LatestTested() const;
    std::vector<TPendingRetry> PendingRetries() const;
    std::vector<TWaitingRun> WaitingRuns() const;
    /// Hidden to the tray, the owner takes the open ones along and brings them back.
    void FollowOwner(bool shown);
    /// Reads the log into its open viewer again.
    void ReadLog();

    QWidget& FOwner;
    TRunView* FRuns;
    std::function<TSchedulerCore*()> FCore;
    const TFormatSettings& FSettings;
    TfmUpcoming* FUpcoming = nullptr;
    TfmRunHistory* FRunHistory = nullptr;
    TfmViewLog* FViewLog = nullptr;
    bool FUpcomingAway = false; // hidden with the owner, to come back with it
    bool FRunHistoryAway = false;
    bool FViewLogAway = false;
};

} // namespace vantle
