#include "sched/TimeField.h"

#include <cstdint>

namespace vantle {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> ReadHex(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) // leading zeros are fine, a ninth significant digit is not
            return std::nullopt;
    }
    // The digits are a 32-bit pattern: $FFFFFFFF is -1.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> ReadDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

std::optional<std::int32_t> ReadInt(std::string_view text) {
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(start);
    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
        return ReadHex(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ReadHex(text.substr(2));
    return ReadDecimal(text);
}

std::int32_t IntOrZero(std::string_view text) {
    return ReadInt(text).value_or(0);
}

TTokenizer::TTokenizer(std::string_view text, char delimiter)
    : FText(text), FDelimiter(delimiter) {}

std::string_view TTokenizer::NextToken() {
    // FPosition is 1-based, so as a 0-based index it is the character after the delimiter.
    std::size_t start = static_cast<std::size_t>(FPosition);
    if (start >= FText.size()) {
        FPosition = static_cast<std::int32_t>(FText.size()) + 1;
        return {};
    }
    std::size_t end = FText.find(FDelimiter, start);
    if (end == std::string_view::npos)
        end = FText.size();
    FPosition = static_cast<std::int32_t>(end) + 1;
    return FText.substr(start, end - start);
}

bool FieldMatches(std::int32_t value, std::string_view fieldText) {
    if (fieldText == "*")
        return true;
    TTokenizer items(fieldText, ',');
    for (std::string_view item = items.NextToken(); !item.empty(); item = items.NextToken()) {
        std::size_t dash = item.find('-');
        if (dash != std::string_view::npos) {
            if (IntOrZero(item.substr(0, dash)) <= value &&
                value <= IntOrZero(item.substr(dash + 1)))
                return true;
        } else if (IntOrZero(item) == value) {
            return true;
        }
    }
    return false;
}

bool FieldIsEvery(std::string_view fieldText, std::int32_t low, std::int32_t high) {
    for (std::int32_t value = low; value <= high; ++value)
        if (!FieldMatches(value, fieldText))
            return false;
    return true;
}

} // namespace vantle
