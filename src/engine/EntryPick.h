// Which entry a name given on the command line picks for Execute Now, the same way in the
// scheduler that holds the schedule and in `vantle-schedctl start --here`.
#pragma once

#include "sched/SchedList.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantle {

/// The entry picked, or why none is.
struct TEntryPick {
    std::int32_t Index = -1; // -1: none; Error says why
    std::string Error = {};
};

/// The entry of `list` named `name`; `index` picks among several of that name (a
/// Duplicate's copy). Names are shown as the terminal shows them ("Backup at 0, 3").
/// Execute Now picks an active entry only; the editing commands pick any.
TEntryPick PickEntry(TSchedList& list, const std::string& name, std::optional<std::int32_t> index,
                     bool activeOnly = true);

} // namespace vantle
