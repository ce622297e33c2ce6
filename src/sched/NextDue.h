// When an entry is due next: an exact search over the calendar instead of a walk
// over every minute.
#pragma once

#include "platform/DateTime.h"
#include "sched/Schedule.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vantle {

/// Which values each of the five fields matches, by the scheduler's own FieldMatches.
struct TMatchTables {
    std::array<bool, 60> Minutes{};
    std::array<bool, 24> Hours{};
    std::array<bool, 32> Days{};   // 1..31 used
    std::array<bool, 13> Months{}; // 1..12 used
    std::array<bool, 7> WeekDays{};
};
TMatchTables MatchTablesOf(const TSchedule& entry);

class TDueFinder {
public:
    /// The Active flag is not looked at: the finder answers for the time fields alone.
    explicit TDueFinder(const TSchedule& entry);

    /// Whether no moment of the calendar matches. The Gregorian calendar repeats every
    /// 400 years (146097 days, a whole number of weeks), so one cycle decides it.
    bool NeverDue() const { return FNeverDue; }
    /// Up to `count` local whole-minute moments strictly after the minute of `from`, in
    /// order. Local times that the clock skips (a daylight-saving gap) are left out, as
    /// the scheduler never sees them.
    std::vector<TDateTime> Next(TDateTime from, int count) const;

    const TMatchTables& Tables() const { return FTables; }

private:
    TMatchTables FTables;
    std::vector<std::int32_t> FHours;
    std::vector<std::int32_t> FMinutes;
    bool FNeverDue = true;
};

} // namespace vantle
