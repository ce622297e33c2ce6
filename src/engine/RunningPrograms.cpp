#include "engine/RunningPrograms.h"

#include "platform/TextUtils.h"

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace vantle {

namespace {

constexpr std::size_t MaxWatchedPrograms = 4096;

std::int64_t LimitNs(std::int32_t minutes) {
    return std::int64_t{minutes} * 60 * 1'000'000'000;
}

} // namespace

TStartedRun TRunningProgram::StartedRun() const {
    TStartedRun run;
    run.Run.Id = Record;
    run.Run.Name = Name;
    run.Run.Command = Command;
    run.Run.Parameters = Parameters;
    run.Run.Trigger = Trigger;
    run.Run.Started = Started;
    run.Run.Process = Process;
    run.StartedBootNs = StartedBootNs;
    run.StartedRunNs = StartedRunNs;
    run.TimeLimit = TimeLimit;
    return run;
}

TRunningPrograms::TRunningPrograms(const TClock& clock, TProcessSignals& signaller, TLog& log)
    : FClock(clock), FSignals(signaller), FLog(log) {}

TRunningProgram& TRunningPrograms::Start(int pid, TRunningProgram program) {
    if (FRunning.size() >= MaxWatchedPrograms)
        FRunning.erase(FRunning.begin());
    program.Started = FClock.Now();
    program.StartedBootNs = FClock.BootNanos();
    program.StartedRunNs = FClock.RunNanos();
    return FRunning[pid] = std::move(program);
}

std::optional<TRunningProgram> TRunningPrograms::TakeEnded(int pid) {
    auto found = FRunning.find(pid);
    if (found == FRunning.end() || found->second.Inherited)
        return std::nullopt;
    TRunningProgram program = std::move(found->second);
    FRunning.erase(found);
    return program;
}

bool TRunningPrograms::Inherit(const TStoredRun& run, const std::optional<TStartedRun>& started) {
    if (!run.Process || FRunning.contains(run.Process->Pid) || !FInheritedWatch.Add(*run.Process))
        return false;
    std::int64_t bootNs = 0, runNs = 0;
    if (started) {
        bootNs = started->StartedBootNs;
        runNs = started->StartedRunNs;
    } else {
        const std::int64_t tick = 1'000'000'000 / std::max(1L, ::sysconf(_SC_CLK_TCK));
        bootNs = std::int64_t(run.Process->StartTicks) * tick;
        runNs = FClock.RunNanos() - (FClock.BootNanos() - bootNs);
    }
    TRunningProgram& program = FRunning[run.Process->Pid];
    program.Name = run.Name;
    program.Trigger = run.Trigger;
    program.Command = run.Command;
    program.Parameters = run.Parameters;
    program.Process = run.Process;
    program.Inherited = true;
    program.Started = run.Started;
    program.StartedBootNs = bootNs;
    program.StartedRunNs = runNs;
    program.TimeLimit = started ? started->TimeLimit : 0;
    program.Record = run.Id;
    return true;
}

std::vector<std::pair<int, TRunningProgram>> TRunningPrograms::TakeEndedInherited() {
    std::vector<std::pair<int, TRunningProgram>> ended;
    for (int pid : FInheritedWatch.TakeEnded()) {
        auto found = FRunning.find(pid);
        if (found == FRunning.end() || !found->second.Inherited)
            continue;
        ended.emplace_back(pid, std::move(found->second));
        FRunning.erase(found);
    }
    return ended;
}

const std::pair<const int, TRunningProgram>*
TRunningPrograms::RunningOf(const std::string& name) const {
    for (const auto& running : FRunning)
        if (running.second.Name == name && !running.second.FailureCommand)
            return &running;
    return nullptr;
}

void TRunningPrograms::Play(const std::string& name, std::int64_t ms, std::int32_t timeLimit) {
    if (timeLimit > 0)
        ms = std::min(ms, std::int64_t{timeLimit} * 60'000);
    const TDateTime now = FClock.Now();
    FPlayed[name] = {now, FromMSecs(ToMSecs(now) + ms)};
}

std::optional<TDateTime> TRunningPrograms::PlayedRunning(const std::string& name,
                                                         TDateTime now) const {
    auto played = FPlayed.find(name);
    if (played == FPlayed.end() || now >= played->second.second)
        return std::nullopt;
    return played->second.first;
}

// A program an earlier scheduler started is signalled only while it is still that
// program: its pid may have been given to another since.
bool TRunningPrograms::Signal(int pid, const TRunningProgram& program, int signal) {
    if (program.Inherited && program.Process && !StillRunning(*program.Process))
        return false;
    return FSignals.SignalProgram(pid, signal);
}

bool TRunningPrograms::Stop(std::int64_t record) {
    for (auto& [pid, program] : FRunning) {
        if (program.Record != record || record == 0)
            continue;
        if (!Signal(pid, program, SIGTERM))
            return false;
        if (!program.StoppedRunNs)
            program.StoppedRunNs = FClock.RunNanos();
        program.ByUser = true;
        FLog.WriteFmt("%s stopped by the user", {program.Name});
        return true;
    }
    return false;
}

void TRunningPrograms::KillOverdue() {
    const std::int64_t now = FClock.RunNanos();
    for (auto& [pid, program] : FRunning) {
        if (!program.StoppedRunNs && program.TimeLimit > 0 &&
            now - program.StartedRunNs >= LimitNs(program.TimeLimit)) {
            Signal(pid, program, SIGTERM);
            program.StoppedRunNs = now;
            FLog.WriteFmt("%s stopped after %s (time limit)",
                          {program.Name, CountOf(program.TimeLimit, "minute", "minutes")});
        } else if (program.StoppedRunNs && !program.Killed &&
                   now - *program.StoppedRunNs >= StopGraceNs) {
            Signal(pid, program, SIGKILL);
            program.Killed = true;
        }
    }
}

std::optional<std::int64_t> TRunningPrograms::NextOverdue() const {
    std::optional<std::int64_t> next;
    for (const auto& [pid, program] : FRunning) {
        std::optional<std::int64_t> at;
        if (program.StoppedRunNs && !program.Killed)
            at = *program.StoppedRunNs + StopGraceNs;
        else if (!program.StoppedRunNs && program.TimeLimit > 0)
            at = program.StartedRunNs + LimitNs(program.TimeLimit);
        if (at && (!next || *at < *next))
            next = at;
    }
    return next;
}

bool TRunningPrograms::HasStarted() const {
    return std::any_of(FRunning.begin(), FRunning.end(),
                       [](const auto& running) { return !running.second.Inherited; });
}

std::vector<TStartedRun> TRunningPrograms::StartedRuns() const {
    std::vector<TStartedRun> runs;
    for (const auto& [pid, program] : FRunning)
        if (program.Record != 0)
            runs.push_back(program.StartedRun());
    return runs;
}

} // namespace vantle
