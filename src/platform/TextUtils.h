// Small text helpers shared by every layer: ASCII case, which no locale changes (the
// file's keys and markers are ASCII), the quoting that messages use, and texts made
// safe to write where people read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantle {

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// Equal when the ASCII letters are taken without their case; other bytes must match.
bool EqualsNoCase(std::string_view a, std::string_view b);
/// Whether `text` begins with `prefix`, ASCII letters taken without their case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
/// A count with its noun, singular for one: "1 minute", "120 minutes", "0 bytes".
std::string CountOf(std::int64_t count, std::string_view one, std::string_view many);
/// `text` between single quotes: 'text'.
std::string Quoted(std::string_view text);

/// Where a text goes: the log keeps bytes that are not UTF-8 as they are (they are the
/// user's, byte for byte); a terminal gets them as escapes, since a stray byte there
/// can be taken for a control.
enum class TVisibleFor { Log, Terminal };
/// `text` with every control character written as a visible escape, so that no name
/// can forge a line or a column or drive a terminal: C0 controls and DEL as `\x1b`,
/// `\x0a` (TAB only with `escapeTab`, for output that separates columns with TAB), C1
/// controls of valid UTF-8 by their code point, `\u0080` to `\u009f`, so they differ
/// from a stray byte, which a terminal gets as `\x85`. A backslash stays as it is.
/// Applied again, it changes nothing.
std::string VisibleText(std::string_view text, TVisibleFor target, bool escapeTab = false);

} // namespace vantle
