// One schedule entry and its due test.
#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantle {

enum : std::uint8_t { ctDosCommand = 0, ctDirectExecute = 1, ctBuiltinResetTime = 2 };
enum : std::uint8_t { wsNormal = 0, wsMaximized = 1, wsMinimized = 2, wsHidden = 3 };

/// What a due minute does while the entry's previous run is still running.
enum class TOverlap : std::uint8_t { Allow, Skip };

/// The longest time limit a file may give: a year of minutes.
inline constexpr std::int32_t MaxTimeLimit = 366 * 24 * 60;
/// The most retries a file may give, and the minutes between attempts unless it says.
inline constexpr std::int32_t MaxRetries = 100;
inline constexpr std::int32_t DefaultRetryDelay = 5;
/// The longest overdue alarm a file may give: ten years of hours.
inline constexpr std::int32_t MaxAlertAfter = 10 * 366 * 24;

/// A plain record; the schedule list owns every entry.
struct TSchedule {
    std::string Name;
    std::string Minutes, Hours, Days, Months, WeekDays;
    std::string Command, Parms, WorkDir;
    std::uint8_t CommandType = ctDirectExecute; // the file loader's default
    std::uint8_t WinState = wsNormal;
    std::vector<std::string> Comment; // one element per line
    bool Active = false;
    /// Runs once at start-up, or after a long gap, when a due minute passed untested.
    bool CatchUp = false;
    TOverlap Overlap = TOverlap::Allow;
    /// Minutes of running time after which the program is stopped; 0: no limit.
    std::int32_t TimeLimit = 0;
    /// A failed run of the schedule, a catch-up or a retry is started again RetryDelay
    /// minutes later, up to Retries times.
    std::int32_t Retries = 0;
    std::int32_t RetryDelay = DefaultRetryDelay;
    /// A program and its arguments, split and expanded as the parameters are, run when
    /// a failure is told or the entry works again; empty: the scheduler's default.
    std::string OnFailure, OnRecovery;
    /// A run waits while on battery, or without a network, rather than start; WaitLimit
    /// minutes on (0: no limit) it is recorded as not run.
    bool OnlyOnACPower = false;
    bool OnlyWithNetwork = false;
    std::int32_t WaitLimit = 0;
    /// Runs once each time the scheduler is switched on, besides its time fields.
    bool AtStart = false;
    /// Hours without a good run after which the entry is overdue; 0: never.
    std::int32_t AlertAfter = 0;
    /// "NAME=VALUE" pairs set for the entry's program on top of the scheduler's own
    /// environment, each value `$`-expanded as the parameters are.
    std::vector<std::string> Environment;
    /// Every field, so a field added later can never be left out of a comparison.
    bool operator==(const TSchedule&) const = default;
};

/// The calendar values a due test looks at, split once from a local moment so a pass
/// over many entries does not decode the moment again for each.
struct TDueMoment {
    std::int32_t Minute = 0;  // 0..59
    std::int32_t Hour = 0;    // 0..23
    std::int32_t Day = 1;     // 1..31
    std::int32_t Month = 1;   // 1..12
    std::int32_t WeekDay = 0; // 0 Sunday .. 6 Saturday
};
TDueMoment SplitMoment(TDateTime moment);

/// Whether `entry` is due at the local moment: active, and all five fields match
/// (minute, hour, day of month, month, day of week with 0 for Sunday).
bool IsDue(const TSchedule& entry, TDateTime moment);
bool IsDue(const TSchedule& entry, const TDueMoment& moment);
/// True when any field differs; texts byte for byte, comments line by line.
bool EntriesDiffer(const TSchedule& a, const TSchedule& b);
/// Gives `target` every value of `source`, comment lines copied.
void CopyEntry(TSchedule& target, const TSchedule& source);
/// Which text a start would hand on that holds a NUL byte, as a failure says it ("the
/// command holds a NUL byte"); null for none. A program gets its texts cut at the first
/// NUL, so it would run with less than the entry says.
const char* NulByteHolder(const TSchedule& entry);

} // namespace vantle
