#include "platform/WallTimer.h"

#include "platform/Clock.h"
#include "platform/SysErrors.h"

#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vantle {

std::timespec NextCycleAt(const std::timespec& nowUtc) {
    // Worked in local seconds, so a zone whose offset is not whole minutes still ticks
    // at :05 on its own clock. A change of offset in between (daylight saving) moves
    // by whole hours, which keeps the answer on :05.
    const long offset = UtcOffsetAt(nowUtc);
    const std::int64_t local = static_cast<std::int64_t>(nowUtc.tv_sec) + offset;
    std::int64_t next = FloorDiv(local - 5, 60) * 60 + 65;
    std::timespec at{};
    at.tv_sec = static_cast<std::time_t>(next - offset);
    at.tv_nsec = 0;
    if (at.tv_sec < nowUtc.tv_sec || (at.tv_sec == nowUtc.tv_sec && nowUtc.tv_nsec > 0))
        at.tv_sec += 60; // never the moment we are already at or past
    return at;
}

std::timespec CycleOfNextMinute(const std::timespec& nowUtc) {
    const long offset = UtcOffsetAt(nowUtc);
    const std::int64_t local = static_cast<std::int64_t>(nowUtc.tv_sec) + offset;
    std::timespec at{};
    at.tv_sec = static_cast<std::time_t>(FloorDiv(local, 60) * 60 + 65 - offset);
    return at;
}

TWallTimer::TWallTimer() : FFd(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (FFd < 0)
        RaiseInOutError(errno);
}

TWallTimer::~TWallTimer() {
    if (FFd >= 0)
        ::close(FFd);
}

void TWallTimer::ArmAt(const std::timespec& utc) {
    itimerspec when{};
    when.it_value = utc;
    // A zero moment would disarm the timer instead of firing it.
    if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
        when.it_value.tv_nsec = 1;
    if (timerfd_settime(FFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) != 0)
        RaiseInOutError(errno);
}

void TWallTimer::Disarm() {
    itimerspec never{};
    timerfd_settime(FFd, 0, &never, nullptr);
}

TWallTimer::TWake TWallTimer::Read() {
    std::uint64_t expirations = 0;
    for (;;) {
        ssize_t n = ::read(FFd, &expirations, sizeof expirations);
        if (n == static_cast<ssize_t>(sizeof expirations))
            return TWake::Fired;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == ECANCELED)
            return TWake::ClockChanged;
        return TWake::Nothing;
    }
}

} // namespace vantle
