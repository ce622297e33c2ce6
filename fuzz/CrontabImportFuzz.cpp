// Any bytes as a crontab: the import never crashes, every line it keeps has one verdict,
// and what it makes can be kept and run: entries survive a save and a reload, their
// time fields read as written, the shell gets two words, and the two entries of a line
// that cron runs on either day field never share a day of the week.
#include "engine/Parameters.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FormatSettings.h"
#include "platform/ProgramStarterPosix.h"
#include "sched/CrontabImport.h"
#include "sched/LenientFields.h"
#include "sched/SchedFile.h"
#include "sched/TimeField.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace vantle;

class TFixedClock : public TClock {
public:
    TDateTime Now() const override { return 46000.5; }
};

class TNoEnvironment : public TEnvironment {
public:
    std::optional<std::string> Get(const std::string&) const override { return std::nullopt; }
};

[[noreturn]] void Fail(const char* what, std::size_t index) {
    std::fprintf(stderr, "crontab import: %s (%zu)\n", what, index);
    std::abort();
}

bool KeepsInAFile(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n\x1a", 4)) == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TCrontabImportOptions options;
    options.LocalZone = "Europe/Berlin";
    options.TakenNames = {"backup"};
    options.IsUserName = [](std::string_view word) { return word == "root"; };
    const TCrontabImport result = ImportCrontab(text, options);

    std::vector<int> made(result.Entries.size(), 0);
    for (const TCrontabLine& line : result.Lines) {
        const bool makes = line.Verdict == TCrontabVerdict::Imported ||
                           line.Verdict == TCrontabVerdict::ImportedAsMany ||
                           line.Verdict == TCrontabVerdict::Approximated;
        if (!line.Entries.empty() && !makes)
            Fail("a line that makes nothing has entries", line.Line);
        // Several entries are "imported as N entries", or "approximated" when they differ.
        if (line.Verdict == TCrontabVerdict::ImportedAsMany
                ? line.Entries.size() < 2
                : line.Entries.size() > 1 && line.Verdict != TCrontabVerdict::Approximated)
            Fail("several entries without a verdict that says so", line.Line);
        for (std::size_t index : line.Entries) {
            if (index >= made.size())
                Fail("a line names an entry that is not there", line.Line);
            ++made[index];
        }
        if (line.Entries.size() == 2)
            for (std::int32_t day = 0; day <= 6; ++day)
                if (FieldMatches(day, result.Entries[line.Entries[0]].WeekDays) &&
                    FieldMatches(day, result.Entries[line.Entries[1]].WeekDays))
                    Fail("the two entries of a line share a day of the week", line.Line);
    }
    static const TFixedClock clock;
    static const TNoEnvironment environment;
    static const TFormatSettings settings = FixedFormatSettings();
    const TParameterExpander expander(clock, environment, settings);
    std::vector<const TSchedule*> view;
    for (std::size_t i = 0; i < result.Entries.size(); ++i) {
        const TSchedule& entry = result.Entries[i];
        view.push_back(&entry);
        if (made[i] != 1)
            Fail("an entry made by no line, or by two", i);
        if (!LenientFields(entry).empty())
            Fail("a time field reads as something else", i);
        if (SplitShellWords(expander.ExpandParameters(entry.Parms)).size() != 2)
            Fail("the shell does not get -c and one text", i);
        for (const std::string* value : {&entry.Name, &entry.Command, &entry.Parms, &entry.WorkDir})
            if (!KeepsInAFile(*value))
                Fail("a value the schedule file cannot keep", i);
    }
    const auto reread = ParseScheduleFile(FormatScheduleFile(view));
    if (reread.size() != view.size())
        Fail("a reload gives another number of entries", reread.size());
    for (std::size_t i = 0; i < view.size(); ++i)
        if (EntriesDiffer(*reread[i], *view[i]))
            Fail("an entry changed on save and reload", i);
    return 0;
}
