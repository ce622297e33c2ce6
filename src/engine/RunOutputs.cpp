#include "engine/RunOutputs.h"

#include "platform/InstanceLock.h"
#include "platform/PathChecks.h"
#include "platform/SysErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

const char* const RunRecordFolderRole = "run record folder";
const char* const RunRecordFileRole = "run record file";

void RefuseRunRecordFile(const std::string& path, const std::string& reason) {
    throw EPathRefused(path, RunRecordFileRole, reason);
}

namespace {

// The missing folders on the way to `folder`, each made private; a failure shows when
// the folder itself is opened.
void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0700);
    mkdir(folder.c_str(), 0700);
}

std::string ReadAt(int fd, std::uint64_t offset, std::uint64_t length, const std::string& path) {
    std::string data(length, '\0');
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = pread(fd, data.data() + done, data.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseInOutError(errno, path);
        if (n == 0)
            break; // cut shorter meanwhile
        done += std::size_t(n);
    }
    data.resize(done);
    return data;
}

// The last `keep` bytes of a file of `size` bytes, not begun inside a UTF-8 character,
// after the line that says how much of `total` is not shown.
std::string TailWithNote(int fd, std::uint64_t size, std::uint64_t keep, std::uint64_t total,
                         const std::string& path) {
    std::string tail = ReadAt(fd, size - keep, keep, path);
    std::size_t skip = 0;
    while (skip < tail.size() && skip < 3 &&
           (static_cast<unsigned char>(tail[skip]) & 0xC0) == 0x80)
        ++skip;
    tail.erase(0, skip);
    const std::uint64_t leftOut = std::max(total, size) - tail.size();
    return "... " + std::to_string(leftOut) + " bytes left out ...\n" + tail;
}

std::uint64_t SizeOfOpen(int fd, const std::string& path) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        RaiseInOutError(errno, path);
    RefuseUnlessRegular(path, st.st_mode);
    return std::uint64_t(st.st_size);
}

// What a file holds from its start: a cap released the part past it while the file's
// length stayed, and that part reads as zeros.
std::uint64_t DataSizeOf(int fd, const std::string& path) {
    const std::uint64_t size = SizeOfOpen(fd, path);
    const off_t hole = lseek(fd, 0, SEEK_HOLE);
    return hole >= 0 ? std::min(size, std::uint64_t(hole)) : size;
}

bool OwnedByUser(const struct stat& st) {
    return st.st_uid == geteuid();
}

[[noreturn]] void RefuseForeign(const std::string& path, const struct stat& st) {
    RefuseRunRecordFile(path, "it belongs to " + UserText(st.st_uid) +
                                  ", so it is neither written nor removed");
}

bool DiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

} // namespace

TRunOutputs::TRunOutputs(const std::string& folder, const std::string& scheduleFile, bool create)
    : FCreate(create) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    FFolder = base + "/outputs";
    FPrefix = PathHash(CanonicalPath(scheduleFile)) + "-";
    // Links above the records folder are followed (a home reached through /home ->
    // /var/home), but nobody else may rename what lies on the way.
    RefuseSharedAncestors(base, "the run records");
    if (create) {
        MakeFolders(base);
        TOwnFd records(
            OpenPrivateFolder(base, RunRecordFolderRole, true, TOpenToOthers::MakePrivate));
        // outputs/ is looked up in the folder just checked, not by its path again.
        if (mkdirat(records.Get(), "outputs", 0700) != 0 && errno != EEXIST)
            RaiseInOutError(errno, FFolder);
        FFolderFd = TOwnFd(
            openat(records.Get(), "outputs", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (FFolderFd.Get() < 0) {
            if (errno == ELOOP || errno == ENOTDIR)
                throw EPathRefused(FFolder, RunRecordFolderRole,
                                   "it is a symbolic link, not a folder");
            RaiseInOutError(errno, FFolder);
        }
        struct stat st {};
        if (fstat(FFolderFd.Get(), &st) != 0)
            RaiseInOutError(errno, FFolder);
        if (!OwnedByUser(st))
            throw EPathRefused(FFolder, RunRecordFolderRole,
                               "it belongs to " + UserText(st.st_uid) + ", not to " +
                                   UserText(geteuid()));
        if ((st.st_mode & 0777) != 0700 && fchmod(FFolderFd.Get(), 0700) != 0)
            RaiseInOutError(errno, FFolder);
    }
}

int TRunOutputs::FolderFd() const {
    if (FFolderFd.Get() < 0 && !FCreate) {
        try {
            TOwnFd path(
                OpenPrivateFolder(FFolder, RunRecordFolderRole, false, TOpenToOthers::Refuse));
            FFolderFd = TOwnFd(openat(path.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        } catch (const EInOutError& e) {
            if (e.ErrorCode() != ENOENT)
                throw;
        }
    }
    return FFolderFd.Get();
}

std::string TRunOutputs::NameOf(std::int64_t run) const {
    return FPrefix + std::to_string(run) + ".out";
}

std::string TRunOutputs::PathOf(std::int64_t run) const {
    return FFolder + "/" + NameOf(run);
}

TOwnFd TRunOutputs::OpenOwn(const std::string& name, int flags) const {
    const std::string path = FFolder + "/" + name;
    const int folder = FolderFd();
    if (folder < 0)
        return TOwnFd();
    TOwnFd fd(openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        if (errno == ENOENT)
            return fd;
        if (errno == ELOOP)
            RefuseRunRecordFile(path, "it is a symbolic link");
        RaiseInOutError(errno, path);
    }
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0)
        RaiseInOutError(errno, path);
    RefuseUnlessRegular(path, st.st_mode);
    if (!OwnedByUser(st))
        RefuseForeign(path, st);
    return fd;
}

TOwnFd TRunOutputs::Create(std::int64_t run) const {
    const std::string name = NameOf(run);
    const std::string path = PathOf(run);
    const int folder = FolderFd();
    if (folder < 0)
        RaiseInOutError(ENOENT, FFolder);
    for (int attempt = 0;; ++attempt) {
        TOwnFd fd(openat(folder, name.c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.Get() >= 0)
            return fd;
        if (errno != EEXIST || attempt > 0)
            RaiseInOutError(errno, path);
        // Left by a run with the same key before a crash: ours goes; anything else stays.
        struct stat st {};
        if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(st.st_mode))
            RefuseRunRecordFile(path, "it is a symbolic link");
        RefuseUnlessRegular(path, st.st_mode);
        if (!OwnedByUser(st))
            RefuseForeign(path, st);
        if (unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT)
            RaiseInOutError(errno, path);
    }
}

TOwnFd TRunOutputs::Open(std::int64_t run) const {
    return OpenOwn(NameOf(run), O_WRONLY);
}

std::string TRunOutputs::Read(std::int64_t run, std::size_t maxBytes, std::uint64_t total,
                              bool headKept) const {
    const std::string path = PathOf(run);
    TOwnFd fd = OpenOwn(NameOf(run), O_RDONLY);
    if (fd.Get() < 0)
        return {};
    const std::uint64_t size = DataSizeOf(fd.Get(), path);
    std::string text = size <= maxBytes ? ReadAt(fd.Get(), 0, size, path)
                                        : TailWithNote(fd.Get(), size, maxBytes, total, path);
    if (headKept && total > size) {
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        text += "... " + std::to_string(total - size) +
                " bytes left out: the disk was full when the output was cut ...\n";
    }
    return text;
}

TOutputCut TRunOutputs::Cut(std::int64_t run, std::uint64_t keepBytes, std::uint64_t total) const {
    const std::string name = NameOf(run);
    const std::string path = PathOf(run);
    TOwnFd fd = OpenOwn(name, O_RDWR);
    if (fd.Get() < 0)
        return {};
    const std::uint64_t size = SizeOfOpen(fd.Get(), path);
    if (size <= keepBytes)
        return {};
    const std::string content = TailWithNote(fd.Get(), size, keepBytes, total, path);
    // The whole old or the whole new file, whenever a reader looks: the cut is written
    // beside it and takes its name.
    const int folder = FolderFd();
    std::string temporary;
    TOwnFd out;
    int error = 0;
    for (int attempt = 0; out.Get() < 0 && attempt < 100; ++attempt) {
        temporary = name + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
        out = TOwnFd(openat(folder, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        error = out.Get() < 0 ? errno : 0;
        if (error != EEXIST)
            break;
    }
    for (std::size_t done = 0; error == 0 && done < content.size();) {
        ssize_t n = write(out.Get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        else
            done += std::size_t(n);
    }
    if (out.Get() >= 0) {
        if (int closeError = out.Close(); error == 0)
            error = closeError;
        if (error == 0 && renameat(folder, temporary.c_str(), folder, name.c_str()) != 0)
            error = errno;
        if (error != 0)
            unlinkat(folder, temporary.c_str(), 0);
    }
    if (error == 0)
        return {true, false};
    // No room for a copy of the tail: the head stays, and the room past it is freed.
    if (DiskFull(error) && CutFileAt(fd.Get(), keepBytes))
        return {true, true};
    RaiseInOutError(error, path);
}

std::uint64_t TRunOutputs::SizeOf(std::int64_t run) const {
    struct stat st {};
    const int folder = FolderFd();
    if (folder < 0 || fstatat(folder, NameOf(run).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
        return 0;
    return std::min(std::uint64_t(st.st_size), std::uint64_t(st.st_blocks) * 512);
}

void TRunOutputs::Sweep(const std::set<std::int64_t>& kept) const {
    const int folderFd = FolderFd();
    if (folderFd < 0)
        return;
    // A descriptor of its own: the listing moves its offset.
    DIR* folder = fdopendir(openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder == nullptr)
        return;
    while (const dirent* entry = readdir(folder)) {
        std::string_view name(entry->d_name);
        if (!name.starts_with(FPrefix))
            continue;
        std::string_view rest = name.substr(FPrefix.size());
        std::uint64_t id = 0;
        std::size_t digits = 0;
        while (digits < rest.size() && digits < 19 && rest[digits] >= '0' && rest[digits] <= '9')
            id = id * 10 + std::uint64_t(rest[digits++] - '0');
        // Another run's output, or a cut's temporary file that a crash left behind.
        if (digits == 0 || rest.substr(digits) != ".out" || id > std::uint64_t(INT64_MAX) ||
            !kept.contains(std::int64_t(id))) {
            struct stat st {};
            if (fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && OwnedByUser(st))
                unlinkat(folderFd, entry->d_name, 0);
        }
    }
    closedir(folder);
}

std::uint64_t HoldOutputToCap(int fd, std::uint64_t cap, bool stillWritten, bool& cut) {
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    const auto written = static_cast<std::uint64_t>(st.st_size);
    if (cap > 0 && written > cap) {
        cut = true;
        if (stillWritten)
            (void)DropOutputPast(fd, cap);
        else
            (void)CutFileAt(fd, cap);
    }
    return written;
}

} // namespace vantle
