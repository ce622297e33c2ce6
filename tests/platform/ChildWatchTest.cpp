#include "platform/ChildWatch.h"
#include "platform/ProgramStarterPosix.h"
#include "support/Child.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <poll.h>
#include <set>

using namespace vantle;

namespace {

const std::string Helper = VANTLE_ENDHELPER;

// Every end comes through the descriptor: how a started program ended and what it left
// behind; a start that failed leaves nothing to reap. The window's tests
// follow the ends on to the log and the grid.
TEST(ChildWatch, ReapsEveryEndOfAStartedProgramAndWhatItLeftBehind) {
    TChildWatch watch;
    TPosixProgramStarter starter;
    TStartResult exited = starter.Start(Helper, "exit 3", "", 1, -1);
    TStartResult killed = starter.Start(Helper, "signal 9", "", 1, -1);
    TStartResult parent = starter.Start(Helper, "orphan 200", "", 1, -1);
    TStartResult failed = starter.Start("/nonexistent/program", "", "", 1, -1);
    EXPECT_EQ(failed.Pid, 0);
    std::map<int, std::string> ends; // "exit N" or "signal N" by pid
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ends.size() < 4 && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{watch.Fd(), POLLIN, 0};
        poll(&fd, 1, 100);
        for (const TChildEnd& end : watch.Reap())
            ends[end.Pid] = (end.Signalled ? "signal " : "exit ") + std::to_string(end.Code);
    }
    ASSERT_EQ(ends.size(), 4u);
    EXPECT_EQ(ends[exited.Pid], "exit 3");
    EXPECT_EQ(ends[killed.Pid], "signal 9");
    EXPECT_EQ(ends[parent.Pid], "exit 0");
    std::multiset<std::string> others; // the orphan
    for (const auto& [pid, end] : ends)
        if (pid != exited.Pid && pid != killed.Pid && pid != parent.Pid)
            others.insert(end);
    EXPECT_EQ(others, (std::multiset<std::string>{"exit 0"}));
    EXPECT_TRUE(test::NoChildLeft()) << "a zombie is left";
}

} // namespace
