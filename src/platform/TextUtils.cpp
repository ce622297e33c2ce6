#include "platform/TextUtils.h"

#include <algorithm>

namespace vantle {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string CountOf(std::int64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string Quoted(std::string_view text) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "'" + text.
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('\'');
    quoted.append(text);
    quoted.push_back('\'');
    return quoted;
}

namespace {

// The length of the well-formed UTF-8 sequence that starts at `at`, 0 for none: no
// overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t Utf8LengthAt(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf; // the second byte's range
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xc0) != 0x80)
            return 0;
    return length;
}

void AppendEscape(std::string& out, const char* prefix, unsigned char value) {
    static const char Digits[] = "0123456789abcdef";
    out.append(prefix);
    out.push_back(Digits[value >> 4]);
    out.push_back(Digits[value & 0xf]);
}

} // namespace

std::string VisibleText(std::string_view text, TVisibleFor target, bool escapeTab) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && (c != '\t' || escapeTab)) || c == 0x7f)
                AppendEscape(out, "\\x", c);
            else
                out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const std::size_t length = Utf8LengthAt(text, i);
        if (length == 0) {
            if (target == TVisibleFor::Terminal)
                AppendEscape(out, "\\x", c);
            else
                out.push_back(static_cast<char>(c));
            ++i;
        } else if (c == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            AppendEscape(out, "\\u00", static_cast<unsigned char>(text[i + 1])); // U+0080..U+009F
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace vantle
