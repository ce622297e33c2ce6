// Reading the command line of vantle-schedctl: options, files and moments.
#pragma once

#include "cli/Commands.h"
#include "platform/DateTime.h"

#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vantle::cli {

struct TArguments {
    std::set<std::string> Flags;
    /// Every value of an option, in the order given.
    std::map<std::string, std::vector<std::string>> Values;
    std::vector<std::string> Positional;

    bool Has(const std::string& flag) const { return Flags.count(flag) != 0; }
    /// The last value given, as a repeated option overrides an earlier one.
    std::optional<std::string> Value(const std::string& name) const;
    std::vector<std::string> AllValues(const std::string& name) const;
};

/// Splits `args` into the given flags, valued options ("--at X" or "--at=X") and
/// positional words; "--" ends the options. Returns the error text, or nullopt.
std::optional<std::string> ParseArguments(const TArgs& args, const std::vector<std::string>& flags,
                                          const std::vector<std::string>& valued,
                                          TArguments& result);

/// A moment of the command line: the local date and time, and the instant it names.
struct TMoment {
    TDateTime Local = 0;
    std::timespec Instant{};
    long UtcOffset = 0; // seconds east of Greenwich at that instant
};

/// "YYYY-MM-DD hh:mm[:ss[.zzz]]" (or "T" between date and time, as in ISO 8601), local
/// time, optionally followed by "Z" or "+hh:mm"/"-hh:mm" to name the instant, which
/// tells the two readings of a repeated hour apart. Without an offset a repeated time
/// is its earlier reading, and a local time that does not exist (a spring change
/// skips it) is refused. On failure returns nullopt and says why in `error`.
std::optional<TMoment> ParseMoment(const std::string& text, const std::string& option,
                                   std::string& error);
/// "YYYY-MM-DD hh:mm:ss+hh:mm".
std::string MomentText(const TMoment& moment);

} // namespace vantle::cli
