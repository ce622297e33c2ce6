// A save that is killed, runs out of disk or cannot sync must never cost the user the
// schedule: the file is always the complete old or the complete new content; and the
// new content is never open to others on its way.
#include "sched/SchedList.h"
#include "support/Child.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

bool FailFileSync = false;
int SyncedOpenToOthers = 0; // regular files synced while others could open them

} // namespace

// Stands in for the C library's fsync in this test program: regular files fail with
// EIO while FailFileSync is set, as on a disk that drops the write (folders still
// sync), and each one's mode is looked at, since a save syncs its temporary file while
// that file still holds the only copy of the new content outside the list.
extern "C" int fsync(int fd) {
    using TFsync = int (*)(int);
    static TFsync real = reinterpret_cast<TFsync>(dlsym(RTLD_NEXT, "fsync"));
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        SyncedOpenToOthers += (st.st_mode & 077) != 0;
        if (FailFileSync) {
            errno = EIO;
            return -1;
        }
    }
    return real(fd);
}

namespace {

// Only the size of the content matters to a save.
void Fill(TSchedList& list, int count, const std::string& tag) {
    for (int i = 0; i < count; ++i)
        list.Add(EntryOf({.Name = tag + " entry " + std::to_string(i),
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
    // within that first pair (a child after fork runs slower than its parent would):
    // timed from before the fork to the end of the second save, the slowest of three.
    long maxDelayUs = 600;
    for (int round = 0; round < 3; ++round) {
        auto start = TClockType::now();
        TChildResult probe = RunInChild([&] {
            newList.Save();
            oldList.Save();
            return std::to_string((TClockType::now() - start) / std::chrono::microseconds(1));
        });
        ASSERT_TRUE(probe.Succeeded()) << probe.Output;
        maxDelayUs = std::max(maxDelayUs, std::stol(probe.Output));
    }

    const int trials = 500;
    int sawOld = 0, sawNew = 0;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<long> delay(0, maxDelayUs);
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
    }
    EXPECT_EQ(sawOld + sawNew, trials) << "files neither old nor new";
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);

    // The next successful save clears away what the killed saves left.
    oldList.Save();
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sched.INI"});
}

// A write that fails (a file size limit stands in for a full disk) or a sync that fails:
// renamed before the sync, a crash right after could leave an empty or torn schedule.
TEST(SaveFaultTest, AFailedSaveRaisesAndKeepsTheOldFileOrCreatesNone) {
    for (bool syncFails : {false, true})
        for (int oldCount : {3, 0}) {
            TTempDir dir;
            std::string file = dir.File("sched.INI");
            if (oldCount > 0)
                WriteFile(file, ScheduleText(std::vector<TEntryText>(oldCount, {.Name = "old"})));
            const std::string oldText = ReadFile(file);
            const std::vector<std::string> oldNames = dir.Names();
            // Only the child carries the fault.
            TChildResult result = RunInChild([&] {
                TSchedList list;
                list.SetFileName(file);
                list.Load();
                Fill(list, 2000, "new");
                signal(SIGXFSZ, SIG_IGN);
                rlimit saved{};
                getrlimit(RLIMIT_FSIZE, &saved);
                rlimit limit{syncFails ? saved.rlim_cur : 16384, saved.rlim_max};
                setrlimit(RLIMIT_FSIZE, &limit);
                FailFileSync = syncFails;
                std::string report = "saved";
                try {
                    list.Save();
                } catch (const EInOutError& e) {
                    report = e.Message() + (list.Modified() ? "|modified" : "|");
                }
                setrlimit(RLIMIT_FSIZE, &saved);
                FailFileSync = false;
                report += ReadFile(file) == oldText && dir.Names() == oldNames
                              ? "|old file as it was"
                              : "|old file touched";
                list.Save(); // with the fault gone, the next save goes through
                return report + (list.Modified() ? "|still modified" : "|saved");
            });
            ASSERT_TRUE(result.Succeeded()) << result.Output;
            EXPECT_EQ(result.Output, (syncFails ? "Input/output error" : "Disk full") +
                                         std::string("|modified|old file as it was|saved"));
        }
}

TEST(SaveFaultTest, ANewScheduleIsPrivateUnlessItsFolderIsSharedAndAnOldOneKeepsItsMode) {
    // Its parameters may hold passwords: a temporary file is private until its content is
    // on the disk, whatever mode the schedule then takes.
    TTempDir dir;
    mode_t mask = umask(022);
    SyncedOpenToOthers = 0;
    TSchedList list;
    Fill(list, 20, "secret");
    list.SetFileName(dir.File("new.INI"));
    list.Save();
    struct stat st {};
    ASSERT_EQ(stat(dir.File("new.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // Saved through a link, the file it names takes the content and keeps its mode.
    ASSERT_EQ(chmod(dir.File("new.INI").c_str(), 0644), 0);
    std::filesystem::create_symlink(dir.File("new.INI"), dir.File("link.INI"));
    list.SetFileName(dir.File("link.INI"));
    list.Items(0).Name = "through the link";
    list.Save();
    EXPECT_NE(ReadFile(dir.File("new.INI")).find("Name=through the link"), std::string::npos);
    ASSERT_EQ(stat(dir.File("new.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u); // the old mode, given just before the rename
    std::filesystem::create_directory(dir.Path() / "shared");
    ASSERT_EQ(chmod((dir.Path() / "shared").c_str(), 02775), 0);
    list.SetFileName(dir.File("shared/new.INI"));
    list.Save();
    umask(mask);
    ASSERT_EQ(stat(dir.File("shared/new.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the group's folder: the group may read it
    EXPECT_EQ(SyncedOpenToOthers, 0) << "a temporary file was open to others";
}

TEST(SaveFaultTest, ASaveByRootLeavesAnotherUsersScheduleTheirs) {
    // Root saving a user's schedule (from a root session, or a service) must not take it
    // from them: the owner could no longer read their own schedule.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user; run the suite as root";
    TTempDir dir;
    TSchedList list;
    Fill(list, 3, "theirs");
    list.SetFileName(dir.File("Sched.INI"));
    list.Save();
    const uid_t owner = 4242;
    const gid_t group = 4343; // apart from the owner's number, so a mix-up shows
    if (chown(list.FileName().c_str(), owner, group) != 0)
        GTEST_SKIP() << "cannot give a file away here: " << std::strerror(errno);
    list.Items(0).Name = "saved by root";
    list.Save();
    struct stat st {};
    ASSERT_EQ(stat(list.FileName().c_str(), &st), 0);
    EXPECT_NE(ReadFile(list.FileName()).find("Name=saved by root"), std::string::npos);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}
