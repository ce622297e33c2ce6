// Mains power and a default route, read from the kernel's files each time they are asked
// for: both change while the scheduler runs.
#include "platform/RunConditions.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace vantle {

namespace {

constexpr std::uint32_t RtfUp = 0x0001;
constexpr std::uint32_t RtfReject = 0x0200;
constexpr std::uint32_t IffUp = 0x1;
constexpr std::uint32_t IffLoopback = 0x8;

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view Space = " \t\r\n\v\f";
    std::size_t first = text.find_first_not_of(Space);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Space) - first + 1);
}

/// A sysfs attribute, trimmed; false when it cannot be read (some attributes fail on
/// read rather than on open).
bool ReadAttribute(const std::string& path, std::string& text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    // An attribute fits in a page; what does not is not one we read.
    std::array<char, 4096> buffer{};
    std::size_t length = 0;
    bool ok = true;
    while (length < buffer.size()) {
        ssize_t got = read(fd, buffer.data() + length, buffer.size() - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    close(fd);
    if (ok)
        text = Trimmed(std::string_view(buffer.data(), length));
    return ok;
}

/// The whole of `text` as a hexadecimal number, with or without "0x".
bool ParseHex(std::string_view text, std::uint32_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value, 16);
    return error == std::errc() && stop == end;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    constexpr std::string_view Space = " \t\r";
    for (std::size_t start = line.find_first_not_of(Space); start != std::string_view::npos;
         start = line.find_first_not_of(Space, start)) {
        std::size_t end = std::min(line.find_first_of(Space, start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = end;
    }
    return fields;
}

/// Up, not loopback, and not known to be without a link. The name comes from /proc and
/// becomes part of a path, so one that could leave class/net is refused.
bool InterfaceUsable(const std::string& sysRoot, std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return false;
    const std::string folder = sysRoot + "/class/net/" + std::string(name) + "/";
    std::string text;
    std::uint32_t flags = 0;
    if (!ReadAttribute(folder + "flags", text) || !ParseHex(text, flags))
        return false;
    if ((flags & IffUp) == 0 || (flags & IffLoopback) != 0)
        return false;
    // IFF_UP is only the administrator's switch: an unplugged cable keeps it, and a static
    // default route stays. The operational state tells; tun devices say "unknown".
    if (ReadAttribute(folder + "operstate", text) &&
        (text == "down" || text == "lowerlayerdown" || text == "notpresent" || text == "dormant"))
        return false;
    return true;
}

/// The kernel prints each address's in-memory bytes (network order) as one host integer
/// with %08X, so on a little-endian machine such as x86 the first octet is the lowest
/// byte: "0101A8C0" is 192.168.1.1 and "00000080" is 128.0.0.0. Putting the number back
/// into memory restores the octets in order on a machine of either byte order.
std::array<unsigned char, 4> Octets(std::uint32_t printed) {
    std::array<unsigned char, 4> octets{};
    std::memcpy(octets.data(), &printed, octets.size());
    return octets;
}

constexpr std::array<unsigned char, 4> Zero{0, 0, 0, 0};
constexpr std::array<unsigned char, 4> UpperHalf{0x80, 0, 0, 0}; // 128.0.0.0, and mask /1

bool HasIpv4Default(const std::string& procRoot, const std::string& sysRoot) {
    std::ifstream in(procRoot + "/net/route");
    std::string line;
    std::getline(in, line); // the header
    // A VPN covers everything with 0.0.0.0/1 and 128.0.0.0/1, which win over the default
    // route without removing it (its tunnel still needs it); together they are one.
    bool lowerHalf = false, upperHalf = false;
    while (std::getline(in, line)) {
        std::vector<std::string_view> f = Fields(line);
        std::uint32_t destination = 0, flags = 0, mask = 0;
        if (f.size() < 8 || !ParseHex(f[1], destination) || !ParseHex(f[3], flags) ||
            !ParseHex(f[7], mask) || (flags & RtfUp) == 0 || (flags & RtfReject) != 0)
            continue;
        const auto to = Octets(destination), bits = Octets(mask);
        const bool whole = to == Zero && bits == Zero;
        const bool lower = to == Zero && bits == UpperHalf;
        const bool upper = to == UpperHalf && bits == UpperHalf;
        if (!(whole || lower || upper) || !InterfaceUsable(sysRoot, f[0]))
            continue;
        if (whole)
            return true;
        lowerHalf = lowerHalf || lower;
        upperHalf = upperHalf || upper;
        if (lowerHalf && upperHalf)
            return true;
    }
    return false;
}

bool HasIpv6Default(const std::string& procRoot, const std::string& sysRoot) {
    std::ifstream in(procRoot + "/net/ipv6_route");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string_view> f = Fields(line);
        std::uint32_t prefix = 0, flags = 0;
        if (f.size() < 10 || f[0] != std::string_view("00000000000000000000000000000000") ||
            !ParseHex(f[1], prefix) || prefix != 0 || !ParseHex(f[8], flags))
            continue;
        // The kernel lists its unreachable default routes on lo.
        if ((flags & RtfUp) == 0 || (flags & RtfReject) != 0 || f[9] == "lo")
            continue;
        if (InterfaceUsable(sysRoot, f[9]))
            return true;
    }
    return false;
}

/// Online in any of its ways: 1 for a fixed supply, 2 for a programmable one.
bool IsOnline(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && value != 0;
}

} // namespace

bool TSystemConditions::OnMains() const {
    try {
        std::error_code ec;
        bool sawMains = false;
        for (std::filesystem::directory_iterator it(FSysRoot + "/class/power_supply", ec), end;
             !ec && it != end; it.increment(ec)) {
            const std::string supply = it->path().string() + "/";
            std::string text;
            // A wireless mouse's or a headset's own battery says nothing of the machine.
            if (ReadAttribute(supply + "scope", text) && text == "Device")
                continue;
            if (!ReadAttribute(supply + "type", text) || text != "Mains")
                continue;
            sawMains = true;
            if (ReadAttribute(supply + "online", text) && IsOnline(text))
                return true;
        }
        // A desktop lists no Mains supply at all and runs on mains.
        return !sawMains;
    } catch (...) {
        return true; // as if nothing could be read, the desktop's reading
    }
}

bool TSystemConditions::HasNetwork() const {
    try {
        return HasIpv4Default(FProcRoot, FSysRoot) || HasIpv6Default(FProcRoot, FSysRoot);
    } catch (...) {
        return false; // as if no route could be read
    }
}

} // namespace vantle
