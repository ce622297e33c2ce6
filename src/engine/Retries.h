// Failed runs tried again: each due run has a budget of tries, and a retry waits its
// minutes, gives way to the entry's next due run and goes when the entry changes.
#pragma once

#include "engine/CycleMemory.h"
#include "engine/RunStore.h"
#include "sched/Schedule.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// Where a run stands in its due run's chain of tries.
struct TAttempt {
    std::int32_t Number = 1;                       // 1: the due run itself
    std::int32_t Of = 1;                           // the entry's Retries + 1
    std::int32_t DelayMinutes = DefaultRetryDelay; // between a failure and the next try
    std::uint64_t Entry = 0;                       // EntryFingerprint of what ran
    bool Last() const { return Number >= Of; }
    bool operator==(const TAttempt&) const = default;
};

/// What a retry depends on: the time fields, the operation, its command, parameters,
/// working folder and environment. A change of any of them drops a pending retry.
std::uint64_t EntryFingerprint(const TSchedule& entry);
/// The first try of a run: a user's Execute Now is never tried again.
TAttempt FirstAttempt(const TSchedule& entry, TRunTrigger trigger);

struct TPendingRetry {
    std::string Name;
    TAttempt Attempt;                            // the try it starts
    TLocalMinute Due = 0;                        // the minute whose cycle starts it
    TLocalMinute Failed = 0;                     // the minute the try before it failed
    TRunTrigger Trigger = TRunTrigger::Schedule; // of the due run it belongs to
    bool operator==(const TPendingRetry&) const = default;
};

/// Whether the retry still stands for `entry`: the same entry, on, and unchanged.
bool RetryApplies(const TPendingRetry& retry, const TSchedule& entry);

class TRetries {
public:
    /// The try `failed` of `name` failed at minute `at`: the next one is pending, unless
    /// that was the last. The pending retry, or nullopt.
    std::optional<TPendingRetry> Failed(const std::string& name, const TAttempt& failed,
                                        TRunTrigger trigger, TLocalMinute at);
    /// A new due run of the entry (or its end) replaces what was pending.
    void Drop(const std::string& name) { FPending.erase(name); }
    /// The retry of `entry` that the cycle of minute `now` starts, taken. One that no
    /// longer applies (the entry changed, or one of its due minutes passed since the
    /// failure) is dropped.
    std::optional<TPendingRetry> TakeDue(const TSchedule& entry, TLocalMinute now);
    /// Drops the retries of entries that are gone, switched off or changed.
    void Prune(const std::vector<const TSchedule*>& entries);

    const std::map<std::string, TPendingRetry>& Pending() const { return FPending; }
    void Restore(const std::vector<TPendingRetry>& pending);
    std::vector<TPendingRetry> List() const;

private:
    std::map<std::string, TPendingRetry> FPending; // by the entry's name
};

} // namespace vantle
