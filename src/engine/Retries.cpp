#include "engine/Retries.h"

#include "sched/NextDue.h"

namespace vantle {

namespace {

// FNV-1a: stable across builds and runs, as the state file keeps it.
void Mix(std::uint64_t& hash, std::string_view text) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    hash ^= 0xff; // a separator no text holds, so "ab"+"c" differs from "a"+"bc"
    hash *= 1099511628211ull;
}

} // namespace

bool RetryApplies(const TPendingRetry& retry, const TSchedule& entry) {
    return entry.Active && entry.Name == retry.Name &&
           EntryFingerprint(entry) == retry.Attempt.Entry;
}

std::uint64_t EntryFingerprint(const TSchedule& entry) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::string* text : {&entry.Minutes, &entry.Hours, &entry.Days, &entry.Months,
                                    &entry.WeekDays, &entry.Command, &entry.Parms, &entry.WorkDir})
        Mix(hash, *text);
    Mix(hash, std::to_string(entry.CommandType));
    // Only when set: a retry a state file keeps for an entry without one still applies.
    for (const std::string& pair : entry.Environment)
        Mix(hash, pair);
    return hash;
}

TAttempt FirstAttempt(const TSchedule& entry, TRunTrigger trigger) {
    TAttempt attempt;
    attempt.Of = trigger == TRunTrigger::ExecuteNow ? 1 : 1 + entry.Retries;
    attempt.DelayMinutes = entry.RetryDelay;
    attempt.Entry = EntryFingerprint(entry);
    return attempt;
}

std::optional<TPendingRetry> TRetries::Failed(const std::string& name, const TAttempt& failed,
                                              TRunTrigger trigger, TLocalMinute at) {
    if (failed.Last()) {
        FPending.erase(name);
        return std::nullopt;
    }
    TPendingRetry retry{.Name = name,
                        .Attempt = failed,
                        .Due = at + std::max(1, failed.DelayMinutes),
                        .Failed = at,
                        .Trigger = trigger};
    ++retry.Attempt.Number;
    FPending[name] = retry;
    return retry;
}

std::optional<TPendingRetry> TRetries::TakeDue(const TSchedule& entry, TLocalMinute now) {
    auto found = FPending.find(entry.Name);
    if (found == FPending.end())
        return std::nullopt;
    const TPendingRetry& retry = found->second;
    if (!RetryApplies(retry, entry) ||
        (retry.Failed < now && TDueFinder(entry).LatestMinute(retry.Failed + 1, now))) {
        FPending.erase(found);
        return std::nullopt;
    }
    if (retry.Due > now)
        return std::nullopt;
    TPendingRetry taken = retry;
    FPending.erase(found);
    return taken;
}

void TRetries::Prune(const std::vector<const TSchedule*>& entries) {
    std::erase_if(FPending, [&](const auto& pending) {
        for (const TSchedule* entry : entries)
            if (RetryApplies(pending.second, *entry))
                return false;
        return true;
    });
}

void TRetries::Restore(const std::vector<TPendingRetry>& pending) {
    FPending.clear();
    for (const TPendingRetry& retry : pending)
        FPending[retry.Name] = retry;
}

std::vector<TPendingRetry> TRetries::List() const {
    std::vector<TPendingRetry> list;
    for (const auto& [name, retry] : FPending)
        list.push_back(retry);
    return list;
}

} // namespace vantle
