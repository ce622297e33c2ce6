// Whether a folder lives on another machine: file locking and shared memory there are
// not what a local disk gives, and a database has to be kept differently.
#pragma once

#include <string>
#include <string_view>

namespace vantle {

/// True for a folder on NFS, SMB/CIFS or sshfs; false for a local one, and when the
/// file system cannot be told.
bool OnNetworkFileSystem(const std::string& folder);

/// Whether a file system, by statfs's f_type and the mount table's type ("nfs4",
/// "fuse.sshfs"), is a network one.
bool IsNetworkFileSystem(unsigned long magic, std::string_view mountType);

} // namespace vantle
