#include "engine/CatchUp.h"

#include "sched/NextDue.h"

#include <algorithm>

namespace vantle {

std::optional<TLocalMinute> MissedMinute(const TSchedule& entry, TLocalMinute firstUntested,
                                         TLocalMinute current) {
    if (!entry.Active || !entry.CatchUp)
        return std::nullopt;
    const TLocalMinute first = std::max(firstUntested, current - CatchUpDays * MinutesPerDay);
    return TDueFinder(entry).LatestMinute(first, current - 1);
}

std::vector<TPendingCatchUp> PendingCatchUps(const std::vector<const TSchedule*>& entries,
                                             std::optional<TLocalMinute> latest, TDateTime now) {
    std::vector<TPendingCatchUp> pending;
    if (!latest)
        return pending;
    const TLocalMinute current = LocalMinuteOf(now);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (std::optional<TLocalMinute> missed = MissedMinute(*entries[i], *latest + 1, current))
            pending.push_back({i, *missed});
    return pending;
}

} // namespace vantle
