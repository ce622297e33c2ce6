#include "platform/ChildWatch.h"
#include "platform/ProgramStarterPosix.h"
#include "support/Child.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>

using namespace vantle;

namespace {

const std::string Helper = VANTLE_ENDHELPER;

// Reaps through the watch, waiting on its descriptor, until `count` children ended.
std::vector<TChildEnd> ReapAtLeast(TChildWatch& watch, std::size_t count) {
    std::vector<TChildEnd> ends;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ends.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{watch.Fd(), POLLIN, 0};
        poll(&fd, 1, 100);
        for (const TChildEnd& end : watch.Reap())
            ends.push_back(end);
    }
    return ends;
}

class ChildWatchTest : public testing::Test {
protected:
    TChildWatch Watch;
    TPosixProgramStarter Starter;
};

struct TEndCase {
    const char* Mode;
    const char* Value;
    bool Signalled;
    int Code;
};

class EndsTest : public ChildWatchTest, public testing::WithParamInterface<TEndCase> {};

TEST_P(EndsTest, LearnsHowTheStartedProgramEndedThroughTheDescriptor) {
    ASSERT_GE(Watch.Fd(), 0);
    TStartResult started =
        Starter.Start(Helper, std::string(GetParam().Mode) + " " + GetParam().Value, "", 1);
    ASSERT_GT(started.Code, 32u);
    ASSERT_GT(started.Pid, 0);
    std::vector<TChildEnd> ends = ReapAtLeast(Watch, 1);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].Pid, started.Pid);
    EXPECT_EQ(ends[0].Signalled, GetParam().Signalled);
    EXPECT_EQ(ends[0].Code, GetParam().Code);
    EXPECT_TRUE(test::NoChildLeft()) << "a zombie is left";
}

INSTANTIATE_TEST_SUITE_P(Ends, EndsTest,
                         testing::Values(TEndCase{"exit", "0", false, 0},
                                         TEndCase{"exit", "3", false, 3},
                                         TEndCase{"signal", "9", true, SIGKILL}));

TEST_F(ChildWatchTest, ReapsTheOrphansOfStartedPrograms) {
    TStartResult started = Starter.Start(Helper, "orphan 200", "", 1);
    ASSERT_GT(started.Pid, 0);
    std::vector<TChildEnd> ends = ReapAtLeast(Watch, 2); // the program, then its orphan
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0].Pid, started.Pid);
    EXPECT_NE(ends[1].Pid, started.Pid);
    EXPECT_TRUE(test::NoChildLeft()) << "a zombie is left";
}

TEST_F(ChildWatchTest, AFailedStartTellsNoPid) {
    TStartResult started = Starter.Start("/nonexistent/program", "", "", 1);
    EXPECT_EQ(started.Code, 2u);
    EXPECT_EQ(started.Pid, 0);
    // The process that tried comes back to us, and is reaped like any orphan.
    std::vector<TChildEnd> ends = ReapAtLeast(Watch, 1);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].Code, 127);
    EXPECT_TRUE(test::NoChildLeft()) << "a zombie is left";
}

} // namespace
