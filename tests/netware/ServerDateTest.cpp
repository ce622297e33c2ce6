#include "NWSimSupport.h"
#include "netware/nwbase.h"
#include "netware/nwlib.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

using namespace vantle;
using namespace vantle::test;

namespace {

/// ServerDate in milliseconds, read in a child process on a client placed in `dir`.
TReport ReadServerDate(const TTempDir& dir, const TEnvironmentSettings& environment,
                       TDateTime workstationNow = 0, int reads = 1) {
    return RunIsolated(environment, [&] {
        TDlLibraryLoader loader(dir.Path().string());
        TFakeClock clock(workstationNow);
        clock.SetStep(1.0 / 24 / 60); // a minute later at every reading
        TNWBase session(loader, clock);
        TReport report{{"net", session.NetAvailable() ? "yes" : "no"}};
        for (int i = 1; i <= reads; ++i)
            report["read" + std::to_string(i)] = std::to_string(ToMSecs(session.ServerDate()));
        report["calls-error"] = std::to_string(NWModule().CallsLastError);
        return report;
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

std::ostream& operator<<(std::ostream& out, const TBufferCase& c) {
    return out << c.Name;
}

const TBufferCase BufferCases[] = {
    {"March2001", "101,3,4,13,5,9,0", MSecsOf(2001, 3, 4, 13, 5, 9)},
    {"LeapDay2000", "100,2,29,0,0,0,2", MSecsOf(2000, 2, 29, 0, 0, 0)},
    {"YearByteIsUnsigned", "255,12,31,23,59,59,5", MSecsOf(2155, 12, 31, 23, 59, 59)},
    {"NoLeapDay2001", "101,2,29,13,5,9,0", "Invalid argument to date encode"},
    {"Hour24", "101,3,4,24,0,0,0", "Invalid argument to time encode"},
};

class ServerBuffer : public testing::TestWithParam<TBufferCase> {};

TEST_P(ServerBuffer, GivesTheServersLocalDateAndTimeOrRaises) {
    TTempDir dir;
    PlaceLibraries(dir.Path(), FullClient);
    TReport report = ReadServerDate(dir, {{"NWSIM_SERVER_BYTES", GetParam().Bytes}});
    std::string actual = report.count("raised") ? report["raised"] : report["read1"];
    EXPECT_EQ(actual, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(SimulatedServer, ServerBuffer, testing::ValuesIn(BufferCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ServerDate, TakesDateAndTimeFromOneReadAcrossTheServersMidnight) {
    TTempDir dir;
    PlaceLibraries(dir.Path(), FullClient);
    std::string log = dir.File("calls.log");
    TReport report = ReadServerDate(
        dir, {{"NWSIM_LOG", log}, {"NWSIM_SERVER_BYTES", "99,12,31,23,59,59,5;100,1,1,0,0,0,6"}}, 0,
        2);
    EXPECT_EQ(report["read1"], MSecsOf(1999, 12, 31, 23, 59, 59));
    EXPECT_EQ(report["read2"], MSecsOf(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(CallCount(log, "NWGetFileServerDateAndTime"), 2);
}

TEST(ServerDate, FailingReadOrNoClientGivesTheWorkstationsClockAtThatMoment) {
    TDateTime now = EncodeDate(2024, 5, 6) + EncodeTime(7, 8, 9, 123);
    TTempDir noClient;
    TReport report = ReadServerDate(noClient, {}, now);
    EXPECT_EQ(report["net"], "no");
    EXPECT_EQ(report["read1"], std::to_string(ToMSecs(now)));
    TTempDir dir;
    PlaceLibraries(dir.Path(), FullClient);
    report = ReadServerDate(dir, {{"NWSIM_DATETIME_FAILS", "1"}}, now);
    EXPECT_EQ(report["net"], "yes");
    EXPECT_EQ(report["read1"], std::to_string(ToMSecs(now)));
    EXPECT_NE(report["calls-error"], "0");
}

} // namespace
