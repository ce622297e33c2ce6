#include "platform/FileWriter.h"

#include "platform/ExecutablePath.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vantle {

namespace {

constexpr const char* AccessListKey = "system.posix_acl_access";
constexpr int MaxLinkHops = 40; // as the kernel's own limit on a path's links

[[noreturn]] void RefuseForeignLink(const std::string& path) {
    throw EFileRefused(path, "refusing to follow a link owned by another user");
}

std::string JoinLink(const std::string& linkPath, const std::string& target) {
    if (!target.empty() && target.front() == '/')
        return target;
    std::string folder = FolderOfFile(linkPath);
    return folder == "/" ? "/" + target : folder + "/" + target;
}

int WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int SyncFolder(const std::string& folder) {
    TOwnFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno;
    if (::fsync(fd.Get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        return errno; // some file systems cannot sync a folder; the rename stands anyway
    return 0;
}

std::int64_t NowNanos() {
    std::timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Removes temporary files that writes of `base` killed half-way left in `folder`:
// names ".BASE.PID.N.HEX" whose process is gone. A live writer's file is left alone.
void RemoveStaleTempFiles(const std::string& folder, const std::string& base) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    std::string prefix = "." + base + ".";
    while (dirent* item = readdir(dir)) {
        std::string_view name(item->d_name);
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = name.substr(prefix.size());
        std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos || dot == 0 || dot > 9 ||
            rest.substr(0, dot).find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        std::string_view tail = rest.substr(dot + 1);
        std::size_t dot2 = tail.find('.');
        if (dot2 == std::string_view::npos || dot2 == 0 ||
            tail.substr(0, dot2).find_first_not_of("0123456789") != std::string_view::npos ||
            tail.substr(dot2 + 1).empty() ||
            tail.substr(dot2 + 1).find_first_not_of("0123456789abcdef") != std::string_view::npos)
            continue;
        pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dot))));
        // Our own files only: in a shared folder another user's are not ours to judge.
        struct stat st {};
        if (fstatat(dirfd(dir), item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            st.st_uid != geteuid())
            continue;
        if (pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(dir), item->d_name, 0);
    }
    closedir(dir);
}

// The value of an extended attribute of the file at `path` (not following a link);
// false when it has none. Raises nothing: `err` gets the reason of a failed read.
bool ReadAttribute(const std::string& path, const char* name, std::string& value, int& err) {
    err = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = lgetxattr(path.c_str(), name, nullptr, 0);
        if (size < 0) {
            if (errno == ENODATA || errno == ENOTSUP)
                return false;
            err = errno;
            return false;
        }
        value.resize(static_cast<std::size_t>(size));
        ssize_t got = lgetxattr(path.c_str(), name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) { // ERANGE: it grew meanwhile; ask again
            err = errno;
            return false;
        }
    }
    err = ERANGE;
    return false;
}

std::vector<std::string> AttributeNames(const std::string& path) {
    std::vector<std::string> names;
    ssize_t size = llistxattr(path.c_str(), nullptr, 0);
    if (size <= 0)
        return names;
    std::string list(static_cast<std::size_t>(size), '\0');
    size = llistxattr(path.c_str(), list.data(), list.size());
    if (size <= 0)
        return names;
    list.resize(static_cast<std::size_t>(size));
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find('\0', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            names.emplace_back(list, start, end - start);
        start = end + 1;
    }
    return names;
}

// Gives the temporary file the old file's owner, group (where permitted) and mode; 0
// or the errno of a failed change of mode.
int GiveOwnerAndMode(int fd, const struct stat& old) {
    // Owner first: changing it clears set-id bits that fchmod then puts back.
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        // Only root may give a file away; a member of the old group may still keep it.
        if (fchown(fd, old.st_uid, old.st_gid) != 0 &&
            fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // The new file stays ours and in our group.
        }
    }
    return fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

// The old file's access list, which also holds the group's rights: without it a save
// would deny the users it names and hand the group the mask's rights. 0 or the errno.
int GiveAccessList(int fd, const std::string& old) {
    std::string value;
    int err = 0;
    if (!ReadAttribute(old, AccessListKey, value, err))
        return err;
    return fsetxattr(fd, AccessListKey, value.data(), value.size(), 0) == 0 ? 0 : errno;
}

// user.* and security.* attributes, where the process may set them.
std::vector<std::string> GiveOtherAttributes(int fd, const std::string& old) {
    std::vector<std::string> warnings;
    for (const std::string& name : AttributeNames(old)) {
        if (!name.starts_with("user.") && !name.starts_with("security."))
            continue;
        std::string value;
        int err = 0;
        if (!ReadAttribute(old, name.c_str(), value, err)) {
            if (err != 0)
                warnings.push_back(old + ": extended attribute " + name +
                                   " not kept: " + PlainErrorText(err));
            continue;
        }
        if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
            warnings.push_back(old + ": extended attribute " + name +
                               " not kept: " + PlainErrorText(errno));
    }
    return warnings;
}

} // namespace

EFileRefused::EFileRefused(const std::string& path, const std::string& reason)
    : EInOutError(5, path, reason) {}

void RefuseUnlessRegular(const std::string& path, mode_t mode) {
    if (!S_ISREG(mode))
        throw EFileRefused(path,
                           S_ISDIR(mode) ? "is a folder, not a file" : "is not a regular file");
}

TOwnFd::~TOwnFd() {
    if (FFd >= 0)
        ::close(FFd);
}

TOwnFd& TOwnFd::operator=(TOwnFd&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = other.FFd;
        other.FFd = -1;
    }
    return *this;
}

int TOwnFd::Close() {
    if (FFd < 0)
        return 0;
    int result = ::close(FFd);
    FFd = -1;
    return result == 0 || errno == EINTR ? 0 : errno;
}

std::string ResolveOwnLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current; // a missing file is created where the last link points
        if (st.st_uid != geteuid())
            RefuseForeignLink(current);
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length < 0)
            RaiseInOutError(errno, current);
        target.resize(static_cast<std::size_t>(length));
        current = JoinLink(current, target);
    }
    RaiseInOutError(ELOOP, path);
}

TOwnFd OpenOwnFile(const std::string& path, int flags, bool create, mode_t mode) {
    // Non-blocking while opening: a planted FIFO must not hang the scheduler.
    const int base = flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string target = ResolveOwnLinks(path);
        TOwnFd fd(::open(target.c_str(), base));
        if (fd.Get() < 0 && errno == ENOENT && create)
            fd = TOwnFd(::open(target.c_str(), (base & ~O_TRUNC) | O_CREAT | O_EXCL, mode));
        if (fd.Get() < 0) {
            // A link or a file that appeared between the look and the open: look again.
            if (errno == ELOOP || errno == EEXIST)
                continue;
            RaiseInOutError(errno, target);
        }
        struct stat st {};
        if (fstat(fd.Get(), &st) != 0)
            RaiseInOutError(errno, target);
        RefuseUnlessRegular(target, st.st_mode);
        int status = fcntl(fd.Get(), F_GETFL);
        if (status < 0 || fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0)
            RaiseInOutError(errno, target);
        return fd;
    }
    RefuseForeignLink(path); // replaced by a link again and again: somebody is at work
}

void AppendWhole(int fd, std::string_view data, const std::string& path) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        RaiseInOutError(errno, path);
    int err = WriteAll(fd, data);
    if (err != 0) {
        // A torn line would glue the next one to it; the old length is a whole log.
        [[maybe_unused]] int cut = ftruncate(fd, st.st_size);
        RaiseInOutError(err, path);
    }
}

// Read where the kernel shows it: setting the mask to learn it would change it for a
// moment under every other thread.
mode_t CurrentUmask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        std::fclose(status);
    }
    return static_cast<mode_t>(mask & 0777);
}

std::vector<std::string> ReplaceFileContent(const std::string& path, std::string_view content,
                                            mode_t newMode) {
    const std::string target = ResolveOwnLinks(path);
    struct stat old {};
    bool exists = lstat(target.c_str(), &old) == 0;
    if (exists)
        RefuseUnlessRegular(target, old.st_mode);
    // Renaming over a file would bypass its own write protection.
    if (exists && access(target.c_str(), W_OK) != 0)
        RaiseInOutError(errno, target);

    std::string folder = FolderOfFile(target);
    // Shortened so the temporary name stays within the 255 bytes a name may have.
    std::string base =
        target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1)
            .substr(0, 200);
    static unsigned counter = 0;
    std::string tempName;
    TOwnFd fd;
    for (int attempt = 0; attempt < 100 && fd.Get() < 0; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.%llx", static_cast<long>(getpid()), ++counter,
                      static_cast<unsigned long long>(NowNanos()));
        tempName = folder + "/." + base + suffix;
        // Private from the first moment, and never through a name planted before us.
        fd = TOwnFd(
            ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.Get() < 0 && errno != EEXIST)
            RaiseInOutError(errno, target);
    }
    if (fd.Get() < 0)
        RaiseInOutError(EEXIST, target);

    std::vector<std::string> warnings;
    int error = WriteAll(fd.Get(), content);
    if (error == 0 && fsync(fd.Get()) != 0)
        error = errno;
    // The old file's access only now, just before the new content takes its place.
    bool accessListLost = false;
    if (error == 0)
        error =
            exists ? GiveOwnerAndMode(fd.Get(), old) : (fchmod(fd.Get(), newMode) == 0 ? 0 : errno);
    if (error == 0 && exists) {
        error = GiveAccessList(fd.Get(), target);
        accessListLost = error != 0;
    }
    if (error == 0 && exists)
        warnings = GiveOtherAttributes(fd.Get(), target);
    int closeError = fd.Close();
    if (error == 0)
        error = closeError;
    if (error == 0 && rename(tempName.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(tempName.c_str());
        if (accessListLost)
            throw EFileRefused(target, "its access list could not be kept (" +
                                           PlainErrorText(error) + "); the file is unchanged");
        RaiseInOutError(error, target);
    }
    RemoveStaleTempFiles(folder, base);
    error = SyncFolder(folder);
    if (error != 0)
        RaiseInOutError(error, target);
    return warnings;
}

std::uint64_t DropOutputPast(int fd, std::uint64_t keep) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseInOutError(errno);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    // The blocks go, the size stays: the program's appends land where they would anyway.
    // A file system without holes keeps the blocks until the run's end cuts the file.
    if (size > keep)
        (void)::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(keep),
                          static_cast<off_t>(size - keep));
    return size;
}

bool CutFileAt(int fd, std::uint64_t length) {
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0;
}

} // namespace vantle
