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

namespace {

const char* const FolderRole = "run record folder";
const char* const FileRole = "run record file";

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw EPathRefused(path, FileRole, reason);
}

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

TOwnFd OpenOutput(const std::string& path, int flags) {
    TOwnFd fd(open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0 && errno != ENOENT) {
        if (errno == ELOOP)
            Refuse(path, "it is a symbolic link");
        RaiseInOutError(errno, path);
    }
    return fd;
}

std::uint64_t SizeOfOpen(int fd, const std::string& path) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        RaiseInOutError(errno, path);
    RefuseUnlessRegular(path, st.st_mode);
    return std::uint64_t(st.st_size);
}

bool DiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

} // namespace

TRunOutputs::TRunOutputs(const std::string& folder, const std::string& scheduleFile, bool create) {
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
        close(OpenPrivateFolder(base, FolderRole, true, TOpenToOthers::MakePrivate));
        close(OpenPrivateFolder(FFolder, FolderRole, true, TOpenToOthers::MakePrivate));
    }
}

std::string TRunOutputs::PathOf(std::int64_t run) const {
    return FFolder + "/" + FPrefix + std::to_string(run) + ".out";
}

TOwnFd TRunOutputs::Create(std::int64_t run) const {
    const std::string path = PathOf(run);
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        Refuse(path, S_ISLNK(st.st_mode) ? "it is a symbolic link" : "it is not a regular file");
    TOwnFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    if (fstat(fd.Get(), &st) != 0)
        RaiseInOutError(errno, path);
    RefuseUnlessRegular(path, st.st_mode);
    if ((st.st_mode & 0077) != 0 && fchmod(fd.Get(), 0600) != 0)
        RaiseInOutError(errno, path);
    return fd;
}

std::string TRunOutputs::Read(std::int64_t run, std::size_t maxBytes, std::uint64_t total,
                              bool headKept) const {
    const std::string path = PathOf(run);
    TOwnFd fd = OpenOutput(path, O_RDONLY);
    if (fd.Get() < 0)
        return {};
    const std::uint64_t size = SizeOfOpen(fd.Get(), path);
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
    const std::string path = PathOf(run);
    std::string content;
    TOwnFd fd = OpenOutput(path, O_RDWR);
    if (fd.Get() < 0)
        return {};
    const std::uint64_t size = SizeOfOpen(fd.Get(), path);
    if (size <= keepBytes)
        return {};
    content = TailWithNote(fd.Get(), size, keepBytes, total, path);
    // The whole old or the whole new file, whenever a reader looks.
    std::string temporary = path + ".XXXXXX";
    TOwnFd out(mkostemp(temporary.data(), O_CLOEXEC));
    int error = out.Get() < 0 ? errno : 0;
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
        if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
            error = errno;
        if (error != 0)
            unlink(temporary.c_str());
    }
    if (error == 0)
        return {true, false};
    // No room for a copy of the tail: the head stays, and the room past it is freed.
    if (DiskFull(error) && ftruncate(fd.Get(), off_t(keepBytes)) == 0)
        return {true, true};
    RaiseInOutError(error, path);
}

std::uint64_t TRunOutputs::SizeOf(std::int64_t run) const {
    struct stat st {};
    const std::string path = PathOf(run);
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? std::uint64_t(st.st_size) : 0;
}

void TRunOutputs::Sweep(const std::set<std::int64_t>& kept) const {
    DIR* folder = opendir(FFolder.c_str());
    if (folder == nullptr)
        return;
    const int folderFd = dirfd(folder);
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
            !kept.contains(std::int64_t(id)))
            unlinkat(folderFd, entry->d_name, 0);
    }
    closedir(folder);
}

} // namespace vantle
