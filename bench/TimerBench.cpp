// How late the wall-clock timer wakes: 300 absolute moments 100 ms apart, each armed
// after the previous one fired, as the scheduler arms its ticks.
#include "platform/Clock.h"
#include "platform/WallTimer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <poll.h>
#include <vector>

using namespace vantle;

namespace {

std::timespec Plus(std::timespec at, long ms) {
    long ns = at.tv_nsec + ms * 1000000L;
    at.tv_sec += ns / 1000000000L;
    at.tv_nsec = ns % 1000000000L;
    return at;
}

void WallTimerLateness(benchmark::State& state) {
    const int moments = 300;
    std::vector<double> lateMs;
    for (auto _ : state) {
        TWallTimer timer;
        lateMs.clear();
        std::timespec at = Plus(SystemClock().UtcNow(), 100);
        at.tv_nsec = at.tv_nsec / 1000000 * 1000000; // on a whole millisecond, as :05.000 is
        for (int i = 0; i < moments; ++i, at = Plus(at, 100)) {
            timer.ArmAt(at);
            pollfd wait{timer.Fd(), POLLIN, 0};
            while (poll(&wait, 1, -1) < 0) {
            }
            std::timespec woke = SystemClock().UtcNow();
            timer.Read();
            lateMs.push_back(((woke.tv_sec - at.tv_sec) * 1e9 + (woke.tv_nsec - at.tv_nsec)) / 1e6);
        }
    }
    std::sort(lateMs.begin(), lateMs.end());
    state.counters["min_ms"] = lateMs.front();
    state.counters["median_ms"] = lateMs[lateMs.size() / 2];
    state.counters["p99_ms"] = lateMs[lateMs.size() * 99 / 100];
    state.counters["max_ms"] = lateMs.back();
}
BENCHMARK(WallTimerLateness)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
