// Reading the command line of vantle-schedctl (options, files and moments) and
// reporting what a command fails on, the same way for every command.
#pragma once

#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "platform/SysErrors.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <iosfwd>
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

/// What ends a command with 2. A usage or input/output error is said after the
/// command's name ("vantle-schedctl fmt: ..."); an error of the scheduler is said in
/// its own words, as the window and the log say it.
class EFailure : public Exception {
public:
    explicit EFailure(std::string message, bool named = true)
        : Exception(std::move(message)), FNamed(named) {}
    bool Named() const { return FNamed; }

private:
    bool FNamed;
};

/// A usage error of `command`: the message, then the command's usage line.
EFailure UsageError(const std::string& command, const std::string& message);

/// ParseArguments for `command`; an unknown or incomplete option is a usage error.
TArguments ReadArguments(const std::string& command, const TArgs& args,
                         const std::vector<std::string>& flags,
                         const std::vector<std::string>& valued);

/// The one FILE a command reads; without one, the desktop program's schedule.
std::string ScheduleFileOf(const std::string& command, const TArguments& options);
/// A local minute as the commands print one: "YYYY-MM-DD hh:mm".
std::string FormatMinute(TDateTime moment);
/// An option's whole number from 1 to `most`; anything else fails the command.
int WholeNumberOption(const std::string& text, const std::string& option, int most);
/// A run's number as `history` lists it (up to 19 digits); raises EFailure otherwise.
std::int64_t RunNumberOption(const std::string& text, const std::string& option);

/// Runs a command: an EFailure, or any other exception, is reported on `err` and
/// ends the command with 2.
int Guarded(const std::string& command, std::ostream& err, const std::function<int()>& body);

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
/// ParseMoment, with a malformed moment as a failure of the command.
TMoment ReadMoment(const std::string& text, const std::string& option);
/// "YYYY-MM-DD hh:mm:ss+hh:mm".
std::string MomentText(const TMoment& moment);

} // namespace vantle::cli
