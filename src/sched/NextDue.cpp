#include "sched/NextDue.h"

#include "platform/Clock.h"
#include "sched/TimeField.h"

#include <algorithm>
#include <ctime>
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

// Whether the local clock ever shows that minute: mktime moves a time inside a
// daylight-saving gap out of it.
bool LocalMinuteExists(const TCivilDay& day, int hour, int minute) {
    std::tm tm = CalendarFields(day.Year, day.Month, day.Day, hour, minute, 0);
    tm.tm_isdst = -1;
    if (mktime(&tm) == static_cast<std::time_t>(-1))
        return true; // beyond what the zone rules can say: take the wall clock as it is
    return tm.tm_hour == hour && tm.tm_min == minute && tm.tm_mday == day.Day;
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

TDueFinder::TDueFinder(const TSchedule& entry) : FTables(MatchTablesOf(entry)) {
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

std::vector<TDateTime> TDueFinder::Next(TDateTime from, int count) const {
    std::vector<TDateTime> moments;
    if (FNeverDue || count <= 0)
        return moments;
    std::int64_t firstMinute = FloorDiv(ToMSecs(from), MSecsPerMinute) + 1;
    TCivilDay day(FloorDiv(firstMinute, MinutesPerDay));
    int firstMinuteOfDay = static_cast<int>(firstMinute - day.Number * MinutesPerDay);
    // After a moment found, the next lies within one cycle of it; past that, only
    // daylight-saving gaps can have swallowed every candidate.
    std::int64_t lastDay = day.Number + DaysPer400Years;
    const std::vector<int>& candidates = FMinutesOfDay; // the same every day
    const std::size_t n = candidates.size();
    for (; day.Number <= lastDay; day.Advance(), firstMinuteOfDay = 0) {
        if (!DayMatches(FTables, day))
            continue;
        auto exists = [&day](int minuteOfDay) {
            return LocalMinuteExists(day, minuteOfDay / 60, minuteOfDay % 60);
        };
        const auto start = std::lower_bound(candidates.begin(), candidates.end(), firstMinuteOfDay);
        for (auto i = static_cast<std::size_t>(start - candidates.begin()); i < n;) {
            if (!exists(candidates[i])) {
                // A daylight-saving gap is one stretch of the day, so the later candidates
                // exist from some point on, if at all: ask the zone rules a few times
                // rather than once per minute of the gap.
                if (!exists(candidates[n - 1]))
                    break;
                std::size_t missing = i, present = n - 1;
                while (present - missing > 1) {
                    std::size_t middle = missing + (present - missing) / 2;
                    (exists(candidates[middle]) ? present : missing) = middle;
                }
                i = present;
            }
            moments.push_back(
                FromMSecs((day.Number * MinutesPerDay + candidates[i]) * MSecsPerMinute));
            if (static_cast<int>(moments.size()) == count)
                return moments;
            lastDay = day.Number + DaysPer400Years;
            ++i;
        }
    }
    return moments;
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
                                       TDateTime first, TDateTime end, std::size_t limit) {
    std::vector<TUpcomingRun> runs;
    ForEachUpcomingRun(entries, first, end, limit,
                       [&runs](const TUpcomingRun& run) { runs.push_back(run); });
    return runs;
}

void ForEachUpcomingRun(const std::vector<const TSchedule*>& entries, TDateTime first,
                        TDateTime end, std::size_t limit,
                        const std::function<void(const TUpcomingRun&)>& visit) {
    if (limit == 0)
        return;
    // One candidate per entry, merged through a heap: only as many searches as rows
    // are wanted, however often each entry is due.
    struct TCandidate {
        std::int64_t Minute;
        std::size_t Index;
        bool operator>(const TCandidate& other) const {
            return Minute != other.Minute ? Minute > other.Minute : Index > other.Index;
        }
    };
    std::int64_t endMSecs = ToMSecs(end);
    TDateTime before = FromMSecs((FloorDiv(ToMSecs(first), MSecsPerMinute) - 1) * MSecsPerMinute);
    std::vector<TDueFinder> finders;
    finders.reserve(entries.size());
    std::priority_queue<TCandidate, std::vector<TCandidate>, std::greater<>> queue;
    auto push = [&](std::size_t index, TDateTime after) {
        std::vector<TDateTime> next = finders[index].Next(after, 1);
        if (!next.empty() && ToMSecs(next.front()) < endMSecs)
            queue.push({ToMSecs(next.front()), index});
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        finders.emplace_back(*entries[i]);
        if (entries[i]->Active)
            push(i, before);
    }
    for (std::size_t found = 0; !queue.empty() && found < limit; ++found) {
        TCandidate candidate = queue.top();
        queue.pop();
        TDateTime moment = FromMSecs(candidate.Minute);
        visit({moment, candidate.Index});
        push(candidate.Index, moment);
    }
}

} // namespace vantle
