// A save whose data cannot be synced to the disk must fail before it replaces the old
// file: otherwise a crash right after could leave an empty or torn schedule.
#include "sched/SchedList.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>

namespace {

bool FailFileSync = false;

} // namespace

// Stands in for the C library's fsync in this test program: regular files fail with
// EIO while FailFileSync is set, as on a disk that drops the write; folders still sync.
extern "C" int fsync(int fd) {
    using TFsync = int (*)(int);
    static TFsync real = reinterpret_cast<TFsync>(dlsym(RTLD_NEXT, "fsync"));
    struct stat st {};
    if (FailFileSync && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

namespace vantle {
namespace {

TEST(SchedListSyncTest, ASaveWhoseSyncFailsRaisesAndLeavesTheOldFile) {
    test::TTempDir dir;
    TSchedList list;
    list.SetFileName(dir.File("s.ini"));
    list.Add(test::EntryOf({.Name = "old"}));
    list.Save();
    const std::string saved = test::ReadFile(list.FileName());
    list.Items(0).Name = "new";
    list.Add(test::EntryOf({.Name = "more"}));
    FailFileSync = true;
    EXPECT_THROW(list.Save(), EInOutError);
    FailFileSync = false;
    EXPECT_EQ(test::ReadFile(list.FileName()), saved);
    EXPECT_TRUE(list.Modified());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left";
}

} // namespace
} // namespace vantle
