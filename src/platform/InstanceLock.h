// One scheduler per schedule file and user on a machine: an flock on a file named after
// the schedule's folder (its device and inode) and name, in the user's private folder
// under /tmp.
#pragma once

#include "platform/FileWriter.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vantle {

/// Who holds a schedule's lock, as read without taking it.
struct TLockHolder {
    bool Held = false;
    pid_t Pid = 0;
    /// What the holder wrote after its pid, a line each (see TInstanceLock::Describe).
    std::vector<std::string> Lines;
};

class TInstanceLock {
public:
    /// Names the lock after `scheduleFile`, in "BASE/vantle-scheduler-UID"; nothing is
    /// made or taken yet. The base is /tmp itself, not $TMPDIR nor a session's runtime
    /// folder: every shell, login session and cron job of the user must meet one lock.
    /// The name comes from the device and inode of the file's folder and the file's
    /// name (its real path's), so a symbolic link, a bind mount or any other path to the
    /// folder meets the same lock; a save replaces the file's own inode, so that cannot
    /// be the key, and a hard link to the file is another name: not the same lock.
    explicit TInstanceLock(const std::string& scheduleFile, const std::string& base = "/tmp");
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    /// True when this process holds the lock now (also when it did already); false
    /// when another process holds it, HolderPid then says which. The lock of earlier
    /// releases, named after the real path (OldLockPath), is taken too, so an older
    /// program on the same file is met as well; both or neither are held. Makes the private
    /// folder with mode 0700 when missing. Raises EPathRefused when the folder is not
    /// the user's own folder of mode 0700 (a link, another user's, open to others), or
    /// the lock file not the user's own regular file; EInOutError when either cannot
    /// be opened.
    bool TryAcquire();
    /// The process that holds the lock, as it wrote itself into the file; 0 unknown.
    pid_t HolderPid() const { return FHolder; }
    /// Writes `lines` after the pid in the held lock file, for `status` to read. Older
    /// programs read the number at the start alone. Nothing when the lock is not held.
    void Describe(const std::vector<std::string>& lines);
    /// Whether a process holds the lock now, and what it wrote: read from the kernel's
    /// list of locks, never by taking the lock, so a look cannot stand in a start's way.
    TLockHolder Holder(const std::string& locksList = "/proc/locks") const;
    /// The user's private folder, which holds the locks and the windows' sockets.
    const std::string& Folder() const { return FFolder; }
    /// The lock file in that folder: "HASH.lock", the hash of the folder's device and
    /// inode and the file's name.
    const std::string& LockPath() const { return FLockPath; }
    /// The lock of earlier releases, also taken: "HASH.lock", the real path's hash.
    const std::string& OldLockPath() const { return FOldLockPath; }
    /// The same path with another ending, for things that belong to the holder (the
    /// window's local socket).
    std::string SiblingPath(const std::string& ending) const;

private:
    std::string FFolder;
    std::string FLockPath;
    std::string FOldLockPath;
    TOwnFd FLock;    // closing releases the flock
    TOwnFd FOldLock; // none when both names are one

    bool FHeld = false;
    pid_t FHolder = 0;
};

/// The path with symbolic links and "." and ".." resolved; for a file that does not
/// exist yet, its folder's resolved path and its name.
std::string CanonicalPath(const std::string& path);

/// 16 hex digits that name files after a schedule's canonical path (its lock, its runs'
/// output), the same on every run of every program.
std::string PathHash(std::string_view path);

} // namespace vantle
