// One schedule entry and its due test.
#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantle {

enum : std::uint8_t { ctDosCommand = 0, ctDirectExecute = 1, ctBuiltinResetTime = 2 };
enum : std::uint8_t { wsNormal = 0, wsMaximized = 1, wsMinimized = 2, wsHidden = 3 };

/// A plain record; the schedule list owns every entry.
struct TSchedule {
    std::string Name;
    std::string Minutes, Hours, Days, Months, WeekDays;
    std::string Command, Parms, WorkDir;
    std::uint8_t CommandType = ctDirectExecute; // the file loader's default
    std::uint8_t WinState = wsNormal;
    std::vector<std::string> Comment; // one element per line
    bool Active = false;
};

/// Whether `entry` is due at the local moment: active, and all five fields match
/// (minute, hour, day of month, month, day of week with 0 for Sunday).
bool IsDue(const TSchedule& entry, TDateTime moment);
/// True when any field differs; texts byte for byte, comments line by line.
bool EntriesDiffer(const TSchedule& a, const TSchedule& b);
/// Gives `target` every value of `source`, comment lines copied.
void CopyEntry(TSchedule& target, const TSchedule& source);

} // namespace vantle
