// What the entry dialog says under the time fields: the next moments an entry is due,
// or why it never is, and how the rules read items that are not plain numbers.
#pragma once

#include "platform/DateTime.h"
#include "sched/NextDue.h"
#include "sched/Schedule.h"

#include <string>
#include <vector>

namespace vantle {

/// Remarks on items the rules read otherwise than a person would ("item '3O' reads as
/// 0"), field by field, each starting with the field's name and text.
std::vector<std::string> TimeFieldNotes(const TSchedule& entry, const TMatchTables& tables);
/// Why an entry whose time fields match no moment never is due ("its Hours field is
/// empty", "Hours '25' matches no hour (0 to 23)", or no date with those days).
std::vector<std::string> NeverDueReasons(const TSchedule& entry, const TMatchTables& tables);

struct TTimePreview {
    std::vector<TDateTime> Next;    // local moments, empty exactly when never due
    std::vector<std::string> Never; // why it is never due
    std::vector<std::string> Notes; // as TimeFieldNotes
};

/// The next `count` moments after the minute of `from` (local time), by the time fields
/// alone: the Active flag is not looked at.
TTimePreview PreviewTimes(const TSchedule& entry, TDateTime from, int count);

} // namespace vantle
