#include "sched/TimeFieldInput.h"

#include "platform/TextUtils.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace vantle {

namespace {

constexpr std::array<std::string_view, 12> MonthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                         "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<std::string_view, 7> DayNames = {"sun", "mon", "tue", "wed",
                                                      "thu", "fri", "sat"};

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A value as the conveniences write it: plain decimal digits (at most 9, so no overflow)
// or a name the field knows.
std::optional<std::int32_t> ReadValue(TTimeFieldKind kind, std::string_view text) {
    if (IsDigits(text))
        return text.size() <= 9 ? std::optional<std::int32_t>(std::stoi(std::string(text)))
                                : std::nullopt;
    if (kind == TTimeFieldKind::Months)
        for (std::size_t i = 0; i < MonthNames.size(); ++i)
            if (EqualsNoCase(text, MonthNames[i]))
                return static_cast<std::int32_t>(i + 1);
    if (kind == TTimeFieldKind::WeekDays)
        for (std::size_t i = 0; i < DayNames.size(); ++i)
            if (EqualsNoCase(text, DayNames[i]))
                return static_cast<std::int32_t>(i);
    return std::nullopt;
}

bool InField(TTimeFieldKind kind, std::int32_t value) {
    return value >= TimeFieldOf(kind).Low && value <= TimeFieldOf(kind).High;
}

// Cron's 7 for Sunday, which this schedule writes 0: a day of the week alone, or the end
// of a range ("5-7" is Friday to Sunday); nullopt when the item has no 7 to turn.
std::optional<std::string> SundayAsZero(std::string_view item) {
    if (item == "7")
        return "0";
    const std::size_t dash = item.find('-');
    if (dash == std::string_view::npos || item.substr(dash + 1) != "7")
        return std::nullopt;
    const std::string_view first = item.substr(0, dash);
    if (first == "7")
        return "0";
    if (first == "0")
        return "0-6";
    if (!IsDigits(first) || first.size() > 1 || first[0] > '6')
        return std::nullopt;
    return std::string(first) + "-6,0";
}

// One comma item in the stored form, or nullopt when it has none.
std::optional<std::string> StoredItem(TTimeFieldKind kind, std::string_view item) {
    const std::size_t slash = item.find('/');
    const bool hasLetter = std::find_if(item.begin(), item.end(), IsAsciiLetter) != item.end();
    if (kind == TTimeFieldKind::WeekDays && slash == std::string_view::npos)
        if (std::optional<std::string> sunday = SundayAsZero(item))
            return sunday;
    if (slash == std::string_view::npos && !hasLetter)
        return std::string(item); // already stored text, sensible or not
    std::string_view base = item.substr(0, slash);
    std::int32_t low = 0;
    std::int32_t high = 0;
    const std::size_t dash = base.find('-');
    if (base == "*") {
        if (slash == std::string_view::npos)
            return std::nullopt;
        low = TimeFieldOf(kind).Low;
        high = TimeFieldOf(kind).High;
    } else if (dash == std::string_view::npos) {
        std::optional<std::int32_t> value = ReadValue(kind, base);
        if (!value)
            return std::nullopt;
        low = *value;
        // "5/20" runs from 5 to the field's end, as cron reads it.
        high = slash == std::string_view::npos ? *value : TimeFieldOf(kind).High;
    } else {
        std::optional<std::int32_t> first = ReadValue(kind, base.substr(0, dash));
        std::optional<std::int32_t> last = ReadValue(kind, base.substr(dash + 1));
        if (!first || !last)
            return std::nullopt;
        if (slash == std::string_view::npos)
            return std::to_string(*first) + "-" + std::to_string(*last);
        low = *first;
        high = *last;
    }
    if (slash == std::string_view::npos)
        return std::to_string(low);
    std::string_view stepText = item.substr(slash + 1);
    // The numbers are spelled out, so they must lie in the field: "0-90/15" is refused
    // rather than turned into numbers that never match.
    const bool sundayEnd = kind == TTimeFieldKind::WeekDays && high == 7;
    if (!IsDigits(stepText) || stepText.size() > 9 || !InField(kind, low) ||
        (!InField(kind, high) && !sundayEnd) || low > high)
        return std::nullopt;
    const std::int32_t step = std::stoi(std::string(stepText));
    if (step < 1)
        return std::nullopt;
    std::string list;
    for (std::int32_t value = low; value <= high; value += step) {
        if (!list.empty())
            list += ',';
        list += std::to_string(value);
    }
    // A step that reaches cron's 7 reaches Sunday, which "0-7/7" already names.
    if (sundayEnd && (7 - low) % step == 0) {
        const bool sundayToo = low == 0;
        list.erase(list.size() - 1); // the "7"
        if (!list.empty() && list.back() == ',')
            list.pop_back();
        if (!sundayToo)
            list = list.empty() ? "0" : list + ",0";
    }
    return list;
}

} // namespace

std::string ToStoredTimeField(TTimeFieldKind kind, std::string_view text) {
    if (text == "*")
        return std::string(text);
    std::string stored;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        std::optional<std::string> item = StoredItem(kind, text.substr(start, end - start));
        if (!item)
            return std::string(text);
        stored += *item;
        if (end == text.size())
            break;
        stored += ',';
        start = end + 1;
    }
    return stored;
}

TTypedTimeField FilterTypedTimeField(std::string_view text, std::size_t caret) {
    TTypedTimeField kept;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool stepStart = i + 1 < text.size() && text[i + 1] == '/';
        if (ch == '*' && !stepStart)
            return {"*", i < caret ? 1u : 0u};
        if ((ch >= '0' && ch <= '9') || ch == ',' || ch == '-' || ch == '/' || ch == '*' ||
            (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
            kept.Text += ch;
            if (i < caret)
                ++kept.Caret;
        }
    }
    return kept;
}

} // namespace vantle
