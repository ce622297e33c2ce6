// Silence noticed: an entry whose last good run is older than its AlertAfter hours is
// overdue, whatever kept it from running (skips, the machine off, no scheduler, the entry
// switched off by mistake). Told once, until a good run clears it.
#pragma once

#include "platform/DateTime.h"
#include "sched/Schedule.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vantle {

/// What the alarm knows of an entry, by name, kept in the state file.
struct TAlarmMark {
    std::string Name;
    TDateTime LastGood = 0; // local; 0: no good run seen
    TDateTime Seen = 0;     // when a scheduler first saw the entry
    bool Told = false;      // overdue, and told so
    bool operator==(const TAlarmMark&) const = default;
};

/// An entry that has just become overdue.
struct TOverdue {
    std::string Name;
    std::int64_t Hours = 0; // since its last good run, or since it was first seen
};

class TOverdueAlarm {
public:
    /// A good run of `name` ended at `moment`. True when that clears an overdue entry.
    bool Good(const std::string& name, TDateTime moment);
    /// Looks at every entry of the list, active or not, at `now`: the entries that became
    /// overdue since the last look (each told once); entries seen for the first time
    /// count from now, entries gone from the list are forgotten.
    std::vector<TOverdue> Check(const std::vector<const TSchedule*>& entries, TDateTime now);
    bool Overdue(const std::string& name) const;

    void Restore(const std::vector<TAlarmMark>& marks);
    std::vector<TAlarmMark> List() const;

private:
    std::map<std::string, TAlarmMark> FMarks;
};

} // namespace vantle
