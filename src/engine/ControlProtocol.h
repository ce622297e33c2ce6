// The control socket's line protocol: `vantle-schedctl start` asks the scheduler that
// holds a schedule (the window or `vantle-schedctl run`) to Execute Now an entry.
//
// One request per connection, one line ending in LF, at most ControlLineLimit bytes:
//     start [--wait] [--index N] NAME
// NAME is the rest of the line, escaped: "\\" a backslash, "\n" a line feed, "\r" a
// carriage return and "\-" a dash (a name that begins with a dash is written so, and is
// never read as an option); every other byte but NUL stands for itself. N picks the
// entry at position N (from 0, as [Schedule N]) among several of that name.
// The holder answers one line:
//     started KEY      the run's key in the run records (0: not recorded)
//     error TEXT       nothing was started; TEXT (escaped as NAME) says why
// and with --wait keeps the connection until that run concludes, then sends
//     ended 0 RESULT   a good end, RESULT (escaped) as the run's record says it: "Exited 0"
//     ended 1 RESULT   a failure: "Exited 3", "Stopped at time limit", "Failed: ..."
// and closes. A connection closed before the ended line: the scheduler stopped first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantle {

/// The longest line either side sends or takes, without its LF.
inline constexpr std::size_t ControlLineLimit = 64 * 1024;

/// The text with a backslash, a line feed and a carriage return escaped, and a leading
/// dash, so that it fits in one line after the options.
std::string EscapeControlText(std::string_view text);
/// The text an escaped one stands for; nullopt for an unknown escape or a NUL byte.
std::optional<std::string> UnescapeControlText(std::string_view text);

struct TControlRequest {
    std::string Name;
    std::optional<std::int32_t> Index = {};
    bool Wait = false;
    bool operator==(const TControlRequest&) const = default;
};

/// The request's line, with its LF.
std::string FormatRequest(const TControlRequest& request);
/// The request a line (without its LF) makes; nullopt, with `error` saying why, for
/// anything else.
std::optional<TControlRequest> ParseRequest(std::string_view line, std::string& error);

struct TControlAnswer {
    enum TKind { Started, Error, Ended };
    TKind Kind = Started;
    std::int64_t Key = 0;  // Started
    bool Failure = false;  // Ended
    std::string Text = {}; // Error: why; Ended: the run's result
    bool operator==(const TControlAnswer&) const = default;
};

/// The answer's line, with its LF.
std::string FormatAnswer(const TControlAnswer& answer);
/// The answer a line (without its LF) gives; nullopt for anything else.
std::optional<TControlAnswer> ParseAnswer(std::string_view line);

/// Cuts what a socket delivers into lines; a line longer than ControlLineLimit is
/// not kept (its bytes would pile up without end), Overflowed says so.
class TLineReader {
public:
    void Append(std::string_view data);
    /// The next whole line, without its LF.
    std::optional<std::string> TakeLine();
    bool Overflowed() const { return FOverflowed; }

private:
    std::string FBuffer;
    bool FOverflowed = false;
};

} // namespace vantle
