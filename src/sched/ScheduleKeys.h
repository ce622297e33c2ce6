// The schedule file's keys and an entry's five time fields, each spelled out once: the
// writer, the reader, vantle-schedctl check and the time tools all work from these tables.
#pragma once

#include "sched/Schedule.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantle {

/// What starts a section header line: "[Schedule 0]".
inline constexpr std::string_view ScheduleHeaderPrefix = "[Schedule ";

enum class TSchedLineKind : std::uint8_t {
    Other, // matches no key: ignored
    Header,
    Name,
    Time,
    Active,
    CommandType,
    WinState,
    Command,
    Parms,
    WorkDir,
    Comment,
    CatchUp,
    Overlap,
    TimeLimit,
    Retries,
    RetryDelay,
    OnFailure,
    OnRecovery,
    OnlyOnACPower,
    OnlyWithNetwork,
    WaitLimit,
    AtStart,
    AlertAfter,
    Environment,
};

struct TScheduleKey {
    TSchedLineKind Kind;
    std::string_view Text; // as written, with its "=": "Name="
};

/// Every key, in the order the writer writes them. No key is the start of another
/// ("Command=" and "CommandType=" part at the "="), so a line matches one key at most.
/// The ones from CatchUp on are written only when they differ from their defaults, so a
/// file that does not use them reads and saves as it did before they existed.
inline constexpr std::array<TScheduleKey, 22> ScheduleKeys = {{
    {TSchedLineKind::Name, "Name="},
    {TSchedLineKind::Time, "Time="},
    {TSchedLineKind::Active, "Active="},
    {TSchedLineKind::CommandType, "CommandType="},
    {TSchedLineKind::WinState, "WinState="},
    {TSchedLineKind::Command, "Command="},
    {TSchedLineKind::Parms, "Parms="},
    {TSchedLineKind::WorkDir, "WorkDir="},
    {TSchedLineKind::CatchUp, "CatchUp="},
    {TSchedLineKind::Overlap, "Overlap="},
    {TSchedLineKind::TimeLimit, "TimeLimit="},
    {TSchedLineKind::Retries, "Retries="},
    {TSchedLineKind::RetryDelay, "RetryDelay="},
    {TSchedLineKind::OnFailure, "OnFailure="},
    {TSchedLineKind::OnRecovery, "OnRecovery="},
    {TSchedLineKind::OnlyOnACPower, "OnlyOnACPower="},
    {TSchedLineKind::OnlyWithNetwork, "OnlyWithNetwork="},
    {TSchedLineKind::WaitLimit, "WaitLimit="},
    {TSchedLineKind::AtStart, "AtStart="},
    {TSchedLineKind::AlertAfter, "AlertAfter="},
    {TSchedLineKind::Environment, "Environment="},
    {TSchedLineKind::Comment, "Comment="},
}};

/// The key as written, "Name=" for TSchedLineKind::Name; empty for Other and Header.
std::string_view ScheduleKeyText(TSchedLineKind kind);

enum class TTimeFieldKind { Minutes, Hours, Days, Months, WeekDays };

struct TTimeField {
    TTimeFieldKind Kind;
    std::string TSchedule::*Text;
    const char* Name;       // as messages name the field
    std::int32_t Low, High; // the values the calendar gives it
    const char* Unit;       // as messages name one of its values
};

/// The five time fields in the order the Time= value holds them.
inline constexpr std::array<TTimeField, 5> TimeFields = {{
    {TTimeFieldKind::Minutes, &TSchedule::Minutes, "Minutes", 0, 59, "minute (0 to 59)"},
    {TTimeFieldKind::Hours, &TSchedule::Hours, "Hours", 0, 23, "hour (0 to 23)"},
    {TTimeFieldKind::Days, &TSchedule::Days, "Days", 1, 31, "day of the month (1 to 31)"},
    {TTimeFieldKind::Months, &TSchedule::Months, "Months", 1, 12, "month (1 to 12)"},
    {TTimeFieldKind::WeekDays, &TSchedule::WeekDays, "WeekDays", 0, 6,
     "day of the week (0 Sunday to 6 Saturday)"},
}};

constexpr const TTimeField& TimeFieldOf(TTimeFieldKind kind) {
    return TimeFields[static_cast<std::size_t>(kind)];
}

} // namespace vantle
