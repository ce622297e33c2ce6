// Writes every file the scheduler owns (schedule, state, log and its rotation), so a
// link planted in a shared folder can never turn a write into one of another file.
#pragma once

#include "platform/SysErrors.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vantle {

/// A path the programs will not write: "PATH: REASON" through DescribeError, code 5.
class EFileRefused : public EInOutError {
public:
    EFileRefused(const std::string& path, const std::string& reason);
};

/// Raises EFileRefused for `path` unless `mode` (from stat) is a regular file's.
void RefuseUnlessRegular(const std::string& path, mode_t mode);

/// An open descriptor that closes on every way out.
class TOwnFd {
public:
    explicit TOwnFd(int fd = -1) : FFd(fd) {}
    ~TOwnFd();
    TOwnFd(TOwnFd&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    TOwnFd& operator=(TOwnFd&& other) noexcept;
    TOwnFd(const TOwnFd&) = delete;
    TOwnFd& operator=(const TOwnFd&) = delete;

    int Get() const { return FFd; }
    /// Closes now; 0 or the errno of the close (a deferred write error on some systems).
    int Close();

private:
    int FFd;
};

/// Where `path` really leads: a link the user owns is followed (a user's own link of the
/// log to another disk works), a link owned by anybody else raises EFileRefused.
std::string ResolveOwnLinks(const std::string& path);

/// Opens the file at `path` for writing with `flags` (O_APPEND or O_TRUNC, say), through
/// the user's own links only. A missing file is created with O_CREAT | O_EXCL |
/// O_NOFOLLOW and `mode` when `create` is set. Anything but a regular file is refused.
TOwnFd OpenOwnFile(const std::string& path, int flags, bool create, mode_t mode = 0666);

/// Appends `data` to the open file whole or not at all: a failed or short write cuts the
/// file back to its old length before the error is raised (naming `path`).
void AppendWhole(int fd, std::string_view data, const std::string& path);

/// A running program's output file past `keep` bytes: what lies beyond is dropped (its
/// blocks freed) while the program goes on writing; returns the bytes the file has now
/// reached, whether or not any were dropped. The caller cuts the file back to `keep` at
/// the run's end.
std::uint64_t DropOutputPast(int fd, std::uint64_t keep);
/// Cuts the open file to `length` bytes; false when the file system refused.
bool CutFileAt(int fd, std::uint64_t length);

/// The process's file mode creation mask, without changing it (022 where the kernel
/// does not tell).
mode_t CurrentUmask();

/// Replaces the content of the file at `path` (through the user's own links) so that it
/// is at every moment the whole old or the whole new file: a private temporary file
/// beside it, fsync, the old file's owner, group, mode and access list, rename, fsync
/// of the folder. A new file gets `newMode`. An access list that cannot be kept fails
/// the save with the old file untouched; other extended attributes are copied where
/// possible, and the ones that could not be are returned as warnings.
std::vector<std::string> ReplaceFileContent(const std::string& path, std::string_view content,
                                            mode_t newMode);

} // namespace vantle
