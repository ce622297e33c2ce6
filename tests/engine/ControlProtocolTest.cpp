// The control socket's lines: every name but one with NUL passes in one line and comes
// back as it was, and what is not a request or an answer is refused. (Overlong lines: in
// ControlServerTest.)
#include "engine/ControlProtocol.h"

#include <gtest/gtest.h>

using namespace vantle;

namespace {

class RequestRoundTrip : public testing::TestWithParam<TControlRequest> {};

TEST_P(RequestRoundTrip, ComesBackAsSentInOneLine) {
    const std::string line = FormatRequest(GetParam());
    ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    std::string error;
    const std::optional<TControlRequest> read =
        ParseRequest(std::string_view(line).substr(0, line.size() - 1), error);
    ASSERT_TRUE(read.has_value()) << line << ": " << error;
    EXPECT_EQ(*read, GetParam()) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Names, RequestRoundTrip,
    testing::Values(TControlRequest{.Name = "Nightly backup"},
                    TControlRequest{.Name = "two\nlines\r\nand \\n", .Index = 3, .Wait = true},
                    TControlRequest{.Name = "--wait"},                   // an option's word
                    TControlRequest{.Name = "-", .Wait = true},          // a dash alone
                    TControlRequest{.Name = "a\\", .Index = 2147483647}, // a trailing backslash
                    TControlRequest{.Name = "caf\xe9 \x1b[2J\t"},        // Latin-1, controls
                    TControlRequest{.Name = ""}));

struct TBadLine {
    const char* Line;
    const char* Error;
};

class BadRequest : public testing::TestWithParam<TBadLine> {};

TEST_P(BadRequest, IsRefusedWithItsReason) {
    std::string error;
    EXPECT_FALSE(ParseRequest(GetParam().Line, error).has_value());
    EXPECT_EQ(error, GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadRequest,
    testing::Values(TBadLine{"stop Backup", "unknown request"},
                    TBadLine{"start", "start needs the name of an entry"},
                    TBadLine{"startBackup", "unknown request"},
                    TBadLine{"start --now Backup", "unknown option"},
                    TBadLine{"start --index x Backup", "--index needs a position and a name"},
                    TBadLine{"start --index 2147483648 B", "--index needs a position and a name"},
                    TBadLine{"start --index 3", "--index needs a position and a name"},
                    TBadLine{"start a\\tb", "the name is not escaped as the protocol escapes it"}));

TEST(ControlProtocol, AnswersComeBackAndOthersAreNone) {
    for (const TControlAnswer& answer :
         {TControlAnswer{.Kind = TControlAnswer::Started, .Key = 117749824613267366},
          TControlAnswer{.Kind = TControlAnswer::Error, .Text = "no entry is named 'a\nb'"},
          TControlAnswer{.Kind = TControlAnswer::Ended, .Failure = true, .Text = "Exited 3"},
          TControlAnswer{.Kind = TControlAnswer::Ended, .Text = "-\\"}}) {
        const std::string line = FormatAnswer(answer);
        ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_EQ(ParseAnswer(std::string_view(line).substr(0, line.size() - 1)), answer) << line;
    }
    EXPECT_EQ(FormatAnswer({.Kind = TControlAnswer::Ended, .Failure = true, .Text = "Exited 3"}),
              "ended 1 Exited 3\n");
    for (const char* line : {"started", "started -1", "started 1x", "ended 2 Exited 3", "ended 0",
                             "error", "error \\q", "hello"})
        EXPECT_FALSE(ParseAnswer(line).has_value()) << line;
    // A NUL byte never passes: it would cut the name where the program meets it.
    std::string error;
    EXPECT_FALSE(ParseRequest(std::string("start a\0b", 9), error).has_value());
}

// A line over the limit ends the conversation, also when it comes after a good one in the
// same read: nothing after it is taken for a request.
TEST(ControlProtocol, ALineOverTheLimitEndsWhatIsRead) {
    TLineReader reader;
    reader.Append("start A\n" + std::string(ControlLineLimit + 1, 'x') + "\nstart B\n");
    EXPECT_EQ(reader.TakeLine(), "start A");
    EXPECT_EQ(reader.TakeLine(), std::nullopt);
    EXPECT_TRUE(reader.Overflowed());
    reader.Append("start C\n");
    EXPECT_EQ(reader.TakeLine(), std::nullopt);
}

} // namespace
