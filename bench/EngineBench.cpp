// What one minute of the engine costs: a cycle over a large schedule with nothing
// due, the expansion of a typical parameter text, log lines and state files per second.
#include "engine/Scheduler.h"
#include "platform/FileWriter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

using namespace vantle;

namespace {

class TTempFolder {
public:
    TTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantle-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

class TStillClock : public TClock {
public:
    explicit TStillClock(TDateTime now) : FNow(now) {}
    TDateTime Now() const override { return FNow; }

private:
    TDateTime FNow;
};

class TCountingStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string&, const std::string&, const std::string&,
                               int) override {
        ++Starts;
        return SE_START_ACCEPTED;
    }
    int Starts = 0;
};

class TIdleClockSetter : public TClockSetter {
public:
    int SetSystemTime(const TSystemTime&) override { return 0; }
};

// Thursday 15 March 2001, 14:05:09: none of the schedules below is due then.
const TDateTime Moment = EncodeDate(2001, 3, 15) + EncodeTime(14, 5, 9, 0);

void CycleNoneDue(benchmark::State& state) {
    static const char* const Times[][5] = {{"30", "2", "*", "*", "1-5"},
                                           {"0", "3", "*", "*", "*"},
                                           {"15,45", "8-17", "*", "*", "1-5"},
                                           {"0", "0", "1", "*", "*"},
                                           {"5", "14", "15", "3", "0,6"}};
    const int count = static_cast<int>(state.range(0));
    TTempFolder folder;
    TSchedList list;
    list.SetFileName(folder.File("Sched.INI"));
    for (int i = 0; i < count; ++i) {
        auto entry = std::make_unique<TSchedule>();
        const auto& time = Times[i % 5];
        entry->Name = "Entry " + std::to_string(i);
        entry->Minutes = time[0];
        entry->Hours = time[1];
        entry->Days = time[2];
        entry->Months = time[3];
        entry->WeekDays = time[4];
        entry->Command = "/usr/local/bin/job";
        entry->Parms = "--day $D-1 --log $V[HOME]/job.log";
        entry->Active = true;
        list.Add(std::move(entry));
    }
    list.Save();
    // An old stamp, so the change check trusts it instead of rereading the file.
    timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, list.FileName().c_str(), old, 0);
    list.Load();

    TStillClock clock(Moment);
    TCountingStarter starter;
    TIdleClockSetter setter;
    TFormatSettings settings = FixedFormatSettings();
    TSchedulerServices services;
    services.Clock = &clock;
    services.Environment = &ProcessEnvironment();
    services.Starter = &starter;
    services.ClockSetter = &setter;
    services.FormatSettings = &settings;
    services.MakeSession = [] { return std::make_unique<TNoNetSession>(); };
    services.ExecutablePath = folder.File("Sched");
    bool reloaded = false;
    list.SetOnChange([&reloaded](const TListChange& change) {
        reloaded = reloaded || change.Kind == TListChange::Reloaded;
    });
    TScheduler scheduler(list, services);
    scheduler.SetEnabled(true);
    for (auto _ : state)
        scheduler.RunCycle();
    if (starter.Starts != 0 || reloaded)
        state.SkipWithError("an entry ran or the list was reloaded");
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(CycleNoneDue)->Arg(10000)->Unit(benchmark::kMicrosecond);

void ExpandTypicalParameters(benchmark::State& state) {
    TStillClock clock(Moment);
    TFormatSettings settings = FixedFormatSettings();
    TParameterExpander expander(clock, ProcessEnvironment(), settings);
    const std::string text =
        "/backup /from:$D-1M[firstday:yyyy-mm-dd] /to:$D-1M[lastday:yyyy-mm-dd]"
        " /log:$V[HOME]/backup-$N[yyyymmdd-hhnnss].log /q";
    for (auto _ : state)
        benchmark::DoNotOptimize(expander.ExpandParameters(text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ExpandTypicalParameters);

void LogLines(benchmark::State& state) {
    TTempFolder folder;
    TLog log(folder.File("Sched.LOG"));
    for (auto _ : state)
        log.WriteFmt("Executing %s (DOS Command %s)", {"Nightly backup", "/usr/local/bin/backup"});
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LogLines);

// The state file is replaced whole (temporary file, fsync, rename, fsync of the
// folder) once a minute and after each start: what that costs on this disk.
void StateWrites(benchmark::State& state) {
    TTempFolder folder;
    const std::string path = folder.File("Sched.STATE");
    for (auto _ : state)
        ReplaceFileContent(
            path, "2026.12.07 08.05\r\nPass 2026.12.07 08.06\r\nStarted 0 Backup\r\n", 0600);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(StateWrites)->Unit(benchmark::kMicrosecond);

} // namespace
