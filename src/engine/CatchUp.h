// Which missed minutes an entry that catches up makes good: the latest one due in the
// stretch the scheduler did not test, at most a month back.
#pragma once

#include "engine/CycleMemory.h"
#include "sched/Schedule.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vantle {

/// How far back a catch-up looks for a missed minute.
constexpr std::int64_t CatchUpDays = 31;

/// The latest minute in `firstUntested`..`current` - 1 (no earlier than CatchUpDays
/// before `current`) at which `entry` was due; nullopt when there is none, or the entry
/// is inactive or does not catch up. Found by the next-due search's day walk, never by
/// testing each minute.
std::optional<TLocalMinute> MissedMinute(const TSchedule& entry, TLocalMinute firstUntested,
                                         TLocalMinute current);

struct TPendingCatchUp {
    std::size_t Index = 0;   // in the entries given
    TLocalMinute Missed = 0; // the latest minute missed
};

/// What a scheduler that starts at `now` runs to catch up, when the latest minute it
/// tested before is `latest`; nothing without one (a first start catches up nothing).
std::vector<TPendingCatchUp> PendingCatchUps(const std::vector<const TSchedule*>& entries,
                                             std::optional<TLocalMinute> latest, TDateTime now);

} // namespace vantle
