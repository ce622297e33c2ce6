#include "sched/SchedList.h"

#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "platform/FileWriter.h"
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

TDateTime LocalTimeOf(const TFileStamp& stamp) {
    try {
        return LocalDateTimeOf(stamp.Modified);
    } catch (const EConvertError&) {
        return 0; // a stamp beyond the year 9999 has no date-time value
    }
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

void TSchedList::Tell(TListChange::TKind kind, std::int32_t index) {
    if (FOnChange)
        FOnChange(TListChange{kind, index});
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

std::vector<const TSchedule*> TSchedList::Entries() {
    TSchedListLock lock(*this);
    std::vector<const TSchedule*> entries;
    for (const TItem& item : FItems)
        entries.push_back(item.Entry.get());
    return entries;
}

TSchedule& TSchedList::Items(std::int32_t index) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    return *FItems[static_cast<std::size_t>(index)].Entry;
}

std::int32_t TSchedList::Add(std::unique_ptr<TSchedule> entry) {
    TSchedListLock lock(*this);
    KeepOnLines(*entry);
    FItems.push_back(MakeItem(std::move(entry)));
    FModified = true;
    std::int32_t index = static_cast<std::int32_t>(FItems.size()) - 1;
    Tell(TListChange::Inserted, index);
    return index;
}

void TSchedList::Insert(std::int32_t index, std::unique_ptr<TSchedule> entry) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    KeepOnLines(*entry);
    TItem item = MakeItem(std::move(entry));
    FItems.insert(FItems.begin() + index, std::move(item));
    FModified = true;
    Tell(TListChange::Inserted, index);
}

void TSchedList::Delete(std::int32_t index) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
    FModified = true;
    Tell(TListChange::Removed, index);
}

void TSchedList::Update(std::int32_t index, const TSchedule& values) {
    TSchedListLock lock(*this);
    CheckIndex(index);
    TSchedule& entry = *FItems[static_cast<std::size_t>(index)].Entry;
    TSchedule saved;
    CopyEntry(saved, values);
    KeepOnLines(saved);
    if (EntriesDiffer(entry, saved)) {
        FModified = true;
        CopyEntry(entry, saved);
        Tell(TListChange::Updated, index);
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
        FMixedLineEnds = false;
        // Whatever file turns up later differs from "none".
        FStamp.reset();
        FRacyHash.reset();
        FKeptStamp.reset();
        Tell(TListChange::Reloaded, -1);
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
    FMixedLineEnds = HasMixedLineEnds(content);
    FKeptStamp.reset();
    RememberStamp(*stamp, content, now);
    Tell(TListChange::Reloaded, -1);
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
    for (TItem& item : FItems) {
        KeepOnLines(*item.Entry); // what is kept is what the file will read back as
        entries.push_back(item.Entry.get());
    }
    std::string content = FormatScheduleFile(entries);
    FSaveWarnings = ReplaceFileContent(FFileName, content,
                                       NewFileMode(FolderOfFile(ResolveOwnLinks(FFileName))));
    FModified = false;
    FMixedLineEnds = false;
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
    return true;
}

} // namespace vantle
