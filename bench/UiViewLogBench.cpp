// View > Log File on a 200 MB log, offscreen: the time from the command to the painted
// viewer, the peak memory it takes above what the program held, and what it keeps
// after the viewer has closed.
#include "UiBenchServices.h"
#include "ui/SchedMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace vantle;

namespace {

// Kilobytes from /proc/self/status: "VmRSS" now, "VmHWM" the peak since the last reset.
double StatusMegabytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == key) {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024;
        }
    return 0;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from now
}

// The log viewer, a window of its own once opened.
QDialog* Viewer() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("fmViewLog"))
            return qobject_cast<QDialog*>(window);
    std::abort();
}

void ViewLargeLog(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "UiViewLogBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantle-logbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    const std::filesystem::path folder = pattern;
    {
        // A year and more of every-minute entries: 200 MB of typical lines.
        std::ofstream log(folder / "vantle-scheduler.LOG", std::ios::binary);
        std::string block;
        for (int i = 0; i < 10000; ++i)
            block += "2026.12.07 02.30.05:Executing Nightly backup " + std::to_string(i) +
                     " (Command /usr/local/bin/backup)\r\n";
        const std::uint64_t size = std::uint64_t(state.range(0)) * 1024 * 1024;
        for (std::uint64_t written = 0; written < size; written += block.size())
            log << block;
    }
    TSchedMainServices services = bench::IdleWindowServices(folder);
    {
        TfmSchedMain window(0, services);
        window.show();
        QApplication::processEvents();
        double peak = 0, kept = 0;
        for (auto _ : state) {
            const double before = StatusMegabytes("VmRSS:");
            ResetPeak();
            auto start = std::chrono::steady_clock::now();
            // The viewer is shown and painted, then closed, as a user glancing at it would.
            window.LogFile1Click();
            QApplication::processEvents();
            Viewer()->accept();
            state.SetIterationTime(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            peak = std::max(peak, StatusMegabytes("VmHWM:") - before);
            kept = std::max(kept, StatusMegabytes("VmRSS:") - before);
        }
        state.counters["peak_MB"] = peak;
        state.counters["kept_MB"] = kept;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
BENCHMARK(ViewLargeLog)->Arg(200)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
