// An input/output error names the file it concerns beside its unchanged text, so the
// error box and vantle-schedctl can say which file failed.
#include "engine/Log.h"
#include "platform/ExecutablePath.h"
#include "platform/InstanceLock.h"
#include "platform/SysErrors.h"
#include "sched/SchedList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TFileErrorCase {
    const char* Name;
    const char* File; // in the test's folder
    bool MakeFolder;  // the file's name is taken by a folder
    int Code;
    const char* Text; // what() exactly
    // Fails on the file at `path`; sets `named` when the error concerns another file.
    std::function<void(const std::string& path, std::string& named)> Fail;
};

class FileErrorNames : public testing::TestWithParam<TFileErrorCase> {};

TEST_P(FileErrorNames, CarryThePathBesideTheText) {
    const TFileErrorCase& c = GetParam();
    TTempDir dir;
    std::string path = dir.File(c.File);
    if (c.MakeFolder)
        std::filesystem::create_directories(path);
    std::string named = path;
    try {
        c.Fail(path, named);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), c.Code);
        EXPECT_STREQ(e.what(), c.Text);
        EXPECT_EQ(e.FileName(), named);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FileErrorNames,
    testing::Values(
        TFileErrorCase{"ScheduleLoad", "s.INI", false, 5, "File access denied",
                       [](const std::string& path, std::string&) {
                           mkfifo(path.c_str(), 0600); // not a regular file
                           TSchedList list;
                           list.SetFileName(path);
                           list.Load();
                       }},
        TFileErrorCase{"ScheduleSave", "s.INI", true, 5, "is a folder, not a file",
                       [](const std::string& path, std::string&) {
                           TSchedList list;
                           list.SetFileName(path);
                           list.Save();
                       }},
        TFileErrorCase{"LogWrite", "s.LOG", true, 5, "File access denied",
                       [](const std::string& path, std::string&) { TLog(path).WriteLine("x"); }},
        TFileErrorCase{"LogReset", "gone/s.LOG", false, 2, "File not found",
                       [](const std::string& path, std::string&) { TLog(path).Reset(); }},
        TFileErrorCase{"LogRead", "s.LOG", false, 2, "File not found",
                       [](const std::string& path, std::string&) {
                           std::vector<std::string> lines;
                           TLog(path).AssignTo(lines);
                       }},
        TFileErrorCase{"InstanceLock", "s.INI", false, 5, "File access denied",
                       [](const std::string& path, std::string& named) {
                           WriteFile(path, "");
                           TInstanceLock lock(path, FolderOfFile(path));
                           named = lock.LockPath();
                           std::filesystem::create_directory(lock.Folder());
                           std::filesystem::permissions(lock.Folder(),
                                                        std::filesystem::perms::owner_all);
                           std::filesystem::create_directory(named);
                           lock.TryAcquire();
                       }}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
