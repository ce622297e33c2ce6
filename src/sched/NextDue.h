// When entries are due next: an exact search over the calendar instead of a walk over
// every minute, shared by the window, its dialogs and vantle-schedctl.
#pragma once

#include "platform/DateTime.h"
#include "sched/Schedule.h"
#include "sched/ScheduleKeys.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
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

/// One run of an entry: the local minute, and which reading of it when the clock shows
/// that minute twice.
struct TDueRun {
    TDateTime Moment = 0;     // local
    bool Again = false;       // the second reading of a repeated autumn hour
    std::int64_t Instant = 0; // seconds since 1970-01-01 UTC, to order runs in time
};

/// Seconds east of Greenwich of the reading a run falls in.
long UtcOffsetOf(const TDueRun& run);
/// An offset as "+hh:mm" or "-hh:mm".
std::string UtcOffsetText(long offset);
/// Whether the local moment `local`, read at the UTC instant `utc`, is the second
/// reading of a repeated hour (the clock tells the instant, not the local time alone).
bool IsSecondReading(TDateTime local, const std::timespec& utc);

class TDueFinder {
public:
    /// The Active flag is not looked at: the finder answers for the time fields alone.
    explicit TDueFinder(const TSchedule& entry);

    /// Whether no moment of the calendar matches. The Gregorian calendar repeats every
    /// 400 years (146097 days, a whole number of weeks), so one cycle decides it.
    bool NeverDue() const { return FNeverDue; }
    /// Up to `count` runs strictly after the minute of `from` (local; `fromAgain`: in
    /// the second reading of a repeated hour), in time order, as the scheduler makes
    /// them across daylight-saving changes (see ClockChanges.h): minutes of a spring
    /// gap run once, at the first minute after it; in the repeated autumn hour an entry
    /// that runs every minute or every hour runs in both readings.
    std::vector<TDueRun> Runs(TDateTime from, int count, bool fromAgain = false) const;
    /// The same from the minute of `first` on, that minute included.
    std::vector<TDueRun> RunsFrom(TDateTime first, int count, bool firstAgain = false) const;
    /// The local moments of Runs: a repeated hour can give the same moment twice.
    std::vector<TDateTime> Next(TDateTime from, int count) const;

    /// The latest minute in `first`..`last` (whole minutes since 1899-12-30 00:00 of the
    /// local calendar) that the fields match, gap minutes of a spring change included, as
    /// the scheduler counts minutes; nullopt for none. Walks the days back, not the
    /// minutes: a month of minutes is a month of days.
    std::optional<std::int64_t> LatestMinute(std::int64_t first, std::int64_t last) const;

    const TMatchTables& Tables() const { return FTables; }

private:
    bool MinuteMatches(std::int64_t localMinute) const;
    /// Runs at or after `firstInstant` (seconds since 1970), scanning the local minutes
    /// from `firstMinute` (since 1899-12-30 00:00).
    std::vector<TDueRun> Search(std::int64_t firstMinute, std::int64_t firstInstant,
                                int count) const;
    /// The instant of a local minute, in the second reading when `again`; a minute of a
    /// spring gap is taken as just before the first minute after the gap.
    static std::int64_t InstantOfMinute(std::int64_t minute, bool again);

    TMatchTables FTables;
    std::vector<int> FMinutesOfDay; // every matching hour and minute, ascending
    bool FNeverDue = true;
    bool FRunsInRepeatedMinutes = false;
};

/// One run of an upcoming list: the local minute and the entry's place in the list.
struct TUpcomingRun {
    TDateTime Moment = 0;
    std::size_t Index = 0;
    bool Again = false;       // as TDueRun
    std::int64_t Instant = 0; // as TDueRun
};

/// Every run of the active entries from the minute of `first` (included; `firstAgain`:
/// its second reading) up to `end` (excluded), in time order with ties in list order,
/// at most `limit` of them.
std::vector<TUpcomingRun> UpcomingRuns(const std::vector<const TSchedule*>& entries,
                                       TDateTime first, TDateTime end, std::size_t limit,
                                       bool firstAgain = false);
/// The same runs handed to `visit` one by one as they are found, none kept.
void ForEachUpcomingRun(const std::vector<const TSchedule*>& entries, TDateTime first,
                        TDateTime end, std::size_t limit,
                        const std::function<void(const TUpcomingRun&)>& visit,
                        bool firstAgain = false);

} // namespace vantle
