#include "sched/ClockChanges.h"

#include "sched/TimeField.h"

namespace vantle {

bool RunsInRepeatedMinutes(const TSchedule& entry) {
    return FieldIsEvery(entry.Minutes, 0, 59) || FieldIsEvery(entry.Hours, 0, 23);
}

} // namespace vantle
