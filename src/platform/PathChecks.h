// The checks a path passes before the program writes a file there or keeps a lock in
// it: a file it writes must be a regular file in a folder that exists.
#pragma once

#include "platform/SysErrors.h"

#include <string>
#include <sys/types.h>

namespace vantle {

/// A path the program will not use, and why: "PATH: not used as the ROLE: REASON".
class EPathRefused : public Exception {
public:
    EPathRefused(const std::string& path, const std::string& role, const std::string& reason);
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

/// Refuses, before anything is written, a path the program would write as its `role`
/// file ("schedule", "log"): an empty one, one that exists as anything but a regular
/// file (a folder, a device, a pipe), or one whose folder is missing. Raises
/// EPathRefused, or EInOutError when the path cannot be looked at.
void CheckWritablePath(const std::string& path, const std::string& role);

/// "user 65534 (nobody)", or "user 65534" when the password database has no name.
std::string UserText(uid_t user);

} // namespace vantle
