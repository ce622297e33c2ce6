#include "engine/CycleMemory.h"

namespace vantle {

TLocalMinute LocalMinuteOf(TDateTime local) {
    return FloorDiv(ToMSecs(local), MSecsPerMinute);
}

TDateTime MomentOfMinute(TLocalMinute minute) {
    return FromMSecs(minute * MSecsPerMinute);
}

void TCycleMemory::Restart(std::optional<TLocalMinute> latest) {
    FPrevious.reset();
    FLatest = latest;
}

TCyclePlan TCycleMemory::Plan(TLocalMinute m) {
    TCyclePlan plan;
    plan.From = plan.To = m;
    plan.Previous = FPrevious;
    plan.Latest = FLatest;
    if (FPrevious && *FPrevious == m) {
        plan.Kind = TCycleKind::Nothing;
        return plan;
    }
    if (!FLatest) {
        plan.Kind = TCycleKind::Minutes;
        plan.Latest = m;
        // The minute before counts as tested, so a pass a failure stops is taken up.
        FLatest = m - 1;
    } else if (!FPrevious) {
        // The first cycle after switching on catches up on nothing: the time the
        // scheduler was off is not its to make good. Only its own minute counts, and
        // not again when a restart comes within a minute already tested.
        TLocalMinute behind = *FLatest - m;
        if (behind == 0) {
            plan.Kind = TCycleKind::Nothing;
        } else if (behind > 0 && behind <= MaxCatchUpMinutes) {
            plan.Kind = TCycleKind::RepeatedOnly;
            plan.HeldBack = true;
        } else if (behind > MaxCatchUpMinutes) {
            // Set back further while the program was off: told as when running.
            plan.Kind = TCycleKind::ClockMoved;
            plan.Previous = FLatest;
            plan.Latest = m;
        } else {
            plan.Kind = TCycleKind::Minutes;
            plan.Latest = m;
            if (behind < -1)
                plan.MissedFrom = *FLatest + 1;
        }
    } else {
        TLocalMinute ahead = m - *FLatest;
        if (ahead > MaxCatchUpMinutes || ahead < -MaxCatchUpMinutes) {
            plan.Kind = TCycleKind::ClockMoved;
            plan.Latest = m;
            if (ahead > 0)
                plan.MissedFrom = *FLatest + 1;
        } else if (ahead > 0) {
            plan.Kind = TCycleKind::Minutes;
            plan.From = *FLatest + 1;
            plan.Latest = m;
        } else {
            plan.Kind = TCycleKind::RepeatedOnly;
        }
    }
    FPrevious = m;
    return plan;
}

} // namespace vantle
