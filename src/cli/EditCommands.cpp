// Changing a schedule from a shell: add, set, remove, enable, disable and rename, each
// saved through the list's safe save after the file is read afresh.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/ScheduleChange.h"

#include "engine/EntryPick.h"

#include "platform/TextUtils.h"
#include "sched/EnvironmentText.h"
#include "sched/LenientFields.h"
#include "sched/NextDue.h"
#include "sched/SchedList.h"
#include "sched/TimeFieldInput.h"
#include "sched/TimePreview.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

namespace vantle::cli {

namespace {

// The options add and set share; set takes --name as a new name too.
const std::vector<std::string> EntryFlags = {"--inactive", "--active"};
const std::vector<std::string> EntryValued = {
    "--name",     "--time",    "--command",    "--parms", "--workdir", "--comment",
    "--catch-up", "--overlap", "--time-limit", "--env",   "--index"};

// A line end would end the value's line and let the rest become a key of its own;
// Ctrl-Z ends the file for the reader; NUL cuts what a program gets. An environment's
// value may be a secret: only its name is shown.
void RefuseControls(const std::string& what, const std::string& text) {
    const std::string shown =
        what == "--env" ? "the value of " + text.substr(0, text.find('=')) : text;
    for (char c : text)
        if (c == '\r' || c == '\n' || c == '\x1a' || c == '\0')
            throw EFailure(what +
                           " holds a line end, a Ctrl-Z or a NUL byte, which the "
                           "schedule file cannot keep in a value: " +
                           Quoted(VisibleText(shown, TVisibleFor::Terminal)));
}

// "M H D Mo W" in the stored form, converted as the entry dialog converts what is typed;
// refused when a field would still read as something else.
void ApplyTime(TSchedule& entry, const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> fields;
    for (std::string word; words >> word;)
        fields.push_back(word);
    if (fields.size() != TimeFields.size())
        throw EFailure("--time needs five fields, minute hour day month weekday, not " +
                       std::to_string(fields.size()) + ": " + Quoted(text));
    TSchedule timed = entry;
    for (std::size_t i = 0; i < fields.size(); ++i)
        timed.*TimeFields[i].Text = ToStoredTimeField(TimeFields[i].Kind, fields[i]);
    const std::vector<TLenientField> lenient = LenientFields(timed);
    if (!lenient.empty())
        throw EFailure("--time: " + LenientFieldText(lenient.front()) +
                       ", which is probably not meant; write it as the schedule stores it");
    // A time that never comes is a typing mistake, unless the entry runs at start-up.
    TDueFinder finder(timed);
    if (finder.NeverDue() && !timed.AtStart) {
        const std::vector<std::string> reasons = NeverDueReasons(timed, finder.Tables());
        throw EFailure("--time " + Quoted(text) + " never comes" +
                       (reasons.empty() ? std::string() : ": " + reasons.front()));
    }
    for (const TTimeField& field : TimeFields)
        entry.*field.Text = timed.*field.Text;
}

bool YesNo(const std::string& option, const std::string& text) {
    if (EqualsNoCase(text, "yes"))
        return true;
    if (EqualsNoCase(text, "no"))
        return false;
    throw EFailure(option + " takes yes or no, not " + Quoted(text));
}

// What the options say, applied to `entry`; `renames`: --name is set's new name.
void ApplyOptions(const TArguments& options, TSchedule& entry, bool renames) {
    for (const std::string& option : EntryValued)
        for (const std::string& value : options.AllValues(option))
            RefuseControls(option, value);
    if (renames)
        if (std::optional<std::string> name = options.Value("--name")) {
            if (name->empty())
                throw EFailure("--name needs a name");
            entry.Name = *name;
        }
    if (std::optional<std::string> time = options.Value("--time"))
        ApplyTime(entry, *time);
    if (std::optional<std::string> command = options.Value("--command")) {
        entry.Command = *command;
        if (entry.CommandType == ctBuiltinResetTime)
            entry.CommandType = ctDirectExecute; // a command makes it a program again
    }
    if (std::optional<std::string> parms = options.Value("--parms"))
        entry.Parms = *parms;
    if (std::optional<std::string> workDir = options.Value("--workdir"))
        entry.WorkDir = *workDir;
    if (std::optional<std::string> comment = options.Value("--comment"))
        entry.Comment =
            comment->empty() ? std::vector<std::string>{} : std::vector<std::string>{*comment};
    if (options.Has("--inactive") && options.Has("--active"))
        throw EFailure("--active and --inactive exclude each other");
    if (options.Has("--inactive"))
        entry.Active = false;
    if (options.Has("--active"))
        entry.Active = true;
    if (std::optional<std::string> catchUp = options.Value("--catch-up"))
        entry.CatchUp = YesNo("--catch-up", *catchUp);
    if (std::optional<std::string> overlap = options.Value("--overlap")) {
        if (EqualsNoCase(*overlap, "allow"))
            entry.Overlap = TOverlap::Allow;
        else if (EqualsNoCase(*overlap, "skip"))
            entry.Overlap = TOverlap::Skip;
        else
            throw EFailure("--overlap takes allow or skip, not " + Quoted(*overlap));
    }
    if (std::optional<std::string> limit = options.Value("--time-limit"))
        entry.TimeLimit =
            *limit == "0" ? 0 : WholeNumberOption(*limit, "--time-limit", MaxTimeLimit);
    // Any --env replaces the whole environment; one empty --env clears it.
    const std::vector<std::string> env = options.AllValues("--env");
    if (!env.empty()) {
        entry.Environment.clear();
        for (const std::string& pair : env) {
            if (pair.empty() && env.size() == 1)
                break;
            const std::size_t equals = pair.find('=');
            if (equals == std::string::npos || !IsEnvironmentName(pair.substr(0, equals)))
                throw EFailure("--env wants NAME=VALUE with a name of letters, digits and _ "
                               "that does not start with a digit, not the name " +
                               Quoted(VisibleText(pair.substr(0, equals), TVisibleFor::Terminal)));
            entry.Environment.push_back(pair);
        }
    }
}

// The one entry `name` names, by its position; --index picks among same-named entries.
std::int32_t FindEntry(TSchedList& list, const std::string& name, const TArguments& options) {
    std::optional<std::int32_t> index;
    if (std::optional<std::string> indexText = options.Value("--index"))
        index = *indexText == "0" ? 0 : WholeNumberOption(*indexText, "--index", 1000000);
    const TEntryPick pick = PickEntry(list, name, index, false);
    if (pick.Index < 0)
        throw EFailure(pick.Error);
    return pick.Index;
}

// Reads the file afresh (another program's change is not lost), changes the list and
// saves it; a missing file is an empty schedule only for `add`.
void EditFile(const std::string& path, bool mayCreate, std::ostream& err,
              const std::function<void(TSchedList&)>& change) {
    TSchedList list;
    if (!LoadForChange(list, path) && !mayCreate)
        throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(ENOENT)));
    change(list);
    SaveChange(list, err, "this change");
}

// NAME (and NEW for rename) then FILE, or the desktop program's schedule.
std::vector<std::string> Names(const std::string& command, const TArguments& options,
                               std::size_t count, std::string& path) {
    if (options.Positional.size() < count)
        throw UsageError(command, count == 1 ? "needs the entry's NAME" : "needs NAME and NEW");
    TArguments rest = options;
    rest.Positional.erase(rest.Positional.begin(),
                          rest.Positional.begin() + static_cast<std::ptrdiff_t>(count));
    path = ScheduleFileOf(command, rest);
    return {options.Positional.begin(),
            options.Positional.begin() + static_cast<std::ptrdiff_t>(count)};
}

} // namespace

int CmdAdd(const TArgs& args, std::ostream&, std::ostream& err) {
    return Guarded("add", err, [&] {
        TArguments options = ReadArguments("add", args, EntryFlags, EntryValued);
        const std::string path = ScheduleFileOf("add", options);
        for (const char* required : {"--name", "--time", "--command"})
            if (!options.Value(required))
                throw UsageError("add", std::string("needs ") + required);
        if (options.Value("--index"))
            throw UsageError("add", "--index picks an entry to change; add appends");
        auto entry = std::make_unique<TSchedule>();
        entry->Active = true;
        ApplyOptions(options, *entry, true);
        EditFile(path, true, err, [&](TSchedList& list) { list.Add(std::move(entry)); });
        return 0;
    });
}

int CmdSet(const TArgs& args, std::ostream&, std::ostream& err) {
    return Guarded("set", err, [&] {
        TArguments options = ReadArguments("set", args, EntryFlags, EntryValued);
        std::string path;
        const std::string name = Names("set", options, 1, path).front();
        EditFile(path, false, err, [&](TSchedList& list) {
            const std::int32_t index = FindEntry(list, name, options);
            TSchedule entry = list.Items(index);
            ApplyOptions(options, entry, true);
            list.Update(index, entry);
        });
        return 0;
    });
}

namespace {

// remove, enable and disable: NAME, --index, FILE.
int ChangeOne(const std::string& command, const TArgs& args, std::ostream& err,
              const std::function<void(TSchedList&, std::int32_t)>& change) {
    return Guarded(command, err, [&] {
        TArguments options = ReadArguments(command, args, {}, {"--index"});
        std::string path;
        const std::string name = Names(command, options, 1, path).front();
        EditFile(path, false, err,
                 [&](TSchedList& list) { change(list, FindEntry(list, name, options)); });
        return 0;
    });
}

void SetActive(TSchedList& list, std::int32_t index, bool active) {
    TSchedule entry = list.Items(index);
    entry.Active = active;
    list.Update(index, entry);
}

} // namespace

int CmdRemove(const TArgs& args, std::ostream&, std::ostream& err) {
    return ChangeOne("remove", args, err,
                     [](TSchedList& list, std::int32_t index) { list.Delete(index); });
}

int CmdEnable(const TArgs& args, std::ostream&, std::ostream& err) {
    return ChangeOne("enable", args, err,
                     [](TSchedList& list, std::int32_t index) { SetActive(list, index, true); });
}

int CmdDisable(const TArgs& args, std::ostream&, std::ostream& err) {
    return ChangeOne("disable", args, err,
                     [](TSchedList& list, std::int32_t index) { SetActive(list, index, false); });
}

int CmdRename(const TArgs& args, std::ostream&, std::ostream& err) {
    return Guarded("rename", err, [&] {
        TArguments options = ReadArguments("rename", args, {}, {"--index"});
        std::string path;
        const std::vector<std::string> names = Names("rename", options, 2, path);
        RefuseControls("NEW", names[1]);
        if (names[1].empty())
            throw EFailure("NEW needs a name");
        EditFile(path, false, err, [&](TSchedList& list) {
            const std::int32_t index = FindEntry(list, names[0], options);
            TSchedule entry = list.Items(index);
            entry.Name = names[1];
            list.Update(index, entry);
        });
        return 0;
    });
}

} // namespace vantle::cli
