// When entries are due next: an exact search over the calendar instead of a walk over
// every minute, shared by the window, its dialogs and vantle-schedctl.
#pragma once

#include "platform/DateTime.h"
#include "sched/Schedule.h"
#include "sched/ScheduleKeys.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// Which values each of the five fields matches, by the scheduler's own FieldMatches.
struct TMatchTables {
    template <TTimeFieldKind Kind>
    using TTable = std::array<bool, static_cast<std::size_t>(TimeFieldOf(Kind).High) + 1>;
    TTable<TTimeFieldKind::Minutes> Minutes{};
    TTable<TTimeFieldKind::Hours> Hours{};
    TTable<TTimeFieldKind::Days> Days{};     // from 1
    TTable<TTimeFieldKind::Months> Months{}; // from 1
    TTable<TTimeFieldKind::WeekDays> WeekDays{};
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

    /// The latest minute in `first`..`last` (whole minutes since 1899-12-30 00:00 of the
    /// local calendar) that the fields match, gap minutes of a spring change included, as
    /// the scheduler counts minutes; nullopt for none. Walks the days back, not the
    /// minutes: a month of minutes is a month of days.
    std::optional<std::int64_t> LatestMinute(std::int64_t first, std::int64_t last) const;

    const TMatchTables& Tables() const { return FTables; }

private:
    TMatchTables FTables;
    std::vector<int> FMinutesOfDay; // every matching hour and minute, ascending
    bool FNeverDue = true;
};

/// One run of an upcoming list: the local minute and the entry's place in the list.
struct TUpcomingRun {
    TDateTime Moment = 0;
    std::size_t Index = 0;
};

/// Every run of the active entries from the minute of `first` (included) up to `end`
/// (excluded), in time order with ties in list order, at most `limit` of them.
std::vector<TUpcomingRun> UpcomingRuns(const std::vector<const TSchedule*>& entries,
                                       TDateTime first, TDateTime end, std::size_t limit);
/// The same runs handed to `visit` one by one as they are found, none kept.
void ForEachUpcomingRun(const std::vector<const TSchedule*>& entries, TDateTime first,
                        TDateTime end, std::size_t limit,
                        const std::function<void(const TUpcomingRun&)>& visit);

} // namespace vantle
