#include "netware/nwbase.h"
#include "NWSimSupport.h"
#include "netware/nwlib.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TSessionCase {
    const char* Name;
    std::vector<std::string> Libraries;
    TEnvironmentSettings Environment;
    bool NetAvailable;
    int ContextsCreated;
    bool DirectoryReady;
    std::string LoginID;
    /// A call the session must have made on its way, or empty.
    std::string MustCall;
};

std::ostream& operator<<(std::ostream& out, const TSessionCase& c) {
    return out << c.Name;
}

const std::string LongName(60, 'X');

const TSessionCase SessionCases[] = {
    {"NoCallsLibrary", {SimClient, SimDirectory, SimLocale}, {}, false, 2, false, "", ""},
    // The calls library alone still finds the connection by ID and reads the login.
    {"CallsWithoutClientConnection",
     {SimCalls, SimDirectory, SimLocale},
     {},
     false,
     2,
     false,
     "ADMIN",
     "NWGetPrimaryConnectionID"},
    {"NoPrimaryConnection",
     {SimCalls, SimClient, SimDirectory, SimLocale},
     {{"NWSIM_NO_PRIMARY_CONNECTION", "1"}},
     false,
     2,
     false,
     "",
     ""},
    {"CallsInitMissing",
     {SimCallsNoInit, SimClient, SimDirectory, SimLocale},
     {},
     true,
     3,
     true,
     "CN=ADMIN.O=VANTLE",
     "NWCCOpenConnByRef"},
    {"CallsInitFailing",
     {SimCalls, SimClient, SimDirectory, SimLocale},
     {{"NWSIM_CALLSINIT_FAILS", "1"}},
     true,
     3,
     true,
     "CN=ADMIN.O=VANTLE",
     ""},
    {"PrimaryConnectionByIDWithoutConnRef",
     {SimCalls, SimClientNoPrimConnRef, SimDirectory, SimLocale},
     {},
     true,
     3,
     true,
     "CN=ADMIN.O=VANTLE",
     "NWGetPrimaryConnectionID"},
    {"NoDirectoryLibrary", {SimCalls, SimClient, SimLocale}, {}, true, 0, false, "ADMIN", ""},
    {"NoLocaleLibrary", {SimCalls, SimClient, SimDirectory}, {}, true, 0, false, "ADMIN", ""},
    {"UnicodeTablesFail",
     {SimCalls, SimClient, SimDirectory, SimLocale},
     {{"NWSIM_UNICODE_FAILS", "1"}},
     true,
     2,
     false,
     "ADMIN",
     ""},
    {"NotADirectoryServer",
     {SimCalls, SimClient, SimDirectory, SimLocale},
     {{"NWSIM_NO_DS_SERVER", "1"}, {"NWSIM_LOGIN_NAME", "GUEST"}},
     true,
     2,
     true,
     "GUEST",
     "NWCCGetConnInfo"},
    {"ConnectionNumberWithoutConnInfo",
     {SimCallsNoConnInfo, SimClientNoConnInfo, SimDirectory, SimLocale},
     {{"NWSIM_NO_DS_SERVER", "1"}},
     true,
     2,
     true,
     "ADMIN",
     "NWGetConnectionNumber"},
    // A name that fills the client's buffer without a terminating zero is cut there.
    {"LoginNameFillingTheBuffer",
     {SimCalls, SimClient, SimDirectory, SimLocale},
     {{"NWSIM_NO_DS_SERVER", "1"}, {"NWSIM_LOGIN_NAME", LongName}},
     true,
     2,
     true,
     LongName.substr(0, NWObjectNameSize),
     ""},
    {"FullClient",
     {SimCalls, SimClient, SimDirectory, SimLocale},
     {},
     true,
     3,
     true,
     "CN=ADMIN.O=VANTLE",
     "NWDSCanonicalizeName"},
};

class SessionCreation : public testing::TestWithParam<TSessionCase> {};

TEST_P(SessionCreation, DecidesNetworkDirectoryAndLogin) {
    const TSessionCase& c = GetParam();
    TTempDir dir;
    PlaceLibraries(dir.Path(), c.Libraries);
    std::string log = dir.File("calls.log");
    TEnvironmentSettings environment = c.Environment;
    environment.emplace_back("NWSIM_LOG", log);

    TReport report = RunIsolated(environment, [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TNWBase session(loader);
        return TReport{{"net", session.NetAvailable() ? "yes" : "no"},
                       {"ready", NWModule().DirectoryReady ? "yes" : "no"},
                       {"login", session.LoginID()}};
    });

    std::vector<std::string> calls = ReadLines(log);
    EXPECT_EQ(report["net"], c.NetAvailable ? "yes" : "no");
    EXPECT_EQ(report["ready"], c.DirectoryReady ? "yes" : "no");
    EXPECT_EQ(report["login"], c.LoginID);
    EXPECT_EQ(CallCount(calls, "NWDSCreateContext"), c.ContextsCreated);
    if (!c.NetAvailable) {
        EXPECT_EQ(CallCount(calls, "NWInitUnicodeTables"), 0) << "directory start-up ran";
    }
    if (!c.MustCall.empty()) {
        EXPECT_GT(CallCount(calls, c.MustCall), 0) << c.MustCall << " was not called";
    }
}

INSTANTIATE_TEST_SUITE_P(SimulatedClient, SessionCreation, testing::ValuesIn(SessionCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Session, FullClientSetsUpTheDirectoryAndTearsItDown) {
    TTempDir dir;
    PlaceLibraries(dir.Path(), {SimCalls, SimClient, SimDirectory, SimLocale});
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

    std::vector<std::string> calls = ReadLines(log);
    // The first context is made afresh at the root, and the default flags (aliases,
    // strings, canonical names) reach both contexts.
    for (const char* expected :
         {"NWDSFreeContext(1) = 0x0", "NWDSSetContext(3, 3, \"[Root]\") = 0x0",
          "NWDSSetContext(3, 1, 0x13) = 0x0", "NWDSSetContext(2, 1, 0x13) = 0x0"})
        EXPECT_NE(std::find(calls.begin(), calls.end(), expected), calls.end()) << expected;
    ASSERT_GE(calls.size(), 3u);
    std::vector<std::string> tearDown(calls.end() - 3, calls.end());
    EXPECT_EQ(tearDown,
              (std::vector<std::string>{"NWFreeUnicodeTables() = 0x0", "NWDSFreeContext(3) = 0x0",
                                        "NWDSFreeContext(2) = 0x0"}));
}

} // namespace
