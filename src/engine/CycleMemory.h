// What a cycle tests, decided from the minutes the scheduler has already tested, so
// every due minute runs once: no doubles after a step back or a restart, no gaps
// after a late tick or a step forward.
#pragma once

#include "platform/DateTime.h"
#include "sched/ClockChanges.h"

#include <cstdint>
#include <optional>

namespace vantle {

/// A local calendar minute: whole minutes since 1899-12-30 00:00 of the local date and
/// time, so the minutes a spring change leaves out still count and the repeated
/// autumn hour reads as the same minutes twice.
using TLocalMinute = std::int64_t;
TLocalMinute LocalMinuteOf(TDateTime local);
TDateTime MomentOfMinute(TLocalMinute minute);

enum class TCycleKind {
    Nothing,      // this minute was tested already (a second tick, a small step back)
    Minutes,      // test every minute of From..To (one minute as a rule)
    RepeatedOnly, // a minute at or before one already tested: only entries whose
                  // minute or hour field is "*" run, and only when due at To
    ClockMoved    // the clock was changed, not corrected: test To alone (also at
                  // switching on, when set back more than MaxCatchUpMinutes meanwhile)
};

struct TCyclePlan {
    TCycleKind Kind = TCycleKind::Nothing;
    TLocalMinute From = 0, To = 0;
    /// The previous cycle's minute, for the log line of a moved clock; at the first
    /// cycle after switching on, the latest minute tested before.
    std::optional<TLocalMinute> Previous;
    /// The latest tested minute once this cycle's pass has ended.
    std::optional<TLocalMinute> Latest;
    /// The first of the minutes before From that passed untested, up to From - 1: the time
    /// the scheduler was not running (from the latest minute tested before a start) or a
    /// gap too long to catch up minute by minute. Entries that catch up look there.
    std::optional<TLocalMinute> MissedFrom;
    /// The first cycle after switching on, held back because the latest minute tested
    /// lies ahead of the clock (set back while the program was off).
    bool HeldBack = false;
};

class TCycleMemory {
public:
    /// Decides what the cycle at minute `m` tests and remembers `m` as the previous
    /// cycle. The latest tested minute moves only with Complete, so a pass that a
    /// failure stopped is tested again by the next cycle.
    TCyclePlan Plan(TLocalMinute m);
    /// The plan's pass has ended.
    void Complete(const TCyclePlan& plan) { FLatest = plan.Latest; }
    /// Forgets the previous cycle (switching on) but keeps the latest tested minute,
    /// which may also come from before a restart.
    void Restart(std::optional<TLocalMinute> latest);

    std::optional<TLocalMinute> Latest() const { return FLatest; }

private:
    std::optional<TLocalMinute> FPrevious; // P: the minute of the previous cycle
    std::optional<TLocalMinute> FLatest;   // L: the latest minute tested; a step back keeps it
};

} // namespace vantle
