#include "sched/TimeField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vantle {
namespace {

struct TIntCase {
    const char* Text;
    std::int32_t Expected;
};

class IntOrZeroTest : public ::testing::TestWithParam<TIntCase> {};

TEST_P(IntOrZeroTest, ReadsWholeTextOrGivesZero) {
    EXPECT_EQ(IntOrZero(GetParam().Text), GetParam().Expected) << "'" << GetParam().Text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntOrZeroTest,
    ::testing::Values(TIntCase{"0", 0}, TIntCase{"  7", 7}, TIntCase{"+7", 7}, TIntCase{"-7", -7},
                      TIntCase{"007", 7}, TIntCase{"2147483647", 2147483647},
                      TIntCase{"-2147483648", INT32_MIN}, TIntCase{"$0F", 15}, TIntCase{"x1A", 26},
                      TIntCase{"X1a", 26}, TIntCase{"0x10", 16}, TIntCase{"0X10", 16},
                      TIntCase{"$FFFFFFFF", -1}, TIntCase{"$80000000", INT32_MIN},
                      TIntCase{"$000000001", 1},
                      // Refused: each of these reads as 0.
                      TIntCase{"", 0}, TIntCase{"   ", 0}, TIntCase{"+", 0}, TIntCase{"-", 0},
                      TIntCase{"$", 0}, TIntCase{"x", 0}, TIntCase{"0x", 0}, TIntCase{"7 ", 0},
                      TIntCase{"\t7", 0}, TIntCase{"7a", 0}, TIntCase{"*", 0},
                      TIntCase{"2147483648", 0}, TIntCase{"-2147483649", 0},
                      TIntCase{"$100000000", 0}, TIntCase{"-$10", 0}, TIntCase{"+0x10", 0},
                      TIntCase{"$1G", 0}, TIntCase{"- 7", 0}, TIntCase{"99999999999999999999", 0}));

// Values 0..60 checked against each row; every other value must not match.
struct TFieldCase {
    const char* Text;
    std::vector<std::int32_t> Matches;
};

class FieldMatchesTest : public ::testing::TestWithParam<TFieldCase> {};

TEST_P(FieldMatchesTest, MatchesExactlyTheListedValues) {
    const TFieldCase& c = GetParam();
    for (std::int32_t v = -1; v <= 60; ++v) {
        bool expected = std::find(c.Matches.begin(), c.Matches.end(), v) != c.Matches.end();
        EXPECT_EQ(FieldMatches(v, c.Text), expected) << "'" << c.Text << "' at " << v;
    }
}

std::vector<std::int32_t> Range(std::int32_t from, std::int32_t to) {
    std::vector<std::int32_t> values;
    for (std::int32_t v = from; v <= to; ++v)
        values.push_back(v);
    return values;
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, FieldMatchesTest,
    ::testing::Values(TFieldCase{"*", Range(-1, 60)}, TFieldCase{"0,15,30,45", {0, 15, 30, 45}},
                      TFieldCase{"9-17", Range(9, 17)}, TFieldCase{"", {}},
                      TFieldCase{"*,5", {0, 5}},  // the item * reads as 0
                      TFieldCase{"**", {0}},      // only the whole text * is "every"
                      TFieldCase{"1,2,", {1, 2}}, // a trailing comma only ends the scan
                      TFieldCase{",5", {}},       // the first item is empty
                      TFieldCase{"1,,5", {1}},    // the scan stops at the empty item
                      TFieldCase{"50-10", {}},    // no wrap-around
                      TFieldCase{"-5", Range(0, 5)}, TFieldCase{"5-", {}},
                      TFieldCase{"1-2-3", {}}, // the upper end 2-3 reads as 0
                      TFieldCase{"60", {60}}, TFieldCase{"58-70", {58, 59, 60}}));

} // namespace
} // namespace vantle
