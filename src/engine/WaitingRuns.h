// Runs that wait for what their entry needs (mains power, a network) rather than being
// skipped: a skipped backup is a silent loss. One waiting run per entry; a later due run
// of the entry replaces it.
#pragma once

#include "engine/CycleMemory.h"
#include "engine/Retries.h"
#include "engine/RunStore.h"
#include "platform/RunConditions.h"
#include "sched/Schedule.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// The conditions of one cycle, each read once and only when an entry asks.
class TCycleConditions {
public:
    explicit TCycleConditions(const TRunConditions& conditions) : FConditions(conditions) {}
    /// Why `entry` may not start now: "on battery", "no network"; nullopt when it may.
    std::optional<std::string> Unmet(const TSchedule& entry);

private:
    const TRunConditions& FConditions;
    std::optional<bool> FOnMains, FNetwork;
};

struct TWaitingRun {
    std::string Name;
    TRunTrigger Trigger = TRunTrigger::Schedule;
    TAttempt Attempt;
    TLocalMinute Since = 0; // the minute its run was due
    std::string Reason;     // what it waits for, as Unmet says it
    bool operator==(const TWaitingRun&) const = default;
};

class TWaitingRuns {
public:
    /// The run waits, in place of the entry's earlier waiting run. True when that is news
    /// to tell: it did not wait before, or waits for another reason now.
    bool Wait(TWaitingRun run);
    std::optional<TWaitingRun> Take(const std::string& name);
    const TWaitingRun* Find(const std::string& name) const;
    /// Whether the run waited out its entry's WaitLimit by minute `now`.
    static bool PastLimit(const TWaitingRun& run, const TSchedule& entry, TLocalMinute now);
    /// Drops the waits of entries that are gone or switched off.
    void Prune(const std::vector<const TSchedule*>& entries);

    void Restore(const std::vector<TWaitingRun>& runs);
    std::vector<TWaitingRun> List() const;
    bool Empty() const { return FWaiting.empty(); }

private:
    std::map<std::string, TWaitingRun> FWaiting; // by the entry's name
};

} // namespace vantle
