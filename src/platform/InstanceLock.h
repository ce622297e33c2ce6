// One scheduler per schedule file and user session: an flock on a file named after the
// schedule's canonical path, in the session's runtime folder.
#pragma once

#include <string>
#include <sys/types.h>

namespace vantle {

class TInstanceLock {
public:
    /// Names the lock after `scheduleFile`; nothing is taken yet.
    explicit TInstanceLock(const std::string& scheduleFile);
    /// Releases the lock when held.
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    /// True when this process holds the lock now (also when it did already); false
    /// when another process holds it, HolderPid then says which. Raises EInOutError
    /// when the lock file cannot be opened.
    bool TryAcquire();
    /// The process that holds the lock, as it wrote itself into the file; 0 unknown.
    pid_t HolderPid() const { return FHolder; }
    /// The lock file: "$XDG_RUNTIME_DIR/vantle-scheduler-HASH.lock", or in the temporary
    /// folder with the user's id in the name when there is no runtime folder.
    const std::string& LockPath() const { return FLockPath; }
    /// The same path with another ending, for things that belong to the holder (the
    /// window's local socket).
    std::string SiblingPath(const std::string& ending) const;

private:
    std::string FLockPath;
    int FFd = -1;
    bool FHeld = false;
    pid_t FHolder = 0;
};

/// The path with symbolic links and "." and ".." resolved; for a file that does not
/// exist yet, its folder's resolved path and its name.
std::string CanonicalPath(const std::string& path);

} // namespace vantle
