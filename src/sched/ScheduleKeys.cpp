#include "sched/ScheduleKeys.h"

namespace vantle {

// The reader takes the first key a line starts with; that is only sound while no key
// is the start of another.
static_assert([] {
    for (const TScheduleKey& a : ScheduleKeys)
        for (const TScheduleKey& b : ScheduleKeys)
            if (a.Kind != b.Kind && b.Text.starts_with(a.Text))
                return false;
    return true;
}());

// TimeFieldOf looks a field up by its place.
static_assert([] {
    for (std::size_t i = 0; i < TimeFields.size(); ++i)
        if (static_cast<std::size_t>(TimeFields[i].Kind) != i)
            return false;
    return true;
}());

std::string_view ScheduleKeyText(TSchedLineKind kind) {
    for (const TScheduleKey& key : ScheduleKeys)
        if (key.Kind == kind)
            return key.Text;
    return {};
}

} // namespace vantle
