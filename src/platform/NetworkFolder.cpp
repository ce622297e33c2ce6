#include "platform/NetworkFolder.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace vantle {

namespace {

// The kernel's magic numbers (linux/magic.h), with the CIFS and SMB2 ones it keeps in
// the client's own headers.
constexpr unsigned long NetworkMagics[] = {
    0x6969,     // NFS_SUPER_MAGIC
    0x517B,     // SMB_SUPER_MAGIC
    0xFE534D42, // SMB2_MAGIC_NUMBER
    0xFF534D42, // CIFS_MAGIC_NUMBER
};
constexpr unsigned long FuseMagic = 0x65735546;
// FUSE file systems that reach another machine, by the mount table's type.
constexpr std::string_view NetworkFuseTypes[] = {"fuse.sshfs"};

// The type the mount table gives the mount of device `device`; empty when not found.
std::string MountTypeOf(dev_t device) {
    std::ifstream table("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        if (numbers != wanted)
            continue;
        // Optional fields end with a lone "-", then comes the type.
        std::size_t dash = line.find(" - ");
        if (dash == std::string::npos)
            return {};
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type;
        return type;
    }
    return {};
}

} // namespace

bool IsNetworkFileSystem(unsigned long magic, std::string_view mountType) {
    for (unsigned long network : NetworkMagics)
        if (magic == network)
            return true;
    if (magic != FuseMagic)
        return false;
    for (std::string_view type : NetworkFuseTypes)
        if (mountType == type)
            return true;
    return false;
}

bool OnNetworkFileSystem(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0)
        return false;
    const unsigned long magic = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFu;
    std::string type;
    struct stat st {};
    if (magic == FuseMagic && stat(folder.c_str(), &st) == 0)
        type = MountTypeOf(st.st_dev);
    return IsNetworkFileSystem(magic, type);
}

} // namespace vantle
