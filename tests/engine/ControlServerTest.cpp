// The control socket of a scheduler core with stand-in services, served through its run
// loop: what a request starts and answers, a run waited for to its end, and the clients
// it refuses or does not wait for.
#include "engine/SchedulerCore.h"

#include "platform/LocalSocket.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class ControlServerTest : public testing::Test {
protected:
    ControlServerTest() {
        Fake.ExecutablePath = Dir.File("s");
        Fake.Starter.Pid = 4242;
        WriteFile(
            Dir.File("s.INI"),
            ScheduleText({{.Name = "Backup", .Command = "/opt/backup", .More = "TimeLimit=1\r\n"},
                          {.Name = "Off", .Active = false, .Command = "/opt/off"},
                          {.Name = "Twin", .Command = "/opt/twin"},
                          {.Name = "Twin", .Command = "/opt/twin-copy"},
                          {.Name = "Nul", .Command = "/opt/nul", .Parms = {"a\0b", 3}}}));
        TSchedulerServices services = Fake.Services();
        services.OnRunEvent = [this](const TRunEvent& event) { Events.push_back(event); };
        TRunLoopServices loop;
        loop.Clock = &Fake.Clock;
        Core.emplace(Dir.File("s.INI"), services, loop);
        Core->List().Load();
        Core->ServeControl(Path, {.PeerUid = [this](int fd) { return Peer ? Peer : PeerUid(fd); }});
    }

    TOwnFd Connect() {
        int error = 0;
        TOwnFd fd = ConnectLocal(Path, error);
        EXPECT_GE(fd.Get(), 0) << error;
        return fd;
    }

    // Hands every wake of the control socket to the loop, as a front end does.
    void Serve() {
        for (const TRunLoop::TWatch& watch : Core->Loop().Watches()) {
            if (watch.Source != TRunLoop::TSource::Control)
                continue;
            for (pollfd wait{watch.Fd, POLLIN, 0}; poll(&wait, 1, 20) > 0;)
                Core->Loop().Handle(watch.Source);
        }
    }

    // What came on `fd` so far, and "|closed" once the server closed it (a reset: it
    // closed without reading all that was sent).
    static std::string Received(int fd) {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) != 0;) {
            if (got < 0)
                return errno == ECONNRESET ? text + "|closed" : text;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text + "|closed";
    }

    static void Send(int fd, const std::string& text) {
        ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }

    std::string Ask(const std::string& line) {
        TOwnFd fd = Connect();
        Send(fd.Get(), line);
        Serve();
        return Received(fd.Get());
    }

    TTempDir Dir;
    std::string Path = Dir.File("s.control");
    TFakeServices Fake;
    std::vector<TRunEvent> Events;
    std::optional<uid_t> Peer;
    std::optional<TSchedulerCore> Core;
};

struct TAskCase {
    const char* Line;
    std::uint32_t StartResult;
    const char* Answer;
    const char* Started; // the program started, "" for none
};

class ControlAnswerTest : public ControlServerTest, public testing::WithParamInterface<TAskCase> {};

TEST_P(ControlAnswerTest, StartsThePickedEntryAsExecuteNowOrSaysWhyNot) {
    const TAskCase& c = GetParam();
    Fake.Starter.Result = c.StartResult;
    EXPECT_EQ(Ask(c.Line), c.Answer);
    std::vector<std::string> started;
    for (const TStartRequest& request : Fake.Starter.Requests)
        started.push_back(request.File);
    EXPECT_EQ(started,
              *c.Started ? std::vector<std::string>{c.Started} : std::vector<std::string>{});
    for (const TRunEvent& event : Events)
        EXPECT_EQ(event.Trigger, TRunTrigger::ExecuteNow);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ControlAnswerTest,
    testing::Values(
        TAskCase{"start Backup\n", SE_START_ACCEPTED, "started 0\n|closed", "/opt/backup"},
        TAskCase{"start --index 3 Twin\n", SE_START_ACCEPTED, "started 0\n|closed",
                 "/opt/twin-copy"},
        TAskCase{"start Twin\n", SE_START_ACCEPTED,
                 "error 2 entries are named 'Twin': Twin at 2, 3; --index N picks one\n|closed",
                 ""},
        TAskCase{"start --index 0 Twin\n", SE_START_ACCEPTED,
                 "error no entry 'Twin' at position 0\n|closed", ""},
        TAskCase{"start Off\n", SE_START_ACCEPTED, "error Off is switched off\n|closed", ""},
        TAskCase{"start Nope\n", SE_START_ACCEPTED, "error no entry is named 'Nope'\n|closed", ""},
        TAskCase{"stop Backup\n", SE_START_ACCEPTED, "error unknown request\n|closed", ""},
        // Concluded at once: the ended line follows the started one.
        TAskCase{"start --wait Backup\n", 2,
                 "started 0\nended 1 Failed: file not found (2)\n|closed", "/opt/backup"},
        TAskCase{"start --wait Nul\n", SE_START_ACCEPTED,
                 "started 0\nended 1 Failed: the parameters hold a NUL byte\n|closed", ""}));

// A client that waits hears its own run's end, not another's; when the scheduler ends
// first, the connection closes without one.
TEST_F(ControlServerTest, AWaitingClientHearsItsRunsEndOrTheSchedulersStop) {
    TOwnFd waiting = Connect();
    Send(waiting.Get(), "start --wait Backup\n");
    Serve();
    EXPECT_EQ(Received(waiting.Get()), "started 0\n");
    // One request per connection: what a waiting client writes later starts nothing.
    Send(waiting.Get(), "start Backup\n");
    Serve();
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
    // Its time limit is kept from its start on, not from the next wake.
    for (const TRunLoop::TWatch& watch : Core->Loop().Watches()) {
        itimerspec armed{};
        if (watch.Source == TRunLoop::TSource::Limits) {
            ASSERT_EQ(timerfd_gettime(watch.Fd, &armed), 0);
            EXPECT_GT(armed.it_value.tv_sec, 50) << "no time limit kept";
        }
    }
    Fake.Starter.Pid = 4343;
    EXPECT_EQ(Ask("start --wait --index 2 Twin\n"), "started 0\n");
    EXPECT_TRUE(Core->Scheduler().ProgramEnded(4343, false, 0));
    EXPECT_EQ(Received(waiting.Get()), "");
    EXPECT_TRUE(Core->Scheduler().ProgramEnded(4242, false, 3));
    EXPECT_EQ(Received(waiting.Get()), "ended 1 Exited 3\n|closed");

    TOwnFd second = Connect();
    Send(second.Get(), "start --wait Backup\n");
    Serve();
    EXPECT_EQ(Received(second.Get()), "started 0\n");
    Core.reset();
    EXPECT_EQ(Received(second.Get()), "|closed");
    struct stat st {};
    EXPECT_NE(lstat(Path.c_str(), &st), 0); // no socket left behind
}

// Nobody but the user, and nothing a client withholds, stands in another's way.
TEST_F(ControlServerTest, RefusesOtherUsersAndTooMuchAndWaitsForNobody) {
    struct stat st {};
    ASSERT_EQ(lstat(Path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    std::vector<TOwnFd> silent;
    silent.push_back(Connect());
    Send(silent.back().Get(), "start Back"); // and never the rest
    Serve();
    EXPECT_EQ(Ask("start Backup\n"), "started 0\n|closed");

    Peer = getuid() + 1;
    EXPECT_EQ(Ask("start Backup\n"),
              "error refused: this scheduler takes requests from its own user only\n|closed");
    Peer.reset();
    EXPECT_EQ(Ask(std::string(ControlLineLimit + 1, 'x')),
              "error the request is too long\n|closed");
    while (silent.size() < TControlServer::MaxConnections) {
        silent.push_back(Connect());
        Serve();
    }
    EXPECT_EQ(Ask("start Backup\n"), "error too many connections; try again\n|closed");
    EXPECT_EQ(Fake.Starter.Requests.size(), 1u);
}

} // namespace
