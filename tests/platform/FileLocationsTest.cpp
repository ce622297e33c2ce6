#include "platform/FileLocations.h"

#include "support/MapEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TLocateCase {
    const char* Name;
    bool Writable, ScheduleBeside, SystemFolder;
    const char *XdgConfig, *XdgState; // nullptr: not set
    const char* ExpectSchedule;       // "" beside the program; "~" is HOME
    const char* ExpectLog;
};

class LocateFilesTest : public ::testing::TestWithParam<TLocateCase> {};

TEST_P(LocateFilesTest, ChoosesTheFolder) {
    const TLocateCase& c = GetParam();
    TTempDir dir;
    std::string folder = c.SystemFolder ? std::string("/usr/bin") : dir.Path().string();
    std::string program = folder + "/vantle-scheduler";
    if (c.ScheduleBeside)
        WriteFile(dir.File("vantle-scheduler.INI"), "");
    TMapEnvironment environment{{"HOME", "/home/u"}};
    if (c.XdgConfig != nullptr)
        environment.Values["XDG_CONFIG_HOME"] = c.XdgConfig;
    if (c.XdgState != nullptr)
        environment.Values["XDG_STATE_HOME"] = c.XdgState;
    TFileLocations files = LocateFiles(program, environment, [&](const std::string& asked) {
        EXPECT_EQ(asked, folder);
        return c.Writable;
    });
    auto expect = [&](std::string text, const char* beside) {
        if (text.empty())
            return program + beside;
        return text.front() == '~' ? text.replace(0, 1, "/home/u") : text;
    };
    EXPECT_EQ(files.ScheduleFile, expect(c.ExpectSchedule, ".INI"));
    EXPECT_EQ(files.LogFile, expect(c.ExpectLog, ".LOG"));
}

const char* const Ini = "~/.config/vantle-scheduler/vantle-scheduler.INI";
const char* const Log = "~/.local/state/vantle-scheduler/vantle-scheduler.LOG";

INSTANTIATE_TEST_SUITE_P(
    Rules, LocateFilesTest,
    ::testing::Values(
        TLocateCase{"WritableFolder", true, false, false, nullptr, nullptr, "", ""},
        TLocateCase{"ScheduleAlreadyBesideReadOnlyFolder", false, true, false, nullptr, nullptr, "",
                    ""},
        TLocateCase{"ReadOnlyFolderUsesDefaults", false, false, false, nullptr, nullptr, Ini, Log},
        TLocateCase{"SystemFolderEvenWhenWritable", true, false, true, nullptr, nullptr, Ini, Log},
        TLocateCase{"XdgVariablesWin", false, false, false, "/c", "/s",
                    "/c/vantle-scheduler/vantle-scheduler.INI",
                    "/s/vantle-scheduler/vantle-scheduler.LOG"},
        TLocateCase{"RelativeOrEmptyXdgVariablesAreIgnored", false, false, false, "rel", "", Ini,
                    Log}),
    [](const ::testing::TestParamInfo<TLocateCase>& info) { return info.param.Name; });

// A per-user install (--prefix ~/.local) leaves the programs in a folder the user may
// write; the desktop entry beside it says they are installed, not a portable copy. A
// schedule already beside them stays in use, so nobody's schedule disappears.
TEST(FileLocations, AnInstalledProgramUsesTheXdgFoldersThoughItsFolderIsWritable) {
    TTempDir dir;
    const std::string bin = dir.File("bin");
    std::filesystem::create_directories(bin);
    const std::string program = bin + "/vantle-scheduler";
    TMapEnvironment environment{{"HOME", "/home/u"}};
    auto locate = [&] {
        return LocateFiles(program, environment, [](const std::string&) { return true; });
    };
    EXPECT_EQ(locate().ScheduleFile, program + ".INI") << "a portable copy";
    std::filesystem::create_directories(dir.File("share/applications"));
    WriteFile(dir.File("share/applications/vantle-scheduler.desktop"), "[Desktop Entry]\n");
    EXPECT_EQ(locate().ScheduleFile, "/home/u/.config/vantle-scheduler/vantle-scheduler.INI");
    EXPECT_EQ(locate().LogFile, "/home/u/.local/state/vantle-scheduler/vantle-scheduler.LOG");
    WriteFile(program + ".INI", "");
    EXPECT_EQ(locate().ScheduleFile, program + ".INI");
    EXPECT_EQ(locate().LogFile, program + ".LOG");
}

TEST(FileLocations, MakesMissingFoldersPrivateAndReportsOneThatCannotBeMade) {
    TTempDir dir;
    TFileLocations files{dir.File("config/vantle-scheduler/vantle-scheduler.INI"),
                         dir.File("state/deep/vantle-scheduler/vantle-scheduler.LOG")};
    ASSERT_TRUE(MakeFileFolders(files));
    for (const char* folder :
         {"config", "config/vantle-scheduler", "state/deep", "state/deep/vantle-scheduler"}) {
        struct stat st {};
        ASSERT_EQ(stat(dir.File(folder).c_str(), &st), 0) << folder;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    // Made once, they are left as they are.
    EXPECT_TRUE(MakeFileFolders(files));
    WriteFile(dir.File("plain"), "a file where a folder should be");
    EXPECT_FALSE(MakeFileFolders({dir.File("plain/sub/x.INI"), dir.File("log/x.LOG")}));
    // The other file's folder is still made.
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("log")));
    // A folder the system refuses to make, its parent there (as root, a name too long).
    EXPECT_FALSE(MakeFileFolders({dir.File(std::string(300, 'n') + "/x.INI"), files.LogFile}));
}

} // namespace
