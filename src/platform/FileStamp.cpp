#include "platform/FileStamp.h"

#include <sys/stat.h>

namespace vantle {

namespace {
bool SameTime(const std::timespec& a, const std::timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}
} // namespace

bool TFileStamp::operator==(const TFileStamp& other) const {
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           SameTime(Modified, other.Modified) && SameTime(Changed, other.Changed);
}

std::optional<TFileStamp> ReadFileStamp(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    TFileStamp stamp;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = st.st_size;
    stamp.Modified = st.st_mtim;
    stamp.Changed = st.st_ctim;
    return stamp;
}

} // namespace vantle
