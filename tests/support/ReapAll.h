// Waiting for every program a scheduler started to end, and letting it record each end.
#pragma once

#include "engine/Scheduler.h"
#include "platform/ChildWatch.h"

#include <sys/wait.h>

namespace vantle::test {

inline void ReapAll(TScheduler& scheduler, TChildWatch& children) {
    while (scheduler.HasRunningPrograms()) {
        siginfo_t info{};
        ::waitid(P_ALL, 0, &info, WEXITED | WNOWAIT);
        for (const TChildEnd& end : children.Reap())
            scheduler.ProgramEnded(end.Pid, end.Signalled, end.Code);
    }
}

} // namespace vantle::test
