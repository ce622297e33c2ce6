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

protected:
    /// A refusal that says all in `message`, which begins with the path.
    struct TWholeMessage {
        std::string Text;
    };
    EPathRefused(const std::string& path, TWholeMessage message);

private:
    std::string FPath;
};

/// A folder on the way to a private one that others can write without the sticky bit:
/// "FOLDER: others can write it without the sticky bit, so THINGS are not kept there".
/// They could rename what lies in it and put a folder of their own in its place.
class ESharedAncestor : public EPathRefused {
public:
    ESharedAncestor(const std::string& folder, const std::string& things);
};

/// Refuses, before anything is written, a path the program would write as its `role`
/// file ("schedule", "log"): an empty one, one that exists as anything but a regular
/// file (a folder, a device, a pipe), or one whose folder is missing. Raises
/// EPathRefused, or EInOutError when the path cannot be looked at.
void CheckWritablePath(const std::string& path, const std::string& role);

/// What to do with a private folder that is the user's own but open to others.
enum class TOpenToOthers { Refuse, MakePrivate };

/// Opens `folder` without following a link (an O_PATH descriptor the caller closes),
/// first making it with mode 0700 when missing and `create` is set. Raises EPathRefused
/// for `role` unless it is a folder of the user's own with mode 0700; one of the user's
/// own that others may enter is made 0700 when `openToOthers` says so. Raises
/// EInOutError when it cannot be made or opened (file not found when missing).
int OpenPrivateFolder(const std::string& folder, const std::string& role, bool create,
                      TOpenToOthers openToOthers);

/// Walks the path to `folder` as the kernel does, links followed whoever owns them (a
/// home reached through /home -> /var/home is common), and raises ESharedAncestor for
/// the first folder on the way, named by its real path, in which a name is looked up
/// that others can write without the sticky bit; `things` says what would have been
/// kept in `folder` ("the run records"). `folder` itself is not looked at, nor anything
/// past the first missing part (the program makes those private). Raises EInOutError
/// when a part cannot be looked at.
void RefuseSharedAncestors(const std::string& folder, const std::string& things);

/// "user 65534 (nobody)", or "user 65534" when the password database has no name.
std::string UserText(uid_t user);

} // namespace vantle
