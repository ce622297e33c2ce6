#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DefaultFiles.h"

#include "engine/RunStore.h"
#include "engine/StateFile.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/ExecutablePath.h"
#include "platform/InstanceLock.h"
#include "platform/TextUtils.h"
#include "sched/SchedList.h"

#include <cmath>
#include <map>
#include <optional>
#include <ostream>
#include <set>

namespace vantle::cli {

namespace {

// A latest minute older than this means a scheduler that no longer tests minutes.
constexpr std::int64_t StaleMinutes = 3;

std::string Shown(const std::string& text) {
    return VisibleText(text, TVisibleFor::Terminal, true);
}

std::string HoursSince(TDateTime since, TDateTime now) {
    return CountOf(static_cast<std::int64_t>(std::floor(std::max(0.0, now - since) * 24)), "hour",
                   "hours");
}

} // namespace

int CmdStatus(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("status", err, [&] {
        TArguments options = ReadArguments("status", args, {}, {});
        const std::string path = ScheduleFileOf("status", options);
        // Looked at, never taken: a look must not stand in a starting scheduler's way.
        const TLockHolder holder = TInstanceLock(path).Holder();
        const bool on = holder.Held && (holder.Lines.size() < 3 || holder.Lines[2] != "off");
        if (!holder.Held) {
            out << "scheduler\tnot running\n";
        } else {
            const std::string program = holder.Lines.empty() ? "a scheduler" : holder.Lines[0];
            out << "scheduler\t" << Shown(program) << ", process " << holder.Pid
                << (on ? ", switched on" : ", switched off") << "\n";
        }
        const std::string log =
            options.Positional.empty() ? DesktopFiles().LogFile : ChangeFileExt(path, ".LOG");
        const TSchedulerState state = StateIn(StateFileFor(path, log));
        const TDateTime now = SystemClock().Now();
        bool stale = true;
        if (state.Latest) {
            const std::int64_t ago = LocalMinuteOf(now) - *state.Latest;
            stale = ago > StaleMinutes;
            out << "latest minute\t" << FormatMinute(MomentOfMinute(*state.Latest)) << ", "
                << CountOf(std::max<std::int64_t>(ago, 0), "minute", "minutes") << " ago"
                << (stale && on ? " (the scheduler does not test minutes)" : "") << "\n";
        } else {
            out << "latest minute\tnone\n";
        }

        TSchedList list;
        list.SetFileName(path);
        list.Load();
        std::set<std::string> names;
        for (const TSchedule* entry : list.Entries())
            names.insert(entry->Name);
        std::set<std::string> retrying;
        for (const TPendingRetry& retry : state.Retries)
            retrying.insert(retry.Name);
        bool bad = false;
        // An entry whose latest run failed, unless a retry of it is still to come.
        try {
            const TRunStore store(TRunStore::FolderOf(ProcessEnvironment()), path,
                                  TRunStoreMode::Reader);
            for (const auto& [name, run] : store.LastRuns())
                if (run.Failure && names.contains(name) && !retrying.contains(name)) {
                    out << "failing\t" << Shown(name) << "\t" << Shown(run.Result) << "\n";
                    bad = true;
                }
        } catch (const ERunStore& error) {
            if (!error.Missing())
                err << "vantle-schedctl status: " << Shown(error.Message()) << "\n";
        }
        for (const TWaitingRun& run : state.Waiting)
            if (names.contains(run.Name))
                out << "waiting\t" << Shown(run.Name) << "\t" << run.Reason << ", due "
                    << FormatMinute(MomentOfMinute(run.Since)) << "\n";
        for (const TAlarmMark& mark : state.Alarms)
            if (mark.Told && names.contains(mark.Name)) {
                out << "overdue\t" << Shown(mark.Name) << "\tno good run for "
                    << HoursSince(mark.LastGood != 0 ? mark.LastGood : mark.Seen, now) << "\n";
                bad = true;
            }
        for (const TPendingRetry& retry : state.Retries)
            if (names.contains(retry.Name))
                out << "retry\t" << Shown(retry.Name) << "\tattempt " << retry.Attempt.Number
                    << " of " << retry.Attempt.Of << " at "
                    << FormatMinute(MomentOfMinute(retry.Due)) << "\n";
        if (!on)
            return 3;
        return bad || stale ? 1 : 0;
    });
}

} // namespace vantle::cli
