#include "platform/FileLocations.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace vantle;
using namespace vantle::test;

namespace {

class TMapEnvironment : public TEnvironment {
public:
    explicit TMapEnvironment(std::map<std::string, std::string> values)
        : FValues(std::move(values)) {}
    std::optional<std::string> Get(const std::string& name) const override {
        auto found = FValues.find(name);
        if (found == FValues.end())
            return std::nullopt;
        return found->second;
    }

private:
    std::map<std::string, std::string> FValues;
};

struct TLocateCase {
    const char* Name;
    bool Writable;
    bool ScheduleBeside;
    bool SystemFolder;
    std::map<std::string, std::string> Environment;
    bool ExpectBeside;
    const char* ExpectSchedule; // under the XDG folders; "~" is HOME
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
    TMapEnvironment environment(c.Environment);
    TFileLocations files = LocateFiles(program, environment, [&](const std::string& asked) {
        EXPECT_EQ(asked, folder);
        return c.Writable;
    });
    if (c.ExpectBeside) {
        EXPECT_EQ(files.ScheduleFile, program + ".INI");
        EXPECT_EQ(files.LogFile, program + ".LOG");
        return;
    }
    auto expand = [](std::string text) {
        if (text.front() == '~')
            text.replace(0, 1, "/home/u");
        return text;
    };
    EXPECT_EQ(files.ScheduleFile, expand(c.ExpectSchedule));
    EXPECT_EQ(files.LogFile, expand(c.ExpectLog));
}

const std::map<std::string, std::string> Home{{"HOME", "/home/u"}};

INSTANTIATE_TEST_SUITE_P(
    Rules, LocateFilesTest,
    ::testing::Values(
        TLocateCase{"WritableFolder", true, false, false, Home, true, "", ""},
        TLocateCase{"ScheduleAlreadyBesideReadOnlyFolder", false, true, false, Home, true, "", ""},
        TLocateCase{"ReadOnlyFolderUsesDefaults", false, false, false, Home, false,
                    "~/.config/vantle-scheduler/vantle-scheduler.INI",
                    "~/.local/state/vantle-scheduler/vantle-scheduler.LOG"},
        TLocateCase{"SystemFolderEvenWhenWritable", true, false, true, Home, false,
                    "~/.config/vantle-scheduler/vantle-scheduler.INI",
                    "~/.local/state/vantle-scheduler/vantle-scheduler.LOG"},
        TLocateCase{"XdgVariablesWin",
                    false,
                    false,
                    false,
                    {{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_STATE_HOME", "/s"}},
                    false,
                    "/c/vantle-scheduler/vantle-scheduler.INI",
                    "/s/vantle-scheduler/vantle-scheduler.LOG"},
        TLocateCase{"RelativeOrEmptyXdgVariablesAreIgnored",
                    false,
                    false,
                    false,
                    {{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "rel"}, {"XDG_STATE_HOME", ""}},
                    false,
                    "~/.config/vantle-scheduler/vantle-scheduler.INI",
                    "~/.local/state/vantle-scheduler/vantle-scheduler.LOG"}),
    [](const ::testing::TestParamInfo<TLocateCase>& info) { return info.param.Name; });

TEST(FileLocations, MakesMissingFoldersPrivate) {
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
}

TEST(FileLocations, ReportsAFolderThatCannotBeMade) {
    TTempDir dir;
    WriteFile(dir.File("plain"), "a file where a folder should be");
    EXPECT_FALSE(MakeFileFolders({dir.File("plain/sub/x.INI"), dir.File("log/x.LOG")}));
    // The other file's folder is still made.
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("log")));
}

} // namespace
