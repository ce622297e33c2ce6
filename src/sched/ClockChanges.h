// What the scheduler runs when the local clock jumps, by a daylight-saving change or a
// setting: one set of rules for the scheduler and for the search of when entries run.
#pragma once

#include "sched/Schedule.h"

#include <cstdint>

namespace vantle {

/// The widest jump of the local clock, in minutes, that a cycle catches up on (forward)
/// or takes for the repeated minutes of a daylight-saving change (back); a wider one
/// is a clock moved, whose missed minutes do not run.
constexpr std::int64_t MaxCatchUpMinutes = 180;

/// Whether the entry runs again when local minutes it has run come round a second time
/// (the repeated autumn hour): so does what runs every minute or every hour, while a
/// fixed time of day has had its run.
bool RunsInRepeatedMinutes(const TSchedule& entry);

} // namespace vantle
