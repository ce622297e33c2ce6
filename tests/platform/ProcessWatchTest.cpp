// Following processes that are not one's children by their identity: the descriptor
// wakes when one ends (a zombie nobody reaped has ended too), each end is told once, and
// a process that is not running is not followed, nor does it cost a descriptor.
#include "platform/ProcessWatch.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantle {
namespace {

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(ProcessWatch, WakesWhenAFollowedProcessEndsAndTellsItOnce) {
    TProcessWatch watch;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        pause();
        _exit(0);
    }
    std::optional<TProcessIdentity> identity = IdentifyProcess(child);
    ASSERT_TRUE(identity);
    ASSERT_TRUE(watch.Add(*identity));
    EXPECT_TRUE(watch.TakeEnded().empty());
    ::kill(child, SIGKILL);
    if (watch.Fd() >= 0) {
        pollfd wait{watch.Fd(), POLLIN, 0};
        EXPECT_EQ(::poll(&wait, 1, 10'000), 1) << "the end wakes whoever waits";
    } else {
        siginfo_t info{};
        ::waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT);
    }
    EXPECT_EQ(watch.TakeEnded(), std::vector<int>{child});
    EXPECT_TRUE(watch.TakeEnded().empty());
    if (watch.Fd() >= 0) {
        pollfd wait{watch.Fd(), POLLIN, 0};
        EXPECT_EQ(::poll(&wait, 1, 0), 0) << "nothing more to wake for";
    }

    // Ended, reaped or not: not followed, and no descriptor kept for it.
    for (bool reaped : {false, true}) {
        if (reaped)
            ::waitpid(child, nullptr, 0);
        const std::size_t before = OpenDescriptors();
        for (int i = 0; i < 10; ++i)
            EXPECT_FALSE(watch.Add(*identity));
        EXPECT_EQ(OpenDescriptors(), before);
        EXPECT_TRUE(watch.TakeEnded().empty());
    }
}

} // namespace
} // namespace vantle
