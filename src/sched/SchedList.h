// The ordered, locked list of schedule entries bound to the schedule file.
#pragma once

#include "platform/DateTime.h"
#include "platform/FileStamp.h"
#include "platform/SysErrors.h"
#include "sched/Schedule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantle {

class ENoFileName : public Exception {
public:
    ENoFileName() : Exception("No FileName specified for Schedule List") {}
};

/// A load that finds text but no "[Schedule " section: the file is not a schedule,
/// and an empty list must not stand in for it (a later save would destroy the file).
class ENotSchedule : public Exception {
public:
    explicit ENotSchedule(const std::string& fileName)
        : Exception(fileName + " is not a schedule file: it holds text but no [Schedule N] "
                               "section") {}
};

/// The range error of the list: "Schedule List Index (%d) Out of Range (0 to %d)",
/// filled with `index` and `count` - 1 (`count` being the list's Count).
class EListError : public Exception {
public:
    EListError(int index, int count);
};

/// A change of the list, told after it was made.
struct TListChange {
    enum TKind {
        Inserted, // the entry now at Index was added or inserted
        Removed,  // the entry at Index was deleted
        Updated,  // the entry at Index took other values
        Reloaded  // Load replaced the entries; Index is -1
    };
    TKind Kind;
    std::int32_t Index;
    bool operator==(const TListChange&) const = default;
};

class TSchedList {
public:
    TSchedList();
    virtual ~TSchedList();
    TSchedList(const TSchedList&) = delete;
    TSchedList& operator=(const TSchedList&) = delete;

    /// Re-entrant: the run cycle holds it for a whole pass while list operations take it again.
    void Lock();
    void Unlock();

    std::int32_t Count();
    /// Every entry in order; the pointers hold until the list changes.
    std::vector<const TSchedule*> Entries();
    /// Index check, then the entry; the list keeps ownership.
    TSchedule& Items(std::int32_t index);
    std::int32_t Add(std::unique_ptr<TSchedule> entry);
    void Insert(std::int32_t index, std::unique_ptr<TSchedule> entry);
    void Delete(std::int32_t index);
    /// Copies `values` into the entry only when they differ; then sets Modified.
    void Update(std::int32_t index, const TSchedule& values);

    /// A number the list gives each entry when it takes it, never reused for the
    /// life of the list: a released entry can never be mistaken for a live one.
    std::uint64_t SerialOf(std::int32_t index);
    /// Position of the entry with that serial, -1 when it is gone.
    std::int32_t IndexOfSerial(std::uint64_t serial);

    /// A failed load leaves entries, FileTime and Modified as they were; a file with text
    /// but no section raises ENotSchedule. Entries that come back unchanged keep their
    /// serials, so an edit begun before a reload still finds its entry.
    void Load();
    /// Writes a temporary file beside the schedule and renames it over it, so a
    /// failure never leaves a truncated schedule; Modified stays true on failure. The
    /// old file's owner, mode and access list are kept (or the save fails).
    void Save();
    /// Extended attributes the last save could not keep, one text each; for the log.
    const std::vector<std::string>& SaveWarnings() const { return FSaveWarnings; }
    /// Reloads when the file's stamp differs from the one of the last load or save.
    /// With unsaved changes it does not: it keeps the list and counts the change once
    /// in KeptChanges.
    bool CheckFileChanged();
    /// Whether another program changed the file since the last load or save.
    bool FileChangedOnDisk();
    /// Whether the file exists and holds text but no section (see ENotSchedule).
    bool FileHoldsForeignText();
    /// How many changes on disk the list has seen and not loaded, because it held
    /// unsaved changes; callers compare it with the count they last reported.
    std::uint32_t KeptChanges() const { return FKeptChanges; }

    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string fileName) { FFileName = std::move(fileName); }
    /// The file's last-write time (local) as of the last load or save; 0 before.
    TDateTime FileTime() const { return FFileTime; }
    bool Modified() const { return FModified; }
    /// The file of the last load ended lines both with CR LF (or CR) and with a bare LF.
    bool MixedLineEnds() const { return FMixedLineEnds; }
    /// The one observer of the list's changes (empty: none). It is told under the list's
    /// lock, on the thread that made the change.
    void SetOnChange(std::function<void(const TListChange&)> observer) {
        FOnChange = std::move(observer);
    }

    using TStampReader = std::function<std::optional<TFileStamp>(const std::string& path)>;
    /// Replaces ReadFileStamp, so tests can play a file system with a coarse clock.
    void SetStampReader(TStampReader reader) { FReadStamp = std::move(reader); }

private:
    struct TItem {
        std::unique_ptr<TSchedule> Entry;
        std::uint64_t Serial;
    };
    void CheckIndex(std::int32_t index) const;
    void Tell(TListChange::TKind kind, std::int32_t index);
    TItem MakeItem(std::unique_ptr<TSchedule> entry);
    /// Takes `stamp` as the file's state of the last load or save; `content` is what
    /// the file held, hashed when the stamp was too fresh at `nowNs` (taken right after
    /// the stamp) to tell a later write apart.
    void RememberStamp(const TFileStamp& stamp, std::string_view content, std::int64_t nowNs);
    /// The file's stamp when it differs from the state of the last load or save.
    std::optional<TFileStamp> ChangedStamp();

    std::recursive_mutex FLock;
    std::vector<TItem> FItems;
    std::uint64_t FNextSerial = 1;
    std::string FFileName;
    TDateTime FFileTime = 0;
    std::optional<TFileStamp> FStamp;       // stamp of the last load or save
    std::optional<std::uint64_t> FRacyHash; // content hash when that stamp was too fresh to trust
    std::optional<TFileStamp> FKeptStamp;   // the last change not loaded over unsaved edits
    std::optional<TFileStamp> FFailedStamp; // a file that failed to load, not read again
    std::vector<std::string> FSaveWarnings;
    std::uint32_t FKeptChanges = 0;
    bool FModified = false;
    bool FMixedLineEnds = false;
    TStampReader FReadStamp = ReadFileStamp;
    std::function<void(const TListChange&)> FOnChange;
};

/// RAII for the list's lock.
class TSchedListLock {
public:
    explicit TSchedListLock(TSchedList& list) : FList(list) { FList.Lock(); }
    ~TSchedListLock() { FList.Unlock(); }
    TSchedListLock(const TSchedListLock&) = delete;
    TSchedListLock& operator=(const TSchedListLock&) = delete;

private:
    TSchedList& FList;
};

/// What one reader of a list's KeptChanges has been told: each kept change once.
class TKeptChangeReader {
public:
    /// Whether the list kept a change over unsaved edits since the last call.
    bool Take(const TSchedList& list) {
        return std::exchange(FSeen, list.KeptChanges()) != list.KeptChanges();
    }

private:
    std::uint32_t FSeen = 0;
};

} // namespace vantle
