#include "engine/Scheduler.h"

#include "platform/ExecutablePath.h"

namespace vantle {

const std::int32_t ShowCommands[4] = {1, 3, 6, 0};

std::string EnabledText(bool value) {
    return value ? "Enabled" : "Disabled";
}

std::int32_t NextCycleInterval(TDateTime now) {
    TTimeParts time = DecodeTime(now);
    return 60000 - ((time.Second - 5) * 1000 + time.MSec);
}

namespace {

// Every piece a caller left out is the real one of this machine.
TSchedulerServices WithDefaults(TSchedulerServices services) {
    bool needSystem = services.Clock == nullptr || services.Environment == nullptr ||
                      services.Starter == nullptr || services.ClockSetter == nullptr ||
                      services.FormatSettings == nullptr || !services.MakeSession ||
                      services.ExecutablePath.empty();
    if (needSystem) {
        TSchedulerServices system = SystemSchedulerServices();
        if (services.Clock == nullptr)
            services.Clock = system.Clock;
        if (services.Environment == nullptr)
            services.Environment = system.Environment;
        if (services.Starter == nullptr)
            services.Starter = system.Starter;
        if (services.ClockSetter == nullptr)
            services.ClockSetter = system.ClockSetter;
        if (services.FormatSettings == nullptr)
            services.FormatSettings = system.FormatSettings;
        if (!services.MakeSession)
            services.MakeSession = system.MakeSession;
        if (services.ExecutablePath.empty())
            services.ExecutablePath = system.ExecutablePath;
    }
    if (!services.MakeLog) {
        const TClock* clock = services.Clock;
        services.MakeLog = [clock](const std::string& path) {
            return std::make_unique<TLog>(path, *clock);
        };
    }
    return services;
}

TSystemTime SystemTimeOf(TDateTime utc) {
    TDateParts date = DecodeDate(utc);
    TTimeParts time = DecodeTime(utc);
    TSystemTime record;
    record.Year = static_cast<std::uint16_t>(date.Year);
    record.Month = static_cast<std::uint16_t>(date.Month);
    record.DayOfWeek = static_cast<std::uint16_t>(WeekDayOf(utc));
    record.Day = static_cast<std::uint16_t>(date.Day);
    record.Hour = static_cast<std::uint16_t>(time.Hour);
    record.Minute = static_cast<std::uint16_t>(time.Minute);
    record.Second = static_cast<std::uint16_t>(time.Second);
    record.Milliseconds = static_cast<std::uint16_t>(time.MSec);
    return record;
}

} // namespace

TScheduler::TScheduler(TSchedList& scheduleList, TSchedulerServices services)
    : FScheduleList(scheduleList), FServices(WithDefaults(std::move(services))),
      FNetWare(FServices.MakeSession()),
      FLog(FServices.MakeLog(FServices.LogFile.empty()
                                 ? ChangeFileExt(FServices.ExecutablePath, ".LOG")
                                 : FServices.LogFile)),
      FExpander(*FServices.Clock, *FServices.Environment, *FServices.FormatSettings) {}

TScheduler::~TScheduler() {
    try {
        SetEnabled(false);
    } catch (...) {
        // A log that cannot be written must not turn shut-down into a crash.
    }
    FNetWare.reset();
    FLog.reset();
}

void TScheduler::SetEnabled(bool value) {
    if (value == FEnabled)
        return;
    FEnabled = value;
    FLog->WriteFmt("Scheduler has been %s", {EnabledText(value)});
}

void TScheduler::RunCycle() {
    if (!FEnabled)
        return;
    TSchedListLock lock(FScheduleList);
    FCycleTime = FServices.Clock->Now();
    FCycleMoment = SplitMoment(FCycleTime);
    if (FScheduleList.CheckFileChanged())
        FLog->WriteLine("INI file changed, new schedule loaded");
    std::int32_t count = FScheduleList.Count();
    for (std::int32_t i = 0; i < count; ++i)
        if (IsEntryDue(i))
            ExecuteEntry(i);
}

bool TScheduler::IsEntryDue(std::int32_t index) {
    if (index < 0 || index >= FScheduleList.Count())
        return false;
    const TSchedule& entry = FScheduleList.Items(index);
    return entry.Active && IsDue(entry, FCycleMoment);
}

void TScheduler::ExecuteEntry(std::int32_t index) {
    TSchedListLock lock(FScheduleList);
    if (index < 0 || index >= FScheduleList.Count())
        return;
    const TSchedule& entry = FScheduleList.Items(index);
    if (!entry.Active)
        return;
    switch (entry.CommandType) {
    case ctDosCommand:
    case ctDirectExecute: {
        FLog->WriteFmt(entry.CommandType == ctDosCommand ? "Executing %s (DOS Command %s)"
                                                         : "Executing %s (Command %s)",
                       {entry.Name, entry.Command});
        // The file and the dialog keep WinState within 0..3; anything else shows normally.
        std::size_t state = entry.WinState <= wsHidden ? entry.WinState : std::size_t{wsNormal};
        std::int32_t show = ShowCommands[state];
        std::string parameters = FExpander.ExpandParameters(entry.Parms);
        std::uint32_t code = StartProgram(entry.Command, parameters, entry.WorkDir, show);
        if (code <= 32)
            FLog->WriteFmt("%s Failed (%d)", {entry.Name, std::int64_t{code}});
        break;
    }
    case ctBuiltinResetTime:
        ResetTimeFromServer(entry);
        break;
    default:
        break;
    }
}

std::uint32_t TScheduler::StartProgram(const std::string& file, const std::string& parameters,
                                       const std::string& directory, std::int32_t showCommand) {
    return FServices.Starter->StartProgram(file, parameters, directory, showCommand);
}

void TScheduler::ResetTimeFromServer(const TSchedule& entry) {
    FLog->WriteFmt("Builtin ResetTime (%s)", {entry.Name});
    if (!FNetWare->NetAvailable()) {
        FLog->WriteFmt("Builtin %s failed; no netware connection", {entry.Name});
        return;
    }
    // The server's clock carries no zone: it is local time, and the system clock is UTC.
    TDateTime utc = LocalToUtc(FNetWare->ServerDate());
    FServices.ClockSetter->SetSystemTime(SystemTimeOf(utc));
}

} // namespace vantle
