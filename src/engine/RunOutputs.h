// What each run's program printed: one private file a run in the records' outputs
// folder, named after the schedule and the run. Only files: the records themselves live
// in the run store, so the scheduler can make a run's file before its record is written.
// The folder is opened once and every file is reached through it, so a folder renamed
// away and replaced later by somebody else's gets nothing of ours; a file the user does
// not own is neither written nor removed.
#pragma once

#include "platform/FileWriter.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace vantle {

constexpr std::uint64_t DefaultOutputKeep = 1 << 20;

/// How errors name the records' folder and files.
extern const char* const RunRecordFolderRole;
extern const char* const RunRecordFileRole;
/// Raises EPathRefused for a run record file.
[[noreturn]] void RefuseRunRecordFile(const std::string& path, const std::string& reason);

/// How a cut went: whether anything was cut, and whether only the output's head could be
/// kept (the disk had no room for the cut's copy of its tail).
struct TOutputCut {
    bool Cut = false;
    bool HeadKept = false;
};

/// Holds a program's output (`fd`, -1: none) to `cap` (0: none), however much it wrote,
/// and returns all it wrote; sets `cut` when it wrote more. While something may still
/// write to it, the part past the cap is released and the file's length stays, so appends
/// go on where they would; once nothing does, the file ends at the cap.
std::uint64_t HoldOutputToCap(int fd, std::uint64_t cap, bool stillWritten, bool& cut);

/// Raises EPathRefused for a folder or file that is not the user's own and private,
/// EInOutError when the file system fails.
class TRunOutputs {
public:
    /// `folder`: the records folder, holding outputs/; made (private) and opened now when
    /// `create`, else opened when first needed (a reader may come before the writer).
    TRunOutputs(const std::string& folder, const std::string& scheduleFile, bool create);

    const std::string& Folder() const { return FFolder; }
    /// Where the run's output goes, as the user reads it.
    std::string PathOf(std::int64_t run) const;
    /// Creates the run's output file, mode 0600, for appending: whatever holds it writes
    /// at the end, so the part past a cap can be released under a writer. A file the
    /// user owns already there is replaced; one of somebody else's is refused.
    TOwnFd Create(std::int64_t run) const;
    /// The run's output file for writing (to hold it to a cap); none when it has none.
    TOwnFd Open(std::int64_t run) const;
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
    /// Bytes the run's file takes on the disk (a cap's released part not counted), 0 when
    /// it has none.
    std::uint64_t SizeOf(std::int64_t run) const;
    /// Removes this schedule's output files but those of `kept` (and a cut's leftovers);
    /// never a file of somebody else's.
    void Sweep(const std::set<std::int64_t>& kept) const;

private:
    /// The outputs folder's descriptor; -1 while a reader's folder does not exist yet.
    int FolderFd() const;
    /// The run's file opened with `flags` through the folder, when it is the user's own
    /// regular file; none when missing.
    TOwnFd OpenOwn(const std::string& name, int flags) const;
    std::string NameOf(std::int64_t run) const;

    std::string FFolder; // the outputs folder
    std::string FPrefix; // the schedule's hash and "-"
    bool FCreate = false;
    /// Set at construction for a writer (so threads may share it), at first need for a
    /// reader.
    mutable TOwnFd FFolderFd;
};

} // namespace vantle
