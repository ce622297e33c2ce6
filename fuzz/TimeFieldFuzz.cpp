// IntOrZero, TTokenizer and FieldMatches against a small model written from their
// rules, independently of the code under test.
#include "sched/TimeField.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

// Leading blanks; then a sign and decimal digits, or "$", "x", "X", "0x", "0X" and
// hex digits whose value fits in 32 bits (read as a bit pattern); nothing after.
std::int32_t ModelIntOrZero(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::string_view rest = text.substr(i);
    std::size_t prefix = 0;
    if (rest.starts_with("0x") || rest.starts_with("0X"))
        prefix = 2;
    else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X"))
        prefix = 1;
    if (prefix != 0) {
        std::string_view digits = rest.substr(prefix);
        if (digits.empty())
            return 0;
        std::uint64_t value = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return 0;
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFu)
                return 0;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    bool negative = false;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty())
        return 0;
    std::int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            return 0;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return 0;
    return static_cast<std::int32_t>(value);
}

std::vector<std::string> ModelTokens(std::string_view text, char delimiter) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(delimiter, start);
        if (end == std::string_view::npos) {
            tokens.emplace_back(text.substr(start));
            return tokens;
        }
        tokens.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool ModelFieldMatches(std::int32_t value, std::string_view text) {
    if (text == "*")
        return true;
    for (const std::string& item : ModelTokens(text, ',')) {
        if (item.empty())
            return false; // an empty item ends the scan
        std::size_t dash = item.find('-');
        if (dash != std::string::npos) {
            if (ModelIntOrZero(std::string_view(item).substr(0, dash)) <= value &&
                value <= ModelIntOrZero(std::string_view(item).substr(dash + 1)))
                return true;
        } else if (ModelIntOrZero(item) == value) {
            return true;
        }
    }
    return false;
}

[[noreturn]] void Fail(const char* what, std::string_view text, long long got, long long want) {
    std::fprintf(stderr, "%s of \"%.*s\": got %lld, model says %lld\n", what,
                 static_cast<int>(text.size()), text.data(), got, want);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // First byte: the delimiter for the tokenizer; second: one more value to test.
    char delimiter = static_cast<char>(data[0]);
    std::int32_t extra = static_cast<std::int8_t>(data[1]);
    std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    std::int32_t got = vantle::IntOrZero(text);
    std::int32_t want = ModelIntOrZero(text);
    if (got != want)
        Fail("IntOrZero", text, got, want);

    const std::string owned(text);
    vantle::TTokenizer tokenizer{owned, delimiter};
    std::vector<std::string> tokens = ModelTokens(text, delimiter);
    for (std::size_t i = 0; i < tokens.size() + 2; ++i) {
        std::string token(tokenizer.NextToken());
        std::string expected = i < tokens.size() ? tokens[i] : std::string();
        if (token != expected)
            Fail("TTokenizer token (length shown)", text, static_cast<long long>(token.size()),
                 static_cast<long long>(expected.size()));
    }

    std::vector<std::int32_t> values{extra, want};
    for (std::int32_t value = -1; value <= 61; ++value)
        values.push_back(value);
    for (std::int32_t value : values) {
        if (vantle::FieldMatches(value, text) != ModelFieldMatches(value, text))
            Fail("FieldMatches (value shown; model's answer)", text, value,
                 ModelFieldMatches(value, text));
    }
    return 0;
}
