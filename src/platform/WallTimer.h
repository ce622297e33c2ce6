// A timer that waits for a moment of the wall clock rather than for an interval, so a
// clock step or a resume from suspend cannot make a tick late or early.
#pragma once

#include <cstdint>
#include <ctime>

namespace vantle {

/// The next instant, strictly after `nowUtc`, at which the local clock reads five
/// seconds past a whole minute (hh:mm:05.000).
std::timespec NextCycleAt(const std::timespec& nowUtc);
/// Five seconds past the minute after the one `nowUtc` falls in: where a tick that
/// has just run this minute arms the next, even when it came before :05.
std::timespec CycleOfNextMinute(const std::timespec& nowUtc);

class TWallTimer {
public:
    enum class TWake {
        Nothing,     // woken for no reason (nothing to read)
        Fired,       // the armed moment has come
        ClockChanged // the wall clock was set: the armed moment means something else now
    };

    /// Raises EInOutError when the system has no such timer.
    TWallTimer();
    ~TWallTimer();
    TWallTimer(const TWallTimer&) = delete;
    TWallTimer& operator=(const TWallTimer&) = delete;

    /// Readable when the timer fired or the clock was set; watch it with poll.
    int Fd() const { return FFd; }
    /// Fires when the wall clock reaches `utc`; any step of the clock before that ends
    /// the wait with ClockChanged. A moment already past fires at once.
    void ArmAt(const std::timespec& utc);
    void Disarm();
    /// What woke the descriptor; never blocks.
    TWake Read();

private:
    int FFd = -1;
};

} // namespace vantle
