// Every outcome of a run through the one conclusion: the log's lines, the record, the
// failure list and the notification, checked together.
#include "engine/RunConclusion.h"

#include "support/FakeServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

using namespace vantle;
using namespace vantle::test;

namespace {

struct TConclusionCase {
    const char* Label;
    TRunOutcome Outcome;
    std::vector<std::string> Log;
    const char* Result; // the record's; null: no record
    bool Failure;
    const char* Listed; // the failure list's text; null: nothing listed
    std::optional<TRunEvent::TKind> Told;
};

constexpr std::int64_t RanNs = 12'400'000'000;

TRunOutcome Outcome(TRunOutcome::TKind kind) {
    return {.Kind = kind, .Name = "Job", .RanNs = RanNs};
}

TRunOutcome With(TRunOutcome outcome, const std::function<void(TRunOutcome&)>& change) {
    change(outcome);
    return outcome;
}

class RunConclusionTest : public testing::TestWithParam<TConclusionCase> {
protected:
    RunConclusionTest() { Fake.Clock.Set(EncodeDate(2026, 12, 7) + EncodeTime(2, 30, 5, 0)); }

    TTempDir Dir;
    TFakeServices Fake;
};

TEST_P(RunConclusionTest, WritesTheLogTheRecordTheListAndTheNewsTogether) {
    const TConclusionCase& c = GetParam();
    TTestLog log(Dir.File("jobs.LOG"), Fake);
    std::int64_t lastKey = 0;
    TRunRecorder recorder(Dir.File("state"), Dir.File("jobs.INI"),
                          {.MakeKey = [&lastKey] { return ++lastKey; }});
    TOutputHold outputs(Fake.Clock, &recorder, 1 << 20, 1 << 10);
    std::vector<TRunEvent> told;
    TRetries retries;
    TRunConclusion conclusion(log, Fake.Clock, &recorder, outputs, retries,
                              [&told](const TRunEvent& event) { told.push_back(event); });
    TRunOutcome outcome = c.Outcome;
    // A played skip has no record: a dry run records nothing.
    if (c.Result != nullptr || outcome.Kind == TRunOutcome::Started)
        outcome.Record = conclusion.BeginRecord("Job", "/opt/job", "-q", TRunTrigger::Schedule);
    conclusion.Conclude(outcome);

    EXPECT_EQ(Fake.LogLines, c.Log);
    ASSERT_TRUE(recorder.Flush(10'000));
    if (outcome.Record != 0) {
        std::optional<TStoredRun> run =
            TRunStore(Dir.File("state"), Dir.File("jobs.INI"), TRunStoreMode::Reader)
                .Run(outcome.Record);
        ASSERT_TRUE(run);
        EXPECT_EQ(run->Result, c.Result != nullptr ? c.Result : "");
        EXPECT_EQ(run->Failure, c.Failure);
        const bool ended = c.Told == TRunEvent::Exited || c.Told == TRunEvent::Signalled ||
                           c.Told == TRunEvent::Followed;
        EXPECT_EQ(run->DurationMs, ended ? RanNs / 1'000'000 : 0);
    }
    if (c.Listed != nullptr)
        EXPECT_EQ(conclusion.Failures(), (std::vector<TEntryFailure>{{"Job", c.Listed}}));
    else
        EXPECT_TRUE(conclusion.Failures().empty());
    ASSERT_EQ(told.size(), c.Told ? 1u : 0u);
    if (c.Told) {
        const TRunEvent& event = told.front();
        EXPECT_EQ(event.Kind, *c.Told);
        EXPECT_EQ(event.Name, "Job");
        EXPECT_EQ(event.Record, outcome.Record);
        EXPECT_NE(event.Moment, 0);
        EXPECT_EQ(event.Pid, outcome.Kind == TRunOutcome::CouldNotStart ? 0 : outcome.Pid);
        EXPECT_EQ(event.Code, outcome.Kind == TRunOutcome::Started ? 0 : outcome.Code);
        EXPECT_EQ(event.ByUser, outcome.Kind == TRunOutcome::StoppedByUser);
        EXPECT_EQ(event.TimeLimit, outcome.Kind == TRunOutcome::StoppedAtLimit ? 5 : 0);
        const bool ended = *c.Told == TRunEvent::Exited || *c.Told == TRunEvent::Signalled ||
                           *c.Told == TRunEvent::Followed;
        EXPECT_EQ(event.Seconds, ended ? 12 : 0);
    }
}

using O = TRunOutcome;
using E = TRunEvent;

INSTANTIATE_TEST_SUITE_P(
    EveryOutcome, RunConclusionTest,
    testing::Values(
        TConclusionCase{"started",
                        With(Outcome(O::Started), [](O& o) { o.Pid = 4711; }),
                        {},
                        nullptr,
                        false,
                        nullptr,
                        E::Started},
        TConclusionCase{"could not start",
                        With(Outcome(O::CouldNotStart),
                             [](O& o) {
                                 o.Code = 2;
                                 o.Text = "/opt/job";
                             }),
                        {"Job Failed (2)", "Job could not start: file not found (2)"},
                        "Failed: file not found (2)",
                        true,
                        "could not start /opt/job: file not found (2)",
                        E::Failed},
        TConclusionCase{"failed",
                        With(Outcome(O::Failed), [](O& o) { o.Text = "Invalid date"; }),
                        {"Job failed: Invalid date"},
                        "Failed: Invalid date",
                        true,
                        "Invalid date",
                        std::nullopt},
        TConclusionCase{"failed, raised to the caller",
                        With(Outcome(O::Failed),
                             [](O& o) {
                                 o.Text = "Invalid date";
                                 o.Raised = true;
                             }),
                        {},
                        "Failed: Invalid date",
                        true,
                        nullptr,
                        std::nullopt},
        TConclusionCase{"exited 0",
                        Outcome(O::Exited),
                        {"Job ended with code 0 after 12 s"},
                        "Exited 0",
                        false,
                        nullptr,
                        E::Exited},
        TConclusionCase{"exited 3",
                        With(Outcome(O::Exited), [](O& o) { o.Code = 3; }),
                        {"Job ended with code 3 after 12 s"},
                        "Exited 3",
                        true,
                        nullptr,
                        E::Exited},
        TConclusionCase{"signalled",
                        With(Outcome(O::Signalled), [](O& o) { o.Code = 9; }),
                        {"Job ended by signal 9 after 12 s"},
                        "Killed by signal 9",
                        true,
                        nullptr,
                        E::Signalled},
        TConclusionCase{"stopped by the user",
                        With(Outcome(O::StoppedByUser),
                             [](O& o) {
                                 o.Code = 15;
                                 o.BySignal = true;
                             }),
                        {"Job ended by signal 15 after 12 s"},
                        "Stopped by the user",
                        false,
                        nullptr,
                        E::Signalled},
        TConclusionCase{"stopped at its limit, though it exited 0",
                        With(Outcome(O::StoppedAtLimit), [](O& o) { o.TimeLimit = 5; }),
                        {"Job ended with code 0 after 12 s"},
                        "Stopped at time limit",
                        true,
                        nullptr,
                        E::Exited},
        TConclusionCase{"ended after a restart",
                        Outcome(O::EndedAfterRestart),
                        {"Job ended after the scheduler restarted, 12 s after its start"},
                        EndedAfterRestartResult,
                        false,
                        nullptr,
                        E::Followed},
        TConclusionCase{"skipped",
                        With(Outcome(O::Skipped),
                             [](O& o) {
                                 o.Pid = 77;
                                 o.RunningSince = EncodeDate(2026, 12, 7) + EncodeTime(2, 29, 5, 0);
                             }),
                        {"Job skipped: the run started at 02.29 is still running (process 77)"},
                        "Skipped",
                        false,
                        nullptr,
                        E::Skipped},
        TConclusionCase{
            "skipped in a dry run",
            With(Outcome(O::Skipped),
                 [](O& o) { o.RunningSince = EncodeDate(2026, 12, 7) + EncodeTime(2, 29, 5, 0); }),
            {"Job skipped: the run started at 02.29 is still running (played)"},
            nullptr,
            false,
            nullptr,
            std::nullopt},
        TConclusionCase{
            "clock set", Outcome(O::ClockSet), {}, "Clock set", false, nullptr, E::ClockSet},
        TConclusionCase{"clock not set",
                        With(Outcome(O::ClockNotSet),
                             [](O& o) {
                                 o.Code = 1;
                                 o.Text = "operation not permitted";
                             }),
                        {"Builtin Job failed; could not set the clock: operation not permitted"},
                        "Clock not set: operation not permitted",
                        true,
                        "could not set the clock: operation not permitted",
                        E::ClockNotSet},
        TConclusionCase{"no network",
                        Outcome(O::NoNetwork),
                        {"Builtin Job failed; no netware connection"},
                        "No network connection",
                        true,
                        "no netware connection",
                        E::NoNetwork}),
    [](const testing::TestParamInfo<TConclusionCase>& info) {
        std::string name;
        for (const char* c = info.param.Label; *c != '\0'; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

} // namespace
