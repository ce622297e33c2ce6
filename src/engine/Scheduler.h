// The run engine: once a minute, check the file, test every entry, run the due ones.
#pragma once

#include "engine/Log.h"
#include "engine/Parameters.h"
#include "netware/NetSession.h"
#include "platform/Clock.h"
#include "platform/ClockSetter.h"
#include "platform/Environment.h"
#include "platform/FormatSettings.h"
#include "platform/ProgramStarter.h"
#include "sched/SchedList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantle {

/// Show commands handed to the starter, indexed by WinState.
extern const std::int32_t ShowCommands[4];

/// "Enabled" or "Disabled".
std::string EnabledText(bool value);

/// Milliseconds until the next cycle, taken at `now` (local): 60000 - ((S - 5) * 1000 +
/// MS), so cycles fall five seconds past each whole minute; 5001 to 65000.
std::int32_t NextCycleInterval(TDateTime now);

/// Everything the scheduler reaches outside itself; tests replace any piece, and a
/// piece left empty is the real one of SystemSchedulerServices() (so a test that
/// must not start programs or set the clock supplies its own starter and setter).
/// The pointers must outlive the scheduler.
struct TSchedulerServices {
    const TClock* Clock = nullptr;
    const TEnvironment* Environment = nullptr;
    TProgramStarter* Starter = nullptr;
    TClockSetter* ClockSetter = nullptr;
    const TFormatSettings* FormatSettings = nullptr;
    /// Creates the network session once, at the scheduler's creation.
    std::function<std::unique_ptr<TNetSession>()> MakeSession;
    /// Creates the log for a path; by default a TLog on the file.
    std::function<std::unique_ptr<TLog>(const std::string& path)> MakeLog;
    /// The log is named after it: extension replaced by ".LOG".
    std::string ExecutablePath;
    /// The log's path when it lives elsewhere (see LocateFiles); empty: named after
    /// ExecutablePath.
    std::string LogFile;
};

/// The real services of this machine: system clock, process environment, POSIX
/// starter and clock setter, the user's regional settings, the NetWare session.
TSchedulerServices SystemSchedulerServices();
/// The user's regional settings, read once for the life of the program.
const TFormatSettings& SystemFormatSettings();

class TScheduler {
public:
    TScheduler(TSchedList& scheduleList, TSchedulerServices services);
    /// Switches off (logging it when it was on), then releases the session and the log.
    ~TScheduler();
    TScheduler(const TScheduler&) = delete;
    TScheduler& operator=(const TScheduler&) = delete;

    bool Enabled() const { return FEnabled; }
    /// Changes the flag first, then logs "Scheduler has been %s".
    void SetEnabled(bool value);
    /// One pass: holds the list's lock throughout and releases it on every way out.
    /// Errors of the pass (log, date, list) end it and pass on to the caller.
    void RunCycle();
    bool IsEntryDue(std::int32_t index);
    /// Carries out the entry's operation; nothing for a bad index or an inactive entry.
    void ExecuteEntry(std::int32_t index);

    TLog& Log() { return *FLog; }
    TDateTime CycleTime() const { return FCycleTime; }
    TSchedList& ScheduleList() { return FScheduleList; }
    TNetSession& NetWare() { return *FNetWare; }

    /// The shell's execute service, with the texts handed over whole.
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, std::int32_t showCommand);

private:
    void ResetTimeFromServer(const TSchedule& entry);

    TSchedList& FScheduleList;
    TSchedulerServices FServices;
    TDateTime FCycleTime = 0;
    TDueMoment FCycleMoment = SplitMoment(0);
    std::unique_ptr<TNetSession> FNetWare;
    bool FEnabled = false;
    std::unique_ptr<TLog> FLog;
    TParameterExpander FExpander;
};

} // namespace vantle
