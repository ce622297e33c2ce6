#include "cli/Commands.h"

#include "support/SchedCtlRun.h"
#include "support/TestFiles.h"
#include "support/ZoneGuard.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

namespace vantle::cli {
namespace {

using test::ReadFile;
using test::SectionText;
using test::TTempDir;
using test::WriteFile;

using test::SchedCtl;
using test::TRun;

class ModelCommandsTest : public ::testing::Test {
protected:
    std::string Write(const std::string& content) {
        std::string path = FDir.File("s.ini");
        WriteFile(path, content);
        chmod(path.c_str(), 0600);
        return path;
    }
    TTempDir FDir;
};

TEST_F(ModelCommandsTest, FmtPrintsTheSavedFormAndWritesItBack) {
    // What the reader keeps and how the writer words it are the file format's own tests.
    std::string path = Write("junk\r\n[Schedule 5]\r\nName=A\r\nTime=1 2 3 4 5\r\n"
                             "CommandType=2\r\nCommand=gone\r\n");
    const std::string expected = "[Schedule 0]\r\nName=A\r\nTime=1 2 3 4 5\r\nActive=No\r\n"
                                 "CommandType=2\r\nWinState=0\r\n";
    TRun run = SchedCtl({"fmt", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, expected);
    run = SchedCtl({"fmt", "-w", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(ReadFile(path), expected);
}

// Cron text written by hand is written in the stored form, as the entry dialog converts
// it, and each change is said; what has no stored form stays and is said too.
TEST_F(ModelCommandsTest, FmtConvertWritesCronTextInTheStoredForm) {
    std::string path =
        Write(SectionText(0, "hand", "*/15 9-17 * * mon-fri") +
              SectionText(1, "plain", "0 3 * * *") + SectionText(2, "odd", "0-90/15 3 * jan *"));
    const std::string changes = "hand: Minutes '*/15' -> '0,15,30,45'\n"
                                "hand: WeekDays 'mon-fri' -> '1-5'\n"
                                "odd: Minutes '0-90/15' has no stored form; left as it is\n"
                                "odd: Months 'jan' -> '1'\n";
    TRun run = SchedCtl({"fmt", "--convert", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("Name=hand\r\nTime=0,15,30,45 9-17 * * 1-5\r\n"), std::string::npos);
    EXPECT_NE(run.Out.find("Name=odd\r\nTime=0-90/15 3 * 1 *\r\n"), std::string::npos);
    EXPECT_EQ(run.Err, changes);
    EXPECT_NE(ReadFile(path).find("Time=*/15 9-17 * * mon-fri"), std::string::npos);
    run = SchedCtl({"fmt", "--convert", "-w", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, changes);
    EXPECT_NE(ReadFile(path).find("Time=0,15,30,45 9-17 * * 1-5\r\n"), std::string::npos);
    // Without --convert, fmt keeps the text as it is.
    EXPECT_NE(SchedCtl({"fmt", path}).Out.find("Time=0-90/15 3 * 1 *"), std::string::npos);
}

TEST_F(ModelCommandsTest, LinuxEditorsFileKeepsItsEntries) {
    // As typed in a Linux editor: bare line feeds.
    std::string path = Write("[Schedule 0]\nName=night\nTime=30 2 * * *\nActive=Yes\n"
                             "Command=/usr/local/bin/backup\n\n[Schedule 1]\nName=off\n"
                             "Time=* * * * *\nActive=No\nCommand=/opt/report\n");
    // next leaves the inactive entry out; the local time the clock skips runs at the
    // first minute after the gap.
    test::TZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3"); // 2024-03-31 02:00 jumps to 03:00
    TRun run = SchedCtl({"next", "--from", "2024-03-30 00:00", "--count", "3", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out,
              "night\t2024-03-30 02:30\nnight\t2024-03-31 03:00\nnight\t2024-04-01 02:30\n");
    run = SchedCtl({"fmt", "-w", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    std::string saved = ReadFile(path);
    EXPECT_EQ(saved.rfind("[Schedule 0]\r\nName=night\r\nTime=30 2 * * *\r\n", 0), 0u);
    EXPECT_NE(saved.find("\r\n\r\n[Schedule 1]\r\nName=off\r\n"), std::string::npos);
}

TEST_F(ModelCommandsTest, UsageAndFileErrorsExitWithTwo) {
    std::string path = Write(SectionText(0, "A", "* * * * *"));
    std::string missing = FDir.File("missing.ini");
    // No command takes a script for a schedule (all read it alike), and fmt -w leaves it as
    // it was.
    const std::string script = FDir.File("script"), scriptText = "#!/bin/sh\necho hello\n";
    WriteFile(script, scriptText);
    const std::string noSchedule =
        script + " is not a schedule file: it holds text but no [Schedule N] section\n";
    const std::vector<std::pair<TArgs, std::string>> cases = {
        {{"fmt", "-w", script}, "fmt: " + noSchedule},
        {{"fmt", path, path}, "more than one FILE"},
        {{"fmt", "-w", missing}, missing + ": File not found"},
        {{"fmt", FDir.Path().string()}, "not a regular file"},
        {{"due", path}, "--at is required"},
        {{"due", "--at", "2024-01-01", path},
         "--at wants \"YYYY-MM-DD hh:mm[:ss[.zzz]][Z|+hh:mm]\""},
        {{"due", "--at", "2024-02-30 10:00", path}, "is not a date and time of the calendar"},
        {{"due", path, "--at"}, "option --at needs a value"},
        {{"next", "--from", "2024-01-01 10:00:00,5", path}, "--from wants"},
        {{"next", "--count", "0", path}, "--count wants a whole number"},
        {{"upcoming", "--days", "1", "--count", "1", path}, "exclude each other"},
    };
    for (const auto& [args, message] : cases) {
        TRun run = SchedCtl(args);
        EXPECT_EQ(run.Code, 2) << args[0] << " " << message;
        EXPECT_NE(run.Err.find(message), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(missing)); // fmt -w did not create it
    EXPECT_EQ(ReadFile(script), scriptText);
}

// As the scheduler takes it: a schedule file that does not exist is an empty schedule,
// said on standard error so that a mistyped name shows.
TEST_F(ModelCommandsTest, ReadingCommandsTakeAMissingFileForAnEmptySchedule) {
    const std::string missing = FDir.File("missing.ini");
    const std::string note = "vantle-schedctl: " + missing + " does not exist; an empty schedule\n";
    const std::vector<TArgs> commands = {
        {"fmt", missing},
        {"check", missing},
        {"due", "--at", "2026-12-07 02:30", missing},
        {"next", missing},
        {"upcoming", "--count", "3", missing},
        {"upcoming", "--from", "2026-12-06 00:00", missing},
    };
    for (const TArgs& args : commands) {
        TRun run = SchedCtl(args);
        EXPECT_EQ(run.Code, 0) << args[0];
        EXPECT_EQ(run.Out, "") << args[0];
        EXPECT_EQ(run.Err, note) << args[0];
    }
    // Without FILE, the desktop program's schedule, not there either.
    TRun run = SchedCtl({"fmt"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_NE(run.Err.find("vantle-scheduler.INI does not exist; an empty schedule"),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(ModelCommandsTest, NextFindsTheNextMomentsOrNever) {
    const char* const newYear = "2024-01-01 00:00";
    const struct {
        const char* Time;
        const char* From;
        const char* Out;
    } cases[] = {
        {"0,30 23 31 12 *", "2024-12-31 23:00",
         "e\t2024-12-31 23:30\ne\t2025-12-31 23:00\ne\t2025-12-31 23:30\n"},
        // Leap days on a Monday, with 2100 not a leap year.
        {"0 12 29 2 1", newYear, "e\t2044-02-29 12:00\ne\t2072-02-29 12:00\ne\t2112-02-29 12:00\n"},
        // Never due: why is a check finding.
        {"* * * * 7", newYear, "e\tnever\n"},
        // Never due by its fields, it still runs at each start-up.
        {"* * 31 2 *", newYear, "e\tat start-up\n"},
    };
    for (const auto& c : cases) {
        const bool atStart = std::string(c.Out).ends_with("at start-up\n");
        std::string path = Write(SectionText(0, "e", c.Time) + (atStart ? "AtStart=Yes\r\n" : ""));
        EXPECT_EQ(SchedCtl({"check", path}).Out.find("never due") != std::string::npos,
                  std::string(c.Out) == "e\tnever\n");
        TRun run = SchedCtl({"next", "--from", c.From, "--count", "3", path});
        EXPECT_EQ(run.Code, 0) << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Time;
    }
}

TEST_F(ModelCommandsTest, CheckIsQuietOnACleanFileAndWarnsWhenOthersMayWriteIt) {
    std::string path =
        Write(SectionText(0, "A", "0,30 9-17 * * 1-5") + "CommandType=0\r\nCommand=sh\r\n\r\n" +
              SectionText(1, "B", "* * 1 1 *", "No") + "Comment=\r\n" +
              "Parms=-a\t-b\r\n"); // a TAB is a blank between parameters
    TRun run = SchedCtl({"check", path});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out, "");
    chmod(path.c_str(), 0620);
    run = SchedCtl({"check", path});
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Out, path + ": the file is writable by its group: anyone who can write it can "
                              "run programs as you\n");
    chmod(path.c_str(), 0602);
    EXPECT_NE(SchedCtl({"check", path}).Out.find("writable by every user"), std::string::npos);
}

TEST_F(ModelCommandsTest, CheckReportsWhatTheReaderSilentlyAccepts) {
    const std::string good = SectionText(0, "A", "* * * * *");
    // The file's content, and how the report line after "FILE:" starts.
    const std::pair<std::string, std::string> cases[] = {
        {good + "name=x\r\n", "5: 'name=' is not the key 'Name=' (keys match case"},
        {good + " Name=x\r\n", "5: blank before 'Name=': a key must start the line"},
        {good + "[schedule 1]\r\n", "5: '[schedule 1]' is not an entry header"},
        {"Name=x\r\n" + good, "1: Name= line before the first '[Schedule ' header"},
        {"x", "1: no '[Schedule ' header: the file holds no entries"},
        {good + "Foo\r\n", "5: line matches no key and is ignored"},
        {SectionText(0, "A", "*  * * * *"), "3: Time= has 6 fields; it needs 5"},
        {SectionText(0, "A", "* * * * *", "True"), "4: Active=True reads as No"},
        {good + "CommandType=3\r\n", "5: CommandType=3 is out of range 0 to 2"},
        {good + "CommandType=abc\r\n", "5: CommandType=abc is not a number"},
        {good + "TimeLimit=abc\r\n", "5: error: TimeLimit=abc: the value is not a whole number"},
        {good + "TimeLimit=-5\r\n", "5: error: TimeLimit=-5: a time limit cannot be negative"},
        {good + "TimeLimit=527041\r\n", "5: error: TimeLimit=527041: over a year"},
        {good + "Overlap=never\r\n", "5: Overlap=never reads as Allow"},
        {good + "Retries=x\r\n", "5: error: Retries=x: the value is not a whole number; the "
                                 "entry is not retried"},
        {good + "Retries=101\r\n", "5: error: Retries=101: out of range (0 to 100)"},
        {good + "RetryDelay=0\r\n", "5: error: RetryDelay=0: out of range (1 to 527040); "
                                    "retries wait 5 minutes"},
        {good + "OnlyOnACPower=1\r\n", "5: OnlyOnACPower=1 reads as No"},
        {good + "OnlyWithNetwork=on\r\n", "5: OnlyWithNetwork=on reads as No"},
        {good + "AtStart=true\r\n", "5: AtStart=true reads as No"},
        {good + "WaitLimit=-1\r\n", "5: error: WaitLimit=-1: out of range (0 to 527040)"},
        {good + "AlertAfter=87841\r\n", "5: error: AlertAfter=87841: out of range (0 to 87840)"},
        {SectionText(0, "A", "*,5 * * * *"), "3: Minutes '*,5': item '*' reads as 0"},
        {SectionText(0, "A", "1,,5 * * * *"), "3: Minutes '1,,5': the empty item stops"},
        {SectionText(0, "A", "5- * * * *"), "3: Minutes '5-': the upper end of '5-' is"},
        {SectionText(0, "A", "60 * * * *"), "3: entry 'A' is never due: Minutes '60'"},
        {SectionText(0, "A", "50-10 * * * *"), "3: Minutes '50-10': range '50-10' matches"},
        {SectionText(0, "A", "0,60 * * * *"), "3: Minutes '0,60': item '60' matches no"},
        {"[Schedule 0]\r\nName=A\r\n", "1: entry 'A' has no Time= line"},
        {good + "Name=B\r\n", "5: second Name= in this entry: it replaces the value"},
        {good + "CommandType=2\r\nCommand=x\r\n", "6: Command= is not kept for"},
        {"[Schedule 0]\r\nName=A\nTime=* * * * *\r\n",
         "2: mixed line ends: this line ends with a line feed without a carriage return, as "
         "lines the program saved do not; every line feed ends a line, and the next save "
         "writes CR LF"},
        {good + "\x1a" + SectionText(1, "B", "* * * * *"),
         "5: Ctrl-Z ends the file here: the 50 bytes after it are not read"},
        {good + "\x1a" + "x", "5: Ctrl-Z ends the file here: the 1 byte after it is not read"},
        {SectionText(0, "A\x1b[2J\t", "* * * * *"),
         "2: Name= holds control characters, shown as escapes: 'A\\x1b[2J\\x09'"},
        {good + "Comment=\xc2\x9b"
                "1m\r\n",
         "5: Comment= holds control characters, shown as "
         "escapes: '\\u009b1m'"},
        {good + std::string("Command=/bin/x\0y\r\n", 18),
         "5: error: Command= holds a NUL byte: the program would get the text cut there, so "
         "the scheduler does not start the entry"},
        {good + std::string("WorkDir=\0\r\n", 11), "5: error: WorkDir= holds a NUL byte"},
        // An environment's pair the program could not be given fails the run; the values
        // are never quoted.
        {good + "Environment=A=1;bad name=s3cret\r\n",
         "5: error: Environment=: the environment's pair 'bad name' has no valid name (letters, "
         "digits and _, not starting with a digit), so the scheduler does not start the entry"},
        {good + "Environment=A=1;s3cret\r\n",
         "5: error: Environment=: the environment's pair 2 has no '='"},
        {good + std::string("Environment=KEY=s3\0cret\r\n", 25),
         "5: error: Environment=: the environment's value of KEY holds a NUL byte"},
        {good + "Environment=D=C:\\temp\r\n",
         "5: error: Environment=: bad escape '\\t' in the environment's pair 1: it reads as "
         "written, and a save writes its backslash as '\\\\'"},
        {good + "Environment=A=1;A=2\r\n",
         "5: Environment=: A is set twice; the last value is the one used"},
        {good + "CommandType=2\r\nEnvironment=A=1\r\n",
         "6: Environment= is not used by an entry of type 2 (Builtin)"},
        // The program is looked for in the PATH the entry sets.
        {good + "Command=sh\r\nEnvironment=PATH=/no/such/folder\r\n",
         "5: error: entry 'A' cannot start: file not found (2)"},
        // What one entry held is not held against the next.
        {good + std::string("Command=/x\0\r\n", 13) + "\r\n" + SectionText(1, "B") +
             "Command=/no/such/program\r\n",
         "11: error: entry 'B' cannot start: file not found (2)"},
        // A program that is not there fails at every run; an inactive entry runs nothing.
        {good + "Command=/no/such/program\r\n",
         "5: error: entry 'A' cannot start: file not found (2)"},
        {good + "Command=/bin/true\r\nOnFailure=/no/such/mailer /bin/sh\r\n",
         "6: error: entry 'A': its failure command cannot start: file not found (2)"},
        {good + "Command=sh\r\nWorkDir=/no/such/folder\r\n",
         "5: error: entry 'A' cannot start: path not found (3)"},
        // Without a working folder the home folder is where a relative command is looked
        // for; a "~" is no shell's, so check says what to write instead.
        {good + "Command=bin/no-such-program\r\n",
         "5: error: entry 'A' cannot start: file not found (2) (in " +
             std::string(std::getenv("HOME")) + ", as no WorkDir is given)"},
        {good + "Command=/bin/sh\r\nParms=-c true ~/Documents/\r\n",
         "6: the parameter '~/Documents/' starts with '~', which no shell expands here: write "
         "'$V[HOME]/Documents/'"},
        {good + "Command=/bin/sh\r\nWorkDir=~/work\r\n",
         "6: the working folder '~/work' starts with '~', which no shell expands here: write '" +
             std::string(std::getenv("HOME")) + "/work' (the full path)"}};
    for (const auto& [content, finding] : cases) {
        std::string path = Write(content);
        TRun run = SchedCtl({"check", path});
        EXPECT_EQ(run.Code, 1) << finding;
        EXPECT_NE(run.Out.find(path + ":" + finding), std::string::npos) << finding << run.Out;
        EXPECT_EQ(run.Out.find("s3cret"), std::string::npos) << run.Out;
    }
    EXPECT_EQ(SchedCtl({"check", Write(SectionText(0, "A", "* * * * *", "No") +
                                       "Command=/no/such/program\r\n")})
                  .Code,
              0);
    // A PATH known only at the run is not searched ahead; a good one finds the program.
    for (const char* path : {"$V[PATH]", "/no/such/folder:/usr/bin:/bin"}) {
        TRun run =
            SchedCtl({"check", Write(good + "Command=sh\r\nEnvironment=PATH=" + std::string(path) +
                                     ";PASS=s3cret\r\n")});
        EXPECT_EQ(run.Code, 0) << run.Out;
    }
    // A Builtin entry keeps no command: its NUL goes with it and starts nothing.
    std::string path = Write(good + "CommandType=2\r\n" + std::string("Command=\0\r\n", 11));
    EXPECT_EQ(SchedCtl({"check", path}).Out.find("NUL"), std::string::npos);
}

// Which entry is due at which moment is the due test's table; here what the commands list
// and in which order.
TEST_F(ModelCommandsTest, UpcomingAndDueListRunsInTimeThenListOrder) {
    // 2026-12-06 is a Sunday; ties keep list order, inactive and never-due entries are left
    // out, and so is the end: Sunday 13th, 00:00.
    std::string path =
        Write(SectionText(0, "weekdays", "30 2 * * 1-5") +
              SectionText(1, "midnight", "0 0 * * 0,1") + SectionText(2, "off", "* * * * *", "No") +
              SectionText(3, "also 02:30", "30 2 7 12 *") + SectionText(4, "never", "0 0 30 2 *"));
    TRun run = SchedCtl({"upcoming", "--from", "2026-12-06 00:00", "--days", "7", path});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "2026-12-06 00:00\tmidnight\n"
                       "2026-12-07 00:00\tmidnight\n"
                       "2026-12-07 02:30\tweekdays\n"
                       "2026-12-07 02:30\talso 02:30\n"
                       "2026-12-08 02:30\tweekdays\n"
                       "2026-12-09 02:30\tweekdays\n"
                       "2026-12-10 02:30\tweekdays\n"
                       "2026-12-11 02:30\tweekdays\n");
    run = SchedCtl({"upcoming", "--from", "2026-12-07 00:00", "--count", "2", path});
    EXPECT_EQ(run.Out, "2026-12-07 00:00\tmidnight\n2026-12-07 02:30\tweekdays\n");
    run = SchedCtl({"due", "--at=2026-12-07 02:30", path});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "weekdays\nalso 02:30\n");
}

// In the repeated autumn hour an entry due every hour runs in both readings, a fixed
// time once: the second reading shows its offset, every other line as ever.
TEST_F(ModelCommandsTest, TheRepeatedHourListsTheSecondReadingWithItsOffset) {
    test::TZoneGuard zone("America/New_York");
    std::string path =
        Write(SectionText(0, "half", "30 * * * *") + SectionText(1, "fixed", "30 1 * * *") +
              SectionText(2, "last sunday", "30 2 * 3 0"));
    const struct {
        TArgs Args;
        std::string Out;
    } cases[] = {
        {{"upcoming", "--from", "2026-11-01 00:00", "--count", "5", path},
         "2026-11-01 00:30\thalf\n"
         "2026-11-01 01:30\thalf\n"
         "2026-11-01 01:30\tfixed\n"
         "2026-11-01 01:30 -05:00\thalf\n"
         "2026-11-01 02:30\thalf\n"},
        // From the second reading: its first minute included, the first reading over.
        {{"upcoming", "--from", "2026-11-01 01:30-05:00", "--count", "2", path},
         "2026-11-01 01:30 -05:00\thalf\n2026-11-01 02:30\thalf\n"},
        {{"next", "--from", "2026-11-01 01:00", "--count", "2", path},
         "half\t2026-11-01 01:30\nhalf\t2026-11-01 01:30 -05:00\n"
         "fixed\t2026-11-01 01:30\nfixed\t2026-11-02 01:30\n"
         "last sunday\t2027-03-07 02:30\nlast sunday\t2027-03-14 03:00\n"},
        {{"next", "--from", "2026-11-01 01:40-05:00", "--count", "1", path},
         "half\t2026-11-01 02:30\nfixed\t2026-11-02 01:30\nlast sunday\t2027-03-07 02:30\n"},
    };
    for (const auto& c : cases) {
        TRun run = SchedCtl(c.Args);
        EXPECT_EQ(run.Code, 0) << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Args[0] << " " << c.Args[2];
    }
}

// The scheduler left its state long ago: the entry that catches up runs at its next
// start, and upcoming says so first; without a state, a first start catches up nothing.
TEST_F(ModelCommandsTest, UpcomingShowsACatchUpThatIsPending) {
    std::string path = Write(SectionText(0, "C", "0 * * * *") + "CatchUp=Yes\r\n" +
                             SectionText(1, "N", "0 * * * *"));
    TRun run = SchedCtl({"upcoming", "--count", "1", path});
    EXPECT_EQ(run.Out.find("next start"), std::string::npos) << run.Out;
    WriteFile(FDir.File("s.STATE"), "2000.01.01 00.00\r\n");
    run = SchedCtl({"upcoming", "--count", "1", path});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_TRUE(run.Out.starts_with("next start\tC\tcatch-up of ")) << run.Out;
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 2) << run.Out;
}

// A name holding a vertical tab and a TAB, printed as it is, would forge a run, and an
// escape sequence would drive the terminal.
TEST_F(ModelCommandsTest, NamesShowControlCharactersAsEscapes) {
    std::string path = Write(SectionText(0, "x\v2030-01-01 00:00\tforged\x1b[2J", "30 2 7 12 *") +
                             SectionText(1, "caf\xe9", "30 2 7 12 *"));
    const std::string shown = "x\\x0b2030-01-01 00:00\\x09forged\\x1b[2J";
    const struct {
        TArgs Args;
        std::string Out;
    } cases[] = {
        {{"upcoming", "--from", "2026-12-07 00:00", "--count", "1", path},
         "2026-12-07 02:30\t" + shown + "\n"},
        {{"next", "--from", "2026-12-07 00:00", "--count", "1", path},
         shown + "\t2026-12-07 02:30\ncaf\\xe9\t2026-12-07 02:30\n"},
        // One name a line, no columns: a TAB forges nothing there.
        {{"due", "--at", "2026-12-07 02:30", path},
         "x\\x0b2030-01-01 00:00\tforged\\x1b[2J\ncaf\\xe9\n"},
    };
    for (const auto& c : cases) {
        TRun run = SchedCtl(c.Args);
        EXPECT_EQ(run.Code, 0) << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Args[0];
    }
}

} // namespace
} // namespace vantle::cli
