// Reading the command line of vantle-schedctl: options, files and moments.
#pragma once

#include "cli/Commands.h"
#include "platform/DateTime.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vantle::cli {

struct TArguments {
    std::set<std::string> Flags;
    std::map<std::string, std::string> Values;
    std::vector<std::string> Positional;

    bool Has(const std::string& flag) const { return Flags.count(flag) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
};

/// Splits `args` into the given flags, valued options ("--at X" or "--at=X") and
/// positional words; "--" ends the options. Returns the error text, or nullopt.
std::optional<std::string> ParseArguments(const TArgs& args, const std::vector<std::string>& flags,
                                          const std::vector<std::string>& valued,
                                          TArguments& result);

/// The finest part a moment may carry after "YYYY-MM-DD hh:mm".
enum class TMomentPart { Minute, Second, Millisecond };

/// A local moment "YYYY-MM-DD hh:mm" (or with "T" as in ISO 8601), with ":ss" and
/// ".zzz" as `finest` allows. On failure returns nullopt and says why in `error`.
std::optional<TDateTime> ParseMoment(const std::string& text, TMomentPart finest,
                                     const std::string& option, std::string& error);

} // namespace vantle::cli
