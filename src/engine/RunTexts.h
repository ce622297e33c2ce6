// How a run's result and duration read wherever runs are shown: the window's grid and
// Run History, and `vantle-schedctl history`.
#pragma once

#include "engine/RunStore.h"

#include <cstdint>
#include <string>

namespace vantle {

/// How a run's result and duration read wherever runs are listed: "Running" and
/// "running" while it is open, "12.3 s", "2 min 5 s", "1 h 2 min", and no duration for a
/// run closed after its scheduler ended (how long it took is not known).
std::string ShownResult(const TStoredRun& run);
std::string ShownDuration(const TStoredRun& run);
/// What started a run, and which try it was when its entry retries: "retry, attempt 2
/// of 4".
std::string ShownTrigger(const TStoredRun& run);
/// The grid's result of a clean exit: "Exited 0 after 12 s".
std::string CleanExitText(std::int64_t seconds);

} // namespace vantle
