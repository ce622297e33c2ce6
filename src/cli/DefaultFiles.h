// The files vantle-schedctl uses when a command is given no FILE: the desktop
// program's, so `vantle-schedctl run` alone serves the same schedule headless.
#pragma once

#include "platform/FileLocations.h"

#include <string>

namespace vantle::cli {

/// The desktop program's files, found by the desktop program's own rule as if it lay
/// beside `schedCtlPath` (the programs are installed in one folder), or, in a build
/// folder where it is not there, where the build put it (`../ui/`).
TFileLocations DesktopFiles(const std::string& schedCtlPath, const TEnvironment& environment,
                            const TFolderWritable& writable = {});
/// The same for this process, from its own executable and environment.
TFileLocations DesktopFiles();
/// The state file of the schedule `file`: the one the scheduler holding it named in its
/// lock (it follows that scheduler's --log), else the one that goes with `logFile`.
std::string StateFileFor(const std::string& file, const std::string& logFile);

} // namespace vantle::cli
