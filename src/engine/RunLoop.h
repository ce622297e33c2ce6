// The scheduler's run loop, one for both programs: it wakes five seconds past every
// minute of the wall clock, runs the cycle, re-arms whatever the cycle raised, follows
// steps of the clock, reaps the programs the scheduler started, follows those an earlier
// scheduler started, stops those past their time limit, passes on what the run recorder
// has to say, serves the control socket and ends on a stop signal.
// A front end waits on its descriptors (poll in vantle-schedctl, socket notifiers in the
// window) and hands each wake to Handle.
#pragma once

#include "engine/Scheduler.h"
#include "platform/ChildWatch.h"
#include "platform/Clock.h"
#include "platform/DeadlineTimer.h"
#include "platform/WallTimer.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

namespace vantle {

/// What the loop reaches outside the scheduler; tests replace any piece.
struct TRunLoopServices {
    /// The clock the ticks are reckoned by; null: the system clock. Only the system
    /// clock arms the timer at a moment of the wall clock; any other gives the interval.
    const TClock* Clock = nullptr;
    /// Reaps the programs the scheduler started; null: nothing is watched.
    TChildWatch* Children = nullptr;
    /// Readable when a stop signal came (-1: none watched); TakeStop empties it and
    /// returns the signal.
    int StopFd = -1;
    std::function<int()> TakeStop;
};

/// What the loop tells its front end; any may be empty.
struct TRunLoopEvents {
    /// A cycle is over and the next one armed; `error` is what it raised, if anything.
    std::function<void(std::exception_ptr error)> CycleFinished;
    /// Logging a program's end failed (a log that cannot be written).
    std::function<void(std::exception_ptr error)> ReapFailed;
    /// A stop signal came: the loop is over and arms nothing more.
    std::function<void(int signal)> Stopped;
};

class TRunLoop {
public:
    enum class TSource { Timer, Children, Stop, Limits, Inherited, Records, Control };
    struct TWatch {
        int Fd;
        TSource Source;
    };

    /// Raises EInOutError when the system has no wall-clock timer.
    TRunLoop(TScheduler& scheduler, TRunLoopServices services, TRunLoopEvents events = {});
    TRunLoop(const TRunLoop&) = delete;
    TRunLoop& operator=(const TRunLoop&) = delete;

    /// Replaces what the front end is told.
    void SetEvents(TRunLoopEvents events) { FEvents = std::move(events); }
    /// Watches `fd` too (the control socket's), handing each wake to `handle`, which must
    /// not raise. Before the front end takes the Watches.
    void WatchControl(int fd, std::function<void()> handle);
    /// The descriptors to wait on for reading; each readable one goes to Handle.
    std::vector<TWatch> Watches() const;
    /// Arms the first cycle a second from now: a program started within a minute runs
    /// that minute's due entries.
    void Start();
    /// Arms a cycle `msec` milliseconds from now.
    void ArmAfter(std::int64_t msec);
    /// The descriptor of `source` is readable: a tick, a clock step, ended children or a
    /// stop signal. Never raises; failures go to the events.
    void Handle(TSource source) noexcept;
    /// Waits with poll and handles every wake until a stop signal: the front end that has
    /// no event loop of its own. Raises only when waiting itself fails.
    void Run();
    /// As Run, but without ticks, until `done` holds, a stop signal, or `timeoutMs` have
    /// passed: programs are reaped, limits and output caps kept meanwhile. Whether `done`
    /// holds at the end.
    bool RunUntil(const std::function<bool()>& done, std::int64_t timeoutMs);

    /// One cycle, then the next armed (five seconds past the next minute) whatever the
    /// cycle raised; the outcome goes to CycleFinished.
    void Tick() noexcept;
    /// The wall clock was set, or the machine resumed: arms the next :05 as the clock now
    /// reads; the minute it falls in has not been run.
    void ClockChanged() noexcept;
    /// Reaps ended children and lets the scheduler log the ends of its programs.
    void ReapChildren() noexcept;
    /// Ends the loop as a stop signal does.
    void Stop(int signal) noexcept;
    /// Stops ticking until the next Start, Tick or ClockChanged.
    void Disarm();
    /// Lets the scheduler stop what is past its time limit or grace and hold outputs to
    /// their cap, and arms the wake for the next such moment. Every wake does it; a front
    /// end that stopped a run itself calls it then.
    void FollowLimits() noexcept;

    bool Stopped() const { return FStopped; }
    bool Armed() const { return FArmed; }
    /// Milliseconds from the latest arming to its moment, as the loop's clock reckoned.
    std::int64_t Interval() const { return FInterval; }

private:
    /// Run and RunUntil: without `done`, until a stop signal.
    bool Serve(const std::function<bool()>& done, std::int64_t timeoutMs);
    /// Arms for `next` as the loop's clock reads it; a failure to arm is returned.
    std::exception_ptr ArmFor(const std::timespec& now, const std::timespec& next) noexcept;
    const TClock& Clock() const;

    TScheduler& FScheduler;
    TRunLoopServices FServices;
    TRunLoopEvents FEvents;
    int FControlFd = -1;
    std::function<void()> FControl;
    TWallTimer FTimer;
    TDeadlineTimer FLimits;
    bool FArmed = false;
    bool FStopped = false;
    std::int64_t FInterval = 0;
};

} // namespace vantle
