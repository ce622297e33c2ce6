// What the scheduler reaches outside itself, and the real pieces of this machine.
#pragma once

#include "engine/Log.h"
#include "engine/RunConclusion.h"
#include "engine/RunRecorder.h"
#include "engine/RunView.h"
#include "netware/NetSession.h"
#include "platform/Clock.h"
#include "platform/ClockSetter.h"
#include "platform/Environment.h"
#include "platform/FormatSettings.h"
#include "platform/ProcessSignals.h"
#include "platform/ProgramStarter.h"
#include "platform/RunConditions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantle {

/// Everything the scheduler reaches outside itself; tests replace any piece, and a
/// piece left empty is the real one of SystemSchedulerServices() (so a test that
/// must not start programs or set the clock supplies its own starter and setter).
/// The pointers must outlive the scheduler.
struct TSchedulerServices {
    const TClock* Clock = nullptr;
    const TEnvironment* Environment = nullptr;
    TProgramStarter* Starter = nullptr;
    TClockSetter* ClockSetter = nullptr;
    TProcessSignals* Signals = nullptr;
    const TFormatSettings* FormatSettings = nullptr;
    /// Mains power and the network, for entries whose runs wait for them.
    const TRunConditions* Conditions = nullptr;
    /// Creates the network session once, at the scheduler's creation.
    std::function<std::unique_ptr<TNetSession>()> MakeSession;
    /// Creates the log for a path; by default a TLog on the file.
    std::function<std::unique_ptr<TLog>(const std::string& path)> MakeLog;
    /// The log is named after it: extension replaced by ".LOG".
    std::string ExecutablePath;
    /// Keeps the latest tested minute in a file beside the log, named after the schedule
    /// (".STATE"), so a restart within a minute already run does not run it again. Off
    /// for what-if runs.
    bool KeepState = true;
    /// The log's size limit in bytes (0: none); see TLog::WriteLine.
    std::uint64_t MaxLogSize = DefaultMaxLogSize;
    /// Told after each operation's outcome and each started program's end; may be empty.
    std::function<void(const TRunEvent&)> OnRunEvent;
    /// The log's path when it lives elsewhere (see LocateFiles); empty: named after
    /// ExecutablePath.
    std::string LogFile;
    /// Where every run is recorded with its output; none: runs are only logged.
    TRunRecorder* Recorder = nullptr;
    /// The records as the views read them; none: what ran before is read from the log.
    TRunView* RunView = nullptr;
    /// A running program's output is kept up to OutputCap bytes, and once the run is over
    /// only its last OutputKeep bytes; the store keeps the newest KeptRuns runs within
    /// KeptBytes.
    std::uint64_t OutputCap = std::uint64_t{64} << 20;
    std::uint64_t OutputKeep = DefaultOutputKeep;
    std::size_t KeptRuns = DefaultKeptRuns;
    std::uint64_t KeptBytes = DefaultKeptBytes;
    /// A play of moments (a dry run) starts nothing, so nothing ends: when set, each played
    /// start counts as running for as many milliseconds as this says for its entry's name
    /// (at most its time limit), and entries that skip overlaps skip it as they would a
    /// real one.
    std::function<std::int64_t(const std::string& name)> PlayedRunMs;
    /// A play fails the played runs of the entries this names, so that a play of retries
    /// is repeatable; empty: every played run goes well.
    std::function<bool(const std::string& name)> PlayedRunFails;
    /// The failure and recovery commands of an entry that gives none of its own; empty:
    /// none. Set by the window's settings and by `run --on-failure`/`--on-recovery`.
    std::string DefaultOnFailure, DefaultOnRecovery;
    /// Entries with AtStart run once after each switch-on; off for `run --once` and plays.
    bool StartUpRuns = true;
    /// Told after each switch on or off; may be empty.
    std::function<void(bool on)> OnSwitch;
};

/// The real services of this machine: system clock, process environment, POSIX
/// starter, signals and clock setter, the user's regional settings, the NetWare session.
TSchedulerServices SystemSchedulerServices();
/// `services` with every piece left out the real one of this machine.
TSchedulerServices WithSystemDefaults(TSchedulerServices services);

} // namespace vantle
