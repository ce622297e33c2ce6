// The NetWare session against the simulated client. Every scenario runs in a child
// process: the client's binding is process-wide and its libraries are never unloaded,
// so no scenario may see another's.
#include "netware/nwbase.h"
#include "engine/Scheduler.h"
#include "netware/nwlib.h"
#include "support/Child.h"
#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>

using namespace vantle;
using namespace vantle::test;

namespace {

// Where the build put each simulated library, by short name; the variants leave one
// entry point out.
const std::map<std::string, std::string> Library = {
    {"calls", NWSIM_CALLS},
    {"client", NWSIM_CLIENT},
    {"dir", NWSIM_DIRECTORY},
    {"locale", NWSIM_LOCALE},
    {"calls-no-init", NWSIM_CALLS_NO_INIT},
    {"client-no-primconnref", NWSIM_CLIENT_NO_PRIMCONNREF},
    {"calls-no-conninfo", NWSIM_CALLS_NO_CONNINFO},
    {"client-no-conninfo", NWSIM_CLIENT_NO_CONNINFO}};

/// Links the libraries named (blank-separated short names) into `folder`.
void PlaceLibraries(const std::filesystem::path& folder,
                    const std::string& names = "calls client dir locale") {
    std::istringstream in(names);
    for (std::string name; in >> name;) {
        std::filesystem::path file = Library.at(name);
        std::filesystem::create_symlink(file, folder / file.filename());
    }
}

/// What `scenario` returns when run in a child process with `settings` ("NAME=value",
/// blank-separated; TZ included) in its environment; an exception gives its message.
std::string RunIsolated(const std::string& settings, const std::function<std::string()>& scenario) {
    TChildResult child = RunInChild([&] {
        std::istringstream in(settings);
        for (std::string setting; in >> setting;)
            setenv(setting.substr(0, setting.find('=')).c_str(),
                   setting.substr(setting.find('=') + 1).c_str(), 1);
        tzset();
        try {
            return scenario();
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    });
    EXPECT_TRUE(child.Succeeded())
        << "the scenario's process ended abnormally (status " << child.Status << ")";
    return child.Output;
}

/// How many of the simulator's log lines (in the file `log`) record a call to `function`.
int CallCount(const std::string& log, const std::string& function) {
    int count = 0;
    std::istringstream in(ReadFile(log));
    for (std::string line; std::getline(in, line);)
        count += line.rfind(function + "(", 0) == 0 ? 1 : 0;
    return count;
}

std::string YesNo(bool value) {
    return value ? "yes" : "no";
}

struct TSessionCase {
    const char* Name;
    const char* Libraries; // short names, blank-separated
    std::string Switches;  // the simulator's settings, "NWSIM_NAME=value" blank-separated
    std::string Expected;  // "net ready contexts-created login"
    std::string MustCall;  // a call the session must have made on its way, or empty
};

const std::string LongName(60, 'X');
const std::string Full = "yes yes 3 CN=ADMIN.O=VANTLE";

const TSessionCase SessionCases[] = {
    {"NoCallsLibrary", "client dir locale", "", "no no 2 ", ""},
    // The calls library alone still finds the connection by ID and reads the login.
    {"CallsWithoutClientConnection", "calls dir locale", "", "no no 2 ADMIN",
     "NWGetPrimaryConnectionID"},
    {"NoPrimaryConnection", "calls client dir locale", "NWSIM_NO_PRIMARY_CONNECTION=1", "no no 2 ",
     ""},
    {"CallsInitMissing", "calls-no-init client dir locale", "", Full, "NWCCOpenConnByRef"},
    {"CallsInitFailing", "calls client dir locale", "NWSIM_CALLSINIT_FAILS=1", Full, ""},
    {"PrimaryConnectionByIDWithoutConnRef", "calls client-no-primconnref dir locale", "", Full,
     "NWGetPrimaryConnectionID"},
    {"NoDirectoryLibrary", "calls client locale", "", "yes no 0 ADMIN", ""},
    {"NoLocaleLibrary", "calls client dir", "", "yes no 0 ADMIN", ""},
    {"UnicodeTablesFail", "calls client dir locale", "NWSIM_UNICODE_FAILS=1", "yes no 2 ADMIN", ""},
    {"NotADirectoryServer", "calls client dir locale",
     "NWSIM_NO_DS_SERVER=1 NWSIM_LOGIN_NAME=GUEST", "yes yes 2 GUEST", "NWCCGetConnInfo"},
    {"ConnectionNumberWithoutConnInfo", "calls-no-conninfo client-no-conninfo dir locale",
     "NWSIM_NO_DS_SERVER=1", "yes yes 2 ADMIN", "NWGetConnectionNumber"},
    // A name that fills the client's buffer without a terminating zero is cut there.
    {"LoginNameFillingTheBuffer", "calls client dir locale",
     "NWSIM_NO_DS_SERVER=1 NWSIM_LOGIN_NAME=" + LongName,
     "yes yes 2 " + LongName.substr(0, NWObjectNameSize), ""},
    {"FullClient", "calls client dir locale", "", Full, "NWDSCanonicalizeName"},
};

class SessionCreation : public testing::TestWithParam<TSessionCase> {};

TEST_P(SessionCreation, DecidesNetworkDirectoryAndLogin) {
    const TSessionCase& c = GetParam();
    TTempDir dir;
    PlaceLibraries(dir.Path(), c.Libraries);
    std::string log = dir.File("calls.log");
    std::string shown = RunIsolated("NWSIM_LOG=" + log + " " + c.Switches, [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TNWBase session(loader);
        return YesNo(session.NetAvailable()) + " " + YesNo(NWModule().DirectoryReady) + " " +
               session.LoginID();
    });
    // The contexts made go between the readiness and the login.
    shown.insert(shown.find(' ', shown.find(' ') + 1),
                 " " + std::to_string(CallCount(log, "NWDSCreateContext")));
    EXPECT_EQ(shown, c.Expected);
    if (shown.rfind("no ", 0) == 0) {
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
    PlaceLibraries(dir.Path());
    std::string log = dir.File("calls.log");
    std::string shown = RunIsolated("NWSIM_LOG=" + log + " NWSIM_BROADCAST=2", [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TNWBase session(loader);
        return session.NDSContextName() + " " + std::to_string(session.BroadcastMode()) + " " +
               YesNo(session.ServerHandle() != 0) + " " + YesNo(session.NDSAvailable());
    });
    EXPECT_EQ(shown, "[Root] " + std::to_string(nwBroadcastOff) + " yes yes");

    std::string calls = "\n" + ReadFile(log);
    // The first context is made afresh at the root, and the default flags (aliases,
    // strings, canonical names) reach both contexts.
    for (const char* expected :
         {"NWDSFreeContext(1) = 0x0", "NWDSSetContext(3, 3, \"[Root]\") = 0x0",
          "NWDSSetContext(3, 1, 0x13) = 0x0", "NWDSSetContext(2, 1, 0x13) = 0x0"})
        EXPECT_NE(calls.find("\n" + std::string(expected) + "\n"), std::string::npos) << expected;
    EXPECT_TRUE(calls.ends_with("\nNWFreeUnicodeTables() = 0x0\nNWDSFreeContext(3) = 0x0\n"
                                "NWDSFreeContext(2) = 0x0\n"))
        << calls;
}

/// "net milliseconds calls-error" of one ServerDate, on a client placed in `dir`.
std::string ReadServerDate(const TTempDir& dir, const std::string& settings,
                           TDateTime workstationNow = 0) {
    return RunIsolated(settings, [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TFakeClock clock(workstationNow);
        clock.SetStep(1.0 / 24 / 60); // a minute later at every reading
        TNWBase session(loader, clock);
        std::string net = YesNo(session.NetAvailable());
        std::string read = std::to_string(ToMSecs(session.ServerDate()));
        return net + " " + read + " " + std::to_string(NWModule().CallsLastError);
    });
}

std::string MSecsOf(int year, int month, int day, int hour, int minute, int second) {
    return std::to_string(
        ToMSecs(EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0)));
}

struct TBufferCase {
    const char* Name;
    const char* Bytes;
    std::string Expected; // milliseconds, or the message raised
};

const TBufferCase BufferCases[] = {
    {"LeapDay2000", "100,2,29,0,0,0,2", "yes " + MSecsOf(2000, 2, 29, 0, 0, 0) + " 0"},
    {"YearByteIsUnsigned", "255,12,31,23,59,59,5",
     "yes " + MSecsOf(2155, 12, 31, 23, 59, 59) + " 0"},
    {"NoLeapDay2001", "101,2,29,13,5,9,0", "Invalid argument to date encode"},
    {"Hour24", "101,3,4,24,0,0,0", "Invalid argument to time encode"},
    // Date and time come from one read, even when the server's midnight falls between
    // two.
    {"OneReadAcrossMidnight", "99,12,31,23,59,59,5;100,1,1,0,0,0,6",
     "yes " + MSecsOf(1999, 12, 31, 23, 59, 59) + " 0"},
};

class ServerBuffer : public testing::TestWithParam<TBufferCase> {};

TEST_P(ServerBuffer, GivesTheServersLocalDateAndTimeOrRaises) {
    TTempDir dir;
    PlaceLibraries(dir.Path());
    EXPECT_EQ(ReadServerDate(dir, std::string("NWSIM_SERVER_BYTES=") + GetParam().Bytes),
              GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(SimulatedServer, ServerBuffer, testing::ValuesIn(BufferCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ServerDate, FailingReadOrNoClientGivesTheWorkstationsClockAtThatMoment) {
    TDateTime now = EncodeDate(2024, 5, 6) + EncodeTime(7, 8, 9, 123);
    TTempDir noClient, dir;
    PlaceLibraries(dir.Path());
    std::string none = ReadServerDate(noClient, "", now);
    EXPECT_EQ(none.substr(0, none.rfind(' ')), "no " + std::to_string(ToMSecs(now)));
    std::string failing = ReadServerDate(dir, "NWSIM_DATETIME_FAILS=1", now);
    EXPECT_EQ(failing.substr(0, failing.rfind(' ')), "yes " + std::to_string(ToMSecs(now)));
    EXPECT_NE(failing.substr(failing.rfind(' ')), " 0") << "the failure is not kept";
}

// The built-in operation through a scheduler whose session binds the client, in a zone
// five hours behind UTC. Without a client it fails and logs it: vantle-schedctl run
// shows that.
TEST(BuiltinResetTime, SetsTheClockToTheServersTimeInUtc) {
    TTempDir dir;
    PlaceLibraries(dir.Path());
    // 15 January 2024 21:30:00 on the server is 02:30 the next day in UTC.
    std::string shown = RunIsolated("TZ=EST5 NWSIM_SERVER_BYTES=124,1,15,21,30,0,1", [&] {
        TFakeServices fake;
        fake.Clock.Set(EncodeDate(2024, 1, 15) + EncodeTime(9, 0, 5, 0));
        fake.ExecutablePath = dir.File("vantle-schedctl");
        TSchedulerServices services = fake.Services();
        services.MakeSession = [&] {
            return std::make_unique<TNWBase>(
                std::make_unique<TDlLibraryLoader>(dir.Path().string()), fake.Clock);
        };
        TSchedList list;
        list.Add(EntryOf({.Name = "Sync", .Type = ctBuiltinResetTime, .Command = "ignored"}));
        TScheduler(list, services).ExecuteEntry(0);
        std::string set;
        for (const TSystemTime& utc : fake.ClockSetter.Records) {
            char text[64];
            std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u weekday %u; ",
                          utc.Year, utc.Month, utc.Day, utc.Hour, utc.Minute, utc.Second,
                          utc.Milliseconds, utc.DayOfWeek);
            set += text;
        }
        return set;
    });
    EXPECT_EQ(shown, "2024-01-16 02:30:00.000 weekday 2; ");
}

} // namespace
