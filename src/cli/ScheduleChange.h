// What every command that changes a schedule does around its change: the file read afresh
// and saved through the list's safe save, with what the save and a window holding the
// schedule have to say.
#pragma once

#include "sched/SchedList.h"

#include <iosfwd>
#include <string>

namespace vantle::cli {

/// The schedule as it is on disk; false when the file does not exist (an empty schedule,
/// which a save creates). The commands that only read a schedule load it this way too. Raises
/// EFailure for a file that is not a schedule or cannot be read.
bool LoadForChange(TSchedList& list, const std::string& path);

/// Saves `list`, then says on `err` what the save could not keep and, when a window
/// holds the schedule with unsaved edits, that saving them there would overwrite `what`
/// ("this change").
void SaveChange(TSchedList& list, std::ostream& err, const std::string& what);

} // namespace vantle::cli
