#include "platform/InstanceLock.h"

#include "platform/ExecutablePath.h"
#include "platform/PathChecks.h"
#include "platform/SysErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string Resolved(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
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
    FLockPath = FFolder + "/" + PathHash(CanonicalPath(scheduleFile)) + ".lock";
}

TInstanceLock::~TInstanceLock() {
    if (FFd >= 0)
        close(FFd); // releases the flock
}

std::string TInstanceLock::SiblingPath(const std::string& ending) const {
    return FLockPath.substr(0, FLockPath.size() - 5) + ending;
}

bool TInstanceLock::TryAcquire() {
    if (FHeld)
        return true;
    if (FFd < 0) {
        // Opened without following a link, so the checks and the use meet the same folder.
        int folder = OpenPrivateFolder(FFolder, FolderRole, true, TOpenToOthers::Refuse);
        const std::string name = FLockPath.substr(FFolder.size() + 1);
        int fd = openat(folder, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        int err = errno;
        close(folder);
        if (fd < 0 && err == ELOOP)
            throw EPathRefused(FLockPath, FileRole, "it is a symbolic link");
        if (fd < 0)
            RaiseInOutError(err, FLockPath);
        struct stat st {};
        std::string wrong;
        if (fstat(fd, &st) != 0)
            wrong = PlainErrorText(errno);
        else if (!S_ISREG(st.st_mode))
            wrong = "it is not a regular file";
        else
            wrong = WrongOwner(st);
        if (!wrong.empty()) {
            close(fd);
            throw EPathRefused(FLockPath, FileRole, wrong);
        }
        FFd = fd;
    }
    if (flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            RaiseInOutError(errno, FLockPath);
        // The holder writes its pid right after taking the lock; give it a moment.
        char text[32] = {};
        for (int attempt = 0; attempt < 20 && pread(FFd, text, sizeof text - 1, 0) <= 0; ++attempt)
            usleep(10000);
        FHolder = static_cast<pid_t>(std::atol(text));
        return false;
    }
    FHeld = true;
    FHolder = getpid();
    char text[32];
    int length = std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(FHolder));
    if (ftruncate(FFd, 0) != 0 || pwrite(FFd, text, static_cast<std::size_t>(length), 0) < 0) {
        // The pid is a courtesy for the message of a second scheduler; the lock holds.
    }
    return true;
}

} // namespace vantle
