// How the cost grows with the schedule: load and save of 1,000 to 100,000 entries, a
// due pass over as many, and `vantle-schedctl next` over a 1,000-entry file. Each
// growth series reports its fitted complexity, which should be linear (O(N)).
#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "sched/SchedFile.h"
#include "sched/SchedList.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace vantle;

namespace {

// A mix of the patterns people write: every quarter hour, nightly, weekdays, monthly,
// ranges, a leap day, and some inactive entries.
std::unique_ptr<TSchedule> TypicalEntry(int i) {
    static const char* const Minutes[] = {"0,15,30,45", "30", "*", "5", "0-59", "10,40"};
    static const char* const Hours[] = {"2", "*", "9-17", "0,12", "23", "6,18"};
    static const char* const Days[] = {"*", "*", "1", "15", "29", "1-7"};
    static const char* const Months[] = {"*", "*", "*", "1-12", "2", "3,6,9,12"};
    static const char* const WeekDays[] = {"1-5", "*", "0,6", "*", "1", "*"};
    auto entry = std::make_unique<TSchedule>();
    entry->Name = "Job " + std::to_string(i) + " of the nightly batch";
    entry->Minutes = Minutes[i % 6];
    entry->Hours = Hours[(i / 6) % 6];
    entry->Days = Days[(i / 36) % 6];
    entry->Months = Months[(i / 216) % 6];
    entry->WeekDays = WeekDays[(i / 7) % 6];
    entry->Command = "/opt/batch/bin/job" + std::to_string(i % 50);
    entry->Parms = "--day $D-1[yyyy-mm-dd] --out /var/spool/batch/" + std::to_string(i);
    entry->WorkDir = "/var/spool/batch";
    entry->CommandType = static_cast<std::uint8_t>(i % 3 == 0 ? 0 : 1);
    entry->WinState = static_cast<std::uint8_t>(i % 4);
    entry->Active = i % 10 != 0;
    if (i % 5 == 0)
        entry->Comment = {"Owner: operations", "Ask before changing."};
    return entry;
}

class TBenchFolder {
public:
    TBenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantle-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        FPath = pattern;
    }
    ~TBenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

const TBenchFolder& Folder() {
    static TBenchFolder folder;
    return folder;
}

// The schedule file of `count` typical entries, written once per size.
const std::string& FileOf(int count) {
    static std::map<int, std::string> files;
    auto found = files.find(count);
    if (found != files.end())
        return found->second;
    std::vector<std::unique_ptr<TSchedule>> entries;
    std::vector<const TSchedule*> view;
    for (int i = 0; i < count; ++i) {
        entries.push_back(TypicalEntry(i));
        view.push_back(entries.back().get());
    }
    std::string path = Folder().File("sched-" + std::to_string(count) + ".INI");
    std::ofstream(path, std::ios::binary) << FormatScheduleFile(view);
    return files.emplace(count, path).first->second;
}

std::int64_t SizeOf(const std::string& path) {
    return static_cast<std::int64_t>(std::filesystem::file_size(path));
}

void LoadEntries(benchmark::State& state) {
    const std::string& file = FileOf(static_cast<int>(state.range(0)));
    TSchedList list;
    list.SetFileName(file);
    for (auto _ : state) {
        list.Load();
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetBytesProcessed(state.iterations() * SizeOf(file));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(LoadEntries)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

// Save includes what makes it safe: a temporary file, fsync, rename and a folder sync.
void SaveEntries(benchmark::State& state) {
    TSchedList list;
    list.SetFileName(FileOf(static_cast<int>(state.range(0))));
    list.Load();
    list.SetFileName(Folder().File("save-" + std::to_string(state.range(0)) + ".INI"));
    for (auto _ : state)
        list.Save();
    state.SetBytesProcessed(state.iterations() * SizeOf(list.FileName()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(SaveEntries)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

// The run cycle's due test over every entry at one moment, under the list's lock.
void DuePassEntries(benchmark::State& state) {
    TSchedList list;
    list.SetFileName(FileOf(static_cast<int>(state.range(0))));
    list.Load();
    // Split once per pass, as the run cycle does.
    TDueMoment moment = SplitMoment(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0));
    for (auto _ : state) {
        TSchedListLock lock(list); // held for the pass, as the run cycle holds it
        int due = 0;
        std::int32_t count = list.Count();
        for (std::int32_t i = 0; i < count; ++i)
            due += IsDue(list.Items(i), moment) ? 1 : 0;
        benchmark::DoNotOptimize(due);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(DuePassEntries)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

// The whole command as a user runs it, minus the process start: read, parse, and the
// next five moments of every active entry.
void SchedCtlNext(benchmark::State& state) {
    const std::string& file = FileOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::ostringstream out, err;
        int code = cli::CmdNext({"--from", "2026-12-07 02:30", file}, out, err);
        if (code != 0)
            state.SkipWithError(("next failed: " + err.str()).c_str());
        benchmark::DoNotOptimize(out.str().size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(SchedCtlNext)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
