#include "engine/SchedulerStart.h"

#include "engine/StateFile.h"
#include "platform/PathChecks.h"

namespace vantle {

TSchedulerStart::TSchedulerStart(const std::string& scheduleFile, const std::string& logFile)
    : FScheduleFile(scheduleFile), FLogFile(logFile), FLock(scheduleFile) {
    try {
        CheckWritablePath(scheduleFile, "schedule");
        CheckWritablePath(logFile, "log");
        CheckWritablePath(StateFileOf(scheduleFile, logFile), "state");
    } catch (const std::exception& e) {
        throw EStartRefused(DescribeError(e));
    }
    try {
        FHeld = FLock.TryAcquire();
    } catch (const std::exception& e) {
        throw EStartRefused(scheduleFile + ": no instance lock: " + DescribeError(e));
    }
}

std::string TSchedulerStart::HeldElsewhere() const {
    return FScheduleFile + ": already used by another scheduler (process " +
           std::to_string(FLock.HolderPid()) + ")";
}

TRunRecorder* TSchedulerStart::OpenRecords(const std::string& folder) {
    if (!FHeld)
        return nullptr;
    try {
        if (!FRecorder)
            FRecorder.emplace(folder, FScheduleFile);
        FRecordsRefused.clear();
        return &*FRecorder;
    } catch (const std::exception& e) {
        FRecordsRefused = "Runs are not recorded: " + DescribeError(e);
        return nullptr;
    }
}

void TSchedulerStart::Describe(const std::string& program, bool on) {
    FProgram = program;
    FOn = on;
    FLock.Describe({FProgram, StateFileOf(FScheduleFile, FLogFile), FOn ? "on" : "off",
                    FUnsaved ? "unsaved" : "saved"});
}

void TSchedulerStart::DescribeUnsaved(bool unsaved) {
    if (unsaved == FUnsaved)
        return;
    FUnsaved = unsaved;
    Describe(FProgram, FOn);
}

} // namespace vantle
