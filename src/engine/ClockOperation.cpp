#include "engine/ClockOperation.h"

#include <cstdlib>
#include <vector>

namespace vantle {

namespace {

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

// Of the readings of the server's local time, the one nearest the workstation's
// clock: in the repeated autumn hour the other one is an hour off.
TDateTime ServerTimeAsUtc(TDateTime serverLocal, const std::timespec& nowUtc) {
    std::vector<std::timespec> readings = LocalReadings(serverLocal);
    if (readings.empty())
        return LocalToUtc(serverLocal); // inside a spring gap: the zone rules move it on
    const std::timespec* nearest = &readings.front();
    for (const std::timespec& reading : readings)
        if (std::llabs(MSecsBetween(nowUtc, reading)) < std::llabs(MSecsBetween(nowUtc, *nearest)))
            nearest = &reading;
    return UtcDateTimeOf(*nearest);
}

} // namespace

TClockResult SetClockFromServer(TNetSession& session, TClockSetter& setter, const TClock& clock) {
    if (!session.NetAvailable())
        return {TClockResult::NoNetwork, 0};
    TDateTime utc = ServerTimeAsUtc(session.ServerDate(), clock.UtcNow());
    if (int err = setter.SetSystemTime(SystemTimeOf(utc)); err != 0)
        return {TClockResult::NotSet, err};
    return {TClockResult::Set, 0};
}

} // namespace vantle
