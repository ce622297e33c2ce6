#include "sched/NextDue.h"

#include "platform/Clock.h"
#include "sched/ClockChanges.h"
#include "sched/TimeField.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <queue>

namespace vantle {

namespace {

constexpr std::int64_t DaysPer400Years = 146097;

// A day of the calendar that steps forward one day at a time without decoding.
struct TCivilDay {
    std::int64_t Number = 0; // days since 30 December 1899
    int Year = 1899, Month = 12, Day = 30, WeekDay = 6;

    explicit TCivilDay(std::int64_t number) : Number(number) {
        TDateTime date = static_cast<TDateTime>(number);
        TDateParts parts = DecodeDate(date);
        Year = parts.Year;
        Month = parts.Month;
        Day = parts.Day;
        WeekDay = WeekDayOf(date);
    }
    void Advance() {
        ++Number;
        WeekDay = (WeekDay + 1) % 7;
        if (++Day > DaysInMonth(Year, Month)) {
            Day = 1;
            if (++Month > 12) {
                Month = 1;
                ++Year;
            }
        }
    }
};

bool DayMatches(const TMatchTables& tables, const TCivilDay& day) {
    return tables.Days[static_cast<std::size_t>(day.Day)] &&
           tables.Months[static_cast<std::size_t>(day.Month)] &&
           tables.WeekDays[static_cast<std::size_t>(day.WeekDay)];
}

constexpr std::int64_t UnixEpochDays = 25569; // 1970-01-01 in days since 1899-12-30
constexpr std::int64_t SecondsPerDay = 86400;

long OffsetAt(std::int64_t instant) {
    return UtcOffsetAt({static_cast<std::time_t>(instant), 0});
}

// The local minute (whole minutes since 1899-12-30 00:00 of the wall clock) that an
// instant reads as with the offset `offset`.
std::int64_t LocalMinuteAt(std::int64_t instant, long offset) {
    return FloorDiv(instant + offset, 60) + UnixEpochDays * MinutesPerDay;
}

// The instant of a local minute read with the offset `offset`.
std::int64_t InstantOf(std::int64_t localMinute, long offset) {
    return (localMinute - UnixEpochDays * MinutesPerDay) * 60 - offset;
}

// A change of the zone's offset, in local minutes: the old reading ends at Old, the
// new one begins at New. Forward (New > Old), the minutes Old..New-1 never show;
// back (New < Old), the minutes New..Old-1 show twice.
struct TClockChange {
    std::int64_t Old = 0, New = 0;
    long OffsetBefore = 0, OffsetAfter = 0;
};

// The offset in force through a local day, or the change within it. A day is taken
// with a margin wider than any zone's offset, so a change near midnight is seen from
// both days; two changes within the margin that cancel out are taken for none.
struct TDayClock {
    long Offset = 0;
    std::optional<TClockChange> Change;
};

TDayClock DayClockOf(std::int64_t dayNumber) {
    constexpr std::int64_t Margin = 15 * 3600;
    std::int64_t low = (dayNumber - UnixEpochDays) * SecondsPerDay - Margin;
    std::int64_t high = low + SecondsPerDay + 2 * Margin;
    TDayClock clock;
    clock.Offset = OffsetAt(low);
    const long last = OffsetAt(high);
    if (last == clock.Offset)
        return clock;
    while (high - low > 1) {
        std::int64_t middle = low + (high - low) / 2;
        (OffsetAt(middle) == clock.Offset ? low : high) = middle;
    }
    TClockChange change;
    change.OffsetBefore = OffsetAt(low);
    change.OffsetAfter = OffsetAt(high);
    change.Old = LocalMinuteAt(high, change.OffsetBefore);
    change.New = LocalMinuteAt(high, change.OffsetAfter);
    clock.Change = change;
    return clock;
}

// The offset a local minute reads with; in a gap, the one after it, so that the gap
// comes before the first minute after it.
long OffsetOfMinute(const TDayClock& clock, std::int64_t minute, bool again) {
    if (!clock.Change)
        return clock.Offset;
    const TClockChange& change = *clock.Change;
    if (change.New > change.Old)
        return minute < change.Old ? change.OffsetBefore : change.OffsetAfter;
    if (minute < change.New || (minute < change.Old && !again))
        return change.OffsetBefore;
    return change.OffsetAfter;
}

template <std::size_t N> bool AnyOf(const std::array<bool, N>& table, std::size_t first) {
    for (std::size_t i = first; i < N; ++i)
        if (table[i])
            return true;
    return false;
}

template <std::size_t N>
void FillTable(std::array<bool, N>& table, const TSchedule& entry, TTimeFieldKind kind) {
    const TTimeField& field = TimeFieldOf(kind);
    // Bounded by the table too: GCC cannot see that the field's range fits it.
    const std::int32_t last = std::min<std::int32_t>(field.High, static_cast<std::int32_t>(N) - 1);
    for (std::int32_t v = std::max(field.Low, 0); v <= last; ++v)
        table[static_cast<std::size_t>(v)] = FieldMatches(v, entry.*field.Text);
}

} // namespace

TMatchTables MatchTablesOf(const TSchedule& entry) {
    TMatchTables tables;
    FillTable(tables.Minutes, entry, TTimeFieldKind::Minutes);
    FillTable(tables.Hours, entry, TTimeFieldKind::Hours);
    FillTable(tables.Days, entry, TTimeFieldKind::Days);
    FillTable(tables.Months, entry, TTimeFieldKind::Months);
    FillTable(tables.WeekDays, entry, TTimeFieldKind::WeekDays);
    return tables;
}

TDueFinder::TDueFinder(const TSchedule& entry)
    : FTables(MatchTablesOf(entry)), FRunsInRepeatedMinutes(RunsInRepeatedMinutes(entry)) {
    for (int h = 0; h < 24; ++h)
        for (int m = 0; m < 60; ++m)
            if (FTables.Hours[static_cast<std::size_t>(h)] &&
                FTables.Minutes[static_cast<std::size_t>(m)])
                FMinutesOfDay.push_back(h * 60 + m);
    if (FMinutesOfDay.empty() || !AnyOf(FTables.Days, 1) || !AnyOf(FTables.Months, 1) ||
        !AnyOf(FTables.WeekDays, 0))
        return;
    // Shortcut for the common impossible date (30 February): no month has such a day.
    bool dateExists = false;
    for (int month = 1; month <= 12 && !dateExists; ++month)
        for (int d = 1; d <= DaysInMonth(2000, month) && !dateExists; ++d) // 2000: a leap year
            dateExists = FTables.Months[static_cast<std::size_t>(month)] &&
                         FTables.Days[static_cast<std::size_t>(d)];
    if (!dateExists)
        return;
    // Any start will do: one whole cycle holds every month, day and weekday combination.
    TCivilDay day(0);
    for (std::int64_t i = 0; i < DaysPer400Years; ++i, day.Advance()) {
        if (DayMatches(FTables, day)) {
            FNeverDue = false;
            return;
        }
    }
}

bool TDueFinder::MinuteMatches(std::int64_t localMinute) const {
    const TCivilDay day(FloorDiv(localMinute, MinutesPerDay));
    const auto minuteOfDay = static_cast<int>(localMinute - day.Number * MinutesPerDay);
    return DayMatches(FTables, day) && FTables.Hours[static_cast<std::size_t>(minuteOfDay / 60)] &&
           FTables.Minutes[static_cast<std::size_t>(minuteOfDay % 60)];
}

std::vector<TDueRun> TDueFinder::Runs(TDateTime from, int count, bool fromAgain) const {
    const std::int64_t minute = FloorDiv(ToMSecs(from), MSecsPerMinute);
    return Search(minute + 1, InstantOfMinute(minute, fromAgain) + 60, count);
}

std::vector<TDueRun> TDueFinder::RunsFrom(TDateTime first, int count, bool firstAgain) const {
    const std::int64_t minute = FloorDiv(ToMSecs(first), MSecsPerMinute);
    return Search(minute, InstantOfMinute(minute, firstAgain), count);
}

std::vector<TDueRun> TDueFinder::Search(std::int64_t firstMinute, std::int64_t firstInstant,
                                        int count) const {
    std::vector<TDueRun> runs;
    if (FNeverDue || count <= 0)
        return runs;
    auto full = [&] { return static_cast<int>(runs.size()) == count; };
    auto add = [&](std::int64_t minute, bool again, long offset) {
        TDueRun run{FromMSecs(minute * MSecsPerMinute), again, InstantOf(minute, offset)};
        // Gap minutes run at the first minute after the gap, which may be due itself.
        if (run.Instant < firstInstant || (!runs.empty() && runs.back().Instant == run.Instant))
            return false;
        runs.push_back(run);
        return true;
    };
    // The second readings of a repeated hour, listed once the scan passes its end.
    struct TRepeat {
        std::int64_t First = 0, End = 0;
        long Offset = 0;
    };
    std::optional<TRepeat> repeat;
    std::optional<std::int64_t> repeatSeen; // the end of the latest repeat taken up
    auto flushRepeat = [&] {
        for (std::int64_t m = repeat->First; m < repeat->End && !full(); ++m)
            if (MinuteMatches(m))
                add(m, true, repeat->Offset);
        repeat.reset();
    };

    TCivilDay day(FloorDiv(firstMinute, MinutesPerDay));
    int firstMinuteOfDay = static_cast<int>(firstMinute - day.Number * MinutesPerDay);
    // After a run found, the next lies within one cycle of it; past that, only jumps
    // of the clock wider than a cycle catches up on can have swallowed them all.
    std::int64_t lastDay = day.Number + DaysPer400Years;
    for (; day.Number <= lastDay && !full(); day.Advance(), firstMinuteOfDay = 0) {
        const std::int64_t dayStart = day.Number * MinutesPerDay;
        if (repeat && dayStart >= repeat->End)
            flushRepeat();
        if (!DayMatches(FTables, day))
            continue;
        const TDayClock clock = DayClockOf(day.Number);
        const std::optional<TClockChange>& change = clock.Change;
        const bool back = change && change->New < change->Old;
        if (back && repeatSeen != change->Old) {
            repeatSeen = change->Old;
            // The scheduler reaches the first repeated minute from the last one before
            // the change: within reach, only what runs every minute or hour runs again;
            // beyond it, the clock counts as moved and every entry runs again.
            const bool allAgain = change->Old - 1 - change->New > MaxCatchUpMinutes;
            if (allAgain || FRunsInRepeatedMinutes)
                repeat = TRepeat{change->New, change->Old, change->OffsetAfter};
        }
        const auto start =
            std::lower_bound(FMinutesOfDay.begin(), FMinutesOfDay.end(), firstMinuteOfDay);
        for (auto it = start; it != FMinutesOfDay.end() && !full(); ++it) {
            const std::int64_t minute = dayStart + *it;
            if (repeat && minute >= repeat->End) {
                flushRepeat();
                if (full())
                    break;
            }
            if (change && !back && minute >= change->Old && minute < change->New) {
                // A gap the cycle after it catches up on; a wider one is a moved clock,
                // whose missed minutes do not run.
                if (change->New - (change->Old - 1) <= MaxCatchUpMinutes &&
                    add(change->New, false, change->OffsetAfter))
                    lastDay = day.Number + DaysPer400Years;
            } else if (add(minute, false, OffsetOfMinute(clock, minute, false))) {
                lastDay = day.Number + DaysPer400Years;
            }
        }
    }
    if (repeat && !full())
        flushRepeat();
    return runs;
}

std::vector<TDateTime> TDueFinder::Next(TDateTime from, int count) const {
    std::vector<TDateTime> moments;
    for (const TDueRun& run : Runs(from, count))
        moments.push_back(run.Moment);
    return moments;
}

std::int64_t TDueFinder::InstantOfMinute(std::int64_t minute, bool again) {
    return InstantOf(minute,
                     OffsetOfMinute(DayClockOf(FloorDiv(minute, MinutesPerDay)), minute, again));
}

long UtcOffsetOf(const TDueRun& run) {
    return static_cast<long>(FloorDiv(ToMSecs(run.Moment), MSecsPerSecond) -
                             UnixEpochDays * SecondsPerDay - run.Instant);
}

std::string UtcOffsetText(long offset) {
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    std::string text = offset < 0 ? "-" : "+";
    for (long part : {minutes / 60 % 100, minutes % 60}) {
        if (text.size() > 1)
            text += ':';
        text += {static_cast<char>('0' + part / 10), static_cast<char>('0' + part % 10)};
    }
    return text;
}

bool IsSecondReading(TDateTime local, const std::timespec& utc) {
    std::vector<std::timespec> readings = LocalReadings(local);
    return readings.size() == 2 &&
           std::llabs(MSecsBetween(utc, readings[1])) < std::llabs(MSecsBetween(utc, readings[0]));
}

std::optional<std::int64_t> TDueFinder::LatestMinute(std::int64_t first, std::int64_t last) const {
    if (FNeverDue || last < first)
        return std::nullopt;
    const std::int64_t firstDay = FloorDiv(first, MinutesPerDay);
    for (std::int64_t number = FloorDiv(last, MinutesPerDay); number >= firstDay; --number) {
        TCivilDay day(number);
        if (!DayMatches(FTables, day))
            continue;
        const std::int64_t dayStart = number * MinutesPerDay;
        // The last candidate of the day at or before `last`.
        auto past = std::upper_bound(
            FMinutesOfDay.begin(), FMinutesOfDay.end(),
            static_cast<int>(std::min<std::int64_t>(last - dayStart, MinutesPerDay - 1)));
        if (past == FMinutesOfDay.begin())
            continue;
        const std::int64_t minute = dayStart + *std::prev(past);
        return minute >= first ? std::optional<std::int64_t>(minute) : std::nullopt;
    }
    return std::nullopt;
}

std::vector<TUpcomingRun> UpcomingRuns(const std::vector<const TSchedule*>& entries,
                                       TDateTime first, TDateTime end, std::size_t limit,
                                       bool firstAgain) {
    std::vector<TUpcomingRun> runs;
    ForEachUpcomingRun(
        entries, first, end, limit, [&runs](const TUpcomingRun& run) { runs.push_back(run); },
        firstAgain);
    return runs;
}

void ForEachUpcomingRun(const std::vector<const TSchedule*>& entries, TDateTime first,
                        TDateTime end, std::size_t limit,
                        const std::function<void(const TUpcomingRun&)>& visit, bool firstAgain) {
    if (limit == 0)
        return;
    // One candidate per entry, merged through a heap: only as many searches as rows
    // are wanted, however often each entry is due. Ordered by the instant, as the
    // repeated autumn hour reads the same local minutes twice.
    struct TCandidate {
        TUpcomingRun Run;
        bool operator>(const TCandidate& other) const {
            return Run.Instant != other.Run.Instant ? Run.Instant > other.Run.Instant
                                                    : Run.Index > other.Run.Index;
        }
    };
    std::int64_t endMSecs = ToMSecs(end);
    std::vector<TDueFinder> finders;
    finders.reserve(entries.size());
    std::priority_queue<TCandidate, std::vector<TCandidate>, std::greater<>> queue;
    auto push = [&](std::size_t index, std::vector<TDueRun> next) {
        if (!next.empty() && ToMSecs(next.front().Moment) < endMSecs)
            queue.push({{next.front().Moment, index, next.front().Again, next.front().Instant}});
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        finders.emplace_back(*entries[i]);
        if (entries[i]->Active)
            push(i, finders[i].RunsFrom(first, 1, firstAgain));
    }
    for (std::size_t found = 0; !queue.empty() && found < limit; ++found) {
        TUpcomingRun run = queue.top().Run;
        queue.pop();
        visit(run);
        push(run.Index, finders[run.Index].Runs(run.Moment, 1, run.Again));
    }
}

} // namespace vantle
