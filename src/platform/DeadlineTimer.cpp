#include "platform/DeadlineTimer.h"

#include "platform/SysErrors.h"

#include <cerrno>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vantle {

TDeadlineTimer::TDeadlineTimer()
    : FFd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (FFd < 0)
        RaiseInOutError(errno);
}

TDeadlineTimer::~TDeadlineTimer() {
    close(FFd);
}

void TDeadlineTimer::ArmAfter(std::int64_t nanos) {
    // A zero it_value disarms: a deadline already past fires a nanosecond from now.
    nanos = nanos > 0 ? nanos : 1;
    itimerspec when{};
    when.it_value.tv_sec = static_cast<std::time_t>(nanos / 1'000'000'000);
    when.it_value.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
    if (timerfd_settime(FFd, 0, &when, nullptr) != 0)
        RaiseInOutError(errno);
}

void TDeadlineTimer::Disarm() {
    itimerspec never{};
    timerfd_settime(FFd, 0, &never, nullptr);
}

bool TDeadlineTimer::Read() {
    std::uint64_t expirations = 0;
    return ::read(FFd, &expirations, sizeof expirations) == sizeof expirations;
}

} // namespace vantle
