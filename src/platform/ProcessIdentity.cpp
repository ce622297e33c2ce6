#include "platform/ProcessIdentity.h"

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <iterator>

namespace vantle {

namespace {

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return text;
}

// Read once: the boot id cannot change under a running process.
const std::string& BootId() {
    static const std::string id = [] {
        std::string text = ReadSmallFile("/proc/sys/kernel/random/boot_id").value_or("");
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        return text;
    }();
    return id;
}

} // namespace

std::optional<std::uint64_t> StatField(std::string_view statText, int field) {
    std::size_t close = statText.rfind(')');
    if (close == std::string_view::npos || field < 3)
        return std::nullopt;
    // Field 3 (the state) follows the name.
    std::string_view rest = statText.substr(close + 1);
    for (int at = 3; at <= field; ++at) {
        std::size_t start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return std::nullopt;
        rest = rest.substr(start);
        std::size_t end = std::min(rest.find(' '), rest.size());
        if (at == field) {
            std::uint64_t value = 0;
            std::string_view digits = rest.substr(0, end);
            if (!digits.empty() && digits.back() == '\n')
                digits.remove_suffix(1);
            auto [next, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (error != std::errc() || next != digits.data() + digits.size() || digits.empty())
                return std::nullopt;
            return value;
        }
        rest = rest.substr(end);
    }
    return std::nullopt;
}

std::optional<std::uint64_t> StartTicksOfStat(std::string_view statText) {
    return StatField(statText, 22);
}

std::optional<TProcessIdentity> IdentifyProcess(int pid) {
    if (pid <= 0 || BootId().empty())
        return std::nullopt;
    std::optional<std::string> stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    if (!stat)
        return std::nullopt;
    std::optional<std::uint64_t> ticks = StartTicksOfStat(*stat);
    if (!ticks)
        return std::nullopt;
    return TProcessIdentity{pid, BootId(), *ticks};
}

bool StillRunning(const TProcessIdentity& process) {
    if (process.Pid <= 0 || BootId().empty() || process.BootId != BootId())
        return false;
    std::optional<std::string> stat =
        ReadSmallFile("/proc/" + std::to_string(process.Pid) + "/stat");
    // A zombie has ended: only nobody has reaped it yet (an init that does not reap).
    return stat && StartTicksOfStat(*stat) == process.StartTicks && !HasEnded(*stat);
}

bool HasEnded(std::string_view statText) {
    std::size_t close = statText.rfind(')');
    if (close == std::string_view::npos)
        return false;
    std::size_t state = statText.find_first_not_of(' ', close + 1);
    return state != std::string_view::npos && (statText[state] == 'Z' || statText[state] == 'X');
}

bool SessionHasProcesses(int session) {
    if (session <= 0)
        return false;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return false;
    bool found = false;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        std::optional<std::string> stat =
            ReadSmallFile(std::string("/proc/") + entry->d_name + "/stat");
        if (stat && StatField(*stat, 6) == std::uint64_t(session) && !HasEnded(*stat)) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

} // namespace vantle
