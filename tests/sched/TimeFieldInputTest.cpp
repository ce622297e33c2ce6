#include "sched/TimeFieldInput.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

using K = TTimeFieldKind;

struct TInputCase {
    K Kind;
    const char* Typed;
    const char* Stored;
};

class ToStoredTimeFieldTest : public ::testing::TestWithParam<TInputCase> {};

TEST_P(ToStoredTimeFieldTest, GivesTheStoredForm) {
    EXPECT_EQ(ToStoredTimeField(GetParam().Kind, GetParam().Typed), GetParam().Stored)
        << "'" << GetParam().Typed << "'";
}

INSTANTIATE_TEST_SUITE_P(
    StepsAndNames, ToStoredTimeFieldTest,
    ::testing::Values(
        TInputCase{K::Minutes, "*/5", "0,5,10,15,20,25,30,35,40,45,50,55"},
        TInputCase{K::Minutes, "10-20/5", "10,15,20"},
        TInputCase{K::Minutes, "10-22/5", "10,15,20"}, TInputCase{K::Minutes, "50/5", "50,55"},
        TInputCase{K::Hours, "*/6", "0,6,12,18"}, TInputCase{K::Days, "*/10", "1,11,21,31"},
        TInputCase{K::Months, "*/3", "1,4,7,10"}, TInputCase{K::WeekDays, "*/2", "0,2,4,6"},
        TInputCase{K::Minutes, "*/60", "0"}, TInputCase{K::Minutes, "5,*/20,7", "5,0,20,40,7"},
        TInputCase{K::Minutes, "*/30,", "0,30,"},
        // Names of months and week days, in any case.
        TInputCase{K::Months, "jan", "1"}, TInputCase{K::Months, "Jun-Aug", "6-8"},
        TInputCase{K::Months, "jan,apr-jun,12", "1,4-6,12"},
        TInputCase{K::Months, "jan-dec/3", "1,4,7,10"}, TInputCase{K::WeekDays, "SUN,sat", "0,6"},
        TInputCase{K::WeekDays, "fri-mon", "5-1"}, TInputCase{K::WeekDays, "Tue/2", "2,4,6"},
        // Cron's 7 for Sunday.
        TInputCase{K::WeekDays, "7", "0"}, TInputCase{K::WeekDays, "5-7", "5-6,0"},
        TInputCase{K::WeekDays, "0-7", "0-6"}, TInputCase{K::WeekDays, "1,7", "1,0"},
        TInputCase{K::WeekDays, "1-7/2", "1,3,5,0"}, TInputCase{K::WeekDays, "*/7", "0"},
        TInputCase{K::Minutes, "7", "7"}));

// Stored text needs no change, whatever it means; whatever has no stored form stays as
// typed, every item of it.
TEST(ToStoredTimeFieldTest, LeavesStoredTextAndWhatHasNoStoredForm) {
    const std::vector<std::pair<K, std::vector<std::string>>> cases = {
        {K::Minutes,
         {"*", "", "*,5", "1,,5", "-5", "995", "*/5,x", "*/0", "/5", "*/5/2", "0-90/15", "20-10/5",
          "1-2-3/5", "*/99999999999", "$0F/5"}},
        {K::Hours, {"9-17", "3O", "mon"}},
        {K::Days, {"31-40", "jan", "0/10"}},
        {K::Months, {"mon", "january"}},
        {K::WeekDays, {"jan", "-mon", "fri-"}}};
    for (const auto& [kind, texts] : cases)
        for (const std::string& text : texts)
            EXPECT_EQ(ToStoredTimeField(kind, text), text) << "'" << text << "'";
}

// As it is typed: what a time field may hold stays, the rest goes, the caret moves back
// by what went before it; a star that starts no step stands alone.
TEST(FilterTypedTimeFieldTest, KeepsWhatAFieldMayHoldAndTheCaretWithIt) {
    struct TCase {
        std::string Text;
        std::size_t Caret;
        std::string Kept;
        std::size_t KeptCaret;
    };
    for (const TCase& c : std::vector<TCase>{{"1,5-9", 3, "1,5-9", 3},
                                             {"1 5;x", 5, "15x", 3},
                                             {"?5", 1, "5", 0},
                                             {"*/5", 3, "*/5", 3},
                                             {"5,*", 3, "*", 1},
                                             {"*5", 0, "*", 0},
                                             {"Mon-Fri", 7, "Mon-Fri", 7}}) {
        const TTypedTimeField kept = FilterTypedTimeField(c.Text, c.Caret);
        EXPECT_EQ(kept.Text, c.Kept) << c.Text;
        EXPECT_EQ(kept.Caret, c.KeptCaret) << c.Text;
    }
}

} // namespace
} // namespace vantle
