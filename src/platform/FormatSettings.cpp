#include "platform/FormatSettings.h"

#include "platform/TextUtils.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

namespace vantle {

namespace {

enum : unsigned {
    LongNames = 1,   // %a and %b give the long names
    DropSeconds = 2, // the short time format: seconds and their separator left out
    DateOnly = 4     // the long date format: stop at the first time conversion
};

bool IsTimeConversion(char c) {
    return std::string_view("HkIlMSpPTRrXZz").find(c) != std::string_view::npos;
}

class TTranslator {
public:
    TTranslator(const TLocaleTimeData& data, unsigned options) : FData(data), FOptions(options) {}

    std::string Run(std::string_view format) {
        Translate(format, 0);
        if (FOptions & DateOnly) {
            while (!FOut.empty() && (FOut.back() == ' ' || FOut.back() == ','))
                FOut.pop_back();
        }
        return FOut;
    }

private:
    void Literal(char c) {
        // Letters would read as specifiers, quotes as the start of quoted text.
        if (IsAsciiLetter(c) || c == '\'') {
            FOut += '"';
            FOut += c;
            FOut += '"';
        } else if (c == '"') {
            FOut += "'\"'";
        } else {
            FOut += c;
        }
    }

    void Translate(std::string_view format, int depth) {
        // %c may name %x and so on; the formats are short, and a loop must end.
        if (depth > 3)
            return;
        for (std::size_t i = 0; i < format.size() && !FStopped; ++i) {
            char c = format[i];
            if (c != '%' || i + 1 >= format.size()) {
                Literal(c);
                continue;
            }
            ++i;
            bool noPad = false;
            while (i < format.size() &&
                   std::string_view("-_0^#").find(format[i]) != std::string_view::npos) {
                noPad = noPad || format[i] == '-' || format[i] == '_';
                ++i;
            }
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                ++i;
            if (i < format.size() && (format[i] == 'E' || format[i] == 'O'))
                ++i;
            if (i >= format.size())
                break;
            Conversion(format[i], noPad, depth);
        }
    }

    void Conversion(char c, bool noPad, int depth) {
        if ((FOptions & DateOnly) && IsTimeConversion(c)) {
            FStopped = true;
            return;
        }
        bool longNames = FOptions & LongNames;
        switch (c) {
        case 'd':
            FOut += noPad ? "d" : "dd";
            break;
        case 'e':
            FOut += "d";
            break;
        case 'm':
            FOut += noPad ? "m" : "mm";
            break;
        case 'y':
        case 'g':
            FOut += "yy";
            break;
        case 'Y':
        case 'G':
            FOut += "yyyy";
            break;
        case 'b':
        case 'h':
            FOut += longNames ? "mmmm" : "mmm";
            break;
        case 'B':
            FOut += "mmmm";
            break;
        case 'a':
            FOut += longNames ? "dddd" : "ddd";
            break;
        case 'A':
            FOut += "dddd";
            break;
        case 'H':
        case 'I':
            FOut += noPad ? "h" : "hh";
            break;
        case 'k':
        case 'l':
            FOut += "h";
            break;
        case 'M':
            // "n", not "m": the minute whatever letter came before.
            FOut += noPad ? "n" : "nn";
            break;
        case 'S':
            if (FOptions & DropSeconds) {
                while (!FOut.empty() && !IsAsciiLetter(FOut.back()) && FOut.back() != ' ' &&
                       FOut.back() != '"' && FOut.back() != '\'')
                    FOut.pop_back();
            } else {
                FOut += noPad ? "s" : "ss";
            }
            break;
        case 'p':
        case 'P':
            FOut += "ampm";
            break;
        case 'T':
            Translate("%H:%M:%S", depth + 1);
            break;
        case 'R':
            Translate("%H:%M", depth + 1);
            break;
        case 'r':
            Translate(FData.TimeAmPmFormat.empty() ? "%I:%M:%S %p" : FData.TimeAmPmFormat,
                      depth + 1);
            break;
        case 'D':
            Translate("%m/%d/%y", depth + 1);
            break;
        case 'F':
            Translate("%Y-%m-%d", depth + 1);
            break;
        case 'x':
            Translate(FData.DateFormat, depth + 1);
            break;
        case 'X':
            Translate(FData.TimeFormat, depth + 1);
            break;
        case 'c':
            Translate(FData.DateTimeFormat, depth + 1);
            break;
        case 'n':
        case 't':
            FOut += ' ';
            break;
        case '%':
            FOut += '%';
            break;
        default:
            // Week numbers, day of the year, zone names: nothing the formatter knows.
            break;
        }
    }

    const TLocaleTimeData& FData;
    unsigned FOptions;
    std::string FOut;
    bool FStopped = false;
};

std::string Translate(const TLocaleTimeData& data, std::string_view format, unsigned options) {
    return TTranslator(data, options).Run(format);
}

// The first punctuation between conversions, or `fallback`.
char SeparatorOf(const TLocaleTimeData& data, std::string_view format, char fallback,
                 int depth = 0) {
    for (std::size_t i = 0; i < format.size() && depth < 3; ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char conversion = format[++i];
            if (conversion == 'T' || conversion == 'R')
                return ':';
            if (conversion == 'D')
                return '/';
            if (conversion == 'F')
                return '-';
            if (conversion == 'r')
                return SeparatorOf(data, data.TimeAmPmFormat, fallback, depth + 1);
            continue;
        }
        if (c > ' ' && c < 127 && !IsAsciiLetter(c) && !(c >= '0' && c <= '9'))
            return c;
    }
    return fallback;
}

bool IsCLocale(const std::string& name) {
    return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

// The LC_TIME locale the environment asks for, by the usual order of precedence.
std::string EnvironmentLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

} // namespace

TFormatSettings FixedFormatSettings() {
    return TFormatSettings{};
}

TFormatSettings FormatSettingsFrom(const TLocaleTimeData& data) {
    TFormatSettings settings;
    settings.DateSeparator = SeparatorOf(data, data.DateFormat, '/');
    std::string_view timeFormat = data.TimeFormat == "%r" ? data.TimeAmPmFormat : data.TimeFormat;
    settings.TimeSeparator = SeparatorOf(data, timeFormat, ':');
    settings.ShortDateFormat = Translate(data, data.DateFormat, 0);
    settings.LongDateFormat = Translate(data, data.DateTimeFormat, LongNames | DateOnly);
    if (settings.LongDateFormat.find_first_of("yY") == std::string::npos)
        settings.LongDateFormat = Translate(data, data.DateFormat, LongNames);
    settings.ShortTimeFormat = Translate(data, data.TimeFormat, DropSeconds);
    settings.LongTimeFormat = Translate(data, data.TimeFormat, 0);
    settings.TimeAMString = data.AMString;
    settings.TimePMString = data.PMString;
    settings.ShortMonthNames = data.ShortMonthNames;
    settings.LongMonthNames = data.LongMonthNames;
    settings.ShortDayNames = data.ShortDayNames;
    settings.LongDayNames = data.LongDayNames;
    return settings;
}

TFormatSettings LocaleFormatSettings(const std::string& localeName) {
    std::string name = localeName.empty() ? EnvironmentLocaleName() : localeName;
    if (IsCLocale(name))
        return FixedFormatSettings();
    locale_t locale = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return FixedFormatSettings();
    auto item = [locale](nl_item what) { return std::string(nl_langinfo_l(what, locale)); };
    TLocaleTimeData data;
    data.DateFormat = item(D_FMT);
    data.TimeFormat = item(T_FMT);
    data.TimeAmPmFormat = item(T_FMT_AMPM);
    data.DateTimeFormat = item(D_T_FMT);
    data.AMString = item(AM_STR);
    data.PMString = item(PM_STR);
    for (int i = 0; i < 12; ++i) {
        data.ShortMonthNames[static_cast<std::size_t>(i)] = item(ABMON_1 + i);
        data.LongMonthNames[static_cast<std::size_t>(i)] = item(MON_1 + i);
    }
    for (int i = 0; i < 7; ++i) {
        data.ShortDayNames[static_cast<std::size_t>(i)] = item(ABDAY_1 + i);
        data.LongDayNames[static_cast<std::size_t>(i)] = item(DAY_1 + i);
    }
    freelocale(locale);
    return FormatSettingsFrom(data);
}

TFormatSettings LocaleFormatSettings() {
    return LocaleFormatSettings(std::string());
}

const TFormatSettings& SystemFormatSettings() {
    static const TFormatSettings settings = LocaleFormatSettings();
    return settings;
}

} // namespace vantle
