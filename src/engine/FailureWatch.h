// Failures a user should hear about at once, not only in the log: a start the shell
// refused, a program that ended badly, a clock operation without a network or the right.
// Each failure is told once while the entry keeps failing the same way, and its first
// good run after failures says it works again.
#pragma once

#include "engine/Scheduler.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace vantle {

/// "Backup could not start: file not found (2)", "Backup ended with code 3", "Clock could
/// not set the clock: no NetWare connection"; nullopt for an outcome that is no failure.
/// Valid UTF-8 without control characters: the name as VisibleText shows it on a terminal.
std::optional<std::string> FailureText(const TRunEvent& event);

/// Something worth a notification.
struct TNotice {
    enum TKind {
        Failure,   // a run failed
        Recovered, // "NAME works again": the first good run after failures
        Ran,       // a run ended well, or a program started
        Records    // the run records fail, work again, or their disk is full
    };
    TKind Kind = Failure;
    std::string Name; // as the schedule holds it
    std::string Text; // one line, as FailureText
    /// A failure the same as the entry's one before it: told already.
    bool Repeated = false;
    std::int64_t Record = 0; // the run it tells of, 0 when not recorded
};

class TFailureWatch {
public:
    using TReport = std::function<void(const TNotice& notice)>;

    /// Listens to the run events of `services`, which then build the scheduler, after
    /// whoever listened before; the watch must outlive that scheduler.
    void Attach(TSchedulerServices& services);
    /// Learns from one run event and tells what it means.
    void See(const TRunEvent& event);
    /// How many entries failed at their latest run.
    std::size_t FailingCount() const { return FFailing.size(); }

    /// Told every notice as it happens; may be set or replaced at any time.
    TReport OnNotice;

private:
    std::map<std::string, std::string> FFailing; // name -> how its latest run failed
};

} // namespace vantle
