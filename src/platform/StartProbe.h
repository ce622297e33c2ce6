// What a start would meet before the program runs, told without starting anything: the
// working folder, the search of PATH, the shell's codes for the errors met. The starter
// checks the same way before it spawns; the entry dialog and `check` tell it ahead.
#pragma once

#include "platform/ProgramStarter.h"

#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <vector>

namespace vantle {

/// What a start of `file` in `directory` would meet before the program runs, told
/// without starting anything: 0 when the program (or document) is there, else the
/// start's code - SE_ERR_FNF for a path that does not exist or a bare name found in no
/// folder of `path` (PATH's value), the folder's code when `directory` cannot be used.
std::uint32_t ProbeStart(const std::string& file, const std::string& directory,
                         const std::string& path);
/// The folder a program starts in: `directory`, or the user's home folder (HomeFolder)
/// when it is empty, as cron and systemd user services do; relative commands and paths
/// resolve from there.
std::string WorkFolderOf(const std::string& directory);
/// PATH as the starter searches it: the environment's, or the system's default.
std::string SearchPath();
/// The PATH that `environment` ("NAME=value" pairs set on top of the scheduler's) sets:
/// its last PATH pair's value; nullopt when it sets none.
std::optional<std::string> PathSetBy(const std::vector<std::string>& environment);
/// PATH as a start with `environment` searches it: the one it sets, else SearchPath().
std::string SearchPathFor(const std::vector<std::string>& environment);
/// Where a bare name is found as posix_spawnp looks: each folder of `path` in turn, an
/// empty one meaning the working folder, a relative one read from it (`atFd`); a file that
/// may be run. The name as found ("dir/name", or the name itself for an empty folder);
/// nullopt when no folder holds one.
std::optional<std::string> FindInPath(const std::string& file, const std::string& path, int atFd);
/// The shell's code for an errno of chdir (`forDirectory`) or exec.
std::uint32_t StartCodeFromErrno(int err, bool forDirectory);

/// The working folder, opened for the spawn to change into. Checked before it because a
/// missing folder and a missing program both come back from the spawn as ENOENT.
class TWorkFolder {
public:
    explicit TWorkFolder(const std::string& directory);
    ~TWorkFolder();
    TWorkFolder(const TWorkFolder&) = delete;
    TWorkFolder& operator=(const TWorkFolder&) = delete;

    /// 0, or the code of a folder that cannot be used.
    std::uint32_t Code() const { return FCode; }
    /// What a relative name is looked up from: the folder, or where we are.
    int AtFd() const { return FFd >= 0 ? FFd : AT_FDCWD; }
    bool Given() const { return FFd >= 0; }

private:
    int FFd = -1;
    std::uint32_t FCode = 0;
};

} // namespace vantle
