// Failures a user should hear about at once, not only in the log: a start the shell
// refused, a clock operation without a network, a clock the platform would not set.
#pragma once

#include "engine/Scheduler.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vantle {

/// "Backup could not start: file not found" for the log message "Backup Failed (2)",
/// "Clock could not set the clock: no NetWare connection" for "Builtin Clock failed;
/// no netware connection"; nullopt for any other message.
std::optional<std::string> FailureText(const std::string& logMessage);

class TFailureWatch {
public:
    using TReport = std::function<void(const std::string& text)>;

    TFailureWatch();
    ~TFailureWatch();
    TFailureWatch(const TFailureWatch&) = delete;
    TFailureWatch& operator=(const TFailureWatch&) = delete;

    /// Wraps the log and the clock setter of `services`, which then build the scheduler;
    /// the watch must outlive that scheduler. Everything still reaches the real ones.
    void Attach(TSchedulerServices& services);

    /// Told each failure as it happens; may be set or replaced at any time.
    TReport OnFailure;

private:
    class TWatchedLog;
    class TWatchedClockSetter;
    void Observe(const std::string& message);
    void ClockRefused();

    std::unique_ptr<TClockSetter> FClockSetter;
    std::string FClockEntry; // the built-in operation under way
};

} // namespace vantle
