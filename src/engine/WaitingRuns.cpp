#include "engine/WaitingRuns.h"

#include <set>

namespace vantle {

std::optional<std::string> TCycleConditions::Unmet(const TSchedule& entry) {
    if (entry.OnlyOnACPower) {
        if (!FOnMains)
            FOnMains = FConditions.OnMains();
        if (!*FOnMains)
            return "on battery";
    }
    if (entry.OnlyWithNetwork) {
        if (!FNetwork)
            FNetwork = FConditions.HasNetwork();
        if (!*FNetwork)
            return "no network";
    }
    return std::nullopt;
}

bool TWaitingRuns::Wait(TWaitingRun run) {
    auto [at, first] = FWaiting.try_emplace(run.Name, run);
    const bool news = first || at->second.Reason != run.Reason;
    at->second = std::move(run);
    return news;
}

std::optional<TWaitingRun> TWaitingRuns::Take(const std::string& name) {
    auto found = FWaiting.find(name);
    if (found == FWaiting.end())
        return std::nullopt;
    TWaitingRun run = std::move(found->second);
    FWaiting.erase(found);
    return run;
}

const TWaitingRun* TWaitingRuns::Find(const std::string& name) const {
    auto found = FWaiting.find(name);
    return found == FWaiting.end() ? nullptr : &found->second;
}

bool TWaitingRuns::PastLimit(const TWaitingRun& run, const TSchedule& entry, TLocalMinute now) {
    return entry.WaitLimit > 0 && now - run.Since >= entry.WaitLimit;
}

void TWaitingRuns::Prune(const std::vector<const TSchedule*>& entries) {
    // The entry may change while its run waits (its conditions switched off to let it
    // go): only a gone or inactive entry drops the wait.
    std::set<std::string> active;
    for (const TSchedule* entry : entries)
        if (entry->Active)
            active.insert(entry->Name);
    std::erase_if(FWaiting, [&](const auto& item) { return !active.contains(item.first); });
}

void TWaitingRuns::Restore(const std::vector<TWaitingRun>& runs) {
    FWaiting.clear();
    for (const TWaitingRun& run : runs)
        FWaiting[run.Name] = run;
}

std::vector<TWaitingRun> TWaitingRuns::List() const {
    std::vector<TWaitingRun> runs;
    for (const auto& [name, run] : FWaiting)
        runs.push_back(run);
    return runs;
}

} // namespace vantle
