// The scheduler as both programs run it: the schedule list bound to its file, the
// scheduler with its log, state and run records, the run loop that drives it, what each
// entry did last and the control socket. The window shows it; vantle-schedctl run waits
// on it.
#pragma once

#include "engine/ControlServer.h"
#include "engine/RunHistory.h"
#include "engine/RunLoop.h"
#include "engine/Scheduler.h"
#include "sched/SchedList.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vantle {

class TSchedulerCore {
public:
    /// The scheduler starts switched off and the list empty: the front end switches it on
    /// and loads the list when it is ready to show what they say. `services.OnRunEvent`
    /// is told after History has taken the event. Raises what the log and the wall-clock
    /// timer raise when they cannot be made.
    TSchedulerCore(const std::string& scheduleFile, TSchedulerServices services,
                   TRunLoopServices loopServices);
    TSchedulerCore(const TSchedulerCore&) = delete;
    TSchedulerCore& operator=(const TSchedulerCore&) = delete;

    TSchedList& List() { return FList; }
    TScheduler& Scheduler() { return *FScheduler; }
    TRunLoop& Loop() { return *FLoop; }
    /// Each entry's last run and result: the records (or the log) at start, then live.
    const TRunHistory& History() const { return FHistory; }

    /// Saves the list; extended attributes the new file could not keep are logged, as
    /// they cost no data.
    void Save();
    /// Whether another program changed the file over unsaved edits since the last call:
    /// each such change is told once.
    bool TakeKeptChange();
    /// Switches the scheduler off, which logs it; raises when the log cannot be written,
    /// so the front end can say so while it still can.
    void SwitchOff();
    /// Serves Execute Now requests (`vantle-schedctl start`) at `path` from the run loop;
    /// once, before the front end takes the loop's Watches, holding the instance lock. Raises
    /// EInOutError when the socket cannot be made.
    void ServeControl(const std::string& path, TControlServices services = {});

private:
    TSchedList FList;
    TRunHistory FHistory;                     // before the scheduler, whose events it takes
    std::unique_ptr<TControlServer> FControl; // the same, and after the scheduler goes
    std::unique_ptr<TScheduler> FScheduler;
    std::unique_ptr<TRunLoop> FLoop;
    TKeptChangeReader FKeptChanges;
};

} // namespace vantle
