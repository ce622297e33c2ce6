// What each entry did last: when it ran and how that ended, kept by name from the
// scheduler's events and read back from the log's tail at start-up.
#pragma once

#include "engine/RunStore.h"
#include "engine/Scheduler.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vantle {

struct TRunRecord {
    std::optional<TDateTime> LastRun;      // when the scheduler last carried the entry out
    std::string Result;                    // "" while nothing is known of the outcome
    std::optional<TDateTime> ResultMoment; // when the result came
    bool Error = false;                    // a failure or a non-zero end
    // Which run LastRun tells of: its record (0: not recorded), or a skip, so that the
    // end of an earlier run does not put its result beside a later moment.
    std::int64_t LatestRecord = 0;
    bool LatestSkipped = false;
    std::optional<TDateTime> SkippedFor; // a skip's: when the run still running started
};

/// The event a log message stands for ("Executing NAME (Command X)", "NAME Failed (2)",
/// "NAME ended with code 0 after 3 s", ...); nullopt for any other line.
std::optional<TRunEvent> RunEventOfLogLine(std::string_view line);

class TRunHistory {
public:
    /// The newest event of a name wins.
    void Apply(const TRunEvent& event);
    /// Reads the events of the log's last `tailBytes` bytes; a missing or unreadable
    /// log gives nothing.
    void ReadLog(const std::string& path, std::size_t tailBytes = 4 << 20);
    /// What ran before this start: each entry's newest run on record, or, while the
    /// store has none yet (the first start after an upgrade, or no store), the log's
    /// tail. Never raises: what cannot be read is simply not shown.
    void ReadBack(const TRunStore* store, const std::string& logPath);
    /// A run on record as the grid tells it.
    void Take(const TStoredRun& run);
    /// The record of an entry's name as the schedule holds it.
    const TRunRecord* Find(const std::string& name) const;

private:
    void Record(const std::string& logName, const TRunEvent& event);

    // Keyed by the name as the log shows it (LogSafeText): what is read back from the
    // log has no other form.
    std::map<std::string, TRunRecord> FRecords;
};

} // namespace vantle
