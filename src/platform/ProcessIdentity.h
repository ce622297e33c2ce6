// Who a process is beyond its number: a pid comes back for another program once the
// first has ended, so a run is matched by boot and start time as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantle {

struct TProcessIdentity {
    int Pid = 0;
    std::string BootId;           // /proc/sys/kernel/random/boot_id: new at every boot
    std::uint64_t StartTicks = 0; // clock ticks after boot at which the process started
    bool operator==(const TProcessIdentity&) const = default;
};

/// The identity of the live process `pid`; nullopt when there is none (or /proc cannot
/// tell).
std::optional<TProcessIdentity> IdentifyProcess(int pid);

/// True only while the same process runs: same boot, pid and start time. A pid taken
/// by a later program, or one from before a reboot, is not it, and neither is a zombie.
bool StillRunning(const TProcessIdentity& process);

/// Whether the text of /proc/PID/stat is of a process that has ended and waits to be
/// reaped (state Z, or X).
bool HasEnded(std::string_view statText);

/// A number field of the text of /proc/PID/stat, counted from 1 (field 3 is the state,
/// 6 the session). The command name, field 2, is the only field in parentheses and may
/// hold spaces and ')' itself, so the fields are counted from the last ')'.
std::optional<std::uint64_t> StatField(std::string_view statText, int field);
/// The start time (field 22) of the text of /proc/PID/stat.
std::optional<std::uint64_t> StartTicksOfStat(std::string_view statText);

/// Whether a process that has not ended is in the session `session`: a program's
/// helpers may go on after the program, its session's leader, has ended.
bool SessionHasProcesses(int session);

} // namespace vantle
