// The desktop program's grid with 10,000 entries, offscreen: filling it from the list,
// one header-click sort, and the refresh of its run columns after a cycle.
#include "UiBenchServices.h"
#include "sched/SchedFile.h"
#include "ui/SchedMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

using namespace vantle;

namespace {

// Names in a scrambled order, so a sort has work to do.
std::string ScheduleText(int count) {
    std::vector<std::unique_ptr<TSchedule>> entries;
    std::vector<const TSchedule*> view;
    for (int i = 0; i < count; ++i) {
        auto entry = std::make_unique<TSchedule>();
        entry->Name = "Job " + std::to_string((i * 7919) % count);
        entry->Minutes = std::to_string(i % 60);
        entry->Hours = i % 2 == 0 ? "*" : "9-17";
        // GCC 12 at -O3 warns falsely (-Wrestrict) on this one-character assignment.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
        entry->Days = entry->Months = "*";
#pragma GCC diagnostic pop
        entry->WeekDays = "1-5";
        entry->Command = "/opt/batch/job";
        entry->Active = i % 10 != 0;
        entries.push_back(std::move(entry));
        view.push_back(entries.back().get());
    }
    return FormatScheduleFile(view);
}

// One window for every benchmark: the application object lives for the whole run.
TfmSchedMain& Window(int entries) {
    static std::unique_ptr<TfmSchedMain> window;
    if (!window) {
        const std::filesystem::path folder = bench::StartOffscreen("UiGridBench");
        std::ofstream(folder / "vantle-scheduler.INI", std::ios::binary) << ScheduleText(entries);
        window = std::make_unique<TfmSchedMain>(0, bench::IdleWindowServices(folder));
        window->show();
        QApplication::processEvents();
        std::atexit([] {
            window.reset();
            bench::EndOffscreen();
        });
    }
    return *window;
}

void GridFill(benchmark::State& state) {
    TfmSchedMain& window = Window(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        window.FillGrid();
        QApplication::processEvents(); // the repaint it asked for
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(GridFill)->Arg(10000)->Unit(benchmark::kMillisecond);

// A click on the name column: ascending and descending in turn.
void GridSort(benchmark::State& state) {
    TfmSchedMain& window = Window(static_cast<int>(state.range(0)));
    window.FillGrid();
    for (auto _ : state) {
        window.Grid().SortBy(0);
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(GridSort)->Arg(10000)->Unit(benchmark::kMillisecond);

// After each cycle: Next Run, Last Run and Result of every row.
void GridRunColumns(benchmark::State& state) {
    TfmSchedMain& window = Window(static_cast<int>(state.range(0)));
    window.FillGrid();
    for (auto _ : state) {
        window.UpdateRunColumns();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(GridRunColumns)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
