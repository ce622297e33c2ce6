// Crontab lines against their verdicts and entries; the entries' runs over a leap year
// against cron's rule, computed here on its own; the command's quoting through the
// scheduler's expansion and word splitting.
#include "sched/CrontabImport.h"

#include "engine/Parameters.h"
#include "platform/ProgramStarterPosix.h"
#include "sched/ScheduleKeys.h"
#include "support/FakeClock.h"
#include "support/MapEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bitset>
#include <chrono>
#include <map>
#include <sstream>

namespace vantle {
namespace {

using V = TCrontabVerdict;
using ::testing::HasSubstr;

TCrontabImportOptions Options() {
    TCrontabImportOptions options;
    options.Active = true;
    options.LocalZone = "Etc/UTC";
    options.IsUserName = [](std::string_view word) { return word == "root"; };
    return options;
}

std::string TimeOf(const TSchedule& entry) {
    return entry.Minutes + " " + entry.Hours + " " + entry.Days + " " + entry.Months + " " +
           entry.WeekDays;
}

struct TCase {
    const char* Name;
    const char* Text;
    std::vector<std::pair<std::size_t, V>> Verdicts; // the lines that say something
    std::vector<std::string> Times;                  // each entry's fields, in order
    std::string Why = {};                            // a part of the first verdict's reason
};

std::ostream& operator<<(std::ostream& out, const TCase& c) {
    return out << c.Name;
}

class CrontabLineTest : public ::testing::TestWithParam<TCase> {};

TEST_P(CrontabLineTest, GivesItsVerdictAndEntries) {
    const TCase& c = GetParam();
    const TCrontabImport result = ImportCrontab(c.Text, Options());
    std::vector<std::pair<std::size_t, V>> verdicts;
    for (const TCrontabLine& line : result.Lines)
        verdicts.emplace_back(line.Line, line.Verdict);
    EXPECT_EQ(verdicts, c.Verdicts);
    std::vector<std::string> times;
    for (const TSchedule& entry : result.Entries)
        times.push_back(TimeOf(entry));
    EXPECT_EQ(times, c.Times);
    if (!result.Lines.empty()) {
        EXPECT_THAT(result.Lines.front().Why, HasSubstr(c.Why));
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRule, CrontabLineTest,
    ::testing::Values(
        TCase{"PlainFields",
              "30 2 * * 1-5 /usr/local/bin/backup\n",
              {{1, V::Imported}},
              {"30 2 * * 1-5"},
              "entry 'backup'"},
        TCase{"StepsRangesLists",
              "*/15 9-17 1,15 */3 * job\n",
              {{1, V::Imported}},
              {"0,15,30,45 9-17 1,15 1,4,7,10 *"}},
        TCase{"StepOfARangeAndOfANumber",
              "10-30/10 5/6 * * * job\n",
              {{1, V::Imported}},
              {"10,20,30 5,11,17,23 * * *"}},
        TCase{"NamesInAnyCase",
              "0 0 * jan,JUL-aug Mon-FRI job\n",
              {{1, V::Imported}},
              {"0 0 * 1,7-8 1-5"}},
        TCase{"SevenIsSunday",
              "0 12 * * 7 a\n0 12 * * 5-7 b\n",
              {{1, V::Imported}, {2, V::Imported}},
              {"0 12 * * 0", "0 12 * * 5-6,0"}},
        TCase{"Nicknames",
              "@yearly a\n@annually b\n@monthly c\n@weekly d\n@daily e\n@midnight f\n@hourly g\n",
              {{1, V::Imported},
               {2, V::Imported},
               {3, V::Imported},
               {4, V::Imported},
               {5, V::Imported},
               {6, V::Imported},
               {7, V::Imported}},
              {"0 0 1 1 *", "0 0 1 1 *", "0 0 1 * *", "0 0 * * 0", "0 0 * * *", "0 0 * * *",
               "0 * * * *"}},
        TCase{"RebootRunsAtStartUp",
              "@reboot mbsync -a\n",
              {{1, V::Approximated}},
              {"0 0 31 2 *"},
              "a minute after each start of a scheduler"},
        TCase{"BothDayFieldsRestrictedRunOnEither",
              "0 9 1,15 * mon job\n",
              {{1, V::ImportedAsMany}},
              {"0 9 * * 1", "0 9 1,15 * 0,2-6"},
              "when either day field matches"},
        TCase{"AStarStepCountsAsEveryDay",
              "0 9 */2 * 1 job\n0 9 1 * */2 job\n",
              {{1, V::Imported}, {2, V::Imported}},
              {"0 9 1,3,5,7,9,11,13,15,17,19,21,23,25,27,29,31 * 1", "0 9 1 * 0,2,4,6"}},
        TCase{"EveryWeekDayNamedIsEveryDay",
              "0 9 1 * 0-7 job\n",
              {{1, V::Imported}},
              {"0 9 * * 0-6"},
              "every day"},
        TCase{"EveryMonthDayNamedIsEveryDay",
              "0 9 1-31 * 3 job\n",
              {{1, V::Imported}},
              {"0 9 1-31 * *"},
              "every day"},
        TCase{"MonthDaysThatNeverComeLeaveTheWeekDays",
              "0 9 30,31 feb fri job\n",
              {{1, V::Imported}},
              {"0 9 * 2 5"},
              "never come in its months"},
        TCase{"NeverRunsAsUnderCron",
              "0 0 30 2 * job\n",
              {{1, V::Imported}},
              {"0 0 30 2 *"},
              "never runs"},
        TCase{"PercentGoesToStandardInput",
              "0 1 * * * mail ann%Hello\\%%Bye\n",
              {{1, V::NotImported}},
              {},
              "'Hello%\nBye'"},
        TCase{"EscapedPercentIsKept", "0 1 * * * date +\\%F\n", {{1, V::Imported}}, {"0 1 * * *"}},
        TCase{"FieldErrors",
              "61 * * * * a\n* * * * 8 b\n*/0 * * * * c\n5-1 * * * * d\n* * * foo * e\n"
              "1,,2 * * * * f\n* * 0 * * g\n",
              {{1, V::NotImported},
               {2, V::NotImported},
               {3, V::NotImported},
               {4, V::NotImported},
               {5, V::NotImported},
               {6, V::NotImported},
               {7, V::NotImported}},
              {},
              "Minutes '61': 61 is outside 0 to 59"},
        TCase{"MissingCommandOrFields",
              "* * * * *\n* * * job\n@daily\n",
              {{1, V::NotImported}, {2, V::NotImported}, {3, V::NotImported}},
              {}},
        TCase{"UnknownNickname",
              "@often job\n@Daily job\n",
              {{1, V::NotImported}, {2, V::NotImported}},
              {},
              "no nickname"},
        TCase{"UserColumnOfASystemCrontab",
              "17 * * * * root cd / && run-parts /etc/cron.hourly\n"
              "@daily root job\n",
              {{1, V::NotImported}, {2, V::NotImported}},
              {},
              "system crontab"},
        TCase{"AUserNameAloneOrWithAnOptionIsTheCommand",
              "0 * * * * root\n0 1 * * * root -v x\n",
              {{1, V::Imported}, {2, V::Imported}},
              {"0 * * * *", "0 1 * * *"}},
        TCase{"CommentsAndBlankLinesSaySomethingNot",
              "# m h dom mon dow command\n\n   \n\t# x\n",
              {},
              {}},
        TCase{"Settings",
              "FOO = 'a b'\nSHELL=/bin/bash\nMAILTO=ann@example.org\nMAILTO=\"\"\n"
              "CRON_TZ=UTC\n1BAD=x\n",
              {{1, V::Imported},
               {2, V::Imported},
               {3, V::Approximated},
               {4, V::Imported},
               {5, V::Imported},
               {6, V::NotImported}},
              {}},
        TCase{"ForeignZoneAndRandomDelayApproximateLaterLines",
              "0 1 * * * a\nCRON_TZ=Asia/Tokyo\nRANDOM_DELAY=10\n0 2 * * * b\n@reboot c\n"
              "CRON_TZ=UTC\nRANDOM_DELAY=0\n0 3 * * * d\n",
              {{1, V::Imported},
               {2, V::NotImported},
               {3, V::NotImported},
               {4, V::Approximated},
               {5, V::Approximated},
               {6, V::Imported},
               {7, V::Imported},
               {8, V::Imported}},
              {"0 1 * * *", "0 2 * * *", "0 0 31 2 *", "0 3 * * *"}},
        TCase{"CarriageReturnsDropped",
              "0 1 * * * job\r\n# x\r\n",
              {{0, V::Note}, {1, V::Imported}},
              {"0 1 * * *"},
              "2 lines end with CR LF"},
        TCase{"ByteOrderMarkDropped",
              "\xEF\xBB\xBF# x\r\n0 1 * * * job\r\n",
              {{0, V::Note}, {0, V::Note}, {2, V::Imported}},
              {"0 1 * * *"},
              "byte order mark"},
        TCase{"NoFinalLineEnd",
              "0 1 * * * a\n0 2 * * * b",
              {{1, V::Imported}, {2, V::Imported}, {2, V::Note}},
              {"0 1 * * *", "0 2 * * *"}},
        TCase{"NoFinalLineEndAfterAComment", "0 1 * * * a\n# b", {{1, V::Imported}}, {"0 1 * * *"}},
        TCase{"BytesAnEntryCannotKeep",
              "0 1 * * * a\x1a\n0 1 * * * a\rb\n",
              {{1, V::NotImported}, {2, V::NotImported}},
              {},
              "cannot keep"}),
    [](const ::testing::TestParamInfo<TCase>& info) { return std::string(info.param.Name); });

// A NUL byte ends no C string here: the line is refused, not cut.
TEST(CrontabImport, RefusesALineWithANulByte) {
    const TCrontabImport result =
        ImportCrontab(std::string("0 1 * * * rm x\0 -rf /\n", 22), Options());
    ASSERT_EQ(result.Lines.size(), 1u);
    EXPECT_EQ(result.Lines[0].Verdict, V::NotImported);
    EXPECT_TRUE(result.Entries.empty());
}

// ---- Runs over a year against cron's rule

// Cron's matching as crontab(5) tells it, written for this test alone.
struct TCronRule {
    std::bitset<60> Minutes;
    std::bitset<24> Hours;
    std::bitset<32> Days;
    std::bitset<13> Months;
    std::bitset<8> WeekDays;
    bool EitherDay = false;
};

int ReferenceValue(const std::string& text) {
    static const std::map<std::string, int> names = {
        {"jan", 1}, {"feb", 2}, {"mar", 3},  {"apr", 4},  {"may", 5},  {"jun", 6}, {"jul", 7},
        {"aug", 8}, {"sep", 9}, {"oct", 10}, {"nov", 11}, {"dec", 12}, {"sun", 0}, {"mon", 1},
        {"tue", 2}, {"wed", 3}, {"thu", 4},  {"fri", 5},  {"sat", 6}};
    std::string lower;
    for (char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto name = names.find(lower);
    return name != names.end() ? name->second : std::stoi(text);
}

template <std::size_t N>
void ReferenceField(const std::string& text, int low, int high, std::bitset<N>& bits) {
    std::stringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        int step = 1;
        if (const auto slash = item.find('/'); slash != std::string::npos) {
            step = std::stoi(item.substr(slash + 1));
            item.resize(slash);
            if (item != "*" && item.find('-') == std::string::npos)
                item += "-" + std::to_string(high);
        }
        int first = low, last = high;
        if (item != "*") {
            const auto dash = item.find('-');
            first = ReferenceValue(item.substr(0, dash));
            last = dash == std::string::npos ? first : ReferenceValue(item.substr(dash + 1));
        }
        for (int value = first; value <= last; value += step)
            bits.set(static_cast<std::size_t>(value));
    }
}

TCronRule ReferenceRule(std::string line) {
    static const std::map<std::string, std::string> nicknames = {
        {"@yearly", "0 0 1 1 *"}, {"@annually", "0 0 1 1 *"}, {"@monthly", "0 0 1 * *"},
        {"@weekly", "0 0 * * 0"}, {"@daily", "0 0 * * *"},    {"@midnight", "0 0 * * *"},
        {"@hourly", "0 * * * *"}};
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first.front() == '@')
        words = std::istringstream(nicknames.at(first));
    else
        words = std::istringstream(line);
    std::string f[5];
    for (std::string& field : f)
        words >> field;
    TCronRule rule;
    ReferenceField(f[0], 0, 59, rule.Minutes);
    ReferenceField(f[1], 0, 23, rule.Hours);
    ReferenceField(f[2], 1, 31, rule.Days);
    ReferenceField(f[3], 1, 12, rule.Months);
    ReferenceField(f[4], 0, 7, rule.WeekDays);
    if (rule.WeekDays.test(7))
        rule.WeekDays.set(0);
    rule.EitherDay = f[2].front() != '*' && f[4].front() != '*';
    return rule;
}

// Every line that imports, its entries checked minute by minute through 2028, a leap
// year: the minutes some entry is due are cron's minutes, and no minute has two.
TEST(CrontabImport, EntriesRunExactlyWhenCronRunsTheLine) {
    const std::vector<std::string> lines = {"30 2 * * 1-5 a",
                                            "*/15 9-17 1,15 */3 * a",
                                            "10-30/10 5/6 * * * a",
                                            "0 0 * jan,JUL-aug Mon-FRI a",
                                            "0 12 * * 5-7 a",
                                            "@yearly a",
                                            "@weekly a",
                                            "@hourly a",
                                            "0 9 1,15 * mon a",
                                            "0 9 */2 * 1 a",
                                            "0 9 1 * */2 a",
                                            "0 9 1 * 0-7 a",
                                            "0 9 1-31 * 3 a",
                                            "0 9 13 * 0-5 a",
                                            "0 9 1-30 * sat a",
                                            "0 8,12,18 * * * a",
                                            "0 9 30,31 feb fri a",
                                            "0 9 29 2 * a",
                                            "5 4 13 * fri a",
                                            "0 22 1-7 * sun a",
                                            "0 0 L * * a"};
    using namespace std::chrono;
    for (const std::string& line : lines) {
        const TCrontabImport result = ImportCrontab(line + "\n", Options());
        if (result.Entries.empty()) {
            EXPECT_EQ(line, "0 0 L * * a"); // cron knows no L either
            continue;
        }
        const TCronRule rule = ReferenceRule(line);
        int runs = 0;
        for (sys_days day = sys_days{2028y / January / 1}; day < sys_days{2029y / January / 1};
             day += days{1}) {
            const year_month_day date{day};
            TDueMoment moment;
            moment.Day = static_cast<int>(static_cast<unsigned>(date.day()));
            moment.Month = static_cast<int>(static_cast<unsigned>(date.month()));
            moment.WeekDay = static_cast<int>(weekday{day}.c_encoding());
            const bool dayOfMonth = rule.Days.test(static_cast<std::size_t>(moment.Day));
            const bool dayOfWeek = rule.WeekDays.test(static_cast<std::size_t>(moment.WeekDay));
            const bool cronDay =
                rule.Months.test(static_cast<std::size_t>(moment.Month)) &&
                (rule.EitherDay ? dayOfMonth || dayOfWeek : dayOfMonth && dayOfWeek);
            for (moment.Hour = 0; moment.Hour < 24; ++moment.Hour)
                for (moment.Minute = 0; moment.Minute < 60; ++moment.Minute) {
                    const bool cron = cronDay &&
                                      rule.Hours.test(static_cast<std::size_t>(moment.Hour)) &&
                                      rule.Minutes.test(static_cast<std::size_t>(moment.Minute));
                    int due = 0;
                    for (const TSchedule& entry : result.Entries)
                        due += IsDue(entry, moment) ? 1 : 0;
                    ASSERT_LE(due, 1) << line << ": a minute runs twice";
                    ASSERT_EQ(due == 1, cron) << line << " on " << moment.Month << "/" << moment.Day
                                              << " " << moment.Hour << ":" << moment.Minute;
                    runs += due;
                }
        }
        EXPECT_GT(runs, 0) << line;
    }
}

// ---- The command as the shell gets it

// What `sh -c` gets once the scheduler has expanded and split the parameters.
std::vector<std::string> WordsOfRun(const TSchedule& entry) {
    test::TFakeClock clock;
    test::TMapEnvironment environment({{"HOME", "/home/ann"}});
    const TFormatSettings settings = FixedFormatSettings();
    const TParameterExpander expander(clock, environment, settings);
    return SplitShellWords(expander.ExpandParameters(entry.Parms));
}

TEST(CrontabImport, ShellGetsTheCommandAsCronHandsItOn) {
    struct TQuoting {
        std::string Command;
        std::string ShellGets;
    };
    for (const TQuoting& c : std::vector<TQuoting>{
             {"echo $HOME $$ $D ${X} $V[HOME]", "echo $HOME $$ $D ${X} $V[HOME]"},
             {"echo 'it''s' \"a \\\"b\\\"\" it\\'s", "echo 'it''s' \"a \\\"b\\\"\" it\\'s"},
             {"printf '\\%s\\n' x \\\\ y\\", "printf '%s\\n' x \\\\ y\\"},
             {"date +\\%Y-\\%m-\\%d", "date +%Y-%m-%d"},
             {"a\tb  c ", "a\tb  c "},
             {"echo '$$$'", "echo '$$$'"}}) {
        const TCrontabImport result = ImportCrontab("* * * * * " + c.Command + "\n", Options());
        ASSERT_EQ(result.Entries.size(), 1u) << c.Command;
        EXPECT_EQ(result.Entries[0].Command, "/bin/sh");
        EXPECT_THAT(WordsOfRun(result.Entries[0]), ::testing::ElementsAre("-c", c.ShellGets))
            << c.Command << " as " << result.Entries[0].Parms;
    }
    // An escaped backslash escapes no "%" after it: that one still ends the command.
    EXPECT_EQ(ImportCrontab("* * * * * echo \\\\%x\n", Options()).Lines[0].Verdict, V::NotImported);
}

// Variables reach each later entry, $ and all, as cron sets them; SHELL picks the
// program, HOME the folder cron starts the job in.
TEST(CrontabImport, SettingsGoToTheLaterEntries) {
    const TCrontabImport result = ImportCrontab("0 1 * * * first\n"
                                                "PATH = /usr/local/bin:$HOME/bin\n"
                                                "SHELL=/bin/bash\n"
                                                "'HOME'=/srv/jobs\n"
                                                "PATH=\"/opt/bin:/usr/bin\"\n"
                                                "0 2 * * * second\n",
                                                Options());
    ASSERT_EQ(result.Entries.size(), 2u);
    EXPECT_TRUE(result.Entries[0].Environment.empty());
    EXPECT_EQ(result.Entries[0].Command, "/bin/sh");
    EXPECT_EQ(result.Entries[0].WorkDir, "");
    const TSchedule& second = result.Entries[1];
    EXPECT_EQ(second.Command, "/bin/bash");
    EXPECT_EQ(second.WorkDir, "/srv/jobs");
    EXPECT_THAT(second.Environment, ::testing::ElementsAre("PATH=/opt/bin:/usr/bin",
                                                           "SHELL=/bin/bash", "HOME=/srv/jobs"));
    const TCrontabImport dollars = ImportCrontab("X=$HOME/$D\n* * * * * x\n", Options());
    test::TFakeClock clock;
    test::TMapEnvironment environment({{"HOME", "/home/ann"}});
    const TFormatSettings settings = FixedFormatSettings();
    EXPECT_EQ(TParameterExpander(clock, environment, settings)
                  .ExpandParameters(dollars.Entries.at(0).Environment.at(0)),
              "X=$HOME/$D");
}

// Names come from the command, shortened, unlike the schedule's and each other's; each
// entry says which line it came from; the switch decides Active.
TEST(CrontabImport, NamesEntriesAfterTheirCommands) {
    TCrontabImportOptions options = Options();
    options.Active = false;
    options.TakenNames = {"backup", "report"};
    const TCrontabImport result =
        ImportCrontab("0 1 * * * /usr/local/bin/backup\n"
                      "0 2 * * * /usr/local/bin/backup >/dev/null 2>&1\n"
                      "0 3 * * * cd /srv/app && ./rotate-logs --keep 7 | logger\n"
                      "0 4 * * * /opt/tools/a-program-with-a-very-long-name --and --many "
                      "--options\n"
                      "0 5 1 * 1 report\n",
                      options);
    std::vector<std::string> names;
    for (const TSchedule& entry : result.Entries) {
        names.push_back(entry.Name);
        EXPECT_FALSE(entry.Active);
        EXPECT_LE(entry.Name.size(), 40u);
    }
    EXPECT_THAT(names, ::testing::ElementsAre("backup (2)", "backup (3)", "rotate-logs --keep 7",
                                              "a-program-with-a-very-long-name --and...",
                                              "report (2)", "report (days of the month)"));
    EXPECT_EQ(result.Entries[0].Comment.front(),
              "From crontab line 1: 0 1 * * * /usr/local/bin/backup");
}

TEST(CrontabImport, AdviceCommentsOutTheLinesThatBecameEntries) {
    const TCrontabImport result =
        ImportCrontab("MAILTO=ann\n0 1 * * * a\n0 1 * * * b%c\n0 9 1 * 1 d\n", Options());
    EXPECT_TRUE(AnyNotImported(result));
    EXPECT_THAT(
        CommentOutAdvice(result, true),
        ::testing::ElementsAre(HasSubstr("lines 2 and 4 of the crontab"),
                               "    crontab -l | sed -e '2s/^/#/' -e '4s/^/#/' | crontab -"));
    EXPECT_EQ(CommentOutAdvice(result, false).size(), 1u);
    EXPECT_TRUE(CommentOutAdvice(ImportCrontab("# nothing\n", Options()), true).empty());
}

} // namespace
} // namespace vantle
