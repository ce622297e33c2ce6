// A "~" reaches the program as it is: no shell starts it, so nothing expands it, and
// "~/Documents" names a folder "~" in the working folder. Said where an entry is written
// or tried (check, the entry dialog, the dry run), with what to write instead.
#pragma once

#include "sched/Schedule.h"
#include "sched/ScheduleKeys.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantle {

/// One sentence for each of the texts that starts with "~": the command, each word of
/// the parameters, the working folder. `home` is the user's home folder, for the full
/// path to write instead ("~/bin/x" in /home/ann: "/home/ann/bin/x"); in the parameters
/// the token $V[HOME] stands for it. A built-in operation has none of these texts.
std::vector<std::string> TildeWarnings(const TSchedule& entry, const std::string& home);

/// The same for one key's value (Command, Parms or WorkDir); empty for any other key.
std::vector<std::string> TildeWarningsOf(TSchedLineKind kind, std::string_view value,
                                         const std::string& home);

} // namespace vantle
