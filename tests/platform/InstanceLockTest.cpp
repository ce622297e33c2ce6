#include "platform/InstanceLock.h"

#include "platform/PathChecks.h"
#include "support/Child.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {
namespace {

using test::TTempDir;
using test::WriteFile;

class InstanceLockTest : public ::testing::Test {
protected:
    ~InstanceLockTest() override {
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("TMPDIR");
    }
    TTempDir FRuntime, FFiles;
};

TEST_F(InstanceLockTest, EveryNameOfAFileGivesTheSameLock) {
    std::string file = FFiles.File("s.INI");
    WriteFile(file, "");
    std::filesystem::create_directory(FFiles.File("sub"));
    std::filesystem::create_symlink(file, FFiles.File("link.INI"));
    std::string path = TInstanceLock(file).LockPath();
    EXPECT_EQ(TInstanceLock(FFiles.File("sub/../s.INI")).LockPath(), path);
    EXPECT_EQ(TInstanceLock(FFiles.File("link.INI")).LockPath(), path);
    EXPECT_NE(TInstanceLock(FFiles.File("other.INI")).LockPath(), path);
    EXPECT_NE(TInstanceLock(FFiles.File("t.INI")).LockPath(), path) << "the whole name counts";
    // A file not made yet is named by its folder's real path.
    EXPECT_EQ(TInstanceLock(FFiles.File("sub/../new.INI")).LockPath(),
              TInstanceLock(FFiles.File("new.INI")).LockPath());
}

// The lock is named after the folder itself, so another path to it meets the same lock:
// `other` is the folder of `file` reached by another way.
std::string MeetsOneLock(const std::string& file, const std::string& other,
                         const std::string& base) {
    TInstanceLock first(file, base);
    TInstanceLock second(other + "/s.INI", base);
    if (second.LockPath() != first.LockPath())
        return "another lock: " + second.LockPath() + " and " + first.LockPath();
    if (!first.TryAcquire())
        return "not taken";
    if (second.TryAcquire())
        return "taken twice";
    return second.HolderPid() == getpid() ? "refused by this process"
                                          : "refused by " + std::to_string(second.HolderPid());
}

TEST_F(InstanceLockTest, ASymbolicLinkToTheFolderMeetsTheSameLock) {
    const std::string file = FFiles.File("s.INI");
    TTempDir links;
    std::filesystem::create_directory_symlink(FFiles.Path(), links.File("folder"));
    // Before the file is made, and after.
    EXPECT_EQ(MeetsOneLock(file, links.File("folder"), FRuntime.Path().string()),
              "refused by this process");
    WriteFile(file, "");
    EXPECT_EQ(MeetsOneLock(file, links.File("folder"), FRuntime.Path().string()),
              "refused by this process");
}

TEST_F(InstanceLockTest, ABindMountOfTheFolderMeetsTheSameLock) {
    const std::string file = FFiles.File("s.INI");
    WriteFile(file, "");
    TTempDir mountPoint;
    // In a mount namespace of the child's own, so no mount outlives the test.
    test::TChildResult child = test::RunInChild([&] {
        if (unshare(CLONE_NEWNS) != 0)
            return std::string("skip: no mount namespace: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(FFiles.Path().c_str(), mountPoint.Path().c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("skip: cannot bind-mount: ") + std::strerror(errno);
        return MeetsOneLock(file, mountPoint.Path().string(), FRuntime.Path().string());
    });
    if (child.Output.starts_with("skip: "))
        GTEST_SKIP() << child.Output.substr(6);
    EXPECT_EQ(child.Output, "refused by this process");
}

// For one release the lock of the earlier ones, named after the real path, is taken too,
// so an older program on the same file is still met.
TEST_F(InstanceLockTest, AnOlderProgramHoldingThePathNamedLockIsMet) {
    const std::string file = FFiles.File("s.INI");
    WriteFile(file, "");
    TInstanceLock lock(file, FRuntime.Path().string());
    EXPECT_EQ(lock.OldLockPath(), lock.Folder() + "/" + PathHash(CanonicalPath(file)) + ".lock");
    EXPECT_NE(lock.OldLockPath(), lock.LockPath());
    ASSERT_EQ(mkdir(lock.Folder().c_str(), 0700), 0);
    int older = open(lock.OldLockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(older, 0);
    ASSERT_EQ(flock(older, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(write(older, "4242\n", 5), 5);
    EXPECT_FALSE(lock.TryAcquire());
    EXPECT_EQ(lock.HolderPid(), 4242);
    // Neither lock is kept while the older program runs.
    auto heldByOthers = [](const std::string& path) {
        int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        return held;
    };
    EXPECT_FALSE(heldByOthers(lock.LockPath()));
    close(older);
    ASSERT_TRUE(lock.TryAcquire());
    EXPECT_TRUE(heldByOthers(lock.LockPath()));
    EXPECT_TRUE(heldByOthers(lock.OldLockPath()));
    EXPECT_EQ(test::ReadFile(lock.OldLockPath()), std::to_string(getpid()) + "\n");
}

// A login session's runtime folder, or a shell's temporary folder, would let a cron job
// or an su shell run the same schedule a second time.
TEST_F(InstanceLockTest, TheLockDependsOnTheUserAloneNotOnTheEnvironment) {
    std::string file = FFiles.File("s.INI");
    WriteFile(file, "");
    std::string path = TInstanceLock(file).LockPath();
    EXPECT_TRUE(path.starts_with("/tmp/vantle-scheduler-" + std::to_string(geteuid()) + "/"))
        << path;
    setenv("XDG_RUNTIME_DIR", FRuntime.Path().c_str(), 1);
    EXPECT_EQ(TInstanceLock(file).LockPath(), path);
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", FRuntime.Path().c_str(), 1);
    EXPECT_EQ(TInstanceLock(file).LockPath(), path);
}

TEST_F(InstanceLockTest, MakesThePrivateFolderAndHoldsTheLockAgainstEveryOtherScheduler) {
    std::string file = FFiles.File("s.INI");
    TInstanceLock first(file, FRuntime.Path().string());
    EXPECT_EQ(first.Folder(),
              FRuntime.Path().string() + "/vantle-scheduler-" + std::to_string(geteuid()));
    mode_t saved = umask(0777); // the folder is 0700 whatever the umask leaves
    bool held = first.TryAcquire();
    umask(saved);
    ASSERT_TRUE(held);
    struct stat st {};
    ASSERT_EQ(lstat(first.Folder().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    TInstanceLock second(file, FRuntime.Path().string());
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_EQ(second.HolderPid(), getpid());
    if (geteuid() != 0)
        return;
    // Another user running the same shared schedule holds a lock of their own.
    std::filesystem::permissions(FRuntime.Path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    std::filesystem::permissions(FFiles.Path(), std::filesystem::perms::owner_all |
                                                    std::filesystem::perms::group_exec |
                                                    std::filesystem::perms::others_exec);
    test::TChildResult other = test::RunInChild([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return std::string("no nobody");
        TInstanceLock theirs(file, FRuntime.Path().string());
        return std::string(theirs.TryAcquire() ? "held " : "refused ") + theirs.Folder();
    });
    EXPECT_EQ(other.Output, "held " + FRuntime.Path().string() + "/vantle-scheduler-65534");
}

// What another user could plant in a shared temporary folder to take the lock away or
// to hold it: each is refused by name, and nothing is made through it.
struct TPlanted {
    const char* Name;
    bool AsRoot;   // needs root to make another user's file
    bool LockFile; // the refusal names the lock file, else the folder
    const char* Reason;
    std::function<void(const std::string& folder, const std::string& lock,
                       const std::string& elsewhere)>
        Plant;
};

void PrintTo(const TPlanted& c, std::ostream* out) {
    *out << c.Name;
}

class PlantedLock : public testing::TestWithParam<TPlanted> {};

void MakeFolder(const std::string& path, unsigned mode) {
    std::filesystem::create_directory(path);
    chmod(path.c_str(), mode);
}

TEST_P(PlantedLock, IsRefusedByNameWithWhatIsWrong) {
    const TPlanted& c = GetParam();
    if (c.AsRoot && geteuid() != 0)
        GTEST_SKIP() << "needs root to plant another user's file";
    TTempDir base, elsewhere;
    TInstanceLock lock(base.File("s.INI"), base.Path().string());
    c.Plant(lock.Folder(), lock.LockPath(), elsewhere.Path().string());
    const std::string named = c.LockFile ? lock.LockPath() : lock.Folder();
    const std::string role = c.LockFile ? "instance lock file" : "instance lock folder";
    try {
        lock.TryAcquire();
        ADD_FAILURE() << "taken";
    } catch (const EPathRefused& e) {
        EXPECT_EQ(std::string(e.what()), named + ": not used as the " + role + ": " + c.Reason);
    }
    EXPECT_TRUE(elsewhere.Names().empty()) << "made through a link";
}

INSTANTIATE_TEST_SUITE_P(
    Planted, PlantedLock,
    testing::Values(
        TPlanted{"FolderOpenToOthers", false, false, "its mode is 0777, not 0700",
                 [](const std::string& folder, const std::string&, const std::string&) {
                     MakeFolder(folder, 0777);
                 }},
        TPlanted{"FolderIsALink", false, false, "it is a symbolic link, not a folder",
                 [](const std::string& folder, const std::string&, const std::string& elsewhere) {
                     chmod(elsewhere.c_str(), 0700);
                     std::filesystem::create_directory_symlink(elsewhere, folder);
                 }},
        TPlanted{"FolderIsAFile", false, false, "it is not a folder",
                 [](const std::string& folder, const std::string&, const std::string&) {
                     WriteFile(folder, "");
                 }},
        TPlanted{"FolderOfAnotherUser", true, false,
                 "it belongs to user 65534 (nobody), not to user 0 (root)",
                 [](const std::string& folder, const std::string&, const std::string&) {
                     MakeFolder(folder, 0700);
                     [[maybe_unused]] int r = chown(folder.c_str(), 65534, 65534);
                 }},
        TPlanted{
            "LockFileIsALink", false, true, "it is a symbolic link",
            [](const std::string& folder, const std::string& lock, const std::string& elsewhere) {
                MakeFolder(folder, 0700);
                std::filesystem::create_symlink(elsewhere + "/taken", lock);
            }},
        TPlanted{"LockFileIsAPipe", false, true, "it is not a regular file",
                 [](const std::string& folder, const std::string& lock, const std::string&) {
                     MakeFolder(folder, 0700);
                     mkfifo(lock.c_str(), 0600);
                 }},
        TPlanted{"LockFileOfAnotherUser", true, true,
                 "it belongs to user 65534 (nobody), not to user 0 (root)",
                 [](const std::string& folder, const std::string& lock, const std::string&) {
                     MakeFolder(folder, 0700);
                     WriteFile(lock, "4242\n");
                     chmod(lock.c_str(), 0666);
                     [[maybe_unused]] int r = chown(lock.c_str(), 65534, 65534);
                 }}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vantle
