// A scheduler on the fake clock over a one-entry schedule, its runs recorded: programs
// "end" when the test says so.
#pragma once

#include "engine/FailureWatch.h"
#include "engine/Scheduler.h"

#include "support/FakeServices.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace vantle::test {

using TLines = std::vector<std::string>;

class TScheduleRunTest : public testing::Test {
protected:
    TScheduleRunTest() {
        List.SetFileName(Dir.File("Sched.INI"));
        Fake.ExecutablePath = Dir.File("Sched.exe");
        Fake.Starter.OnStart = [this] { ++Fake.Starter.Pid; };
        Fake.Starter.Pid = 100;
    }

    void Load(const std::string& more, const std::string& time = "30 2 * * *") {
        WriteFile(
            List.FileName(),
            ScheduleText({{.Name = "Sync", .Time = time, .Command = "/opt/sync", .More = more}}));
        List.Load();
    }

    void Start() {
        TSchedulerServices services = Fake.Services();
        services.Recorder = &Recorder;
        services.DefaultOnFailure = DefaultOnFailure;
        if (Configure)
            Configure(services);
        Watch.OnNotice = [this](const TNotice& notice) {
            if ((notice.Kind == TNotice::Failure && !notice.Repeated) ||
                notice.Kind == TNotice::Recovered)
                Told.push_back(notice.Text);
            if (notice.Kind == TNotice::Records)
                News.push_back(notice.Text);
        };
        Watch.Attach(services);
        Scheduler = std::make_unique<TScheduler>(List, services);
        Scheduler->SetEnabled(true);
    }

    // The cycle of hh:mm on `Day` June 2026.
    void CycleAt(int hour, int minute) {
        Fake.Clock.Set(EncodeDate(2026, 6, Day) + EncodeTime(hour, minute, 5, 0));
        Scheduler->RunCycle();
    }

    // The program started last ends with `code`, having written `output`.
    void EndLast(int code, const std::string& output = {}) {
        if (!output.empty()) {
            ASSERT_TRUE(Recorder.Flush(10'000));
            WriteFile(Recorder.Outputs().PathOf(LastRecord()), output);
        }
        ASSERT_TRUE(Scheduler->ProgramEnded(Fake.Starter.Pid, false, code));
    }

    std::int64_t LastRecord() {
        EXPECT_TRUE(Recorder.Flush(10'000));
        std::vector<TStoredRun> runs = Runs();
        return runs.empty() ? 0 : runs.back().Id;
    }

    std::vector<TStoredRun> Runs() {
        EXPECT_TRUE(Recorder.Flush(10'000));
        return TRunStore(Dir.File("state"), List.FileName(), TRunStoreMode::Reader).Runs({});
    }

    // What the runs say: "trigger k/N result".
    TLines Marks() {
        TLines marks;
        for (const TStoredRun& run : Runs())
            marks.push_back(std::string(TriggerText(run.Trigger)) + " " +
                            std::to_string(run.Attempt) + "/" + std::to_string(run.Attempts) + " " +
                            run.Result);
        return marks;
    }

    TLines LogWith(const std::string& text) {
        TLines lines;
        std::copy_if(Fake.LogLines.begin(), Fake.LogLines.end(), std::back_inserter(lines),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
        return lines;
    }

    TTempDir Dir;
    TFakeServices Fake;
    TSchedList List;
    std::int64_t LastKey = 0;
    TRunRecorder Recorder{
        Dir.File("state"), Dir.File("Sched.INI"), {.MakeKey = [this] { return ++LastKey; }}};
    TFailureWatch Watch;
    TLines Told, News;
    std::string DefaultOnFailure;
    std::function<void(TSchedulerServices&)> Configure; // before the scheduler is made
    std::unique_ptr<TScheduler> Scheduler;
    int Day = 10;
};

} // namespace vantle::test
