#include "engine/Parameters.h"

#include "engine/DateTimeFormat.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace vantle {

namespace {

// Digits only, so this is the integer reading of the count: 0 beyond 32 bits.
std::int32_t CountOf(const std::string& digits) {
    std::int64_t value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return 0;
    }
    return static_cast<std::int32_t>(value);
}

[[noreturn]] void RaiseDateError() {
    throw EConvertError("Invalid argument to date encode");
}

// Days, hours, minutes and seconds may carry the date out of the calendar too; that
// date is as impossible as one a month offset reaches, so it raises the same error.
TDateTime AddMSecs(TDateTime value, std::int64_t msecs) {
    static const std::int64_t First = ToMSecs(EncodeDate(1, 1, 1));
    static const std::int64_t Last = ToMSecs(EncodeDate(9999, 12, 31)) + MSecsPerDay - 1;
    std::int64_t start = ToMSecs(value);
    if (start < First || start > Last)
        RaiseDateError();
    std::int64_t result = start + msecs; // |msecs| stays below 2^31 days: no overflow
    if (result < First || result > Last)
        RaiseDateError();
    return FromMSecs(result);
}

} // namespace

TParameterExpander::TParameterExpander(const TClock& clock, const TEnvironment& environment,
                                       const TFormatSettings& settings)
    : FClock(clock), FEnvironment(environment), FSettings(settings) {}

TDateTime TParameterExpander::ApplyTimeOffsets(const std::string& text, std::size_t& pos) const {
    TDateTime value = FClock.Now();
    while (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        std::int32_t sign = text[pos] == '-' ? -1 : 1;
        std::size_t digitsStart = ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            ++pos;
        std::int32_t count = sign * CountOf(text.substr(digitsStart, pos - digitsStart));
        // A missing, zero or unreadable count is one unit forward, even after "-".
        if (count == 0)
            count = 1;
        char unit = 'D';
        if (pos < text.size() && IsAsciiLetter(text[pos])) {
            char letter = text[pos++];
            if (letter == 'M' || letter == 'Y' || letter == 'h' || letter == 'm' || letter == 's')
                unit = letter;
        }
        switch (unit) {
        case 'h':
            value = AddMSecs(value, std::int64_t{count} * MSecsPerHour);
            break;
        case 'm':
            value = AddMSecs(value, std::int64_t{count} * MSecsPerMinute);
            break;
        case 's':
            value = AddMSecs(value, std::int64_t{count} * MSecsPerSecond);
            break;
        case 'M':
            value = IncMonths(value, count);
            break;
        case 'Y':
            value = IncYears(value, count);
            break;
        default:
            value = AddMSecs(value, std::int64_t{count} * MSecsPerDay);
            break;
        }
    }
    return value;
}

std::string TParameterExpander::GetEnvValue(const std::string& name) const {
    return FEnvironment.Get(name).value_or(std::string());
}

std::string TParameterExpander::ExpandParameters(const std::string& text) const {
    std::string result;
    result.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        char letter = i + 1 < text.size() ? AsciiUpper(text[i + 1]) : '\0';
        if (text[i] != '$' || std::string_view("$DNTVY").find(letter) == std::string_view::npos ||
            letter == '\0') {
            result += text[i++];
            continue;
        }
        i += 2;
        bool isDate = letter == 'D' || letter == 'N' || letter == 'T' || letter == 'Y';
        TDateTime value = 0;
        if (letter == 'D' || letter == 'N')
            value = ApplyTimeOffsets(text, i);
        else if (isDate)
            value = FClock.Now();

        std::string argument;
        if (i < text.size() && text[i] == '[') {
            std::size_t close = text.find(']', i);
            if (close != std::string::npos) {
                argument = text.substr(i + 1, close - i - 1);
                i = close + 1;
            }
        }

        if (letter == '$') {
            result += '$';
            continue;
        }
        if (letter == 'V') {
            if (!argument.empty())
                result += GetEnvValue(argument);
            continue;
        }
        if (letter == 'T')
            value = DateOf(value);
        else if (letter == 'Y')
            value = DateOf(value) - 1;

        if (StartsWithNoCase(argument, "firstday")) {
            value = FirstDayOfMonth(value);
            argument.erase(0, argument.size() > 8 && argument[8] == ':' ? 9 : 8);
        }
        if (StartsWithNoCase(argument, "lastday")) {
            value = LastDayOfMonth(value);
            argument.erase(0, argument.size() > 7 && argument[7] == ':' ? 8 : 7);
        }
        if (argument.empty())
            argument = letter == 'N' ? "yyyymmdd:hhmmss" : "yyyymmdd";
        result += FormatDateTime(argument, value, FSettings);
    }
    return result;
}

} // namespace vantle
