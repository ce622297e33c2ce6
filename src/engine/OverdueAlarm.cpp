#include "engine/OverdueAlarm.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace vantle {

bool TOverdueAlarm::Good(const std::string& name, TDateTime moment) {
    TAlarmMark& mark = FMarks[name];
    mark.Name = name;
    if (mark.Seen == 0)
        mark.Seen = moment;
    mark.LastGood = std::max(mark.LastGood, moment);
    return std::exchange(mark.Told, false);
}

std::vector<TOverdue> TOverdueAlarm::Check(const std::vector<const TSchedule*>& entries,
                                           TDateTime now) {
    std::vector<TOverdue> overdue;
    std::set<std::string> names;
    for (const TSchedule* entry : entries) {
        names.insert(entry->Name);
        TAlarmMark& mark = FMarks[entry->Name];
        if (mark.Seen == 0) {
            mark.Name = entry->Name;
            mark.Seen = now;
        }
        const TDateTime since = mark.LastGood != 0 ? mark.LastGood : mark.Seen;
        // Whole hours, and a clock set back counts none.
        const auto hours = static_cast<std::int64_t>(std::floor(std::max(0.0, now - since) * 24));
        const bool due = entry->AlertAfter > 0 && (now - since) * 24 >= entry->AlertAfter;
        if (due && !mark.Told)
            overdue.push_back({entry->Name, hours});
        // An alarm switched off, or a clock set back, ends it silently.
        mark.Told = due;
    }
    std::erase_if(FMarks, [&](const auto& item) { return !names.contains(item.first); });
    return overdue;
}

bool TOverdueAlarm::Overdue(const std::string& name) const {
    auto found = FMarks.find(name);
    return found != FMarks.end() && found->second.Told;
}

void TOverdueAlarm::Restore(const std::vector<TAlarmMark>& marks) {
    FMarks.clear();
    for (const TAlarmMark& mark : marks)
        FMarks[mark.Name] = mark;
}

std::vector<TAlarmMark> TOverdueAlarm::List() const {
    std::vector<TAlarmMark> marks;
    for (const auto& [name, mark] : FMarks)
        marks.push_back(mark);
    return marks;
}

} // namespace vantle
