// import through the file: what it adds and saves, what a dry run shows would start,
// where the crontab comes from, and what it refuses.
#include "cli/Commands.h"

#include "platform/ProgramStarterPosix.h"
#include "sched/SchedList.h"
#include "support/SchedCtlRun.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

using namespace vantle;
using namespace vantle::cli;
using namespace vantle::test;
using ::testing::HasSubstr;

namespace {

class ImportCommandsTest : public testing::Test {
protected:
    TRun Import(TArgs args, const std::string& crontab) {
        WriteFile(Crontab, crontab);
        args.insert(args.begin(), {"import", "--from", Crontab});
        args.push_back(Path);
        return SchedCtl(args);
    }

    std::vector<TSchedule> Saved() const {
        TSchedList list;
        list.SetFileName(Path);
        list.Load();
        std::vector<TSchedule> entries;
        for (const TSchedule* entry : list.Entries())
            entries.push_back(*entry);
        return entries;
    }

    TTempDir Dir;
    std::string Path = Dir.File("sched.INI");
    std::string Crontab = Dir.File("crontab.txt");
};

// A schedule that does not exist is created with the entries, switched off; each verdict
// is said, and the end says how to move from cron without running anything twice.
TEST_F(ImportCommandsTest, CreatesTheScheduleWithTheEntriesSwitchedOff) {
    const TRun run = Import({}, "MAILTO=ann\n30 2 * * 1-5 /usr/local/bin/backup\n"
                                "0 9 1 * mon report\n0 1 * * * mail%hi\n");
    EXPECT_EQ(run.Code, 1) << run.Err; // a line was not imported
    EXPECT_EQ(run.Out, "");
    EXPECT_THAT(run.Err, HasSubstr("line 2: 30 2 * * 1-5 /usr/local/bin/backup\n"
                                   "  imported: entry 'backup'\n"));
    EXPECT_THAT(run.Err, HasSubstr("line 1: MAILTO=ann\n  approximated: "));
    EXPECT_THAT(run.Err, HasSubstr("line 3: 0 9 1 * mon report\n  imported as 2 entries: "));
    EXPECT_THAT(run.Err, HasSubstr("line 4: 0 1 * * * mail%hi\n  not imported: "));
    EXPECT_THAT(run.Err, HasSubstr("3 entries added to " + Path +
                                   " (created), switched off.\n"
                                   "So that nothing runs twice, comment out lines 2 and 3 of "
                                   "the crontab (crontab -e, a # at the start of each).\n"
                                   "Then switch the entries on: vantle-schedctl enable NAME"));
    const std::vector<TSchedule> saved = Saved();
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0].Name, "backup");
    EXPECT_FALSE(saved[0].Active);
    EXPECT_EQ(saved[0].Command, "/bin/sh");
    EXPECT_EQ(saved[0].Parms, "-c '/usr/local/bin/backup'");
    EXPECT_EQ(saved[0].Comment, std::vector<std::string>{"From crontab line 2: 30 2 * * 1-5 "
                                                         "/usr/local/bin/backup"});
    EXPECT_EQ(saved[1].WeekDays, "1");
    EXPECT_EQ(saved[2].Days, "1");
    EXPECT_EQ(saved[2].WeekDays, "0,2-6");
}

// The schedule's own entries stay as they were, and the new names keep clear of theirs.
TEST_F(ImportCommandsTest, AddsAfterTheScheduleAndKeepsItsEntries) {
    WriteFile(Path, ScheduleText({{.Name = "backup", .Time = "0 1 * * *", .Command = "/a"}}));
    const std::string before = ReadFile(Path);
    const TRun run = Import({"--active"}, "15 3 * * * backup\n");
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_THAT(run.Err, HasSubstr("1 entry added to " + Path + ", switched on.\n"));
    EXPECT_THAT(run.Err, HasSubstr("The entries are switched on: until those lines are commented "
                                   "out, cron runs them too."));
    EXPECT_EQ(ReadFile(Path).substr(0, before.size()), before);
    const std::vector<TSchedule> saved = Saved();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1].Name, "backup (2)");
    EXPECT_TRUE(saved[1].Active);
}

// A dry run writes nothing and prints the words the shell would get: every $, quote and
// backslash reaches it as cron hands it on. The variables are named, never given.
TEST_F(ImportCommandsTest, DryRunShowsWhatWouldStartAndWritesNothing) {
    const std::string command = "echo \"$HOME\" '$$ a'\\''b' \\\\ $V[X] \\%d";
    const std::string home = Dir.Path().string();
    const TRun run =
        Import({"--dry-run"}, "SHELL=/bin/sh\nHOME=" + home + "\nSECRET=$D\n0 4 * * 7 " + command +
                                  "\nHOME=/no/such/folder\n@daily x\n");
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path));
    EXPECT_THAT(run.Err, HasSubstr("Nothing written (--dry-run): 2 entries would be added to " +
                                   Path + " (created), switched off.\n"));
    std::istringstream lines(run.Out);
    std::string added, start, other, fails;
    std::getline(lines, added);
    std::getline(lines, start);
    std::getline(lines, other);
    std::getline(lines, fails);
    EXPECT_TRUE(added.ends_with("': 0 4 * * 0, switched off")) << added;
    const std::string prefix = "  would start: ",
                      suffix = " (in " + home + ", setting SHELL, HOME, SECRET)";
    ASSERT_EQ(start.rfind(prefix, 0), 0u) << start;
    ASSERT_TRUE(start.ends_with(suffix)) << start;
    EXPECT_THAT(
        SplitShellWords(start.substr(prefix.size(), start.size() - prefix.size() - suffix.size())),
        ::testing::ElementsAre("/bin/sh", "-c", "echo \"$HOME\" '$$ a'\\''b' \\\\ $V[X] %d"));
    EXPECT_EQ(run.Out.find("$D"), std::string::npos);
    EXPECT_EQ(other, "would add 'x': 0 0 * * *, switched off");
    EXPECT_EQ(fails, "  would fail: /bin/sh: path not found (3)"); // HOME is its folder
}

// Standard input as the crontab; no crontab at all is said as such.
TEST_F(ImportCommandsTest, ReadsStandardInputOrSaysWhereNoCrontabIs) {
    std::istringstream input("@hourly sync\n");
    std::streambuf* const kept = std::cin.rdbuf(input.rdbuf());
    const TRun fromInput = SchedCtl({"import", "--from", "-", Path});
    std::cin.rdbuf(kept);
    EXPECT_EQ(fromInput.Code, 0) << fromInput.Err;
    ASSERT_EQ(Saved().size(), 1u);
    EXPECT_EQ(Saved()[0].Minutes + " " + Saved()[0].Hours, "0 *");

    const TRun missing = SchedCtl({"import", "--from", Dir.File("none"), Path});
    EXPECT_EQ(missing.Code, 2);
    EXPECT_THAT(missing.Err, HasSubstr("vantle-schedctl import: " + Dir.File("none") + ": "));

    // Without --from it asks crontab -l; with no crontab program on PATH nothing starts.
    const char* path = std::getenv("PATH");
    const std::string keptPath = path != nullptr ? path : "";
    setenv("PATH", Dir.Path().c_str(), 1);
    const TRun noCron = SchedCtl({"import", Path});
    setenv("PATH", keptPath.c_str(), 1);
    EXPECT_EQ(noCron.Code, 2);
    EXPECT_THAT(noCron.Err, HasSubstr("crontab -l could not start: file not found (2); cron seems "
                                      "not to be installed; give a crontab with --from FILE"));
    EXPECT_EQ(Saved().size(), 1u);
}

// Nothing to add leaves a missing schedule missing; a file that is no schedule is refused
// rather than replaced.
TEST_F(ImportCommandsTest, WritesNoFileForNothingAndRefusesForeignFiles) {
    const TRun empty = Import({}, "# only a comment\n");
    EXPECT_EQ(empty.Code, 0) << empty.Err;
    EXPECT_FALSE(std::filesystem::exists(Path));
    WriteFile(Path, "some notes, no schedule\n");
    const TRun foreign = Import({}, "@daily x\n");
    EXPECT_EQ(foreign.Code, 2);
    EXPECT_THAT(foreign.Err, HasSubstr("is not a schedule file"));
    EXPECT_EQ(ReadFile(Path), "some notes, no schedule\n");
}

} // namespace
