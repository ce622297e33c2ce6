// Failures a user should hear about at once, not only in the log: a start the shell
// refused, a clock operation without a network, a clock the platform would not set.
#pragma once

#include "engine/Scheduler.h"

#include <functional>
#include <optional>
#include <string>

namespace vantle {

/// "Backup could not start: file not found", "Clock could not set the clock: no
/// NetWare connection", "Clock could not set the clock: access denied"; nullopt for an
/// outcome that is no failure. Valid UTF-8 without control characters: the name as
/// VisibleText shows it on a terminal.
std::optional<std::string> FailureText(const TRunEvent& event);

class TFailureWatch {
public:
    using TReport = std::function<void(const std::string& text)>;

    /// Listens to the run events of `services`, which then build the scheduler, after
    /// whoever listened before; the watch must outlive that scheduler.
    void Attach(TSchedulerServices& services);

    /// Told each failure as it happens; may be set or replaced at any time.
    TReport OnFailure;
};

} // namespace vantle
