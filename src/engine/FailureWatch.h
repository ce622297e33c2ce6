// Failures a user should hear about at once, not only in the log: a start the shell
// refused, a program that ended badly, a clock operation without a network or the right.
// Each failure is told once while the entry keeps failing the same way, and its first
// good run after failures says it works again.
#pragma once

#include "engine/RunConclusion.h"
#include "engine/SchedulerServices.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
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

/// What a scheduler without a window (`vantle-schedctl run`) says on a stream (standard
/// error, the journal under a user unit) about its runs: each failure the window would
/// notify, once per failing streak and in the notification's words, and "NAME works
/// again" after one. A cycle's report lists its failures too (TScheduler::Failures); the
/// ones told here (a start that failed, a clock not set) it leaves out through Told.
class TFailureLines {
public:
    /// Listens to the run events of `services` as TFailureWatch::Attach does.
    TFailureLines(TSchedulerServices& services, std::ostream& out);
    TFailureLines(const TFailureLines&) = delete;
    TFailureLines& operator=(const TFailureLines&) = delete;

    /// True when a failure of `name` in the cycle going on came through here (whether
    /// or not its line was printed), counting it off; the cycle's report then skips it.
    bool Told(const std::string& name);
    /// The cycle's report is done: what was not counted off is forgotten.
    void CycleReported() { FToldInCycle.clear(); }

private:
    std::ostream& FOut;
    TFailureWatch FWatch;
    std::map<std::string, int> FToldInCycle;
};

} // namespace vantle
