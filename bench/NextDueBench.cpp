// The run columns' and the upcoming list's searches over 1,000 entries: "Next Run" for
// every entry, and every run of the next 7 days merged in time order (500 rows at most);
// and the catch-up's search for the latest missed minute after 40 days off.
#include "engine/CatchUp.h"
#include "sched/NextDue.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace vantle;

constexpr int EntryCount = 1000;

// A mix as schedules have them: hourly and nightly jobs, weekday and monthly ones, a
// yearly one, and a few that can never be due (proved over the whole calendar cycle).
std::vector<std::unique_ptr<TSchedule>> MakeEntries() {
    std::vector<std::unique_ptr<TSchedule>> entries;
    for (int i = 0; i < EntryCount; ++i) {
        auto entry = std::make_unique<TSchedule>();
        entry->Name = std::string("Job ") + std::to_string(i);
        entry->Minutes = std::to_string(i % 60);
        entry->Hours = std::string(i % 3 == 0 ? "*" : (i % 3 == 1 ? "2" : "9-17"));
        entry->Days = std::string(i % 11 == 0 ? "1" : "*");
        entry->Months = std::string(i % 97 == 0 ? "2" : "*");
        entry->WeekDays = std::string(i % 5 == 0 ? "*" : "1-5");
        if (i % 50 == 0) { // 30 February
            entry->Days = std::string("30");
            entry->Months = std::string("2");
        }
        entry->Active = i % 10 != 9;
        entries.push_back(std::move(entry));
    }
    return entries;
}

const TDateTime From = EncodeDate(2026, 12, 6) + EncodeTime(23, 59, 30, 0);

void NextRun1000(benchmark::State& state) {
    auto entries = MakeEntries();
    for (auto _ : state) {
        int found = 0;
        for (const auto& entry : entries)
            if (entry->Active)
                found += static_cast<int>(TDueFinder(*entry).Next(From, 1).size());
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * EntryCount);
}
BENCHMARK(NextRun1000)->Unit(benchmark::kMillisecond);

void Upcoming1000x7Days(benchmark::State& state) {
    auto owned = MakeEntries();
    std::vector<const TSchedule*> entries;
    for (const auto& entry : owned)
        entries.push_back(entry.get());
    for (auto _ : state) {
        std::vector<TUpcomingRun> runs = UpcomingRuns(entries, From, From + 7, 500);
        benchmark::DoNotOptimize(runs.data());
    }
    state.SetItemsProcessed(state.iterations() * EntryCount);
}
BENCHMARK(Upcoming1000x7Days)->Unit(benchmark::kMillisecond);

// Every entry catches up, the scheduler was off for 40 days: the search looks back 31 of
// them (44,640 minutes) by days, not minutes.
void CatchUp1000After40Days(benchmark::State& state) {
    auto owned = MakeEntries();
    std::vector<const TSchedule*> entries;
    for (const auto& entry : owned) {
        entry->CatchUp = true;
        entries.push_back(entry.get());
    }
    const TLocalMinute latest = LocalMinuteOf(From) - 40 * MinutesPerDay;
    for (auto _ : state) {
        std::vector<TPendingCatchUp> pending = PendingCatchUps(entries, latest, From);
        benchmark::DoNotOptimize(pending.data());
    }
    state.SetItemsProcessed(state.iterations() * EntryCount);
}
BENCHMARK(CatchUp1000After40Days)->Unit(benchmark::kMillisecond);

} // namespace
