#include "platform/TextUtils.h"

#include <gtest/gtest.h>

using namespace vantle;

struct CaseCompare {
    std::string_view A, B;
    bool Equal, Starts; // EqualsNoCase(A, B), StartsWithNoCase(A, B)
};

class NoCase : public testing::TestWithParam<CaseCompare> {};

TEST_P(NoCase, FoldsAsciiLettersOnly) {
    const CaseCompare& c = GetParam();
    EXPECT_EQ(EqualsNoCase(c.A, c.B), c.Equal);
    EXPECT_EQ(StartsWithNoCase(c.A, c.B), c.Starts);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NoCase,
    testing::Values(CaseCompare{"YeS", "yes", true, true},
                    CaseCompare{"FirstDay5", "firstday", false, true},
                    CaseCompare{"first", "firstday", false, false}, // shorter than the prefix
                    CaseCompare{"", "", true, true},
                    // '@' and '[' sit next to the capitals, '`' and '{' next to the small letters.
                    CaseCompare{"@[", "`{", false, false},
                    // Bytes beyond ASCII never fold, whatever the locale.
                    CaseCompare{"\xC4", "\xE4", false, false}));
