// One scheduler per schedule file and user on a machine: an flock on a file named after
// the schedule's canonical path, in the user's private folder under /tmp.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace vantle {

class TInstanceLock {
public:
    /// Names the lock after `scheduleFile`, in "BASE/vantle-scheduler-UID"; nothing is
    /// made or taken yet. The base is /tmp itself, not $TMPDIR nor a session's runtime
    /// folder: every shell, login session and cron job of the user must meet one lock.
    explicit TInstanceLock(const std::string& scheduleFile, const std::string& base = "/tmp");
    /// Releases the lock when held.
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    /// True when this process holds the lock now (also when it did already); false
    /// when another process holds it, HolderPid then says which. Makes the private
    /// folder with mode 0700 when missing. Raises EPathRefused when the folder is not
    /// the user's own folder of mode 0700 (a link, another user's, open to others), or
    /// the lock file not the user's own regular file; EInOutError when either cannot
    /// be opened.
    bool TryAcquire();
    /// The process that holds the lock, as it wrote itself into the file; 0 unknown.
    pid_t HolderPid() const { return FHolder; }
    /// The user's private folder, which holds the locks and the windows' sockets.
    const std::string& Folder() const { return FFolder; }
    /// The lock file in that folder: "HASH.lock".
    const std::string& LockPath() const { return FLockPath; }
    /// The same path with another ending, for things that belong to the holder (the
    /// window's local socket).
    std::string SiblingPath(const std::string& ending) const;

private:
    std::string FFolder;
    std::string FLockPath;
    int FFd = -1;
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
