// A save that is killed, or that runs out of disk, must never cost the user the
// schedule: the file is always the complete old or the complete new content.
#include "sched/SchedFile.h"
#include "sched/SchedList.h"
#include "support/Child.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

void Fill(TSchedList& list, int count, const std::string& tag) {
    for (int i = 0; i < count; ++i)
        list.Add(EntryOf({.Name = tag + " entry " + std::to_string(i),
                          .Time = std::to_string(i % 60) + " 1-5,9,17-23 * * 1,2,3,4,5",
                          .Active = i % 3 != 0,
                          .Type = i % 2,
                          .Command = "/opt/" + tag + "/bin/job" + std::to_string(i),
                          .Parms = "--date $D-1[yyyy-mm-dd] --out /var/tmp/" + tag,
                          .WorkDir = "/var/tmp"}));
}

using TClockType = std::chrono::steady_clock;

} // namespace

TEST(SaveFaultTest, SaveKilledAtRandomMomentsLeavesOldOrNewFile) {
    TTempDir dir(MemoryFolder());
    std::string file = dir.File("sched.INI");
    TSchedList oldList, newList;
    oldList.SetFileName(file);
    newList.SetFileName(file);
    Fill(oldList, 40, "old");
    Fill(newList, 1500, "new");
    newList.Save();
    const std::string newText = ReadFile(file);
    oldList.Save();
    const std::string oldText = ReadFile(file);

    // The time a forked child takes for one save of each, so the kills land anywhere
    // within that first pair (a child after fork runs slower than its parent would).
    long pairUs = 0;
    for (int round = 0; round < 3; ++round) {
        // Timed from before the fork to the end of the second save, not to the child's exit.
        auto start = TClockType::now();
        TChildResult probe = RunInChild([&] {
            newList.Save();
            oldList.Save();
            return std::to_string(
                std::chrono::duration_cast<std::chrono::microseconds>(TClockType::now() - start)
                    .count());
        });
        ASSERT_TRUE(probe.Succeeded()) << probe.Output;
        pairUs = std::max(pairUs, std::stol(probe.Output));
    }
    const long maxDelayUs = std::max<long>(600, pairUs);

    const int trials = 500;
    int sawOld = 0, sawNew = 0;
    std::vector<std::string> broken;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<long> delay(0, maxDelayUs);
    auto loopStart = TClockType::now();
    for (int trial = 0; trial < trials; ++trial) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Saves the two lists in turn until killed.
            try {
                for (;;) {
                    newList.Save();
                    oldList.Save();
                }
            } catch (...) {
                _exit(3);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";

        std::string content = ReadFile(file);
        sawOld += content == oldText;
        sawNew += content == newText;
        if (content != oldText && content != newText && broken.size() < 5) {
            broken.push_back("trial " + std::to_string(trial) + ": " +
                             std::to_string(content.size()) + " bytes");
        }
    }
    auto loopTime =
        std::chrono::duration_cast<std::chrono::milliseconds>(TClockType::now() - loopStart);
    std::size_t leftovers = dir.Names().size() - 1;
    std::printf("kill loop: %d trials, %d intact (%d old, %d new), %zu temporary files from "
                "killed saves; kills within %ld us, %lld ms in all\n",
                trials, sawOld + sawNew, sawOld, sawNew, leftovers, maxDelayUs,
                static_cast<long long>(loopTime.count()));

    EXPECT_EQ(sawOld + sawNew, trials) << ::testing::PrintToString(broken);
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);

    // The next successful save clears away what the killed saves left.
    oldList.Save();
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sched.INI"});
    EXPECT_EQ(ReadFile(file), oldText);
}

TEST(SaveFaultTest, SaveOnAFullDiskKeepsTheOldFileOrCreatesNone) {
    for (int oldCount : {3, 0}) {
        TTempDir dir;
        std::string file = dir.File("sched.INI");
        if (oldCount > 0) {
            TSchedList list;
            list.SetFileName(file);
            Fill(list, oldCount, "old");
            list.Save();
        }
        const std::string oldText = ReadFile(file);
        const std::vector<std::string> oldNames = dir.Names();
        // A file size limit stands in for a full disk; only the child carries it.
        TChildResult result = RunInChild([&] {
            TSchedList list;
            list.SetFileName(file);
            list.Load();
            Fill(list, 2000, "new");
            signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limit{16384, saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::string report = "saved";
            try {
                list.Save();
            } catch (const EInOutError& e) {
                report = e.Message() + (list.Modified() ? "|modified|" : "||") +
                         std::to_string(list.Count());
            }
            setrlimit(RLIMIT_FSIZE, &saved);
            report += ReadFile(file) == oldText && dir.Names() == oldNames ? "|old file as it was"
                                                                           : "|old file touched";
            report += list.CheckFileChanged() ? "|reloaded" : "|";
            list.Save(); // with room again, the next save goes through
            return report + (list.Modified() ? "|still modified" : "|saved");
        });
        ASSERT_TRUE(result.Succeeded()) << result.Output;
        EXPECT_EQ(result.Output, "Disk full|modified|" + std::to_string(oldCount + 2000) +
                                     "|old file as it was||saved");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"sched.INI"});
    }
}

namespace {

// Watches `folder` as user `uid` (when root) and looks at every temporary file of
// `base` the moment it appears: "seen N opened N open-mode N" on `report` when `stop`
// closes.
[[noreturn]] void WatchTemporaryFiles(const std::string& folder, const std::string& base, uid_t uid,
                                      int ready, int stop, int report) {
    if (geteuid() == 0 && (setgid(uid) != 0 || setuid(uid) != 0))
        _exit(5);
    int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, folder.c_str(), IN_CREATE) < 0)
        _exit(6);
    if (write(ready, "r", 1) != 1)
        _exit(7);
    int seen = 0, opened = 0, openMode = 0;
    std::string prefix = "." + base + ".";
    alignas(inotify_event) char buffer[65536];
    for (;;) {
        pollfd fds[2] = {{watch, POLLIN, 0}, {stop, POLLIN, 0}};
        poll(fds, 2, -1);
        if ((fds[0].revents & POLLIN) == 0) {
            if (fds[1].revents != 0)
                break;
            continue;
        }
        ssize_t n = read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; n > 0 && at < n;) {
            auto* event = reinterpret_cast<inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            std::string name = event->len > 0 ? event->name : "";
            if (name.compare(0, prefix.size(), prefix) != 0)
                continue;
            ++seen;
            std::string path = folder + "/" + name;
            int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                ++opened;
                close(fd);
            }
            struct stat st {};
            if (stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0)
                ++openMode;
        }
    }
    std::string text = "seen " + std::to_string(seen) + " opened " + std::to_string(opened) +
                       " open-mode " + std::to_string(openMode);
    ssize_t written = write(report, text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 8);
}

} // namespace

TEST(SaveFaultTest, AnotherUserNeverReadsTheTemporaryFileOfAPrivateSchedule) {
    // Root watches as "nobody", who would be refused the schedule itself; anyone else
    // watches as themselves and the mode of each temporary file tells.
    const uid_t watcher = geteuid() == 0 ? 65534 : geteuid();
    TTempDir dir;
    std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
    std::string file = dir.File("sched.INI");
    TSchedList list;
    list.SetFileName(file);
    Fill(list, 200, "secret");
    list.Save();
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);

    int ready[2], stop[2], report[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(stop), 0);
    ASSERT_EQ(pipe(report), 0);
    std::fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(stop[1]);
        WatchTemporaryFiles(dir.Path().string(), "sched.INI", watcher, ready[1], stop[0],
                            report[1]);
    }
    close(ready[1]);
    close(stop[0]);
    close(report[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the watcher did not start";
    const int saves = 300;
    for (int i = 0; i < saves; ++i) {
        list.Items(0).Name = "secret " + std::to_string(i);
        list.Save();
    }
    close(stop[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    waitpid(pid, &status, 0);
    close(ready[0]);
    close(report[0]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    int seen = -1, opened = -1, openMode = -1;
    ASSERT_EQ(
        std::sscanf(text.c_str(), "seen %d opened %d open-mode %d", &seen, &opened, &openMode), 3)
        << text;
    EXPECT_EQ(seen, saves);
    if (geteuid() == 0) {
        EXPECT_EQ(opened, 0) << "another user read the schedule during a save";
    }
    EXPECT_EQ(openMode, 0) << "a temporary file was open to others";
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u); // the old mode, given just before the rename
}

TEST(SaveFaultTest, ANewScheduleIsPrivateUnlessItsFolderIsShared) {
    TTempDir dir;
    mode_t mask = umask(022);
    TSchedList list;
    list.SetFileName(dir.File("new.INI"));
    list.Save();
    std::filesystem::create_directory(dir.Path() / "shared");
    ASSERT_EQ(chmod((dir.Path() / "shared").c_str(), 02775), 0);
    list.SetFileName(dir.File("shared/new.INI"));
    list.Save();
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat(dir.File("new.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(dir.File("shared/new.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the group's folder: the group may read it
}
