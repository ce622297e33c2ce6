// A file's identity and change stamp, precise enough to notice any rewrite.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>

namespace vantle {

struct TFileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    std::timespec Modified{}; // last write, full resolution
    std::timespec Changed{};  // last status change: catches restores of an old mtime
    bool operator==(const TFileStamp& other) const;
};

/// The stamp of a regular file; nullopt when the name does not exist or is a directory.
std::optional<TFileStamp> ReadFileStamp(const std::string& path);

} // namespace vantle
