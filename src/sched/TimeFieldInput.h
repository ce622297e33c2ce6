// The cron conveniences people type into a time field (steps, month and day names),
// turned into the stored form, so the schedule file keeps its format.
#pragma once

#include "sched/ScheduleKeys.h"

#include <string>
#include <string_view>

namespace vantle {

/// `text` in the stored form: steps spelled out ("*/5" -> "0,5,...,55", "10-20/5" ->
/// "10,15,20", "5/20" -> from 5 to the field's end), month names in Months and day
/// names in WeekDays ("jan", "mon-fri" -> "1-5"), in any case. Text with an item that
/// has no stored form comes back unchanged, as a whole.
std::string ToStoredTimeField(TTimeFieldKind kind, std::string_view text);

} // namespace vantle
