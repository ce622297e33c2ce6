// The five time fields' text syntax: "*", or a comma list of numbers and ranges.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantle {

/// The whole text as a 32-bit integer, 0 when it is not one. Leading blanks, an
/// optional sign and decimal digits, or hex after "$", "x", "X", "0x", "0X".
std::int32_t IntOrZero(std::string_view text);
/// The same reading, but nullopt where IntOrZero falls back to 0.
std::optional<std::int32_t> ReadInt(std::string_view text);

/// Splits a text at a one-character delimiter; consecutive delimiters give empty
/// tokens. Tokens are views into the text, which must outlive the tokenizer.
class TTokenizer {
public:
    TTokenizer(std::string_view text, char delimiter);
    /// The next token (possibly empty); empty text once the text is used up.
    std::string_view NextToken();

private:
    std::string_view FText;
    std::int32_t FPosition = 0; // 1-based index of the delimiter that ended the last token
    char FDelimiter;
};

/// Whether `value` satisfies the field text. An empty item ends the scan, so "1,,5"
/// matches 1 only and a trailing comma is harmless.
bool FieldMatches(std::int32_t value, std::string_view fieldText);
/// Whether the field matches every value from `low` to `high`: "*", and also "0-59" or a
/// list that names them all. A list that leaves one out is a fixed set.
bool FieldIsEvery(std::string_view fieldText, std::int32_t low, std::int32_t high);

} // namespace vantle
