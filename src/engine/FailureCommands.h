// The commands an entry runs when its failure is told and when it works again: mail, a
// push message, a monitor's ping. Each is started like any program, with the run's
// details in its environment and the end of its output on standard input, kept to ten
// minutes, and logged with what it printed; it is never a run of the entry.
#pragma once

#include "engine/FailureWatch.h"
#include "engine/Log.h"
#include "engine/Parameters.h"
#include "engine/RunOutputs.h"
#include "engine/RunningPrograms.h"
#include "platform/FileWriter.h"
#include "platform/ProgramStarter.h"
#include "sched/Schedule.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace vantle {

/// A failure or recovery command may run this long.
constexpr std::int32_t FailureCommandLimit = 10; // minutes
/// The most of the run's output a command gets on its standard input.
constexpr std::size_t FailureCommandInput = 64 * 1024;

struct TFailureCommandSetup {
    TLog* Log = nullptr;
    TProgramStarter* Starter = nullptr;
    const TParameterExpander* Expander = nullptr;
    TRunningPrograms* Programs = nullptr;
    /// The runs' outputs, for the command's input; null: it reads nothing.
    const TRunOutputs* Outputs = nullptr;
    std::string ScheduleFile;
    std::string DefaultOnFailure, DefaultOnRecovery;
    /// The entry of that name now, or null.
    std::function<const TSchedule*(const std::string& name)> EntryOf;
    /// Tells a failing command once, as the failures of runs are told.
    std::function<void(const std::string& text)> Tell;
};

class TFailureCommands {
public:
    explicit TFailureCommands(TFailureCommandSetup setup);
    TFailureCommands(const TFailureCommands&) = delete;
    TFailureCommands& operator=(const TFailureCommands&) = delete;

    /// Learns from a run event as the notifications do; a failure they tell (or "works
    /// again") starts the entry's command.
    void See(const TRunEvent& event);
    /// A command started here has ended: its end and output are logged. False for a
    /// program that is not one of them.
    bool Ended(int pid, const TRunningProgram& program, bool signalled, int code);

private:
    void Run(const TRunEvent& event, bool failure);

    struct TCommandRun {
        std::string Name; // the entry's
        bool Failure = true;
        TOwnFd Output;
    };
    TFailureCommandSetup FSetup;
    TFailureWatch FWatch;
    const TRunEvent* FSeeing = nullptr;
    std::map<int, TCommandRun> FRunning; // by pid
    std::set<std::string> FFailingTold;  // "failure NAME", "recovery NAME"
};

} // namespace vantle
