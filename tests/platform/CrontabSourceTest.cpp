// The system side of a crontab import: crontab -l run through the starter (played by the
// suite's helper), what its failures say, the machine's zone and the user column.
#include "platform/CrontabSource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace vantle {
namespace {

using ::testing::HasSubstr;

std::string FailureOf(const std::string& program, const std::string& parameters,
                      int timeoutMs = 10000) {
    try {
        ReadUserCrontab(program, parameters, timeoutMs);
    } catch (const ECrontabSource& error) {
        return error.Message();
    }
    return "(read)";
}

TEST(CrontabSource, ReadsWhatTheProgramPrints) {
    EXPECT_EQ(ReadUserCrontab(VANTLE_ENDHELPER, "print 0"), "out\nerr\nout again\n");
}

// Each way of failing is told in a user's words, and no child is left behind.
TEST(CrontabSource, TellsHowItFailed) {
    EXPECT_EQ(FailureOf(VANTLE_ENDHELPER, "print 3"),
              "crontab -l failed with code 3: out\nerr\nout again");
    EXPECT_EQ(FailureOf(VANTLE_ENDHELPER, "signal 9"), "crontab -l was ended by signal 9");
    EXPECT_EQ(FailureOf(VANTLE_ENDHELPER, "sleep 20000", 200), "crontab -l did not end within 1 s");
    EXPECT_THAT(FailureOf("/nonexistent/crontab", "-l"),
                HasSubstr("could not start: file not found (2); cron seems not to be installed"));
    EXPECT_EQ(CrontabFailure(false, 1, "no crontab for ann\n"),
              "you have no crontab (crontab -l: no crontab for ann)");
}

TEST(CrontabSource, NamesTheMachineZoneFromTz) {
    const std::string kept = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
    for (const auto& [tz, zone] : std::vector<std::pair<std::string, std::string>>{
             {"Europe/Berlin", "Europe/Berlin"},
             {":America/New_York", "America/New_York"},
             {"/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"}}) {
        setenv("TZ", tz.c_str(), 1);
        EXPECT_EQ(MachineZone(), zone) << tz;
    }
    setenv("TZ", kept.c_str(), 1);
}

TEST(CrontabSource, AUserColumnIsAUserAndNoProgram) {
    EXPECT_TRUE(IsUserColumn("root"));
    EXPECT_FALSE(IsUserColumn("no-such-user-here"));
    EXPECT_FALSE(IsUserColumn("/root"));
    EXPECT_FALSE(IsUserColumn(""));
}

} // namespace
} // namespace vantle
