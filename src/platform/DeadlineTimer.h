// A timer on the monotonic clock, for deadlines counted in running time (a program's
// time limit, the grace before SIGKILL): steps of the wall clock do not move them.
#pragma once

#include <cstdint>

namespace vantle {

class TDeadlineTimer {
public:
    /// Raises EInOutError when the system has no such timer.
    TDeadlineTimer();
    ~TDeadlineTimer();
    TDeadlineTimer(const TDeadlineTimer&) = delete;
    TDeadlineTimer& operator=(const TDeadlineTimer&) = delete;

    /// Readable once the armed moment has come; watch it with poll.
    int Fd() const { return FFd; }
    /// Fires `nanos` nanoseconds from now (at once when 0 or less).
    void ArmAfter(std::int64_t nanos);
    void Disarm();
    /// Empties the descriptor; true when the timer had fired. Never blocks.
    bool Read();

private:
    int FFd = -1;
};

} // namespace vantle
