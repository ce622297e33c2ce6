// Load and save of a 10,000-entry schedule, and one due pass over all its entries.
#include "sched/SchedFile.h"
#include "sched/SchedList.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace vantle;

constexpr int EntryCount = 10000;

std::unique_ptr<TSchedule> MakeEntry(int i) {
    auto entry = std::make_unique<TSchedule>();
    // Texts are built, then moved in: GCC 12 warns falsely (-Wrestrict) at -O3 when a
    // literal is assigned to or concatenated with a std::string here.
    const std::string number = std::to_string(i);
    entry->Name.append("Nightly backup of share ").append(number);
    entry->Minutes = std::to_string(i % 60);
    entry->Hours = std::string(i % 3 == 0 ? "*" : "2,14");
    entry->Days = std::string("*");
    entry->Months = std::string(i % 5 == 0 ? "1-6" : "*");
    entry->WeekDays = std::string("1-5");
    entry->Active = i % 7 != 0;
    entry->CommandType = static_cast<std::uint8_t>(i % 2);
    entry->WinState = static_cast<std::uint8_t>(i % 4);
    entry->Command.append("C:\\BATCH\\BACKUP").append(number).append(".BAT");
    entry->Parms.append("/Q /D:$D-1[yyyymmdd] /LOG:C:\\LOGS\\B").append(number).append(".LOG");
    entry->WorkDir = std::string("C:\\BATCH");
    entry->Comment = {"Weekday nights only.", "Ask the office before changing."};
    return entry;
}

class TBenchDir {
public:
    TBenchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantle-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        FPath = pattern;
    }
    ~TBenchDir() { std::filesystem::remove_all(FPath); }
    std::string File(const char* name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

void FillList(TSchedList& list) {
    for (int i = 0; i < EntryCount; ++i)
        list.Add(MakeEntry(i));
}

void BM_Load(benchmark::State& state) {
    TBenchDir dir;
    TSchedList list;
    list.SetFileName(dir.File("s.ini"));
    FillList(list);
    list.Save();
    auto size = static_cast<std::int64_t>(std::filesystem::file_size(dir.File("s.ini")));
    // Measure the usual case: a file last changed more than the racy window ago.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    for (auto _ : state) {
        list.Load();
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["file_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseOnly(benchmark::State& state) {
    TSchedList list;
    FillList(list);
    std::vector<const TSchedule*> entries;
    for (int i = 0; i < EntryCount; ++i)
        entries.push_back(&list.Items(i));
    std::string content = FormatScheduleFile(entries);
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseScheduleFile(content));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(content.size()));
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
    TBenchDir dir;
    TSchedList list;
    list.SetFileName(dir.File("s.ini"));
    FillList(list);
    list.Save();
    auto size = static_cast<std::int64_t>(std::filesystem::file_size(dir.File("s.ini")));
    for (auto _ : state)
        list.Save(); // temporary file, fsync, rename, folder sync
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FormatOnly(benchmark::State& state) {
    TSchedList list;
    FillList(list);
    std::vector<const TSchedule*> entries;
    for (int i = 0; i < EntryCount; ++i)
        entries.push_back(&list.Items(i));
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::string content = FormatScheduleFile(entries);
        bytes += static_cast<std::int64_t>(content.size());
        benchmark::DoNotOptimize(content);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_FormatOnly)->Unit(benchmark::kMillisecond);

// The run cycle's pass: every entry tested against one moment, as IsDue is called.
void BM_DuePass(benchmark::State& state) {
    std::vector<std::unique_ptr<TSchedule>> entries;
    for (int i = 0; i < EntryCount; ++i)
        entries.push_back(MakeEntry(i));
    TDateTime moment = EncodeDate(2024, 9, 13) + EncodeTime(14, 5, 5, 0);
    for (auto _ : state) {
        int due = 0;
        for (const auto& entry : entries)
            due += IsDue(*entry, moment) ? 1 : 0;
        benchmark::DoNotOptimize(due);
    }
    state.SetItemsProcessed(state.iterations() * EntryCount);
}
BENCHMARK(BM_DuePass)->Unit(benchmark::kMicrosecond);

void BM_DuePassSplitOnce(benchmark::State& state) {
    std::vector<std::unique_ptr<TSchedule>> entries;
    for (int i = 0; i < EntryCount; ++i)
        entries.push_back(MakeEntry(i));
    TDateTime moment = EncodeDate(2024, 9, 13) + EncodeTime(14, 5, 5, 0);
    for (auto _ : state) {
        TDueMoment parts = SplitMoment(moment);
        int due = 0;
        for (const auto& entry : entries)
            due += IsDue(*entry, parts) ? 1 : 0;
        benchmark::DoNotOptimize(due);
    }
    state.SetItemsProcessed(state.iterations() * EntryCount);
}
BENCHMARK(BM_DuePassSplitOnce)->Unit(benchmark::kMicrosecond);

} // namespace
