#include "sched/TimePreview.h"

#include "platform/TextUtils.h"
#include "sched/ScheduleKeys.h"
#include "sched/TimeField.h"

#include <algorithm>
#include <array>
#include <optional>

namespace vantle {

namespace {

template <std::size_t N> bool AnyOf(const std::array<bool, N>& table) {
    return std::any_of(table.begin(), table.end(), [](bool b) { return b; });
}

std::array<bool, 5> MatchesAny(const TMatchTables& tables) {
    return {AnyOf(tables.Minutes), AnyOf(tables.Hours), AnyOf(tables.Days), AnyOf(tables.Months),
            AnyOf(tables.WeekDays)};
}

// Items that read as 0, and items after an empty one that are never looked at.
void AddFieldNotes(std::vector<std::string>& notes, const TTimeField& field, std::string_view text,
                   bool fieldMatchesSomething) {
    if (text == "*" || text.empty())
        return;
    const std::string prefix = std::string(field.Name) + " " + Quoted(text) + ": ";
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        if (item.empty()) {
            if (start + 1 >= text.size() ||
                text.substr(start + 1).find_first_not_of(',') == std::string_view::npos)
                return; // trailing commas only end the scan
            notes.push_back(prefix + "the empty item stops the scan, so " +
                            Quoted(text.substr(start + 1)) + " after it is never looked at");
            return;
        }
        const std::size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            std::optional<std::int32_t> n = ReadInt(item);
            if (!n)
                notes.push_back(
                    prefix + "item " + Quoted(item) + " reads as 0" +
                    (item == "*" ? " (only a field that is just * means every value)" : ""));
            else if (fieldMatchesSomething && (*n < field.Low || *n > field.High))
                notes.push_back(prefix + "item " + Quoted(item) + " matches no " + field.Unit);
        } else {
            const std::string_view low = item.substr(0, dash);
            const std::string_view high = item.substr(dash + 1);
            std::optional<std::int32_t> a = ReadInt(low);
            std::optional<std::int32_t> b = ReadInt(high);
            if (!a)
                notes.push_back(prefix + (low.empty() ? "the lower end of " + Quoted(item) +
                                                            " is missing and reads as 0"
                                                      : "the lower end " + Quoted(low) + " of " +
                                                            Quoted(item) + " reads as 0"));
            if (!b)
                notes.push_back(prefix + (high.empty() ? "the upper end of " + Quoted(item) +
                                                             " is missing and reads as 0"
                                                       : "the upper end " + Quoted(high) + " of " +
                                                             Quoted(item) + " reads as 0"));
            if (a && b && *a > *b)
                notes.push_back(prefix + "range " + Quoted(item) +
                                " matches nothing: ranges do not wrap around");
            else if (a && b && fieldMatchesSomething && (*b < field.Low || *a > field.High))
                notes.push_back(prefix + "range " + Quoted(item) + " matches no " + field.Unit);
        }
        start = end + 1;
    }
}

} // namespace

std::vector<std::string> TimeFieldNotes(const TSchedule& entry, const TMatchTables& tables) {
    std::vector<std::string> notes;
    const std::array<bool, 5> matchesAny = MatchesAny(tables);
    for (std::size_t i = 0; i < TimeFields.size(); ++i)
        AddFieldNotes(notes, TimeFields[i], entry.*TimeFields[i].Text, matchesAny[i]);
    return notes;
}

std::vector<std::string> NeverDueReasons(const TSchedule& entry, const TMatchTables& tables) {
    std::vector<std::string> reasons;
    const std::array<bool, 5> matchesAny = MatchesAny(tables);
    for (std::size_t i = 0; i < TimeFields.size(); ++i) {
        const TTimeField& field = TimeFields[i];
        const std::string& text = entry.*field.Text;
        if (text.empty())
            reasons.push_back("its " + std::string(field.Name) + " field is empty");
        else if (!matchesAny[i])
            reasons.push_back(std::string(field.Name) + " " + Quoted(text) + " matches no " +
                              field.Unit);
    }
    if (reasons.empty())
        reasons.push_back("no date has Days " + Quoted(entry.Days) + " in Months " +
                          Quoted(entry.Months) + " on WeekDays " + Quoted(entry.WeekDays));
    return reasons;
}

TTimePreview PreviewTimes(const TSchedule& entry, TDateTime from, int count) {
    TTimePreview preview;
    const TDueFinder finder(entry);
    preview.Notes = TimeFieldNotes(entry, finder.Tables());
    preview.Next = finder.Next(from, count);
    if (finder.NeverDue())
        preview.Never = NeverDueReasons(entry, finder.Tables());
    else if (preview.Next.empty())
        // Days exist, but every minute named falls where the clock jumps forward further
        // than the scheduler catches up on.
        preview.Never.push_back("every moment it names falls where the clock jumps forward "
                                "more than three hours (daylight saving), which is not caught up "
                                "on");
    return preview;
}

} // namespace vantle
