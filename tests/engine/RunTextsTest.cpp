#include "engine/RunTexts.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

struct TDurationCase {
    const char* Result;
    bool Ended;
    std::int64_t Ms;
    const char* Text;
};

class ShownDurationTest : public testing::TestWithParam<TDurationCase> {};

// The edges where a duration changes its unit, and the rounding at each.
TEST_P(ShownDurationTest, ReadsAsTime) {
    const TDurationCase& c = GetParam();
    TStoredRun run;
    run.Result = c.Result;
    if (c.Ended)
        run.Ended = 46'000.5;
    run.DurationMs = c.Ms;
    EXPECT_EQ(ShownDuration(run), c.Text);
}

INSTANTIATE_TEST_SUITE_P(Edges, ShownDurationTest,
                         testing::Values(TDurationCase{"", false, 0, "running"},
                                         TDurationCase{"Ended while the scheduler was not running",
                                                       false, 0, ""},
                                         TDurationCase{"Exited 0", true, -5, "0.0 s"},
                                         TDurationCase{"Exited 0", true, 59'949, "59.9 s"},
                                         TDurationCase{"Exited 0", true, 59'950, "1 min 0 s"},
                                         TDurationCase{"Exited 0", true, 125'000, "2 min 5 s"},
                                         TDurationCase{"Exited 0", true, 3'599'499, "59 min 59 s"},
                                         TDurationCase{"Exited 0", true, 3'599'500, "1 h 0 min"},
                                         TDurationCase{"Exited 0", true, 3'600'000, "1 h 0 min"},
                                         TDurationCase{"Exited 0", true, 3'725'000, "1 h 2 min"}));

TEST(ShownResultTest, AnOpenRunReadsAsRunning) {
    TStoredRun run;
    EXPECT_EQ(ShownResult(run), "Running");
    run.Result = "Exited 1";
    EXPECT_EQ(ShownResult(run), "Exited 1");
}

} // namespace
} // namespace vantle
