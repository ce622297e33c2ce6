#include "sched/SchedList.h"

#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "sched/SchedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>

namespace vantle {

namespace {

// A file system stamps changes at a coarse tick (two seconds on FAT and many shares),
// so a write within this long of the remembered stamp may leave the stamp as it was.
constexpr std::int64_t RacyWindowNs = 2'000'000'000;

std::int64_t NanosOf(const std::timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t NowNanos() {
    std::timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return NanosOf(ts);
}

bool IsRacy(const TFileStamp& stamp, std::int64_t nowNs) {
    std::int64_t latest = std::max(NanosOf(stamp.Modified), NanosOf(stamp.Changed));
    return nowNs - latest < RacyWindowNs; // a stamp from the future counts as fresh too
}

std::uint64_t HashOf(std::string_view content) {
    return std::hash<std::string_view>{}(content);
}

std::uint64_t HashOf(const TSchedule& entry) {
    std::uint64_t hash = HashOf(entry.Name);
    for (const std::string* text : {&entry.Minutes, &entry.Hours, &entry.Days, &entry.Months,
                                    &entry.WeekDays, &entry.Command, &entry.Parms})
        hash = hash * 1099511628211u ^ HashOf(*text);
    return hash;
}

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0)
            close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    /// Closes now and reports close's own error (a deferred write error on some systems).
    int Close() {
        int result = close(FFd);
        FFd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int FFd;
};

TDateTime LocalTimeOf(const TFileStamp& stamp) {
    try {
        return LocalDateTimeOf(stamp.Modified);
    } catch (const EConvertError&) {
        return 0; // a stamp beyond the year 9999 has no date-time value
    }
}

// Where the content really goes: a schedule reached through a symbolic link stays a
// link, and the file it points to is replaced.
std::string ResolveTarget(const std::string& fileName) {
    struct stat st {};
    if (lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* resolved = realpath(fileName.c_str(), nullptr);
        if (resolved != nullptr) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return fileName;
}

int WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t written = write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int SyncFolder(const std::string& folder) {
    TFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno;
    if (fsync(fd.Get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        return errno; // some file systems cannot sync a folder; the rename stands anyway
    return 0;
}

// Removes temporary files that saves of `base` killed half-way left in `folder`:
// names ".BASE.PID.N.HEX" whose process is gone. A live saver's file is left alone.
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
        if (pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(dir), item->d_name, 0);
    }
    closedir(dir);
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

// A new schedule is private, unless the folder hands its files to a group or decides
// their access itself: a set-group-ID folder is shared with its group, and a default
// access list gives the bits a plain create would get.
mode_t NewFileMode(const std::string& folder) {
    struct stat st {};
    mode_t mask = CurrentUmask();
    if (getxattr(folder.c_str(), "system.posix_acl_default", nullptr, 0) >= 0)
        return 0666 & ~mask;
    if (stat(folder.c_str(), &st) == 0 && (st.st_mode & S_ISGID) != 0)
        return 0660 & ~mask;
    return 0600;
}

// Gives the temporary file the old file's owner, group (where permitted) and mode, or
// the mode of a new schedule; 0 or the errno of a failed change of mode.
int GiveAccess(int fd, const struct stat* old, const std::string& folder) {
    if (old == nullptr)
        return fchmod(fd, NewFileMode(folder)) == 0 ? 0 : errno;
    // Owner first: changing it clears set-id bits that fchmod then puts back.
    if (old->st_uid != geteuid() || old->st_gid != getegid()) {
        // Only root may give a file away; a member of the old group may still keep it.
        if (fchown(fd, old->st_uid, old->st_gid) != 0 &&
            fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) {
            // The new file stays ours and in our group.
        }
    }
    return fchmod(fd, old->st_mode & 07777) == 0 ? 0 : errno;
}

// Writes `content` to a new file beside `target` and renames it over `target`, so
// the schedule file is at every moment either the complete old or the complete new one.
void ReplaceFile(const std::string& target, std::string_view content) {
    struct stat old {};
    bool exists = stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        RaiseInOutError(EISDIR, target);
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
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.%llx", static_cast<long>(getpid()), ++counter,
                      static_cast<unsigned long long>(NowNanos()));
        tempName = folder + "/." + base + suffix;
        // Private from the first moment: the schedule may hold passwords in its
        // parameters, and others may watch the folder for new files.
        raw = open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (raw < 0 && errno != EEXIST)
            RaiseInOutError(errno, target);
    }
    if (raw < 0)
        RaiseInOutError(EEXIST, target);

    TFd fd(raw);
    int error = WriteAll(fd.Get(), content);
    if (error == 0 && fsync(fd.Get()) != 0)
        error = errno;
    // The old file's access only now, just before the new content takes its place.
    if (error == 0)
        error = GiveAccess(fd.Get(), exists ? &old : nullptr, folder);
    int closeError = fd.Close();
    if (error == 0)
        error = closeError;
    if (error == 0 && rename(tempName.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(tempName.c_str());
        RaiseInOutError(error, target);
    }
    RemoveStaleTempFiles(folder, base);
    error = SyncFolder(folder);
    if (error != 0)
        RaiseInOutError(error, target);
}

} // namespace

EListError::EListError(int index, int count)
    : Exception("Schedule List Index (" + std::to_string(index) + ") Out of Range (0 to " +
                std::to_string(count - 1) + ")") {}

TSchedList::TSchedList() = default;

TSchedList::~TSchedList() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FItems.clear();
}

void TSchedList::Lock() {
    FLock.lock();
}

void TSchedList::Unlock() {
    FLock.unlock();
}

void TSchedList::CheckIndex(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FItems.size())
        throw EListError(index, static_cast<int>(FItems.size()));
}

TSchedList::TItem TSchedList::MakeItem(std::unique_ptr<TSchedule> entry) {
    if (!entry)
        throw std::invalid_argument("TSchedList: no entry given");
    return TItem{std::move(entry), FNextSerial++};
}

std::int32_t TSchedList::Count() {
    TSchedListLock lock(*this);
    return static_cast<std::int32_t>(FItems.size());
}

TSchedule& TSchedList::Items(std::int32_t index) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    return *FItems[static_cast<std::size_t>(index)].Entry;
}

std::int32_t TSchedList::Add(std::unique_ptr<TSchedule> entry) {
    TSchedListLock lock(*this);
    FItems.push_back(MakeItem(std::move(entry)));
    FModified = true;
    return static_cast<std::int32_t>(FItems.size()) - 1;
}

void TSchedList::Insert(std::int32_t index, std::unique_ptr<TSchedule> entry) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    TItem item = MakeItem(std::move(entry));
    FItems.insert(FItems.begin() + index, std::move(item));
    FModified = true;
}

void TSchedList::Delete(std::int32_t index) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
    FModified = true;
}

std::int32_t TSchedList::IndexOf(const TSchedule* entry) {
    TSchedListLock lock(*this);
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Entry.get() == entry)
            return static_cast<std::int32_t>(i);
    return -1;
}

void TSchedList::Update(std::int32_t index, const TSchedule& values) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    TSchedule& entry = *FItems[static_cast<std::size_t>(index)].Entry;
    if (EntriesDiffer(entry, values)) {
        FModified = true;
        CopyEntry(entry, values);
    }
}

std::uint64_t TSchedList::SerialOf(std::int32_t index) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Serial;
}

std::int32_t TSchedList::IndexOfSerial(std::uint64_t serial) {
    TSchedListLock lock(*this);
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Serial == serial)
            return static_cast<std::int32_t>(i);
    return -1;
}

void TSchedList::RememberStamp(const TFileStamp& stamp, std::string_view content,
                               std::int64_t nowNs) {
    FStamp = stamp;
    FFileTime = LocalTimeOf(stamp);
    if (IsRacy(stamp, nowNs))
        FRacyHash = HashOf(content);
    else
        FRacyHash.reset();
}

void TSchedList::Load() {
    if (FFileName.empty())
        throw ENoFileName();
    TSchedListLock lock(*this);
    std::optional<TFileStamp> stamp = FReadStamp(FFileName);
    if (!stamp) {
        FItems.clear();
        FModified = false;
        // Whatever file turns up later differs from "none".
        FStamp.reset();
        FRacyHash.reset();
        FKeptStamp.reset();
        return;
    }
    // The stamp is taken before the content: a write that slips in between shows up
    // as a changed stamp at the next check, never as a missed change.
    std::int64_t now = NowNanos();
    std::string content;
    std::vector<std::unique_ptr<TSchedule>> entries;
    try {
        content = ReadScheduleBytes(FFileName);
        entries = ParseScheduleFile(content);
        // Only a file without a single entry can lack a section: the common load reads once.
        if (entries.empty() && HoldsTextButNoSection(content))
            throw ENotSchedule(FFileName);
    } catch (...) {
        FFailedStamp = stamp;
        throw;
    }
    FFailedStamp.reset();
    std::vector<TItem> items;
    items.reserve(entries.size());
    // An entry read back unchanged keeps the serial of its old self: the same place
    // first, else any unclaimed equal entry (looked up by hash once places shifted).
    std::vector<bool> claimed(FItems.size(), false);
    std::unordered_multimap<std::uint64_t, std::size_t> byHash;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TSchedule& entry = *entries[i];
        std::optional<std::uint64_t> serial;
        if (i < FItems.size() && !EntriesDiffer(*FItems[i].Entry, entry)) {
            serial = FItems[i].Serial;
            claimed[i] = true;
        } else if (!FItems.empty()) {
            if (byHash.empty())
                for (std::size_t j = 0; j < FItems.size(); ++j)
                    byHash.emplace(HashOf(*FItems[j].Entry), j);
            auto [first, last] = byHash.equal_range(HashOf(entry));
            for (auto it = first; it != last && !serial; ++it)
                if (!claimed[it->second] && !EntriesDiffer(*FItems[it->second].Entry, entry)) {
                    serial = FItems[it->second].Serial;
                    claimed[it->second] = true;
                }
        }
        if (serial)
            items.push_back(TItem{std::move(entries[i]), *serial});
        else
            items.push_back(MakeItem(std::move(entries[i])));
    }
    FItems = std::move(items);
    FModified = false;
    FKeptStamp.reset();
    RememberStamp(*stamp, content, now);
}

bool TSchedList::FileHoldsForeignText() {
    if (FFileName.empty())
        throw ENoFileName();
    TSchedListLock lock(*this);
    try {
        return HoldsTextButNoSection(ReadScheduleBytes(FFileName));
    } catch (const EInOutError&) {
        return false; // no file, or one that cannot be read: the save reports the latter
    }
}

void TSchedList::Save() {
    if (FFileName.empty())
        throw ENoFileName();
    TSchedListLock lock(*this);
    std::vector<const TSchedule*> entries;
    entries.reserve(FItems.size());
    for (const TItem& item : FItems)
        entries.push_back(item.Entry.get());
    std::string content = FormatScheduleFile(entries);
    ReplaceFile(ResolveTarget(FFileName), content);
    FModified = false;
    FKeptStamp.reset();
    std::optional<TFileStamp> stamp = FReadStamp(FFileName);
    if (stamp)
        RememberStamp(*stamp, content, NowNanos());
}

std::optional<TFileStamp> TSchedList::ChangedStamp() {
    std::optional<TFileStamp> stamp = FReadStamp(FFileName);
    if (!stamp)
        return std::nullopt;
    if (FStamp && *stamp == *FStamp) {
        if (!FRacyHash)
            return std::nullopt;
        // The stamp cannot tell a second write within the same tick; the content can.
        std::int64_t now = NowNanos();
        if (HashOf(ReadScheduleBytes(FFileName)) == *FRacyHash) {
            if (!IsRacy(*stamp, now))
                FRacyHash.reset(); // any later write now gets a later stamp
            return std::nullopt;
        }
    }
    return stamp;
}

bool TSchedList::FileChangedOnDisk() {
    if (FFileName.empty())
        throw ENoFileName();
    TSchedListLock lock(*this);
    return ChangedStamp().has_value();
}

bool TSchedList::CheckFileChanged() {
    if (FFileName.empty())
        throw ENoFileName();
    TSchedListLock lock(*this);
    std::optional<TFileStamp> stamp = ChangedStamp();
    if (!stamp)
        return false;
    // A file that could not be loaded is reported once, not at every check.
    if (FFailedStamp && *FFailedStamp == *stamp)
        return false;
    if (FModified) {
        // Loading now would throw the user's edits away without a word.
        if (!FKeptStamp || !(*FKeptStamp == *stamp)) {
            FKeptStamp = stamp;
            ++FKeptChanges;
        }
        return false;
    }
    Load();
    FReloaded = true;
    return true;
}

} // namespace vantle
