// Small text helpers shared by every layer: ASCII case, which no locale changes (the
// file's keys and markers are ASCII), and the quoting that messages use.
#pragma once

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
/// `text` between single quotes: 'text'.
std::string Quoted(std::string_view text);

} // namespace vantle
