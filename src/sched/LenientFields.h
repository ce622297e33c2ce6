// Time fields that the schedule file's lenient reading takes for something else than
// they say ("*/15" reads as 0): listed for the log, the grid and fmt --convert.
#pragma once

#include "sched/Schedule.h"
#include "sched/ScheduleKeys.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantle {

struct TLenientField {
    TTimeFieldKind Kind = TTimeFieldKind::Minutes;
    std::string Name;    // "Minutes"
    std::string Text;    // as the file has it: "*/15"
    std::string ReadsAs; // the values it matches in the stored form: "0", "nothing"
};

/// What a field's text reads as when the lenient reading changes it: an item that is no
/// number reads as 0 ("*/15", "mon"), and an empty item ends the scan ("1,,5"); nullopt
/// for a text read as written.
std::optional<std::string> LenientReading(TTimeFieldKind kind, std::string_view text);
/// Every time field of the entry that LenientReading changes, in the Time= order.
std::vector<TLenientField> LenientFields(const TSchedule& entry);
/// "Minutes '*/15' reads as '0'".
std::string LenientFieldText(const TLenientField& field);

} // namespace vantle
