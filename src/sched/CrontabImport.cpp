#include "sched/CrontabImport.h"

#include "platform/ProgramStarterPosix.h"
#include "platform/TextUtils.h"
#include "sched/LenientFields.h"
#include "sched/NextDue.h"
#include "sched/ScheduleKeys.h"
#include "sched/TimeField.h"
#include "sched/TimeFieldInput.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <optional>
#include <set>

namespace vantle {

namespace {

// Names are cut here, at a character's start, with "..." after the cut.
constexpr std::size_t MaxNameLength = 40;

// A field as cron reads it: the day of the week runs to 7, Sunday again.
struct TCronField {
    TTimeFieldKind Kind;
    std::int32_t Low, High;
    const char* Unit;
};
constexpr std::array<TCronField, 5> CronFields = {{
    {TTimeFieldKind::Minutes, 0, 59, "minute"},
    {TTimeFieldKind::Hours, 0, 23, "hour"},
    {TTimeFieldKind::Days, 1, 31, "day of the month"},
    {TTimeFieldKind::Months, 1, 12, "month"},
    {TTimeFieldKind::WeekDays, 0, 7, "day of the week"},
}};
constexpr std::size_t DaysField = 2, WeekDaysField = 4;

constexpr std::array<std::string_view, 12> MonthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                         "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<std::string_view, 7> DayNames = {"sun", "mon", "tue", "wed",
                                                      "thu", "fri", "sat"};

using TValues = std::bitset<64>;

struct TNickname {
    std::string_view Word;
    std::array<std::string_view, 5> Fields;
};
constexpr std::array<TNickname, 7> Nicknames = {{
    {"yearly", {"0", "0", "1", "1", "*"}},
    {"annually", {"0", "0", "1", "1", "*"}},
    {"monthly", {"0", "0", "1", "*", "*"}},
    {"weekly", {"0", "0", "*", "*", "0"}},
    {"daily", {"0", "0", "*", "*", "*"}},
    {"midnight", {"0", "0", "*", "*", "*"}},
    {"hourly", {"0", "*", "*", "*", "*"}},
}};
// Fields that no date matches, for an entry that runs at start-up only.
constexpr std::array<std::string_view, 5> NeverFields = {"0", "0", "31", "2", "*"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The first blank-separated word, and what follows it.
std::string_view TakeWord(std::string_view& text) {
    text = SkipBlanks(text);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    std::string_view word = text.substr(0, end);
    text = SkipBlanks(text.substr(end));
    return word;
}

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<std::int32_t> CronValue(const TCronField& field, std::string_view text) {
    if (IsDigits(text))
        return text.size() <= 9 ? std::optional<std::int32_t>(std::stoi(std::string(text)))
                                : std::nullopt;
    if (field.Kind == TTimeFieldKind::Months)
        for (std::size_t i = 0; i < MonthNames.size(); ++i)
            if (EqualsNoCase(text, MonthNames[i]))
                return static_cast<std::int32_t>(i + 1);
    if (field.Kind == TTimeFieldKind::WeekDays)
        for (std::size_t i = 0; i < DayNames.size(); ++i)
            if (EqualsNoCase(text, DayNames[i]))
                return static_cast<std::int32_t>(i);
    return std::nullopt;
}

// One item of a field ("*", "N", "A-B", each with an optional "/STEP"; "N/STEP" runs
// from N to the field's end) into `values`; the error, or empty.
std::string ReadCronItem(const TCronField& field, std::string_view item, TValues& values) {
    const std::size_t slash = item.find('/');
    const std::string_view base = item.substr(0, slash);
    std::int32_t low = field.Low;
    std::int32_t high = field.High;
    if (base != "*") {
        const std::size_t dash = base.find('-');
        const std::string_view firstText = base.substr(0, dash);
        std::optional<std::int32_t> first = CronValue(field, firstText);
        if (!first)
            return Quoted(firstText) + " is no " + field.Unit;
        std::optional<std::int32_t> last = first;
        if (dash != std::string_view::npos) {
            const std::string_view lastText = base.substr(dash + 1);
            last = CronValue(field, lastText);
            if (!last)
                return Quoted(lastText) + " is no " + field.Unit;
        } else if (slash != std::string_view::npos) {
            last = field.High;
        }
        for (std::int32_t value : {*first, *last})
            if (value < field.Low || value > field.High)
                return std::to_string(value) + " is outside " + std::to_string(field.Low) + " to " +
                       std::to_string(field.High);
        if (*first > *last)
            return "the range " + std::string(base) + " runs backwards";
        low = *first;
        high = *last;
    }
    std::int32_t step = 1;
    if (slash != std::string_view::npos) {
        const std::string_view stepText = item.substr(slash + 1);
        if (!IsDigits(stepText) || stepText.size() > 9 || std::stoi(std::string(stepText)) == 0)
            return "the step " + Quoted(stepText) + " is no whole number above 0";
        step = std::stoi(std::string(stepText));
    }
    for (std::int32_t value = low; value <= high; value += step)
        values.set(static_cast<std::size_t>(value));
    return {};
}

// A whole field as cron reads it, Sunday as 0; the error, or empty.
std::string ReadCronField(const TCronField& field, std::string_view text, TValues& values) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        if (item.empty())
            return "an empty item";
        if (std::string error = ReadCronItem(field, item, values); !error.empty())
            return error;
        if (end == text.size())
            break;
        start = end + 1;
    }
    if (field.Kind == TTimeFieldKind::WeekDays && values.test(7)) {
        values.reset(7);
        values.set(0);
    }
    return {};
}

// The values as runs: "1-5", "0,6", "1,3,5".
std::string RangesOf(const TValues& values, std::int32_t low, std::int32_t high) {
    std::string text;
    for (std::int32_t value = low; value <= high; ++value) {
        if (!values.test(static_cast<std::size_t>(value)))
            continue;
        std::int32_t last = value;
        while (last < high && values.test(static_cast<std::size_t>(last + 1)))
            ++last;
        if (!text.empty())
            text += ',';
        text += std::to_string(value);
        if (last > value)
            text += (last == value + 1 ? "," : "-") + std::to_string(last);
        value = last;
    }
    return text;
}

bool IsEvery(const TValues& values, TTimeFieldKind kind) {
    for (std::int32_t value = TimeFieldOf(kind).Low; value <= TimeFieldOf(kind).High; ++value)
        if (!values.test(static_cast<std::size_t>(value)))
            return false;
    return true;
}

// Whether every number of a stored text lies in the field, so that `check` finds
// nothing in it ("0-7" would match Sunday to Saturday, but name a day that is none).
bool WithinField(TTimeFieldKind kind, std::string_view text) {
    if (text == "*")
        return true;
    TTokenizer items(text, ',');
    for (std::string_view item = items.NextToken(); !item.empty(); item = items.NextToken()) {
        const std::size_t dash = item.find('-');
        for (std::string_view part :
             {item.substr(0, dash),
              dash == std::string_view::npos ? item : item.substr(dash + 1)}) {
            const std::optional<std::int32_t> value = ReadInt(part);
            if (!value || *value < TimeFieldOf(kind).Low || *value > TimeFieldOf(kind).High)
                return false;
        }
    }
    return true;
}

// The field in the stored form: the entry dialog's conversion where it gives exactly
// cron's values (it knows no 7 for Sunday), else the values as runs.
std::string StoredField(TTimeFieldKind kind, std::string_view cronText, const TValues& values) {
    const std::string converted = ToStoredTimeField(kind, cronText);
    bool same = !LenientReading(kind, converted).has_value() && WithinField(kind, converted);
    for (std::int32_t value = TimeFieldOf(kind).Low; same && value <= TimeFieldOf(kind).High;
         ++value)
        same = FieldMatches(value, converted) == values.test(static_cast<std::size_t>(value));
    return same ? converted : RangesOf(values, TimeFieldOf(kind).Low, TimeFieldOf(kind).High);
}

// The command as cron's shell gets it, and what it would get on standard input. Cron
// ends the command at the first "%" that no backslash escapes and hands the rest, each
// further "%" a line end, to the program's standard input; "\%" is a "%". Any other
// backslash stays, and escapes what follows it from this rule.
struct TCronCommand {
    std::string Text;
    std::optional<std::string> Input;
};

TCronCommand SplitCronCommand(std::string_view command) {
    TCronCommand split;
    bool escaped = false;
    std::size_t i = 0;
    for (; i < command.size(); ++i) {
        const char c = command[i];
        if (escaped) {
            if (c == '%')
                split.Text.back() = '%';
            else
                split.Text += c;
            escaped = false;
        } else if (c == '\\') {
            split.Text += c;
            escaped = true;
        } else if (c == '%') {
            break;
        } else {
            split.Text += c;
        }
    }
    if (i == command.size())
        return split;
    std::string input;
    escaped = false;
    for (++i; i < command.size(); ++i) {
        const char c = command[i];
        if (escaped) {
            if (c != '%')
                input += '\\';
            input += c;
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else {
            input += c == '%' ? '\n' : c;
        }
    }
    if (escaped)
        input += '\\';
    split.Input = input;
    return split;
}

// A text the scheduler's $-expansion gives back as it is.
std::string WithLiteralDollars(std::string_view text) {
    std::string literal;
    for (char c : text) {
        literal += c;
        if (c == '$')
            literal += '$';
    }
    return literal;
}

// `sh -c 'TEXT'` in the parameters' quoting, each "'" closed, escaped and reopened.
std::string ShellParameters(std::string_view text) {
    std::string quoted = "-c '";
    for (char c : WithLiteralDollars(text)) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

bool IsVariableName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
    });
}

// "NAME = VALUE" as cron reads a setting: the name and the value may be quoted, blanks
// around "=" and at the end go; nullopt for a line that is no setting.
std::optional<std::pair<std::string, std::string>> ReadSetting(std::string_view line) {
    std::string_view rest = line;
    std::string_view name;
    if (!rest.empty() && (rest.front() == '\'' || rest.front() == '"')) {
        const std::size_t close = rest.find(rest.front(), 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        name = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
    } else {
        const std::size_t end = std::min(rest.find_first_of(" \t="), rest.size());
        name = rest.substr(0, end);
        rest.remove_prefix(end);
    }
    rest = SkipBlanks(rest);
    if (name.empty() || rest.empty() || rest.front() != '=')
        return std::nullopt;
    std::string_view value = TrimEnd(SkipBlanks(rest.substr(1)));
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::pair{std::string(name), std::string(value)};
}

// Zone names that all mean UTC.
bool IsUtcName(std::string_view zone) {
    if (zone.starts_with("Etc/"))
        zone.remove_prefix(4);
    for (std::string_view name :
         {"UTC", "UCT", "Universal", "Zulu", "GMT", "GMT0", "GMT+0", "GMT-0", "Greenwich"})
        if (zone == name)
            return true;
    return false;
}

bool SameZone(std::string_view a, std::string_view b) {
    for (std::string_view* zone : {&a, &b})
        if (zone->starts_with(':'))
            zone->remove_prefix(1);
    return a == b || (IsUtcName(a) && IsUtcName(b));
}

// The first words of a command, the program by its file name: what a person would
// call the job. A leading "cd DIR &&" and anything from a pipe, a list or a
// redirection on are left out.
std::string NameOfCommand(std::string_view text) {
    std::vector<std::string> words = SplitShellWords(std::string(text));
    if (words.size() >= 3 && words[0] == "cd" && (words[2] == "&&" || words[2] == ";"))
        words.erase(words.begin(), words.begin() + 3);
    std::string name;
    for (std::string& word : words) {
        const bool ends = word == "|" || word == "||" || word == "&&" || word == ";" ||
                          word == "&" || word.find_first_of("<>") != std::string::npos;
        if (ends)
            break;
        if (name.empty()) {
            const std::size_t slash = word.find_last_of('/');
            if (slash != std::string::npos && slash + 1 < word.size())
                word.erase(0, slash + 1);
        } else {
            name += ' ';
        }
        name += word;
        if (name.size() > MaxNameLength)
            break;
    }
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
            c = ' ';
    if (name.size() > MaxNameLength) {
        std::size_t cut = MaxNameLength - 3;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        name = std::string(TrimEnd(std::string_view(name).substr(0, cut))) + "...";
    }
    return name;
}

std::string DescribeList(const std::vector<std::size_t>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            text += i + 1 == numbers.size() ? " and " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text;
}

class TCrontabReader {
public:
    explicit TCrontabReader(const TCrontabImportOptions& options)
        : FOptions(options), FNames(options.TakenNames.begin(), options.TakenNames.end()) {}

    TCrontabImport Read(std::string_view text) {
        // Editors on Windows start UTF-8 files with a byte order mark, which cron would take
        // for the start of the first line.
        const bool byteOrderMark = text.starts_with("\xEF\xBB\xBF");
        if (byteOrderMark)
            text.remove_prefix(3);
        std::size_t start = 0;
        std::size_t number = 0;
        std::size_t carriageReturns = 0;
        while (start < text.size()) {
            const std::size_t found = text.find('\n', start);
            const std::size_t end = found == std::string_view::npos ? text.size() : found;
            std::string_view line = text.substr(start, end - start);
            ++number;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
                ++carriageReturns;
            }
            const std::size_t said = FResult.Lines.size();
            ReadLine(number, line);
            if (found == std::string_view::npos && FResult.Lines.size() > said)
                Say(number, line, TCrontabVerdict::Note,
                    "no line end after the last line: it is read all the same (crontab and "
                    "cron may refuse or skip such a line)");
            start = end + 1;
        }
        if (carriageReturns > 0) {
            TCrontabLine note;
            note.Verdict = TCrontabVerdict::Note;
            note.Why =
                CountOf(static_cast<std::int64_t>(carriageReturns), "line ends", "lines end") +
                " with CR LF, as files saved on Windows do; each CR was dropped (cron "
                "would hand it to the shell as part of the command)";
            FResult.Lines.insert(FResult.Lines.begin(), note);
        }
        if (byteOrderMark) {
            TCrontabLine note;
            note.Verdict = TCrontabVerdict::Note;
            note.Why = "the crontab starts with a byte order mark, as files saved on Windows "
                       "may; it was dropped";
            FResult.Lines.insert(FResult.Lines.begin(), note);
        }
        return std::move(FResult);
    }

private:
    TCrontabLine& Say(std::size_t number, std::string_view text, TCrontabVerdict verdict,
                      std::string why) {
        TCrontabLine line;
        line.Line = number;
        line.Text = std::string(text);
        line.Verdict = verdict;
        line.Why = std::move(why);
        FResult.Lines.push_back(std::move(line));
        return FResult.Lines.back();
    }

    void ReadLine(std::size_t number, std::string_view line) {
        const std::string_view text = SkipBlanks(line);
        if (text.empty() || text.front() == '#')
            return;
        // The schedule file ends a value at a line end and its reader the file at Ctrl-Z;
        // a program gets its words cut at a NUL.
        if (text.find_first_of(std::string_view("\0\r\x1a", 3)) != std::string_view::npos) {
            Say(number, line, TCrontabVerdict::NotImported,
                "it holds a NUL byte, a carriage return or a Ctrl-Z, which a schedule entry "
                "cannot keep");
            return;
        }
        if (std::optional<std::pair<std::string, std::string>> setting = ReadSetting(text))
            ReadSettingLine(number, line, setting->first, setting->second);
        else
            ReadEntryLine(number, line, text);
    }

    void ReadSettingLine(std::size_t number, std::string_view line, const std::string& name,
                         const std::string& value) {
        if (name == "MAILTO") {
            if (value.empty())
                Say(number, line, TCrontabVerdict::Imported,
                    "cron mails nothing; neither does the scheduler");
            else
                Say(number, line, TCrontabVerdict::Approximated,
                    "cron mails each job's output to " + value +
                        "; here a failure is told by a desktop notification (on standard error "
                        "under vantle-schedctl run) and by the failure command (OnFailure=, one "
                        "that mails if you like), and each run's output is kept in Run History");
            return;
        }
        if (name == "CRON_TZ") {
            if (SameZone(value, FOptions.LocalZone)) {
                FForeignZone.clear();
                Say(number, line, TCrontabVerdict::Imported,
                    "the machine's own zone, in which the scheduler runs every entry");
            } else {
                FForeignZone = value;
                Say(number, line, TCrontabVerdict::NotImported,
                    "the scheduler runs every entry in the machine's zone (" + LocalZoneName() +
                        "): the lines below run at their times there, not in " + value);
            }
            return;
        }
        if (name == "RANDOM_DELAY") {
            const std::optional<std::int32_t> minutes = ReadInt(value);
            FRandomDelay = minutes && *minutes > 0 ? *minutes : 0;
            if (FRandomDelay == 0)
                Say(number, line, TCrontabVerdict::Imported,
                    "no random delay, as the scheduler starts entries at their minute");
            else
                Say(number, line, TCrontabVerdict::NotImported,
                    "the scheduler starts every entry at its minute, without cronie's random "
                    "delay of up to " +
                        CountOf(FRandomDelay, "minute", "minutes"));
            return;
        }
        if (!IsVariableName(name)) {
            Say(number, line, TCrontabVerdict::NotImported,
                Quoted(name) + " is no variable name (letters, digits and _)");
            return;
        }
        if (name == "SHELL" && value.empty()) {
            Say(number, line, TCrontabVerdict::NotImported,
                "an empty SHELL starts nothing; the lines below keep " + FShell);
            return;
        }
        // A later setting of the same name replaces the earlier one, as in cron.
        const std::string prefix = name + "=";
        const std::string pair = prefix + WithLiteralDollars(value);
        auto same = std::find_if(FEnvironment.begin(), FEnvironment.end(),
                                 [&](const std::string& set) { return set.starts_with(prefix); });
        if (same != FEnvironment.end())
            *same = pair;
        else
            FEnvironment.push_back(pair);
        std::string why = "the entries of the lines below get " + name + " in their environment";
        if (name == "SHELL") {
            FShell = value;
            why = "the lines below run with " + value + ", which they get as SHELL too";
        } else if (name == "HOME") {
            // Cron starts each job in HOME.
            FHome = value;
            why = "the lines below start in " + value + ", which they get as HOME too";
        }
        Say(number, line, TCrontabVerdict::Imported, why);
    }

    std::string LocalZoneName() const {
        return FOptions.LocalZone.empty() ? std::string("not known") : FOptions.LocalZone;
    }

    void ReadEntryLine(std::size_t number, std::string_view line, std::string_view text) {
        std::array<std::string_view, 5> fields;
        std::string_view command = text;
        bool atStart = false;
        if (text.front() == '@') {
            const std::string_view word = TakeWord(command);
            const auto nickname =
                std::find_if(Nicknames.begin(), Nicknames.end(),
                             [&](const TNickname& n) { return word.substr(1) == n.Word; });
            atStart = word == "@reboot";
            if (atStart) {
                fields = NeverFields;
            } else if (nickname != Nicknames.end()) {
                fields = nickname->Fields;
            } else {
                Say(number, line, TCrontabVerdict::NotImported,
                    Quoted(word) + " is no nickname cron knows (@reboot, @yearly, @annually, "
                                   "@monthly, @weekly, @daily, @midnight, @hourly)");
                return;
            }
        } else {
            for (std::string_view& field : fields)
                field = TakeWord(command);
        }
        if (command.empty()) {
            Say(number, line, TCrontabVerdict::NotImported,
                "a line needs five time fields (or a nickname such as @daily) and a command");
            return;
        }
        std::string_view afterUser = command;
        const std::string_view user = TakeWord(afterUser);
        // A user column is followed by a command, not by an option ("mail -s" is the
        // program mail, whether or not a user of that name exists).
        if (FOptions.IsUserName && !afterUser.empty() && afterUser.front() != '-' &&
            FOptions.IsUserName(user)) {
            Say(number, line, TCrontabVerdict::NotImported,
                Quoted(user) + " before the command is a user name: this is a line of a system "
                               "crontab (/etc/crontab, /etc/cron.d), which names the user to run "
                               "as. Import a user's own crontab, or take the user column out");
            return;
        }
        const TCronCommand split = SplitCronCommand(command);
        if (split.Input) {
            Say(number, line, TCrontabVerdict::NotImported,
                "the text after '%' would go to the command's standard input (" +
                    Quoted(*split.Input) +
                    "), which an entry cannot give; write \\% for a % of the command itself, or "
                    "feed the text in the command (printf '...' | COMMAND)");
            return;
        }
        std::array<TValues, 5> values;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (std::string error = ReadCronField(CronFields[i], fields[i], values[i]);
                !error.empty()) {
                Say(number, line, TCrontabVerdict::NotImported,
                    std::string(TimeFields[i].Name) + " " + Quoted(fields[i]) + ": " + error);
                return;
            }
        }
        TSchedule entry;
        const std::string wanted = NameOfCommand(split.Text);
        entry.Name = NewName(wanted, number);
        for (std::size_t i = 0; i < fields.size(); ++i)
            entry.*TimeFields[i].Text = StoredField(TimeFields[i].Kind, fields[i], values[i]);
        entry.CommandType = ctDirectExecute;
        entry.Command = FShell;
        entry.Parms = ShellParameters(split.Text);
        entry.WorkDir = FHome;
        entry.Environment = FEnvironment;
        entry.Active = FOptions.Active;
        entry.AtStart = atStart;
        entry.Comment = {"From crontab line " + std::to_string(number) + ": " +
                         std::string(SkipBlanks(line))};

        std::vector<std::string> differs;
        if (atStart)
            differs.push_back("cron runs @reboot lines once when the machine starts; this entry "
                              "runs a minute after each start of a scheduler (AtStart=Yes), such "
                              "as the window's at every login");
        if (!atStart && !FForeignZone.empty())
            differs.push_back("it runs at its times in the machine's zone (" + LocalZoneName() +
                              "), not in CRON_TZ's " + FForeignZone);
        if (!atStart && FRandomDelay > 0)
            differs.push_back("it starts at its minute, without cronie's random delay of up to " +
                              CountOf(FRandomDelay, "minute", "minutes"));
        std::string differences;
        for (const std::string& difference : differs)
            differences += (differences.empty() ? "" : "; ") + difference;
        if (!differences.empty())
            entry.Comment.push_back("Approximated: " + differences + ".");

        // Cron runs a line on either day field when neither starts with "*" ("*/2"
        // counts as every day), where the schedule's entries want both.
        const bool eitherDay =
            !atStart && fields[DaysField].front() != '*' && fields[WeekDaysField].front() != '*';
        std::string why;
        if (eitherDay && IsEvery(values[WeekDaysField], TTimeFieldKind::WeekDays)) {
            entry.Days = "*";
            why = "cron runs it every day, as its day of the week field names every day";
        } else if (eitherDay && IsEvery(values[DaysField], TTimeFieldKind::Days)) {
            entry.WeekDays = "*";
            why = "cron runs it every day, as its day of the month field names every day";
        } else if (eitherDay) {
            TSchedule onMonthDays = entry;
            entry.Days = "*";
            TValues otherDays = ~values[WeekDaysField];
            onMonthDays.WeekDays = RangesOf(otherDays, 0, 6);
            onMonthDays.Name =
                NewName((wanted.empty() ? "crontab line " + std::to_string(number) : wanted) +
                            " (days of the month)",
                        number);
            if (TDueFinder(onMonthDays).NeverDue()) {
                why = "cron would also run it on days of the month " + onMonthDays.Days +
                      ", which never come in its months";
            } else {
                entry.Comment.push_back("Runs on the line's days of the week; " +
                                        Quoted(onMonthDays.Name) + " on its days of the month.");
                onMonthDays.Comment.push_back("Runs on the line's days of the month that are not "
                                              "its days of the week; " +
                                              Quoted(entry.Name) + " on those.");
                TCrontabLine& said =
                    Say(number, line,
                        differences.empty() ? TCrontabVerdict::ImportedAsMany
                                            : TCrontabVerdict::Approximated,
                        "entries " + Quoted(entry.Name) + " (days of the week " + entry.WeekDays +
                            ") and " + Quoted(onMonthDays.Name) + " (days of the month " +
                            onMonthDays.Days +
                            " on the other days of the week): cron runs the "
                            "line when either day field matches, and no day runs twice");
                if (!differences.empty())
                    said.Why += "; " + differences;
                said.Entries = {FResult.Entries.size(), FResult.Entries.size() + 1};
                FResult.Entries.push_back(std::move(entry));
                FResult.Entries.push_back(std::move(onMonthDays));
                return;
            }
        }
        if (!atStart && TDueFinder(entry).NeverDue())
            why += std::string(why.empty() ? "" : "; ") +
                   "it never runs, nor does it under cron: no date matches its fields";
        std::string told = "entry " + Quoted(entry.Name);
        if (!why.empty() || !differences.empty())
            told += ": " + why + (why.empty() || differences.empty() ? "" : "; ") + differences;
        TCrontabLine& said = Say(
            number, line,
            differences.empty() ? TCrontabVerdict::Imported : TCrontabVerdict::Approximated, told);
        said.Entries = {FResult.Entries.size()};
        FResult.Entries.push_back(std::move(entry));
    }

    // `wanted`, or with " (2)", " (3)" ... when the schedule or this import has it.
    std::string NewName(const std::string& wanted, std::size_t number) {
        std::string base = wanted.empty() ? "crontab line " + std::to_string(number) : wanted;
        std::string name = base;
        for (int copy = 2; FNames.count(name) != 0; ++copy)
            name = base + " (" + std::to_string(copy) + ")";
        FNames.insert(name);
        return name;
    }

    const TCrontabImportOptions& FOptions;
    std::set<std::string> FNames;
    TCrontabImport FResult;
    std::string FShell = "/bin/sh";
    std::string FHome; // empty: the scheduler's own rule, the user's home, as cron's
    std::vector<std::string> FEnvironment;
    std::string FForeignZone;
    std::int32_t FRandomDelay = 0;
};

} // namespace

TCrontabImport ImportCrontab(std::string_view text, const TCrontabImportOptions& options) {
    return TCrontabReader(options).Read(text);
}

std::string VerdictText(const TCrontabLine& line) {
    switch (line.Verdict) {
    case TCrontabVerdict::Imported:
        return "imported";
    case TCrontabVerdict::ImportedAsMany:
        return "imported as " + std::to_string(line.Entries.size()) + " entries";
    case TCrontabVerdict::Approximated:
        return "approximated";
    case TCrontabVerdict::NotImported:
        return "not imported";
    case TCrontabVerdict::Note:
        break;
    }
    return "note";
}

bool AnyNotImported(const TCrontabImport& result) {
    return std::any_of(result.Lines.begin(), result.Lines.end(), [](const TCrontabLine& line) {
        return line.Verdict == TCrontabVerdict::NotImported;
    });
}

std::vector<std::string> CommentOutAdvice(const TCrontabImport& result, bool userCrontab) {
    std::vector<std::size_t> numbers;
    for (const TCrontabLine& line : result.Lines)
        if (!line.Entries.empty())
            numbers.push_back(line.Line);
    if (numbers.empty())
        return {};
    std::vector<std::string> advice = {"So that nothing runs twice, comment out " +
                                       std::string(numbers.size() == 1 ? "line " : "lines ") +
                                       DescribeList(numbers) +
                                       " of the crontab (crontab -e, a # at the start of each)" +
                                       (userCrontab ? ", or all at once:" : ".")};
    if (userCrontab) {
        std::string command = "    crontab -l | sed";
        for (std::size_t number : numbers)
            command += " -e '" + std::to_string(number) + "s/^/#/'";
        advice.push_back(command + " | crontab -");
    }
    return advice;
}

} // namespace vantle
