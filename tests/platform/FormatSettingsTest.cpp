#include "platform/FormatSettings.h"

#include <gtest/gtest.h>

using namespace vantle;

namespace {

TLocaleTimeData Data(const char* date, const char* time, const char* ampm, const char* dateTime) {
    TLocaleTimeData data;
    data.DateFormat = date;
    data.TimeFormat = time;
    data.TimeAmPmFormat = ampm;
    data.DateTimeFormat = dateTime;
    return data;
}

TEST(FormatSettings, TranslatesAmericanGermanAndSpanishLocales) {
    TFormatSettings s =
        FormatSettingsFrom(Data("%m/%d/%Y", "%r", "%I:%M:%S %p", "%a %d %b %Y %r %Z"));
    EXPECT_EQ(s.ShortDateFormat + "|" + s.LongDateFormat + "|" + s.LongTimeFormat + "|" +
                  s.ShortTimeFormat + "|" + s.DateSeparator + s.TimeSeparator,
              "mm/dd/yyyy|dddd dd mmmm yyyy|hh:nn:ss ampm|hh:nn ampm|/:");
    s = FormatSettingsFrom(Data("%d.%m.%Y", "%T", "", "%a %d %b %Y %T %Z"));
    EXPECT_EQ(s.ShortDateFormat + "|" + s.LongTimeFormat + "|" + s.ShortTimeFormat + "|" +
                  s.DateSeparator,
              "dd.mm.yyyy|hh:nn:ss|hh:nn|.");
    // Literal letters are quoted; what the pattern language cannot show is dropped.
    s = FormatSettingsFrom(Data("%-d de %B %Y", "%Hh%M", "", "%x, %X"));
    EXPECT_EQ(s.ShortDateFormat, R"(d "d""e" mmmm yyyy)");
    EXPECT_EQ(s.LongTimeFormat, R"(hh"h"nn)");
    EXPECT_EQ(s.LongDateFormat, R"(d "d""e" mmmm yyyy)");
    // The C locale, or one that is missing, gives the fixed settings.
    s = LocaleFormatSettings("C");
    EXPECT_EQ(s.ShortDateFormat, FixedFormatSettings().ShortDateFormat);
    EXPECT_EQ(LocaleFormatSettings("xx_NOWHERE.UTF-8").LongMonthNames[0], "January");
}

// A format that names itself must still end; a lone "%" at the end is a character.
TEST(FormatSettings, EndsOnFormatsThatNameThemselvesOrStopHalfWay) {
    TFormatSettings s = FormatSettingsFrom(Data("%x", "%X", "", "%c"));
    EXPECT_EQ(s.ShortDateFormat, "");
    s = FormatSettingsFrom(Data("%d.%m.%Y %", "%H:%M%-", "", "%c"));
    EXPECT_EQ(s.ShortDateFormat + "|" + s.LongTimeFormat, "dd.mm.yyyy %|hh:nn");
}

} // namespace
