// The run records: what a run costs the scheduler, and what the Run History view waits for.
#include "engine/RunStore.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace vantle;

// A folder of its own under the temporary folder, removed at exit.
std::string BenchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantle-runstorebench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    static std::vector<std::string> folders;
    if (folders.empty())
        std::atexit([] {
            for (const std::string& folder : folders)
                std::filesystem::remove_all(folder);
        });
    folders.push_back(pattern);
    return pattern + "/vantle-scheduler";
}

TStoredRun BenchRun(int i) {
    TStoredRun run;
    run.Name = "Job " + std::to_string(i % 50);
    run.Command = "/opt/batch/job";
    run.Parameters = "--day %d";
    run.Started = EncodeDate(2026, 3, 1) + i / 1440.0;
    return run;
}

void BeginAndFinishOneRun(benchmark::State& state) {
    const std::string folder = BenchFolder();
    TRunStore store(folder, folder + "/s.INI", TRunStoreMode::Writer);
    int i = 0;
    for (auto _ : state) {
        TStoredRun run = BenchRun(i++);
        std::int64_t id = store.Begin(run);
        store.Finish(id, run.Started + 1.0 / 86400, 1000, "Exited 0", false, 0, false);
    }
}
BENCHMARK(BeginAndFinishOneRun)->Unit(benchmark::kMicrosecond);

void NewestThousandOfTenThousand(benchmark::State& state) {
    const std::string folder = BenchFolder();
    TRunStore store(folder, folder + "/s.INI", TRunStoreMode::Writer);
    for (int i = 0; i < 10000; ++i) {
        TStoredRun run = BenchRun(i);
        std::int64_t id = store.Begin(run);
        store.Finish(id, run.Started + 1.0 / 86400, 1000, i % 9 == 0 ? "Exited 1" : "Exited 0",
                     i % 9 == 0, 0, false);
    }
    TRunStore reader(folder, folder + "/s.INI", TRunStoreMode::Reader);
    for (auto _ : state) {
        std::vector<TStoredRun> runs = reader.Runs({.Count = 1000});
        if (runs.size() != 1000)
            state.SkipWithError("not the newest 1,000 runs");
        benchmark::DoNotOptimize(runs);
    }
}
BENCHMARK(NewestThousandOfTenThousand)->Unit(benchmark::kMillisecond);

} // namespace
