// What each run's program printed: one private file a run in the records' outputs
// folder, named after the schedule and the run. Only files: the records themselves live
// in the run store, so the scheduler can make a run's file before its record is written.
#pragma once

#include "platform/FileWriter.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace vantle {

constexpr std::uint64_t DefaultOutputKeep = 1 << 20;

/// How a cut went: whether anything was cut, and whether only the output's head could be
/// kept (the disk had no room for the cut's copy of its tail).
struct TOutputCut {
    bool Cut = false;
    bool HeadKept = false;
};

/// Raises EPathRefused for a folder or file that is not the user's own and private,
/// EInOutError when the file system fails.
class TRunOutputs {
public:
    /// `folder`: the records folder, holding outputs/; made (private) when `create`.
    TRunOutputs(const std::string& folder, const std::string& scheduleFile, bool create);

    const std::string& Folder() const { return FFolder; }
    /// Where the run's output goes.
    std::string PathOf(std::int64_t run) const;
    /// Creates (or empties) the run's output file, mode 0600, for writing.
    TOwnFd Create(std::int64_t run) const;
    /// The output's last `maxBytes`, after a first line "... N bytes left out ..." when
    /// not all of it is there (N out of `total`, all the program wrote); empty when the
    /// run has none. `headKept`: the file holds the output's beginning instead, and a last
    /// line says so.
    std::string Read(std::int64_t run, std::size_t maxBytes, std::uint64_t total,
                     bool headKept = false) const;
    /// Cuts a run's output file down to its last `keepBytes`, behind the
    /// "... N bytes left out ..." line; a disk too full for the copy keeps the first
    /// `keepBytes` instead.
    TOutputCut Cut(std::int64_t run, std::uint64_t keepBytes, std::uint64_t total) const;
    /// Bytes the run's file takes, 0 when it has none.
    std::uint64_t SizeOf(std::int64_t run) const;
    /// Removes this schedule's output files but those of `kept` (and a cut's leftovers).
    void Sweep(const std::set<std::int64_t>& kept) const;

private:
    std::string FFolder; // the outputs folder
    std::string FPrefix; // the schedule's hash and "-"
};

} // namespace vantle
