#include "platform/ProcessIdentity.h"

#include <algorithm>
#include <charconv>
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

std::optional<std::uint64_t> StartTicksOfStat(std::string_view statText) {
    std::size_t close = statText.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    // Field 3 (the state) follows the name; field 22 is 19 fields further on.
    std::string_view rest = statText.substr(close + 1);
    for (int field = 3; field <= 22; ++field) {
        std::size_t start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return std::nullopt;
        rest = rest.substr(start);
        std::size_t end = std::min(rest.find(' '), rest.size());
        if (field == 22) {
            std::uint64_t ticks = 0;
            std::string_view digits = rest.substr(0, end);
            if (!digits.empty() && digits.back() == '\n')
                digits.remove_suffix(1);
            auto [next, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), ticks);
            if (error != std::errc() || next != digits.data() + digits.size() || digits.empty())
                return std::nullopt;
            return ticks;
        }
        rest = rest.substr(end);
    }
    return std::nullopt;
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

} // namespace vantle
