// The desktop program's own options, answered before any window: --help, --version and
// --paths print and end the program; any other argument switches the scheduler on.
#pragma once

#include "platform/FileLocations.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// Answers --help, --version or --paths on `out` and returns the exit code; nullopt
/// when the program should start. `files` and `settingsFile` are what --paths prints.
std::optional<int> AnswerInfoOption(const std::vector<std::string>& args,
                                    const vantle::TFileLocations& files,
                                    const std::string& settingsFile, std::ostream& out);

} // namespace vantle
