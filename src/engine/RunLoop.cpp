#include "engine/RunLoop.h"

#include "platform/SysErrors.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>

namespace vantle {

namespace {

std::timespec MSecsAfter(std::timespec from, std::int64_t msec) {
    std::int64_t ns = from.tv_nsec + msec * 1'000'000;
    from.tv_sec += static_cast<std::time_t>(ns / 1'000'000'000);
    from.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return from;
}

} // namespace

TRunLoop::TRunLoop(TScheduler& scheduler, TRunLoopServices services, TRunLoopEvents events)
    : FScheduler(scheduler), FServices(std::move(services)), FEvents(std::move(events)) {}

void TRunLoop::WatchControl(int fd, std::function<void()> handle) {
    FControlFd = fd;
    FControl = std::move(handle);
}

const TClock& TRunLoop::Clock() const {
    return FServices.Clock != nullptr ? *FServices.Clock : SystemClock();
}

std::vector<TRunLoop::TWatch> TRunLoop::Watches() const {
    // A stop comes first: with a tick due at the same wake, the program ends rather than
    // starting more.
    std::vector<TWatch> watches;
    if (FServices.StopFd >= 0)
        watches.push_back({FServices.StopFd, TSource::Stop});
    if (FServices.Children != nullptr && FServices.Children->Fd() >= 0)
        watches.push_back({FServices.Children->Fd(), TSource::Children});
    watches.push_back({FTimer.Fd(), TSource::Timer});
    watches.push_back({FLimits.Fd(), TSource::Limits});
    if (FScheduler.InheritedFd() >= 0)
        watches.push_back({FScheduler.InheritedFd(), TSource::Inherited});
    if (FScheduler.RecordsFd() >= 0)
        watches.push_back({FScheduler.RecordsFd(), TSource::Records});
    if (FControlFd >= 0)
        watches.push_back({FControlFd, TSource::Control});
    return watches;
}

std::exception_ptr TRunLoop::ArmFor(const std::timespec& now, const std::timespec& next) noexcept {
    try {
        FInterval = MSecsBetween(now, next);
        if (&Clock() == &SystemClock()) {
            FTimer.ArmAt(next);
        } else {
            // A clock of the tests' own has no wall-clock moment: its interval from now.
            FTimer.ArmAt(MSecsAfter(SystemClock().UtcNow(), FInterval));
        }
        FArmed = true;
        return nullptr;
    } catch (...) {
        FArmed = false;
        return std::current_exception();
    }
}

void TRunLoop::Start() {
    ArmAfter(1000);
}

void TRunLoop::ArmAfter(std::int64_t msec) {
    std::timespec now = Clock().UtcNow();
    if (std::exception_ptr error = ArmFor(now, MSecsAfter(now, msec)))
        std::rethrow_exception(error);
}

void TRunLoop::Disarm() {
    FTimer.Disarm();
    FArmed = false;
}

void TRunLoop::FollowLimits() noexcept {
    try {
        FScheduler.KillOverdue();
        FScheduler.HoldOutputs();
    } catch (...) {
        // Its log line failed: the signals went all the same.
        if (FEvents.ReapFailed)
            FEvents.ReapFailed(std::current_exception());
    }
    std::optional<std::int64_t> next = FScheduler.NextOverdue();
    if (std::optional<std::int64_t> hold = FScheduler.NextOutputHold())
        next = next ? std::min(*next, *hold) : *hold;
    if (next) {
        try {
            FLimits.ArmAfter(*next - Clock().RunNanos());
        } catch (...) {
            if (FEvents.ReapFailed)
                FEvents.ReapFailed(std::current_exception());
        }
    } else {
        FLimits.Disarm();
    }
}

void TRunLoop::Handle(TSource source) noexcept {
    if (FStopped)
        return;
    switch (source) {
    case TSource::Limits:
        FLimits.Read();
        FollowLimits();
        break;
    case TSource::Stop:
        if (int signal = FServices.TakeStop ? FServices.TakeStop() : 0; signal != 0)
            Stop(signal);
        break;
    case TSource::Children:
        ReapChildren();
        FollowLimits(); // an ended run's session may still write its output
        break;
    case TSource::Inherited:
    case TSource::Records:
        try {
            if (source == TSource::Inherited)
                FScheduler.FollowInherited();
            else
                FScheduler.TakeRecordNews();
        } catch (...) {
            // Its log line failed, as a reaped end's can.
            if (FEvents.ReapFailed)
                FEvents.ReapFailed(std::current_exception());
        }
        FollowLimits(); // one less run to keep a limit for
        break;
    case TSource::Control:
        if (FControl)
            FControl();
        break;
    case TSource::Timer:
        switch (FTimer.Read()) {
        case TWallTimer::TWake::Fired:
            Tick();
            break;
        case TWallTimer::TWake::ClockChanged:
            ClockChanged();
            break;
        case TWallTimer::TWake::Nothing:
            break;
        }
        break;
    }
}

void TRunLoop::Tick() noexcept {
    FArmed = false;
    std::exception_ptr error;
    try {
        FScheduler.RunCycle();
    } catch (...) {
        error = std::current_exception();
    }
    if (FServices.Children != nullptr && FServices.Children->Fd() < 0)
        ReapChildren(); // no descriptor says when: look once a minute
    FollowLimits();     // the programs the cycle started may have limits
    std::timespec now = Clock().UtcNow();
    // The minute after this one, even when the tick came a little before its :05.
    if (std::exception_ptr armError = ArmFor(now, CycleOfNextMinute(now)); !error)
        error = armError;
    if (FEvents.CycleFinished)
        FEvents.CycleFinished(error);
}

void TRunLoop::ClockChanged() noexcept {
    std::timespec now = Clock().UtcNow();
    std::exception_ptr error = ArmFor(now, NextCycleAt(now));
    if (error && FEvents.CycleFinished)
        FEvents.CycleFinished(error); // nothing left to tick with: say so
}

void TRunLoop::ReapChildren() noexcept {
    if (FServices.Children == nullptr)
        return;
    std::vector<TChildEnd> ends;
    try {
        ends = FServices.Children->Reap();
    } catch (...) {
        if (FEvents.ReapFailed)
            FEvents.ReapFailed(std::current_exception());
        return;
    }
    for (const TChildEnd& end : ends) {
        try {
            FScheduler.ProgramEnded(end.Pid, end.Signalled, end.Code);
        } catch (...) {
            if (FEvents.ReapFailed)
                FEvents.ReapFailed(std::current_exception());
        }
    }
}

void TRunLoop::Stop(int signal) noexcept {
    FStopped = true;
    FTimer.Disarm();
    FLimits.Disarm();
    FArmed = false;
    if (FEvents.Stopped)
        FEvents.Stopped(signal);
}

void TRunLoop::Run() {
    Serve(nullptr, 0);
}

bool TRunLoop::RunUntil(const std::function<bool()>& done, std::int64_t timeoutMs) {
    FollowLimits(); // for the programs started before the wait
    return Serve(done, timeoutMs);
}

bool TRunLoop::Serve(const std::function<bool()>& done, std::int64_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<TWatch> watches = Watches();
    std::vector<pollfd> waits;
    for (const TWatch& watch : watches) // a wait runs no cycle: its ticks are not watched
        waits.push_back({done && watch.Source == TSource::Timer ? -1 : watch.Fd, POLLIN, 0});
    while (!FStopped) {
        int timeout = -1;
        if (done) {
            if (done())
                return true;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            timeout = static_cast<int>(std::min<std::int64_t>(left.count(), 1 << 30));
            if (FServices.Children != nullptr && FServices.Children->Fd() < 0) {
                ReapChildren(); // nothing says when: look now and then
                timeout = std::min(timeout, 100);
            }
        }
        if (::poll(waits.data(), waits.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            RaiseInOutError(errno);
        }
        for (std::size_t i = 0; i < waits.size() && !FStopped; ++i)
            if (waits[i].revents != 0)
                Handle(watches[i].Source);
    }
    return done && done();
}

} // namespace vantle
