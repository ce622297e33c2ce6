#include "engine/RunTexts.h"

#include <algorithm>
#include <cstdio>

namespace vantle {

std::string ShownResult(const TStoredRun& run) {
    return run.Result.empty() ? "Running" : run.Result;
}

std::string ShownDuration(const TStoredRun& run) {
    if (run.Result.empty())
        return "running";
    if (!run.Ended)
        return {};
    const std::int64_t ms = std::max<std::int64_t>(run.DurationMs, 0);
    char text[48];
    if (ms < 59'950) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
        return text;
    }
    const long long seconds = (ms + 500) / 1000;
    if (seconds < 3600)
        std::snprintf(text, sizeof text, "%lld min %lld s", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld h %lld min", seconds / 3600, seconds % 3600 / 60);
    return text;
}

std::string ShownTrigger(const TStoredRun& run) {
    std::string text = TriggerText(run.Trigger);
    if (run.Attempts > 1)
        text += ", attempt " + std::to_string(run.Attempt) + " of " + std::to_string(run.Attempts);
    return text;
}

std::string CleanExitText(std::int64_t seconds) {
    return "Exited 0 after " + std::to_string(seconds) + " s";
}

} // namespace vantle
