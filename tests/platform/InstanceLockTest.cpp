#include "platform/InstanceLock.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace vantle {
namespace {

using test::TTempDir;
using test::WriteFile;

class InstanceLockTest : public ::testing::Test {
protected:
    InstanceLockTest() { setenv("XDG_RUNTIME_DIR", FRuntime.Path().c_str(), 1); }
    ~InstanceLockTest() override { unsetenv("XDG_RUNTIME_DIR"); }
    TTempDir FRuntime, FFiles;
};

TEST_F(InstanceLockTest, EveryNameOfAFileGivesTheSameLockInTheRuntimeOrTemporaryFolder) {
    std::string file = FFiles.File("s.INI");
    WriteFile(file, "");
    std::filesystem::create_directory(FFiles.File("sub"));
    std::filesystem::create_symlink(file, FFiles.File("link.INI"));
    std::string path = TInstanceLock(file).LockPath();
    EXPECT_TRUE(path.starts_with(FRuntime.Path().string() + "/vantle-scheduler-")) << path;
    EXPECT_EQ(TInstanceLock(FFiles.File("sub/../s.INI")).LockPath(), path);
    EXPECT_EQ(TInstanceLock(FFiles.File("link.INI")).LockPath(), path);
    EXPECT_NE(TInstanceLock(FFiles.File("other.INI")).LockPath(), path);
    // A file not made yet is named by its folder's real path.
    EXPECT_EQ(TInstanceLock(FFiles.File("sub/../new.INI")).LockPath(),
              TInstanceLock(FFiles.File("new.INI")).LockPath());
    // Without a runtime folder the temporary folder is used, and the name tells the user.
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", FRuntime.Path().c_str(), 1);
    path = TInstanceLock(file).LockPath();
    unsetenv("TMPDIR");
    std::string user = std::to_string(geteuid());
    EXPECT_TRUE(path.starts_with(FRuntime.Path().string() + "/vantle-scheduler-" + user + "-"))
        << path;
}

} // namespace
} // namespace vantle
