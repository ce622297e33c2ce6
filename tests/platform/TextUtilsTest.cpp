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

struct VisibleCase {
    std::string_view Text;
    bool EscapeTab;
    std::string_view Log, Terminal;
};

class Visible : public testing::TestWithParam<VisibleCase> {};

TEST_P(Visible, ShowsEveryControlCharacterAsAnEscape) {
    const VisibleCase& c = GetParam();
    const std::string log = VisibleText(c.Text, TVisibleFor::Log, c.EscapeTab);
    const std::string terminal = VisibleText(c.Text, TVisibleFor::Terminal, c.EscapeTab);
    EXPECT_EQ(log, c.Log);
    EXPECT_EQ(terminal, c.Terminal);
    // What the log holds is looked up again by the same function (Last Run by name).
    EXPECT_EQ(VisibleText(log, TVisibleFor::Log, c.EscapeTab), log);
    EXPECT_EQ(VisibleText(terminal, TVisibleFor::Terminal, c.EscapeTab), terminal);
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Texts, Visible,
    testing::Values(
        // A line end would start a forged line; a CR would overwrite the line on a terminal.
        VisibleCase{"a\n2030-01-01 00:00\tforged", false, "a\\x0a2030-01-01 00:00\tforged",
                    "a\\x0a2030-01-01 00:00\tforged"},
        VisibleCase{"a\r\n", false, "a\\x0d\\x0a", "a\\x0d\\x0a"},
        VisibleCase{"a\tb", true, "a\\x09b", "a\\x09b"},
        VisibleCase{"\x1b[2J\x1b]0;t\x07", false, "\\x1b[2J\\x1b]0;t\\x07",
                    "\\x1b[2J\\x1b]0;t\\x07"},
        VisibleCase{"a\0b\x7f\x1f"sv, false, "a\\x00b\\x7f\\x1f", "a\\x00b\\x7f\\x1f"},
        // C1 as UTF-8 (NEL, CSI) by code point; the no-break space after them is no control.
        VisibleCase{"\xc2\x85\xc2\x9b\xc2\xa0", false, "\\u0085\\u009b\xc2\xa0",
                    "\\u0085\\u009b\xc2\xa0"},
        VisibleCase{"caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80 C:\\x", false,
                    "caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80 C:\\x",
                    "caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80 C:\\x"},
        // Not UTF-8: a Latin-1 name, a lone C1 byte, an overlong line feed, an encoded
        // surrogate, a sequence cut short before a line feed, a code point past U+10FFFF.
        VisibleCase{"caf\xe9\x9b", false, "caf\xe9\x9b", "caf\\xe9\\x9b"},
        VisibleCase{"\xc0\x8a\xed\xa0\x80", false, "\xc0\x8a\xed\xa0\x80",
                    "\\xc0\\x8a\\xed\\xa0\\x80"},
        VisibleCase{"\xe2\x82\n\xf4\x90\x80\x80", false, "\xe2\x82\\x0a\xf4\x90\x80\x80",
                    "\\xe2\\x82\\x0a\\xf4\\x90\\x80\\x80"},
        VisibleCase{"", false, "", ""}));
