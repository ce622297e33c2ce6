#include "netware/nwbase.h"
#include "NWSimSupport.h"
#include "netware/nwlib.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vantle;
using namespace vantle::test;

namespace {

// The simulated libraries by short name; the variants leave one entry point out.
const std::map<std::string, std::string> Library = {
    {"calls", NWSIM_CALLS},
    {"client", NWSIM_CLIENT},
    {"dir", NWSIM_DIRECTORY},
    {"locale", NWSIM_LOCALE},
    {"calls-no-init", NWSIM_CALLS_NO_INIT},
    {"client-no-primconnref", NWSIM_CLIENT_NO_PRIMCONNREF},
    {"calls-no-conninfo", NWSIM_CALLS_NO_CONNINFO},
    {"client-no-conninfo", NWSIM_CLIENT_NO_CONNINFO}};

struct TSessionCase {
    const char* Name;
    const char* Libraries; // short names, blank-separated
    std::string Switches;  // the simulator's NWSIM_ settings, "NAME=value" blank-separated
    std::string Expected;  // "net ready contexts-created login"
    std::string MustCall;  // a call the session must have made on its way, or empty
};

std::ostream& operator<<(std::ostream& out, const TSessionCase& c) {
    return out << c.Name;
}

const std::string LongName(60, 'X');
const std::string Full = "yes yes 3 CN=ADMIN.O=VANTLE";

const TSessionCase SessionCases[] = {
    {"NoCallsLibrary", "client dir locale", "", "no no 2 ", ""},
    // The calls library alone still finds the connection by ID and reads the login.
    {"CallsWithoutClientConnection", "calls dir locale", "", "no no 2 ADMIN",
     "NWGetPrimaryConnectionID"},
    {"NoPrimaryConnection", "calls client dir locale", "NO_PRIMARY_CONNECTION=1", "no no 2 ", ""},
    {"CallsInitMissing", "calls-no-init client dir locale", "", Full, "NWCCOpenConnByRef"},
    {"CallsInitFailing", "calls client dir locale", "CALLSINIT_FAILS=1", Full, ""},
    {"PrimaryConnectionByIDWithoutConnRef", "calls client-no-primconnref dir locale", "", Full,
     "NWGetPrimaryConnectionID"},
    {"NoDirectoryLibrary", "calls client locale", "", "yes no 0 ADMIN", ""},
    {"NoLocaleLibrary", "calls client dir", "", "yes no 0 ADMIN", ""},
    {"UnicodeTablesFail", "calls client dir locale", "UNICODE_FAILS=1", "yes no 2 ADMIN", ""},
    {"NotADirectoryServer", "calls client dir locale", "NO_DS_SERVER=1 LOGIN_NAME=GUEST",
     "yes yes 2 GUEST", "NWCCGetConnInfo"},
    {"ConnectionNumberWithoutConnInfo", "calls-no-conninfo client-no-conninfo dir locale",
     "NO_DS_SERVER=1", "yes yes 2 ADMIN", "NWGetConnectionNumber"},
    // A name that fills the client's buffer without a terminating zero is cut there.
    {"LoginNameFillingTheBuffer", "calls client dir locale",
     "NO_DS_SERVER=1 LOGIN_NAME=" + LongName, "yes yes 2 " + LongName.substr(0, NWObjectNameSize),
     ""},
    {"FullClient", "calls client dir locale", "", Full, "NWDSCanonicalizeName"},
};

class SessionCreation : public testing::TestWithParam<TSessionCase> {};

TEST_P(SessionCreation, DecidesNetworkDirectoryAndLogin) {
    const TSessionCase& c = GetParam();
    TTempDir dir;
    std::istringstream names(c.Libraries);
    for (std::string name; names >> name;)
        PlaceLibraries(dir.Path(), {Library.at(name)});
    std::string log = dir.File("calls.log");
    TEnvironmentSettings environment{{"NWSIM_LOG", log}};
    std::istringstream switches(c.Switches);
    for (std::string setting; switches >> setting;)
        environment.emplace_back("NWSIM_" + setting.substr(0, setting.find('=')),
                                 setting.substr(setting.find('=') + 1));

    TReport report = RunIsolated(environment, [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TNWBase session(loader);
        return TReport{{"net", session.NetAvailable() ? "yes" : "no"},
                       {"ready", NWModule().DirectoryReady ? "yes" : "no"},
                       {"login", session.LoginID()}};
    });
    EXPECT_EQ(report["net"] + " " + report["ready"] + " " +
                  std::to_string(CallCount(log, "NWDSCreateContext")) + " " + report["login"],
              c.Expected);
    if (report["net"] == "no") {
        EXPECT_EQ(CallCount(log, "NWInitUnicodeTables"), 0) << "directory start-up ran";
    }
    if (!c.MustCall.empty()) {
        EXPECT_GT(CallCount(log, c.MustCall), 0) << c.MustCall << " was not called";
    }
}

INSTANTIATE_TEST_SUITE_P(SimulatedClient, SessionCreation, testing::ValuesIn(SessionCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Session, FullClientSetsUpTheDirectoryAndTearsItDown) {
    TTempDir dir;
    PlaceLibraries(dir.Path(), FullClient);
    std::string log = dir.File("calls.log");
    TReport report = RunIsolated({{"NWSIM_LOG", log}, {"NWSIM_BROADCAST", "2"}}, [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TNWBase session(loader);
        return TReport{{"context", session.NDSContextName()},
                       {"broadcast", std::to_string(session.BroadcastMode())},
                       {"handle", std::to_string(session.ServerHandle())},
                       {"nds", session.NDSAvailable() ? "yes" : "no"}};
    });
    EXPECT_EQ(report["context"], "[Root]");
    EXPECT_EQ(report["broadcast"], std::to_string(nwBroadcastOff));
    EXPECT_NE(report["handle"], "0");
    EXPECT_EQ(report["nds"], "yes");

    std::vector<std::string> calls;
    std::istringstream in(ReadFile(log));
    for (std::string line; std::getline(in, line);)
        calls.push_back(line);
    // The first context is made afresh at the root, and the default flags (aliases,
    // strings, canonical names) reach both contexts.
    for (const char* expected :
         {"NWDSFreeContext(1) = 0x0", "NWDSSetContext(3, 3, \"[Root]\") = 0x0",
          "NWDSSetContext(3, 1, 0x13) = 0x0", "NWDSSetContext(2, 1, 0x13) = 0x0"})
        EXPECT_NE(std::find(calls.begin(), calls.end(), expected), calls.end()) << expected;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
              (std::vector<std::string>{"NWFreeUnicodeTables() = 0x0", "NWDSFreeContext(3) = 0x0",
                                        "NWDSFreeContext(2) = 0x0"}));
}

} // namespace
