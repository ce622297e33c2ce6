// The findings of `vantle-schedctl check`: what the lenient reader takes without a
// word, but a person writing the file almost certainly did not mean.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vantle::cli {

struct TFinding {
    std::size_t Line = 0; // as an editor counts lines (CR LF, CR or LF each end one); 0: the file
    std::string Message;
    bool Error = false; // what goes wrong for sure when the entry runs, not only likely
};

/// What starting a program would meet: 0 when it is there, else the start's code (see
/// ProbeStart). Given the command and the working folder as the entry holds them, and the
/// PATH the entry sets (nullopt: the scheduler's own).
using TStartProbe = std::function<std::uint32_t(
    const std::string& file, const std::string& directory, const std::optional<std::string>& path)>;

/// Findings in the content, ordered by line; `probe` (when given) tells which active
/// entries would not find their program. `home` is the folder a run without a working
/// folder starts in (empty: the user's, HomeFolder).
std::vector<TFinding> CheckScheduleText(std::string_view content, const TStartProbe& probe = {},
                                        const std::string& home = {});
/// Findings about who may write the file and its folder (their permission bits).
std::vector<TFinding> CheckSchedulePermissions(mode_t fileMode, mode_t folderMode);

} // namespace vantle::cli
