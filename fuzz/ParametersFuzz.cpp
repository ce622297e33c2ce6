// ExpandParameters and the date-time formatter with any text, on a fixed clock,
// fixed regional settings and a made-up environment.
#include "engine/DateTimeFormat.h"
#include "engine/Parameters.h"
#include "platform/DateTime.h"
#include "platform/SysErrors.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

class TFixedClock : public vantle::TClock {
public:
    vantle::TDateTime Now() const override { return FNow; }
    vantle::TDateTime FNow = 0;
};

class TMapEnvironment : public vantle::TEnvironment {
public:
    std::optional<std::string> Get(const std::string& name) const override {
        auto it = FValues.find(name);
        if (it == FValues.end())
            return std::nullopt;
        return it->second;
    }
    std::map<std::string, std::string> FValues{
        {"PATH", "/usr/bin:/bin"},
        {"EMPTY", ""},
        {"LONG", std::string(5000, 'x')},
        {"NL", "one\ntwo; $(three) `four`"},
        {"TOKENS", "$D$V[TOKENS]$$"}, // must come out as it is: never expanded twice
        {"PERCENT", "%s%d%n"},
    };
};

vantle::TDateTime Moment(std::uint8_t selector) {
    using vantle::EncodeDate, vantle::EncodeTime;
    switch (selector % 6) {
    case 0:
        return EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 123);
    case 1:
        return EncodeDate(2000, 2, 29) + EncodeTime(23, 59, 59, 999);
    case 2:
        return EncodeDate(1, 1, 1);
    case 3:
        return EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59, 999);
    case 4:
        return EncodeDate(1899, 12, 30) + EncodeTime(0, 0, 0, 1);
    default:
        return EncodeDate(2001, 1, 31) + EncodeTime(12, 0, 0, 0);
    }
}

[[noreturn]] void Fail(const char* what, std::string_view input, const std::string& output) {
    std::fprintf(stderr, "%s\n input:  \"%.*s\"\n output: \"%s\"\n", what,
                 static_cast<int>(input.size()), input.data(), output.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const vantle::TFormatSettings settings = vantle::FixedFormatSettings();
    static const TMapEnvironment environment;
    TFixedClock clock;
    clock.FNow = Moment(data[0] >> 1);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    // Bad dates are the one error either may raise; anything else escapes and crashes.
    try {
        if ((data[0] & 1) == 0) {
            vantle::TParameterExpander expander(clock, environment, settings);
            std::string result = expander.ExpandParameters(text);
            if (text.find('$') == std::string::npos && result != text)
                Fail("text without a token changed", text, result);
            if (text == "$V[TOKENS]" && result != "$D$V[TOKENS]$$")
                Fail("a variable's value was expanded again", text, result);
        } else {
            std::string result = vantle::FormatDateTime(text, clock.FNow, settings);
            if (text.find_first_of("\"'/:abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") ==
                    std::string::npos &&
                result != text)
                Fail("a pattern without specifiers changed", text, result);
        }
    } catch (const vantle::EConvertError&) {
    }
    return 0;
}
