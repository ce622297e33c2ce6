#include "engine/TildeWarnings.h"

#include <gtest/gtest.h>

using namespace vantle;

namespace {

struct TTildeCase {
    TSchedLineKind Kind;
    const char* Value;
    std::vector<std::string> Warnings;
};

const std::string NoShell = " starts with '~', which no shell expands here: write ";

// What each place holding a "~" is told to write instead: in the parameters the token
// that expands to the home folder, elsewhere the full path; someone else's "~name"
// only a full path names.
TEST(TildeWarningsTest, SayWhatToWriteInstead) {
    const TTildeCase cases[] = {
        {TSchedLineKind::Command,
         "~/bin/backup",
         {"the command '~/bin/backup'" + NoShell + "'/home/ann/bin/backup' (the full path)"}},
        {TSchedLineKind::WorkDir,
         "~",
         {"the working folder '~'" + NoShell + "'/home/ann' (the full path)"}},
        {TSchedLineKind::WorkDir,
         "~bob/x",
         {"the working folder '~bob/x'" + NoShell + "the full path"}},
        {TSchedLineKind::Parms,
         "-a '~/Documents/' x~ \"~\" $V[HOME]/ok",
         {"the parameter '~/Documents/'" + NoShell + "'$V[HOME]/Documents/'",
          "the parameter '~'" + NoShell + "'$V[HOME]'"}},
        {TSchedLineKind::Command, "/usr/bin/rsync", {}},
        {TSchedLineKind::WorkDir, "", {}},
        {TSchedLineKind::Name, "~ mine", {}},
        {TSchedLineKind::Comment, "~/x", {}},
    };
    for (const TTildeCase& c : cases)
        EXPECT_EQ(TildeWarningsOf(c.Kind, c.Value, "/home/ann"), c.Warnings) << c.Value;
}

TEST(TildeWarningsTest, AnEntryIsToldForEachTextAndABuiltinForNone) {
    TSchedule entry;
    entry.Command = "~/bin/backup";
    entry.Parms = "~/a ~/b";
    entry.WorkDir = "~/work";
    EXPECT_EQ(TildeWarnings(entry, "/home/ann").size(), 4u);
    entry.CommandType = ctBuiltinResetTime;
    EXPECT_TRUE(TildeWarnings(entry, "/home/ann").empty());
}

} // namespace
