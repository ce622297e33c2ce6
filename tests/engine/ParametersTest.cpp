#include "engine/Parameters.h"

#include "platform/SysErrors.h"
#include "support/FakeClock.h"
#include "support/MapEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vantle;
using namespace vantle::test;

namespace {

TDateTime At(int year, int month, int day, int hour = 14, int minute = 5, int second = 9) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

class ParametersTestBase {
protected:
    std::string Expand(const std::string& text, TDateTime now = At(2001, 3, 15)) {
        Clock.Set(now);
        return Expander.ExpandParameters(text);
    }

    TFakeClock Clock;
    TMapEnvironment Environment;
    TFormatSettings Settings = FixedFormatSettings();
    TParameterExpander Expander{Clock, Environment, Settings};
};

struct TExpandCase {
    const char* Text;
    const char* Expected;
};

class ExpandTable : public ParametersTestBase, public testing::TestWithParam<TExpandCase> {};

// The clock at 15 March 2001, 14:05:09.
TEST_P(ExpandTable, Expands) {
    Environment.Values["PATH"] = "/usr/bin:/bin";
    EXPECT_EQ(Expand(GetParam().Text), GetParam().Expected) << "text " << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, ExpandTable,
    testing::Values(
        TExpandCase{"$D", "20010315"}, TExpandCase{"$N", "20010315:140509"},
        TExpandCase{"$T", "20010315"}, TExpandCase{"$Y", "20010314"},
        TExpandCase{"$D-1", "20010314"}, TExpandCase{"$D+1M", "20010415"},
        TExpandCase{"$D-1M[lastday]", "20010228"}, TExpandCase{"$D[firstday]", "20010301"},
        TExpandCase{"$D[lastday:yyyy-mm-dd]", "2001-03-31"}, TExpandCase{"$N-2h[hh:nn]", "12:05"},
        TExpandCase{"$N+30m[hhnn]", "1435"}, TExpandCase{"$D-M", "20010415"},
        TExpandCase{"$D+1y", "20010316"}, TExpandCase{"$D+2x/$T", "20010317/20010315"},
        TExpandCase{"$T-1D", "20010315-1D"}, TExpandCase{"$V[PATH]", "/usr/bin:/bin"},
        TExpandCase{"$V", ""}, TExpandCase{"$V[]", ""}, TExpandCase{"$$[x]", "$"},
        TExpandCase{"$$$D", "$20010315"}, TExpandCase{"$$D", "$D"}, TExpandCase{"$5", "$5"},
        TExpandCase{"$D[yyyy", "20010315[yyyy"}, TExpandCase{"$v[path]", ""},
        TExpandCase{"$D+0", "20010316"}, TExpandCase{"$D-0D", "20010316"},
        TExpandCase{"$D+2147483648", "20010316"}, TExpandCase{"$D-2147483647s[yyyy]", "1933"},
        TExpandCase{"$D+1D+1M-1Y", "20000416"}, TExpandCase{"$D-13M", "20000215"},
        TExpandCase{"$D-15M", "19991215"}, TExpandCase{"$N-1h-", "20010316:130509"},
        TExpandCase{"$d[LASTDAY]", "20010331"}, TExpandCase{"$D[FirstDay:dd]", "01"},
        TExpandCase{"$D[firstday:lastday:]", "20010331"}, TExpandCase{"$y[dddd]", "Wednesday"},
        TExpandCase{"$T[hh:nn:ss]", "00:00:00"}, TExpandCase{"$N[c]", "3/15/2001 2:05:09 PM"},
        TExpandCase{"$", "$"}, TExpandCase{"$D[a]b]", "ab]"},
        TExpandCase{"$V[PATH]$V[PATH]", "/usr/bin:/bin/usr/bin:/bin"}));

class Parameters : public ParametersTestBase, public testing::Test {};

// Offsets of days and less are range-checked here; the calendar's first moment is in it.
TEST_F(Parameters, TheCalendarsFirstMomentIsStillADate) {
    EXPECT_EQ(Expand("$N+1D[yyyy-mm-dd]", At(1, 1, 1, 0, 0, 0)), "0001-01-02");
}

TEST_F(Parameters, RaisesWhereADateCannotBeBuilt) {
    // Month and year steps beyond the calendar are the date-time unit's own tests.
    for (const char* text : {"$D+3000000", "$D-740000D", "$N+2147483647D+2147483647D"})
        EXPECT_THAT([&] { Expand(text, At(2000, 2, 29)); },
                    testing::ThrowsMessage<EConvertError>("Invalid argument to date encode"))
            << text;
}

TEST_F(Parameters, ReadsTheClockOnceForEachDateToken) {
    Clock.Set(At(2001, 3, 15));
    Clock.SetStep(1.0);
    EXPECT_EQ(Expander.ExpandParameters("$D $$ $V[X] $N[dd] $T $Y"),
              "20010315 $  16 20010317 20010317");
}

TEST_F(Parameters, GetEnvValueGivesTheWholeValue) {
    Environment.Values["LONG"] = std::string(5000, 'v') + "end";
    EXPECT_EQ(Expand("[$V[LONG]]").size(), 5005u);
}

} // namespace
