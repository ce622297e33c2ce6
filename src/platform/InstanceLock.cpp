#include "platform/InstanceLock.h"

#include "platform/ExecutablePath.h"
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

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211u;
    }
    return hash;
}

std::string RuntimeFolder(bool& perUser) {
    // The runtime folder belongs to one user's session; the temporary folder is
    // shared, so the name there carries the user.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
        access(runtime, W_OK) == 0) {
        perUser = false;
        return runtime;
    }
    perUser = true;
    const char* temp = std::getenv("TMPDIR");
    return temp != nullptr && temp[0] == '/' ? temp : "/tmp";
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

TInstanceLock::TInstanceLock(const std::string& scheduleFile) {
    bool perUser = false;
    std::string folder = RuntimeFolder(perUser);
    char name[96];
    if (perUser)
        std::snprintf(name, sizeof name, "/vantle-scheduler-%u-%016llx", unsigned(geteuid()),
                      static_cast<unsigned long long>(Fnv1a(CanonicalPath(scheduleFile))));
    else
        std::snprintf(name, sizeof name, "/vantle-scheduler-%016llx",
                      static_cast<unsigned long long>(Fnv1a(CanonicalPath(scheduleFile))));
    FLockPath = folder + name + ".lock";
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
        // No following of links: in a shared temporary folder another user could
        // otherwise point the name at a file of ours.
        FFd = open(FLockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (FFd < 0)
            RaiseInOutError(errno, FLockPath);
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
