// The run history window over 1,000 recorded runs, offscreen: opening it (construct, show,
// first fill), a refresh after a run event, and a search through every run's output.
#include "UiBenchServices.h"
#include "engine/RunStore.h"
#include "platform/FormatSettings.h"
#include "ui/RunHistoryWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

using namespace vantle;

namespace {

constexpr int RunCount = 1000;
const TFormatSettings Settings = FixedFormatSettings();

// One store for every benchmark: the application object lives for the whole run.
TRunStore& Store() {
    static std::unique_ptr<TRunStore> store;
    if (!store) {
        const std::filesystem::path folder = bench::StartOffscreen("UiRunHistoryBench");
        store = std::make_unique<TRunStore>((folder / "state").string(),
                                            (folder / "s.INI").string(), TRunStoreMode::Writer);
        const TDateTime first = EncodeDate(2026, 3, 1);
        std::string output;
        for (int line = 0; line < 200; ++line)
            output += "copied file " + std::to_string(line) + " of 200\n"; // about 5 KB
        for (int i = 0; i < RunCount; ++i) {
            TStoredRun run;
            run.Name = "Job " + std::to_string(i % 40);
            run.Started = IncMinutes(first, i);
            const std::int64_t id = store->Begin(run);
            TOwnFd out = store->CreateOutput(id);
            if (write(out.Get(), output.data(), output.size()) != ssize_t(output.size()))
                std::abort();
            const bool failure = i % 9 == 0;
            store->Finish(id, IncSeconds(run.Started, 3), 3000, failure ? "Exited 1" : "Exited 0",
                          failure, output.size(), false);
        }
        std::atexit([] {
            store.reset();
            bench::EndOffscreen();
        });
    }
    return *store;
}

void HistoryOpen(benchmark::State& state) {
    TRunStore& store = Store();
    for (auto _ : state) {
        TfmRunHistory window(store, Settings);
        window.show();
        QApplication::processEvents(); // its first paint
    }
    state.SetItemsProcessed(state.iterations() * RunCount);
}
BENCHMARK(HistoryOpen)->Unit(benchmark::kMillisecond);

// After a run event that changed nothing shown.
void HistoryRefresh(benchmark::State& state) {
    TfmRunHistory window(Store(), Settings);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.Refresh();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * RunCount);
}
BENCHMARK(HistoryRefresh)->Unit(benchmark::kMillisecond);

// A text no run holds: every output file is read once per new text.
void HistorySearch(benchmark::State& state) {
    TfmRunHistory window(Store(), Settings);
    window.show();
    QApplication::processEvents();
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("edSearch"));
    int round = 0;
    for (auto _ : state) {
        search->setText(QStringLiteral("nowhere %1").arg(++round));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(search, &enter);
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * RunCount);
}
BENCHMARK(HistorySearch)->Unit(benchmark::kMillisecond);

} // namespace
