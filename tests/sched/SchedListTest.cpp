#include "sched/SchedList.h"

#include "platform/Clock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

std::unique_ptr<TSchedule> Named(const std::string& name) {
    auto entry = std::make_unique<TSchedule>();
    entry->Name = name;
    entry->Minutes = entry->Hours = entry->Days = entry->Months = entry->WeekDays = "*";
    return entry;
}

std::string Section(const std::string& name) {
    return "[Schedule 0]\r\nName=" + name + "\r\nTime=* * * * *\r\n";
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EListError& error) {
        return error.Message();
    }
    return "no error";
}

TEST(SchedListTest, IndexErrorsNameIndexAndLastIndex) {
    TSchedList list;
    EXPECT_EQ(ErrorOf([&] { list.Items(0); }), "Schedule List Index (0) Out of Range (0 to -1)");
    EXPECT_EQ(ErrorOf([&] { list.Insert(0, Named("x")); }),
              "Schedule List Index (0) Out of Range (0 to -1)");
    list.Add(Named("a"));
    list.Add(Named("b"));
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { list.Items(2); }, "Schedule List Index (2) Out of Range (0 to 1)"},
        {[&] { list.Items(-1); }, "Schedule List Index (-1) Out of Range (0 to 1)"},
        {[&] { list.Insert(2, Named("x")); }, "Schedule List Index (2) Out of Range (0 to 1)"},
        {[&] { list.Delete(2); }, "Schedule List Index (2) Out of Range (0 to 1)"},
        {[&] { list.Delete(-1); }, "Schedule List Index (-1) Out of Range (0 to 1)"},
        {[&] { list.Update(2, TSchedule{}); }, "Schedule List Index (2) Out of Range (0 to 1)"},
        {[&] { list.Update(-1, TSchedule{}); }, "Schedule List Index (-1) Out of Range (0 to 1)"},
        {[&] { list.SerialOf(5); }, "Schedule List Index (5) Out of Range (0 to 1)"},
    };
    for (const auto& [action, message] : cases)
        EXPECT_EQ(ErrorOf(action), message);
    EXPECT_EQ(list.Count(), 2);
    // The lock is released on the way out of a failed operation.
    auto other = std::async(std::launch::async, [&] { return list.Count(); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(other.get(), 2);
}

TEST(SchedListTest, OperationsKeepOrderAndModified) {
    TSchedList list;
    EXPECT_FALSE(list.Modified());
    EXPECT_EQ(list.Add(Named("a")), 0);
    EXPECT_EQ(list.Add(Named("c")), 1);
    list.Insert(1, Named("b"));
    EXPECT_EQ(list.Items(1).Name, "b");
    EXPECT_EQ(list.IndexOf(&list.Items(2)), 2);
    TSchedule stranger;
    EXPECT_EQ(list.IndexOf(&stranger), -1);
    EXPECT_TRUE(list.Modified());

    TTempDir dir;
    list.SetFileName(dir.File("s.ini"));
    list.Save();
    EXPECT_FALSE(list.Modified());
    TSchedule same = list.Items(0);
    list.Update(0, same);
    EXPECT_FALSE(list.Modified()); // nothing differed
    same.Hours = "3";
    list.Update(0, same);
    EXPECT_TRUE(list.Modified());
    EXPECT_EQ(list.Items(0).Hours, "3");
    list.Delete(0);
    EXPECT_EQ(list.Items(0).Name, "b");
}

TEST(SchedListTest, LockIsReentrant) {
    TSchedList list;
    list.Lock();
    {
        TSchedListLock again(list);
        list.Add(Named("a"));
        EXPECT_EQ(list.Count(), 1);
    }
    list.Unlock();
}

TEST(SchedListTest, SerialsAreNeverReused) {
    TTempDir dir;
    TSchedList list;
    list.SetFileName(dir.File("s.ini"));
    list.Add(Named("a"));
    list.Add(Named("b"));
    std::uint64_t a = list.SerialOf(0), b = list.SerialOf(1);
    EXPECT_NE(a, b);
    list.Delete(0);
    EXPECT_EQ(list.IndexOfSerial(a), -1);
    EXPECT_EQ(list.IndexOfSerial(b), 0);
    list.Save();
    list.Load();
    EXPECT_EQ(list.IndexOfSerial(b), -1); // the loaded entry is another one
}

TEST(SchedListTest, WithoutFileNameRaisesNoFileName) {
    TSchedList list;
    EXPECT_THROW(list.Load(), ENoFileName);
    EXPECT_THROW(list.Save(), ENoFileName);
    EXPECT_THROW(list.CheckFileChanged(), ENoFileName);
}

TEST(SchedListTest, SaveAndLoadRoundTrip) {
    TTempDir dir;
    std::string path = dir.File("s.ini");
    TSchedList list;
    list.SetFileName(path);
    list.Save();
    EXPECT_EQ(ReadFile(path), ""); // empty list, empty file
    list.Add(Named("a"));
    list.Add(Named("b"));
    list.Items(1).Comment = {"x", ""};
    list.Save();
    TSchedList other;
    other.SetFileName(path);
    other.Load();
    ASSERT_EQ(other.Count(), 2);
    EXPECT_FALSE(EntriesDiffer(other.Items(1), list.Items(1)));
    auto stamp = ReadFileStamp(path);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(ToMSecs(other.FileTime()), ToMSecs(LocalDateTimeOf(stamp->Modified)));
    EXPECT_EQ(ToMSecs(list.FileTime()), ToMSecs(other.FileTime()));
}

TEST(SchedListTest, MissingFileLoadsAsEmptyList) {
    TTempDir dir;
    TSchedList list;
    list.SetFileName(dir.File("none.ini"));
    list.Add(Named("a"));
    list.Load();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Modified());
    EXPECT_EQ(list.FileTime(), 0);
    EXPECT_FALSE(list.CheckFileChanged());
}

TEST(SchedListTest, FailedLoadKeepsEverything) {
    TTempDir dir;
    std::string path = dir.File("s.ini");
    WriteFile(path, Section("a"));
    TSchedList list;
    list.SetFileName(path);
    list.Load();
    list.Add(Named("b"));
    TDateTime fileTime = list.FileTime();
    // A FIFO has a stamp but is no file to read; it must not hang the load either.
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(list.Load(), EInOutError);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(list.Modified());
    EXPECT_EQ(list.FileTime(), fileTime);
    EXPECT_THROW(list.CheckFileChanged(), EInOutError);
    EXPECT_EQ(list.Count(), 2);
}

class SchedListStampTest : public ::testing::Test {
protected:
    void SetUp() override {
        FPath = FDir.File("s.ini");
        WriteFile(FPath, Section("first"));
        FList.SetFileName(FPath);
        FList.Load();
    }
    std::string Name() { return FList.Items(0).Name; }

    TTempDir FDir;
    std::string FPath;
    TSchedList FList;
};

TEST_F(SchedListStampTest, OwnLoadAndSaveAreNotReloaded) {
    EXPECT_FALSE(FList.CheckFileChanged());
    FList.Save();
    EXPECT_FALSE(FList.CheckFileChanged());
    EXPECT_FALSE(FList.Reloaded());
}

TEST_F(SchedListStampTest, SeesSecondWriteWithinTheSameTick) {
    // Same size, same file, written right after the load: often the same stamp in
    // every field; the remembered content tells the writes apart.
    for (int i = 0; i < 20; ++i) {
        std::string name = "v" + std::string(4, static_cast<char>('a' + i));
        WriteFile(FPath, Section(name));
        ASSERT_TRUE(FList.CheckFileChanged()) << "write " << i;
        ASSERT_EQ(Name(), name);
        ASSERT_TRUE(FList.Reloaded());
        FList.SetReloaded(false);
    }
}

TEST(SchedListTest, SeesSecondWriteUnderAClockThatDoesNotTick) {
    // A file system whose stamp never moves: only the remembered content can tell.
    TTempDir dir;
    std::string path = dir.File("s.ini");
    TSchedList list;
    list.SetStampReader([](const std::string& name) -> std::optional<TFileStamp> {
        auto stamp = ReadFileStamp(name);
        if (stamp) {
            stamp->Modified = stamp->Changed = {4102444800, 0}; // 2100: fresh for a long while
            stamp->Inode = 1;
        }
        return stamp;
    });
    list.SetFileName(path);
    WriteFile(path, Section("one"));
    list.Load();
    EXPECT_FALSE(list.CheckFileChanged());
    WriteFile(path, Section("two"));
    EXPECT_TRUE(list.CheckFileChanged());
    EXPECT_EQ(list.Items(0).Name, "two");
    list.Items(0).Name = "six";
    list.Save();
    EXPECT_FALSE(list.CheckFileChanged());
    WriteFile(path, Section("ten"));
    EXPECT_TRUE(list.CheckFileChanged());
    EXPECT_EQ(list.Items(0).Name, "ten");
}

TEST_F(SchedListStampTest, ReloadsWhenReplacedByOlderCopy) {
    std::string copy = FDir.File("copy.ini");
    WriteFile(copy, Section("older"));
    const timespec times[2] = {{946684800, 0}, {946684800, 0}}; // 2000-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
    std::filesystem::rename(copy, FPath);
    EXPECT_TRUE(FList.CheckFileChanged());
    EXPECT_EQ(Name(), "older");
    EXPECT_FALSE(FList.CheckFileChanged());
}

TEST_F(SchedListStampTest, ReloadsWhenRestoredWithItsOldModificationTime) {
    auto before = ReadFileStamp(FPath);
    ASSERT_TRUE(before);
    WriteFile(FPath, Section("sixth")); // same size as "first"
    const timespec times[2] = {before->Modified, before->Modified};
    ASSERT_EQ(utimensat(AT_FDCWD, FPath.c_str(), times, 0), 0);
    EXPECT_TRUE(FList.CheckFileChanged());
    EXPECT_EQ(Name(), "sixth");
}

TEST_F(SchedListStampTest, DeletedFileIsNotReloaded) {
    std::filesystem::remove(FPath);
    EXPECT_FALSE(FList.CheckFileChanged());
    EXPECT_EQ(FList.Count(), 1);
    EXPECT_FALSE(FList.Reloaded());
}

TEST(SchedListTest, FileCreatedAfterStartWithoutOneIsLoaded) {
    TTempDir dir;
    std::string path = dir.File("s.ini");
    TSchedList list;
    list.SetFileName(path);
    list.Load();
    EXPECT_FALSE(list.CheckFileChanged());
    WriteFile(path, Section("new"));
    EXPECT_TRUE(list.CheckFileChanged());
    EXPECT_EQ(list.Items(0).Name, "new");
    // Deleted and brought back as it was: the empty list must not stand for it.
    std::filesystem::rename(path, dir.File("aside"));
    list.Load();
    EXPECT_EQ(list.Count(), 0);
    std::filesystem::rename(dir.File("aside"), path);
    EXPECT_TRUE(list.CheckFileChanged());
    EXPECT_EQ(list.Count(), 1);
}

TEST(SchedListTest, SaveKeepsPermissionsAndLinks) {
    TTempDir dir;
    std::string path = dir.File("s.ini");
    WriteFile(path, Section("a"));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(path, link);
    TSchedList list;
    list.SetFileName(link);
    list.Load();
    list.Add(Named("b"));
    list.Save();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_NE(ReadFile(path).find("Name=b"), std::string::npos);
    EXPECT_FALSE(list.CheckFileChanged());
}

// Everything in the folder except `keep`: a failed save leaves no temporary behind.
std::vector<std::string> Leftovers(const TTempDir& dir, const std::string& keep) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        if (entry.path().filename() != keep)
            names.push_back(entry.path().filename().string());
    return names;
}

TEST(SchedListTest, SaveKeepsOldFileWhenDiskIsFull) {
    TTempDir dir;
    std::string path = dir.File("s.ini");
    std::string old = Section("old");
    WriteFile(path, old);
    TSchedList list;
    list.SetFileName(path);
    list.Load();
    for (int i = 0; i < 200; ++i)
        list.Add(Named("entry number " + std::to_string(i)));

    // A file size limit makes write fail with EFBIG, as a full disk fails with ENOSPC.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = 0;
    try {
        list.Save();
    } catch (const EInOutError& error) {
        code = error.ErrorCode();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(code, 101);
    EXPECT_EQ(EInOutError::TextOf(code), "Disk full");
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_TRUE(list.Modified());
    EXPECT_EQ(list.Count(), 201);
    EXPECT_TRUE(Leftovers(dir, "s.ini").empty());
    EXPECT_FALSE(list.CheckFileChanged()); // the old file was not touched
    list.Save();
    EXPECT_FALSE(list.Modified());
}

TEST(SchedListTest, SaveKeepsOldFileInReadOnlyFolder) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TTempDir dir;
    std::string path = dir.File("s.ini");
    WriteFile(path, Section("old"));
    TSchedList list;
    list.SetFileName(path);
    list.Load();
    list.Add(Named("b"));
    ASSERT_EQ(chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_THROW(list.Save(), EInOutError);
    chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(ReadFile(path), Section("old"));
    EXPECT_TRUE(list.Modified());
    EXPECT_TRUE(Leftovers(dir, "s.ini").empty());
    // A read-only schedule file stays protected although the folder is writable.
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    try {
        list.Save();
        ADD_FAILURE() << "saved over a read-only file";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message(), "File access denied");
    }
    EXPECT_EQ(ReadFile(path), Section("old"));
}

} // namespace
} // namespace vantle
