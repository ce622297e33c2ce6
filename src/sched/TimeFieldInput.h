// The cron conveniences people type into a time field (steps, month and day names),
// turned into the stored form, so the schedule file keeps its format.
#pragma once

#include "sched/ScheduleKeys.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vantle {

/// `text` in the stored form: steps spelled out ("*/5" -> "0,5,...,55", "10-20/5" ->
/// "10,15,20", "5/20" -> from 5 to the field's end), month names in Months and day
/// names in WeekDays ("jan", "mon-fri" -> "1-5"), in any case. Text with an item that
/// has no stored form comes back unchanged, as a whole.
std::string ToStoredTimeField(TTimeFieldKind kind, std::string_view text);

/// What a time field keeps of what was typed into it, and where the caret stays.
struct TTypedTimeField {
    std::string Text;
    std::size_t Caret = 0;
};

/// Filters a time field as it is typed (`caret`: where the caret is in `text`): digits,
/// ",", "-", "/" and letters stay (the names and steps that leaving the field converts);
/// a "*" that starts no step stands alone, everything else going, with the caret on its
/// side; anything else is dropped, and the caret moves back by what went before it.
TTypedTimeField FilterTypedTimeField(std::string_view text, std::size_t caret);

} // namespace vantle
