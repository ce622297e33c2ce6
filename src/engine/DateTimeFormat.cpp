#include "engine/DateTimeFormat.h"

#include "platform/TextUtils.h"

#include <string_view>
#include <vector>

namespace vantle {

namespace {

// The whole-date and whole-time specifiers take their patterns from the settings; a
// setting that names itself would never end, so nesting stops one level down.
constexpr int MaxNesting = 2;

enum class TKind {
    Literal,
    Year,
    Era,
    EraYear,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    MSec,
    Time,
    DateAndTime,
    AmPm,     // "am/pm"
    AP,       // "a/p"
    AmPmWord, // "ampm"
    ShortDayName,
    LongDayName,
    DateSeparator,
    TimeSeparator
};

struct TToken {
    TKind Kind;
    int Count = 1;
    std::string_view Text; // literal text, or the marker as written in the pattern
};

std::vector<TToken> Tokenize(std::string_view pattern) {
    std::vector<TToken> tokens;
    char lastLetter = ' ';
    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        char up = AsciiUpper(c);
        if (c == '\'' || c == '"') {
            std::size_t close = pattern.find(c, i + 1);
            std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            tokens.push_back({TKind::Literal, 1, pattern.substr(i + 1, end - i - 1)});
            i = close == std::string_view::npos ? end : close + 1;
            continue;
        }
        if (c == '/' || c == ':') {
            tokens.push_back({c == '/' ? TKind::DateSeparator : TKind::TimeSeparator, 1, {}});
            ++i;
            continue;
        }
        if (up < 'A' || up > 'Z') {
            tokens.push_back({TKind::Literal, 1, pattern.substr(i, 1)});
            ++i;
            continue;
        }
        if (up == 'A') {
            lastLetter = 'A';
            static constexpr struct {
                std::string_view Word;
                TKind Kind;
            } Markers[] = {{"am/pm", TKind::AmPm},
                           {"a/p", TKind::AP},
                           {"ampm", TKind::AmPmWord},
                           {"aaaa", TKind::LongDayName},
                           {"aaa", TKind::ShortDayName}};
            bool found = false;
            for (const auto& marker : Markers) {
                if (StartsWithNoCase(pattern.substr(i), marker.Word)) {
                    tokens.push_back({marker.Kind, 1, pattern.substr(i, marker.Word.size())});
                    i += marker.Word.size();
                    found = true;
                    break;
                }
            }
            if (!found) {
                tokens.push_back({TKind::Literal, 1, pattern.substr(i, 1)});
                ++i;
            }
            continue;
        }
        // A letter repeated directly, in the same case, is one specifier.
        int count = 1;
        while (i + count < pattern.size() && pattern[i + count] == c)
            ++count;
        TKind kind;
        switch (up) {
        case 'Y':
            kind = TKind::Year;
            break;
        case 'G':
            kind = TKind::Era;
            break;
        case 'E':
            kind = TKind::EraYear;
            break;
        case 'M':
            // The minute when the previous letter was an "h": "hh:mm" means what it says.
            kind = lastLetter == 'H' ? TKind::Minute : TKind::Month;
            if (kind == TKind::Minute)
                up = 'N';
            break;
        case 'D':
            kind = TKind::Day;
            break;
        case 'H':
            kind = TKind::Hour;
            break;
        case 'N':
            kind = TKind::Minute;
            break;
        case 'S':
            kind = TKind::Second;
            break;
        case 'Z':
            kind = TKind::MSec;
            break;
        case 'T':
            kind = TKind::Time;
            break;
        case 'C':
            kind = TKind::DateAndTime;
            break;
        default:
            // Any other letter is copied, one at a time, but still counts as a letter.
            lastLetter = up;
            tokens.push_back({TKind::Literal, 1, pattern.substr(i, 1)});
            ++i;
            continue;
        }
        lastLetter = up;
        tokens.push_back({kind, count, {}});
        i += static_cast<std::size_t>(count);
    }
    return tokens;
}

// An "h" shows a 12-hour clock when a marker follows before the next "h".
bool TwelveHourAt(const std::vector<TToken>& tokens, std::size_t index) {
    for (std::size_t k = index + 1; k < tokens.size(); ++k) {
        switch (tokens[k].Kind) {
        case TKind::Hour:
            return false;
        case TKind::AmPm:
        case TKind::AP:
        case TKind::AmPmWord:
            return true;
        default:
            break;
        }
    }
    return false;
}

void AppendNumber(std::string& out, int value, int digits) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < digits)
        out.append(static_cast<std::size_t>(digits) - text.size(), '0');
    out += text;
}

class TFormatter {
public:
    TFormatter(TDateTime value, const TFormatSettings& settings)
        : FDate(DecodeDate(value)), FTime(DecodeTime(value)), FWeekDay(WeekDayOf(value)),
          FSettings(settings) {}

    void Append(std::string_view pattern, int level);
    std::string& Result() { return FOut; }

private:
    TDateParts FDate;
    TTimeParts FTime;
    int FWeekDay;
    const TFormatSettings& FSettings;
    std::string FOut;
};

void TFormatter::Append(std::string_view pattern, int level) {
    if (level >= MaxNesting)
        return;
    std::vector<TToken> tokens = Tokenize(pattern);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const TToken& token = tokens[k];
        int count = token.Count;
        bool pm = FTime.Hour >= 12;
        switch (token.Kind) {
        case TKind::Literal:
            FOut += token.Text;
            break;
        case TKind::Year:
            if (count <= 2)
                AppendNumber(FOut, FDate.Year % 100, 2);
            else
                AppendNumber(FOut, FDate.Year, 4);
            break;
        case TKind::Era:
            // The Gregorian settings in use carry no era names.
            break;
        case TKind::EraYear:
            AppendNumber(FOut, FDate.Year, count >= 2 ? 2 : 1);
            break;
        case TKind::Month:
            if (count <= 2)
                AppendNumber(FOut, FDate.Month, count);
            else if (count == 3)
                FOut += FSettings.ShortMonthNames[static_cast<std::size_t>(FDate.Month - 1)];
            else
                FOut += FSettings.LongMonthNames[static_cast<std::size_t>(FDate.Month - 1)];
            break;
        case TKind::Day:
            if (count <= 2)
                AppendNumber(FOut, FDate.Day, count);
            else if (count == 3)
                FOut += FSettings.ShortDayNames[static_cast<std::size_t>(FWeekDay)];
            else if (count == 4)
                FOut += FSettings.LongDayNames[static_cast<std::size_t>(FWeekDay)];
            else if (count == 5)
                Append(FSettings.ShortDateFormat, level + 1);
            else
                Append(FSettings.LongDateFormat, level + 1);
            break;
        case TKind::Hour: {
            int hour = FTime.Hour;
            if (TwelveHourAt(tokens, k)) {
                if (hour == 0)
                    hour = 12;
                else if (hour > 12)
                    hour -= 12;
            }
            AppendNumber(FOut, hour, count > 2 ? 2 : count);
            break;
        }
        case TKind::Minute:
            AppendNumber(FOut, FTime.Minute, count > 2 ? 2 : count);
            break;
        case TKind::Second:
            AppendNumber(FOut, FTime.Second, count > 2 ? 2 : count);
            break;
        case TKind::MSec:
            AppendNumber(FOut, FTime.MSec, count > 3 ? 3 : count);
            break;
        case TKind::Time:
            Append(count == 1 ? FSettings.ShortTimeFormat : FSettings.LongTimeFormat, level + 1);
            break;
        case TKind::DateAndTime:
            Append(FSettings.ShortDateFormat, level + 1);
            if (FTime.Hour != 0 || FTime.Minute != 0 || FTime.Second != 0) {
                FOut += ' ';
                Append(FSettings.LongTimeFormat, level + 1);
            }
            break;
        case TKind::AmPm:
            FOut += token.Text.substr(pm ? 3 : 0, 2);
            break;
        case TKind::AP:
            FOut += token.Text[pm ? 2 : 0];
            break;
        case TKind::AmPmWord:
            FOut += pm ? FSettings.TimePMString : FSettings.TimeAMString;
            break;
        case TKind::ShortDayName:
            FOut += FSettings.ShortDayNames[static_cast<std::size_t>(FWeekDay)];
            break;
        case TKind::LongDayName:
            FOut += FSettings.LongDayNames[static_cast<std::size_t>(FWeekDay)];
            break;
        case TKind::DateSeparator:
            FOut += FSettings.DateSeparator;
            break;
        case TKind::TimeSeparator:
            FOut += FSettings.TimeSeparator;
            break;
        }
    }
}

} // namespace

std::string FormatDateTime(const std::string& pattern, TDateTime value,
                           const TFormatSettings& settings) {
    TFormatter formatter(value, settings);
    formatter.Append(pattern, 0);
    return std::move(formatter.Result());
}

} // namespace vantle
