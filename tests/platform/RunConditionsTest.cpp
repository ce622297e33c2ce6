#include "platform/RunConditions.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace vantle;
using namespace vantle::test;

namespace {

// Files under the test's root, by their path from it ("sys/...", "proc/...").
using TFiles = std::vector<std::pair<std::string, std::string>>;

struct TTreeCase {
    std::string Name;
    TFiles Files;
    bool Expect;
};

void PrintTo(const TTreeCase& c, std::ostream* out) {
    *out << c.Name;
}

std::string CaseName(const ::testing::TestParamInfo<TTreeCase>& info) {
    return info.param.Name;
}

class TreeTest : public ::testing::TestWithParam<TTreeCase> {
protected:
    TSystemConditions Conditions() {
        for (const auto& [path, text] : GetParam().Files) {
            std::filesystem::path file = FDir.Path() / path;
            std::filesystem::create_directories(file.parent_path());
            WriteFile(file.string(), text);
        }
        return TSystemConditions(FDir.File("sys"), FDir.File("proc"));
    }

private:
    TTempDir FDir;
};

// One power supply's files; nullptr leaves a file out.
TFiles Supply(const std::string& name, const char* type, const char* online,
              const char* scope = nullptr) {
    const std::string folder = "sys/class/power_supply/" + name + "/";
    TFiles files;
    const std::pair<const char*, const char*> texts[] = {
        {"type", type}, {"online", online}, {"scope", scope}};
    for (auto [file, text] : texts)
        if (text != nullptr)
            files.emplace_back(folder + file, std::string(text) + "\n");
    return files;
}

TFiles operator+(TFiles a, const TFiles& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using OnMainsTest = TreeTest;

TEST_P(OnMainsTest, ReadsThePowerSupplies) {
    EXPECT_EQ(Conditions().OnMains(), GetParam().Expect);
}

const TFiles Battery = Supply("BAT0", "Battery", nullptr);

INSTANTIATE_TEST_SUITE_P(
    Supplies, OnMainsTest,
    ::testing::Values(
        TTreeCase{"LaptopOnBattery", Supply("AC", "Mains", "0") + Battery, false},
        TTreeCase{"LaptopPluggedIn", Supply("AC", "Mains", "1") + Battery, true},
        TTreeCase{"ProgrammableSupplyIsOnline", Supply("AC", "Mains", "2") + Battery, true},
        TTreeCase{"MainsWithoutOnlineIsOffline", Supply("AC", "Mains", nullptr) + Battery, false},
        TTreeCase{"OneOfTwoMainsOnline",
                  Supply("ADP0", "Mains", "0") + Supply("ADP1", "Mains", "1"), true},
        TTreeCase{"DesktopWithoutFolder", {}, true},
        TTreeCase{"DesktopWithWirelessMouse",
                  Supply("hidpp_battery_0", "Battery", nullptr, "Device"), true},
        TTreeCase{"MainsOfADeviceIgnored", Supply("dock", "Mains", "0", "Device") + Battery, true}),
    CaseName);

const std::string RouteHead =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

// One line of /proc/net/route; addresses as x86 prints them.
std::string Route(const std::string& iface, const std::string& destination, const std::string& mask,
                  const std::string& flags = "0003") {
    return iface + "\t" + destination + "\t0101A8C0\t" + flags + "\t0\t0\t100\t" + mask +
           "\t0\t0\t0\n";
}

const std::string Zero32(32, '0');

// One line of /proc/net/ipv6_route, as the kernel pads it.
std::string Route6(const std::string& destination, const std::string& prefix,
                   const std::string& flags, const std::string& iface) {
    return destination + " " + prefix + " " + Zero32 + " 00 fe800000000000000000000000000001 " +
           "00000400 00000001 00000000 " + flags + " " + std::string(8 - iface.size(), ' ') +
           iface + "\n";
}

TFiles Net(const std::string& route, const std::string& route6,
           const std::vector<std::pair<std::string, std::string>>& flags) {
    TFiles files;
    if (!route.empty())
        files.emplace_back("proc/net/route", RouteHead + route);
    if (!route6.empty())
        files.emplace_back("proc/net/ipv6_route", route6);
    for (const auto& [iface, value] : flags)
        files.emplace_back("sys/class/net/" + iface + "/flags", value + "\n");
    return files;
}

const std::pair<std::string, std::string> Eth0{"eth0", "0x1003"}, Tun0{"tun0", "0x1091"},
    Wlan0{"wlan0", "0x1003"}, Lo{"lo", "0x9"};
const std::string Lan = Route("eth0", "0001A8C0", "00FFFFFF", "0001");
const std::string Default = Route("eth0", "00000000", "00000000");
const std::string LowerHalf = Route("tun0", "00000000", "00000080");
const std::string UpperHalf = Route("tun0", "00000080", "00000080");

using HasNetworkTest = TreeTest;

TEST_P(HasNetworkTest, ReadsTheDefaultRoutes) {
    EXPECT_EQ(Conditions().HasNetwork(), GetParam().Expect);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, HasNetworkTest,
    ::testing::Values(
        TTreeCase{"DefaultOnEth0", Net(Lan + Default, "", {Eth0}), true},
        TTreeCase{"VpnSplitDefault", Net(Lan + LowerHalf + UpperHalf, "", {Eth0, Tun0}), true},
        TTreeCase{"VpnLowerHalfOnly", Net(Lan + LowerHalf, "", {Eth0, Tun0}), false},
        TTreeCase{"VpnUpperHalfOnly", Net(Lan + UpperHalf, "", {Eth0, Tun0}), false},
        TTreeCase{"OnlyTheLocalNetwork", Net(Lan, "", {Eth0}), false},
        TTreeCase{"DefaultOnInterfaceDown", Net(Default, "", {{"eth0", "0x1002"}}), false},
        TTreeCase{"DefaultWithoutFlagsFile", Net(Default, "", {}), false},
        TTreeCase{"DefaultRouteNotUp",
                  Net(Route("eth0", "00000000", "00000000", "0002"), "", {Eth0}), false},
        TTreeCase{"DefaultViaLo", Net(Route("lo", "00000000", "00000000"), "", {Lo}), false},
        // "sys/class/net/../flags" would be sys/class/flags, which says up.
        TTreeCase{"InterfaceNameLeavingTheFolder",
                  Net(Route("..", "00000000", "00000000"), "", {Eth0}) +
                      TFiles{{"sys/class/flags", "0x1003\n"}},
                  false},
        TTreeCase{"DefaultOnUnpluggedCable",
                  Net(Default, "", {Eth0}) + TFiles{{"sys/class/net/eth0/operstate", "down\n"}},
                  false},
        TTreeCase{"Ipv6OnlyDefaultOnWlan0",
                  Net("", Route6(Zero32, "00", "00450003", "wlan0"), {Wlan0}), true},
        TTreeCase{
            "Ipv6OnlyLocalPrefix",
            Net("", Route6("fe800000000000000000000000000000", "40", "00000001", "wlan0"), {Wlan0}),
            false},
        TTreeCase{"Ipv6RejectDefaultOnLo", Net("", Route6(Zero32, "00", "00200200", "lo"), {Lo}),
                  false},
        TTreeCase{"Ipv6RejectDefaultOnWlan0",
                  Net("", Route6(Zero32, "00", "00000201", "wlan0"), {Wlan0}), false},
        TTreeCase{"NoRouteFiles", Net("", "", {Eth0}), false}),
    CaseName);

} // namespace
