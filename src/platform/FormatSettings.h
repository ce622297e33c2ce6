// The regional settings the date-time formatter and the status bar need.
#pragma once

#include <array>
#include <string>

namespace vantle {

struct TFormatSettings {
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "m/d/yyyy"; // in the formatter's own pattern language
    std::string LongDateFormat = "dddd, mmmm d, yyyy";
    std::string ShortTimeFormat = "h:mm AMPM";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

/// Fixed US English settings: what tests use, and the fallback for the C locale.
TFormatSettings FixedFormatSettings();
/// The user's settings from LC_TIME (nl_langinfo), translated into the pattern language.
TFormatSettings LocaleFormatSettings();
/// The settings of a named LC_TIME locale; fixed settings for C, POSIX or a locale
/// that is not installed.
TFormatSettings LocaleFormatSettings(const std::string& localeName);

/// What nl_langinfo tells about a locale's dates and times (strftime formats).
struct TLocaleTimeData {
    std::string DateFormat;     // D_FMT, e.g. "%m/%d/%Y"
    std::string TimeFormat;     // T_FMT, e.g. "%r"
    std::string TimeAmPmFormat; // T_FMT_AMPM, e.g. "%I:%M:%S %p"
    std::string DateTimeFormat; // D_T_FMT, e.g. "%a %d %b %Y %r %Z"
    std::string AMString, PMString;
    std::array<std::string, 12> ShortMonthNames, LongMonthNames;
    std::array<std::string, 7> ShortDayNames, LongDayNames; // Sunday first
};

/// Translates the strftime formats into the pattern language: %m/%d/%Y gives
/// mm/dd/yyyy, %I:%M:%S %p gives hh:nn:ss ampm; literal letters are quoted.
TFormatSettings FormatSettingsFrom(const TLocaleTimeData& data);

/// The user's regional settings, read once for the life of the program.
const TFormatSettings& SystemFormatSettings();

} // namespace vantle
