#include "platform/ProcessIdentity.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vantle;

struct StatCase {
    const char* Name;
    std::string_view Text;
    std::optional<std::uint64_t> Ticks;
};

void PrintTo(const StatCase& c, std::ostream* out) {
    *out << c.Name;
}

class StatText : public testing::TestWithParam<StatCase> {};

TEST_P(StatText, GivesFieldTwentyTwoCountedFromTheLastParenthesis) {
    EXPECT_EQ(StartTicksOfStat(GetParam().Text), GetParam().Ticks);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StatText,
    testing::Values(
        StatCase{"Plain",
                 "4242 (sleep) S 1 4242 4242 0 -1 4194560 100 0 0 0 0 0 0 0 20 0 1 0 987654 "
                 "8192 100 18446744073709551615\n",
                 987654},
        // A program can name itself so that counting from the first ')' would read
        // a field of its choosing.
        StatCase{"NameWithParenthesisAndSpaces",
                 "4242 (a) x 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 ) S 1 4242 4242 0 -1 "
                 "4194560 100 0 0 0 0 0 0 0 20 0 1 0 555 8192",
                 555},
        StatCase{"EndsAtTheStartTime",
                 "1 (init) S 0 1 1 0 -1 4194560 100 0 0 0 0 0 0 0 20 0 1 0 17\n", 17},
        StatCase{"TooFewFields", "4242 (sleep) S 1 4242 4242 0 -1", std::nullopt},
        StatCase{"NoName",
                 "4242 sleep S 1 4242 4242 0 -1 4194560 100 0 0 0 0 0 0 0 20 0 1 0 987 8192",
                 std::nullopt},
        StatCase{"StartTimeNotANumber",
                 "4242 (x) S 1 4242 4242 0 -1 4194560 100 0 0 0 0 0 0 0 20 0 1 0 12ab 8192",
                 std::nullopt}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ProcessIdentity, KnowsItselfButNotAReusedPidNorAnotherBoot) {
    std::optional<TProcessIdentity> self = IdentifyProcess(getpid());
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(self->Pid, getpid());
    EXPECT_EQ(self->BootId.size(), 36u) << self->BootId;
    EXPECT_TRUE(StillRunning(*self));

    TProcessIdentity laterProgram = *self;
    laterProgram.StartTicks += 1;
    EXPECT_FALSE(StillRunning(laterProgram));
    TProcessIdentity earlierBoot = *self;
    earlierBoot.BootId[0] = earlierBoot.BootId[0] == '0' ? '1' : '0';
    EXPECT_FALSE(StillRunning(earlierBoot));
    EXPECT_FALSE(StillRunning(TProcessIdentity{}));
    EXPECT_FALSE(IdentifyProcess(0).has_value());
    EXPECT_FALSE(IdentifyProcess(-1).has_value());
}

TEST(ProcessIdentity, AnEndedProcessIsNoLongerRunning) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        pause();
        _exit(0);
    }
    std::optional<TProcessIdentity> identity = IdentifyProcess(child);
    ASSERT_TRUE(identity.has_value());
    EXPECT_TRUE(StillRunning(*identity));
    kill(child, SIGKILL);
    // Ended but not reaped, as an orphan under an init that does not reap: not running.
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(StillRunning(*identity));
    EXPECT_EQ(IdentifyProcess(child), identity) << "its own starter still knows it";
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_FALSE(StillRunning(*identity));
}
