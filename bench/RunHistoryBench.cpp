// Start-up's read-back of the run columns: the events of a log's last 4 MB.
#include "engine/RunHistory.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace vantle;

// A log of 8 MB, of which the last 4 are read: starts, failures, ends and other lines.
std::string WriteLog() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantle-historybench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    static std::string folder = pattern;
    std::atexit([] { std::filesystem::remove_all(folder); });
    std::string path = pattern + "/s.LOG";
    std::ofstream out(path, std::ios::binary);
    std::size_t written = 0;
    for (int i = 0; written < (8u << 20); ++i) {
        std::string name = "Job " + std::to_string(i % 1000);
        std::string lines = "2026.12.06 02.30.00:Executing " + name +
                            " (Command /opt/batch/job)\r\n2026.12.06 02.30.07:" + name +
                            (i % 7 == 0 ? " Failed (2)\r\n" : " ended with code 0 after 7 s\r\n") +
                            "2026.12.06 02.31.00:INI file changed, new schedule loaded\r\n";
        out << lines;
        written += lines.size();
    }
    return path;
}

void ReadLogTail4MB(benchmark::State& state) {
    static const std::string path = WriteLog();
    for (auto _ : state) {
        TRunHistory history;
        history.ReadLog(path);
        if (history.Find("Job 1") == nullptr)
            state.SkipWithError("the log's events were not read");
    }
}
BENCHMARK(ReadLogTail4MB)->Unit(benchmark::kMillisecond);

} // namespace
