#include "platform/InstanceLock.h"

#include "platform/ExecutablePath.h"
#include "platform/FileWriter.h"
#include "platform/PathChecks.h"
#include "platform/SysErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace vantle {

namespace {

const char* const FolderRole = "instance lock folder";
const char* const FileRole = "instance lock file";

// Why the folder or lock file that `st` describes is not this user's own; empty when it is.
std::string WrongOwner(const struct stat& st) {
    if (st.st_uid == geteuid())
        return {};
    return "it belongs to " + UserText(st.st_uid) + ", not to " + UserText(geteuid());
}

// The lock file `path`, named `path` minus `folderPath` in the checked `folder`
// descriptor: opened without following a link, and a regular file of the user's own.
TOwnFd OpenLockFile(int folder, const std::string& folderPath, const std::string& path) {
    const std::string name = path.substr(folderPath.size() + 1);
    TOwnFd fd(openat(folder, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.Get() < 0 && errno == ELOOP)
        throw EPathRefused(path, FileRole, "it is a symbolic link");
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    struct stat st {};
    std::string wrong;
    if (fstat(fd.Get(), &st) != 0)
        wrong = PlainErrorText(errno);
    else if (!S_ISREG(st.st_mode))
        wrong = "it is not a regular file";
    else
        wrong = WrongOwner(st);
    if (!wrong.empty())
        throw EPathRefused(path, FileRole, wrong);
    return fd;
}

// Takes the flock on the lock file `fd`: true when taken; false when another process
// holds it, `holder` then telling which (0 unknown).
bool TakeLock(int fd, const std::string& path, pid_t& holder) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno != EWOULDBLOCK)
        RaiseInOutError(errno, path);
    // The holder writes its pid right after taking the lock; give it a moment.
    char text[32] = {};
    for (int attempt = 0; attempt < 20 && pread(fd, text, sizeof text - 1, 0) <= 0; ++attempt)
        usleep(10000);
    holder = static_cast<pid_t>(std::atol(text));
    return false;
}

void WritePid(int fd, pid_t pid, const std::vector<std::string>& lines = {}) {
    std::string text = std::to_string(static_cast<long>(pid)) + "\n";
    for (const std::string& line : lines)
        text += line + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) < 0) {
        // The pid is a courtesy for the message of a second scheduler; the lock holds.
    }
}

// Whether the kernel's list of locks (lines "1: FLOCK  ADVISORY  WRITE PID MAJ:MIN:INODE 0
// EOF") holds a flock on the file `st` describes; the holder's pid, 0 when none.
pid_t FlockHolderIn(std::istream& locks, const struct stat& st) {
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, file;
        // A blocked request is listed as "1: -> FLOCK ...": it holds nothing.
        if (fields >> number >> kind >> mode >> access >> pid >> file && kind == "FLOCK" &&
            file == wanted)
            return static_cast<pid_t>(std::atol(pid.c_str()));
    }
    return 0;
}

std::string Resolved(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// The lock's name for the file at `canonical` (a real path): its folder's device and
// inode and its name, which every path to the folder shares; the path's hash when the
// folder cannot be looked at.
std::string FileLockName(const std::string& canonical) {
    struct stat st {};
    if (canonical.empty() || canonical.front() != '/' ||
        stat(FolderOfFile(canonical).c_str(), &st) != 0)
        return PathHash(canonical);
    const std::string name = canonical.substr(canonical.rfind('/') + 1);
    // Never the same text as a real path, which begins with "/".
    return PathHash(std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + name);
}

} // namespace

std::string PathHash(std::string_view path) {
    std::uint64_t hash = 14695981039346656037u; // FNV-1a
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 1099511628211u;
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string CanonicalPath(const std::string& path) {
    std::string resolved = Resolved(path);
    if (!resolved.empty())
        return resolved;
    std::string name = path.substr(path.rfind('/') + 1); // npos + 1 is 0: a bare name
    std::string resolvedFolder = Resolved(FolderOfFile(path));
    if (resolvedFolder.empty())
        return path;
    return resolvedFolder + (resolvedFolder.back() == '/' ? "" : "/") + name;
}

TInstanceLock::TInstanceLock(const std::string& scheduleFile, const std::string& base) {
    FFolder =
        base + (base.ends_with('/') ? "" : "/") + "vantle-scheduler-" + std::to_string(geteuid());
    const std::string canonical = CanonicalPath(scheduleFile);
    FOldLockPath = FFolder + "/" + PathHash(canonical) + ".lock";
    FLockPath = FFolder + "/" + FileLockName(canonical) + ".lock";
}

void TInstanceLock::Describe(const std::vector<std::string>& lines) {
    if (FHeld)
        WritePid(FLock.Get(), FHolder, lines);
}

TLockHolder TInstanceLock::Holder(const std::string& locksList) const {
    TLockHolder holder;
    TOwnFd fd(open(FLockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return holder;
    std::ifstream locks(locksList);
    holder.Pid = FlockHolderIn(locks, st);
    holder.Held = holder.Pid != 0;
    if (!holder.Held)
        return holder;
    char text[4096];
    const ssize_t n = pread(fd.Get(), text, sizeof text, 0);
    std::istringstream content(std::string(text, n > 0 ? std::size_t(n) : 0));
    std::string line;
    std::getline(content, line); // the pid, which the kernel's list gave already
    while (std::getline(content, line))
        holder.Lines.push_back(line);
    return holder;
}

std::string TInstanceLock::SiblingPath(const std::string& ending) const {
    return FLockPath.substr(0, FLockPath.size() - 5) + ending;
}

bool TInstanceLock::TryAcquire() {
    if (FHeld)
        return true;
    if (FLock.Get() < 0) {
        // Opened without following a link, so the checks and the use meet the same folder.
        TOwnFd folder(OpenPrivateFolder(FFolder, FolderRole, true, TOpenToOthers::Refuse));
        TOwnFd lock = OpenLockFile(folder.Get(), FFolder, FLockPath);
        // A schedule whose folder could not be looked at is named as before: one lock.
        if (FOldLockPath != FLockPath)
            FOldLock = OpenLockFile(folder.Get(), FFolder, FOldLockPath);
        FLock = std::move(lock);
    }
    if (!TakeLock(FLock.Get(), FLockPath, FHolder))
        return false;
    bool oldTaken = false;
    try {
        oldTaken = FOldLock.Get() < 0 || TakeLock(FOldLock.Get(), FOldLockPath, FHolder);
    } catch (...) {
        flock(FLock.Get(), LOCK_UN);
        throw;
    }
    if (!oldTaken) {
        // An older program holds the schedule by its path: neither lock is kept.
        flock(FLock.Get(), LOCK_UN);
        return false;
    }
    FHeld = true;
    FHolder = getpid();
    WritePid(FLock.Get(), FHolder);
    if (FOldLock.Get() >= 0)
        WritePid(FOldLock.Get(), FHolder);
    return true;
}

} // namespace vantle
