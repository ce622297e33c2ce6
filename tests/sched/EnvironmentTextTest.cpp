#include "sched/EnvironmentText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantle {
namespace {

using TPairs = std::vector<std::string>;

// Pairs, the line the writer makes of them, and how many of them are malformed.
struct TQuotingCase {
    const char* Name;
    TPairs Pairs;
    std::string Text;
    std::size_t Malformed;
};

class EnvironmentQuotingTest : public testing::TestWithParam<TQuotingCase> {};

TEST_P(EnvironmentQuotingTest, WritesOneLineThatReadsBackAsThePairs) {
    const TQuotingCase& row = GetParam();
    EXPECT_EQ(FormatEnvironment(row.Pairs), row.Text);
    const TEnvironmentText read = ParseEnvironment(row.Text);
    EXPECT_EQ(read.Pairs, row.Pairs);
    EXPECT_TRUE(read.BadEscapes.empty());
    EXPECT_EQ(read.Malformed.size(), row.Malformed);
    // Nothing the writer makes may end the line, or the file, early.
    EXPECT_EQ(row.Text.find_first_of(std::string("\r\n\x1a", 3)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnvironmentQuotingTest,
    testing::Values(
        TQuotingCase{"None", {}, "", 0},
        TQuotingCase{"Two",
                     {"PATH=/opt/backup/bin:/usr/bin", "BACKUP_PASSFILE=/home/ann/.backup-pass"},
                     "PATH=/opt/backup/bin:/usr/bin;BACKUP_PASSFILE=/home/ann/.backup-pass",
                     0},
        TQuotingCase{"EqualsInAValue", {"OPTS=a=b==c"}, "OPTS=a=b==c", 0},
        TQuotingCase{"Semicolon", {"A=x;y", "B=;"}, "A=x\\;y;B=\\;", 0},
        TQuotingCase{"Backslash", {"DIR=C:\\temp\\", "B=\\;"}, "DIR=C:\\\\temp\\\\;B=\\\\\\;", 0},
        TQuotingCase{"LineBreaks", {"A=one\r\ntwo\n", "B=\r"}, "A=one\\r\\ntwo\\n;B=\\r", 0},
        TQuotingCase{"CtrlZ", {std::string("Z=\x1a|\x1a", 5)}, "Z=\\x1A|\\x1A", 0},
        TQuotingCase{"BytesAbove7F",
                     {"GREETING=gr\xc3\xbc\xc3\x9f", "LATIN=\xe9\xff"},
                     "GREETING=gr\xc3\xbc\xc3\x9f;LATIN=\xe9\xff",
                     0},
        TQuotingCase{"EmptyValue", {"EMPTY=", "B=1"}, "EMPTY=;B=1", 0},
        TQuotingCase{"EscapesWithinText", {"A=\\n is no line feed"}, "A=\\\\n is no line feed", 0},
        // Malformed pairs are kept as text, so a save gives back what was read.
        TQuotingCase{"NoEquals", {"PATH"}, "PATH", 1}, TQuotingCase{"EmptyName", {"=x"}, "=x", 1},
        TQuotingCase{"NameWithABlank", {"MY VAR=1"}, "MY VAR=1", 1},
        TQuotingCase{"NameStartingWithADigit", {"1X=1", "X1=1", "_=1"}, "1X=1;X1=1;_=1", 1},
        TQuotingCase{"NameWithAHyphen", {"A-B=1"}, "A-B=1", 1},
        TQuotingCase{"EmptyPairs", {"A=1", "", "B=2", ""}, "A=1;;B=2;", 2}),
    [](const testing::TestParamInfo<TQuotingCase>& info) { return std::string(info.param.Name); });

// What no writer makes: read leniently, a backslash standing for itself, and said.
TEST(EnvironmentTextTest, ABadEscapeReadsAsWrittenAndIsAFault) {
    const std::pair<std::string, TPairs> rows[] = {
        {"A=C:\\temp", {"A=C:\\temp"}}, {"A=\\x41", {"A=\\x41"}},
        {"A=\\x1a", {"A=\x1a"}}, // either case of the one byte escape
        {"A=end\\", {"A=end\\"}},       {"A=\\", {"A=\\"}},
    };
    for (const auto& [text, pairs] : rows) {
        const TEnvironmentText read = ParseEnvironment(text);
        EXPECT_EQ(read.Pairs, pairs) << text;
        EXPECT_EQ(read.BadEscapes.size(), text.ends_with("1a") ? 0u : 1u) << text;
        EXPECT_TRUE(read.Malformed.empty()) << text;
        // Once saved, the text is the writer's and reads back the same, without a fault.
        const TEnvironmentText saved = ParseEnvironment(FormatEnvironment(read.Pairs));
        EXPECT_EQ(saved.Pairs, pairs) << text;
        EXPECT_TRUE(saved.BadEscapes.empty()) << text;
    }
    EXPECT_EQ(ParseEnvironment("A=1;B=\\q").BadEscapes,
              std::vector<std::string>{"bad escape '\\q' in the environment's pair 2: it reads "
                                       "as written, and a save writes its backslash as '\\\\'"});
}

// A fault names the pair by its name or its place, never by its value: a value may be a
// secret, and a pair without '=' may be the end of one cut by a ';'.
TEST(EnvironmentTextTest, FaultsNeverTellAValue) {
    const std::pair<TPairs, std::string> rows[] = {
        {{"A=1", "B=2"}, ""},
        {{"A=1", "s3cret"},
         "the environment's pair 2 has no '=' (a ';' in a value is written "
         "'\\;')"},
        {{"=s3cret"}, "the environment's pair 1 has no name before its '='"},
        {{"A=1", "MY VAR=s3cret", "=x"},
         "the environment's pair 'MY VAR' has no valid name (letters, digits and _, not "
         "starting with a digit)"},
        {{std::string("KEY=s3\0cret", 11)}, "the environment's value of KEY holds a NUL byte"},
    };
    for (const auto& [pairs, fault] : rows) {
        EXPECT_EQ(EnvironmentFault(pairs), fault);
        EXPECT_EQ(EnvironmentFault(pairs).find("s3"), std::string::npos);
    }
}

TEST(EnvironmentTextTest, NamesAreTheSoundPairsEachOnce) {
    EXPECT_EQ(EnvironmentNames({}), "");
    EXPECT_EQ(EnvironmentNames({"PATH=/bin", "BACKUP_PASSFILE=x", "bad name=1", "PATH=/usr/bin"}),
              "PATH, BACKUP_PASSFILE");
}

} // namespace
} // namespace vantle
