// What both programs take before their scheduler runs: the files checked, the schedule's
// instance lock, and the run records; with one set of texts for what stops a start.
#pragma once

#include "engine/RunRecorder.h"
#include "platform/InstanceLock.h"
#include "platform/SysErrors.h"

#include <optional>
#include <string>

namespace vantle {

/// A start that cannot go on safely, in the words the user is told.
class EStartRefused : public Exception {
public:
    using Exception::Exception;
};

class TSchedulerStart {
public:
    /// Checks that the schedule, its log and its state can be written (a folder's name
    /// would lead the log and the state beside it), before anything is written, then
    /// takes the schedule's instance lock. Raises EStartRefused. A lock that another
    /// scheduler holds is no error: see Held.
    TSchedulerStart(const std::string& scheduleFile, const std::string& logFile);
    TSchedulerStart(const TSchedulerStart&) = delete;
    TSchedulerStart& operator=(const TSchedulerStart&) = delete;

    /// Whether this scheduler holds the lock: two on one file would run every entry twice.
    bool Held() const { return FHeld; }
    /// Why a start that does not hold the lock cannot go on.
    std::string HeldElsewhere() const;
    const TInstanceLock& Lock() const { return FLock; }
    /// Says in the lock file which program holds it, where its state file is, whether it
    /// is switched on and whether a window holds unsaved changes, so that `status`,
    /// `upcoming` and the editing commands find them.
    void Describe(const std::string& program, bool on);
    void DescribeUnsaved(bool unsaved);

    /// Opens the run records of the schedule in `folder` (the lock held); null when the
    /// store cannot be opened, RecordsRefused saying why: the runs still go on.
    TRunRecorder* OpenRecords(const std::string& folder);
    const std::string& RecordsRefused() const { return FRecordsRefused; }

private:
    std::string FScheduleFile;
    std::string FLogFile;
    TInstanceLock FLock;
    std::string FProgram;
    bool FOn = false;
    bool FUnsaved = false;
    bool FHeld = false;
    std::optional<TRunRecorder> FRecorder;
    std::string FRecordsRefused;
};

} // namespace vantle
