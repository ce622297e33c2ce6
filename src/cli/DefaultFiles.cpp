#include "cli/DefaultFiles.h"

#include <sys/stat.h>

#include "engine/StateFile.h"
#include "platform/ExecutablePath.h"
#include "platform/InstanceLock.h"

namespace vantle::cli {

TFileLocations DesktopFiles(const std::string& schedCtlPath, const TEnvironment& environment,
                            const TFolderWritable& writable) {
    std::string folder = ExtractFileDir(schedCtlPath);
    // In a build folder the two programs sit in src/cli and src/ui: the desktop program
    // is the one beside, not a copy that is not there.
    struct stat st {};
    const std::string built = folder + "/../ui/" + ProgramName;
    if (::stat((folder + "/" + ProgramName).c_str(), &st) != 0 && ::stat(built.c_str(), &st) == 0)
        folder = ExtractFileDir(folder) + "/ui";
    return LocateFiles(folder + "/" + ProgramName, environment, writable);
}

TFileLocations DesktopFiles() {
    return DesktopFiles(ExecutablePath(), ProcessEnvironment());
}

std::string StateFileFor(const std::string& file, const std::string& logFile) {
    const TLockHolder holder = TInstanceLock(file).Holder();
    if (holder.Lines.size() >= 2 && !holder.Lines[1].empty())
        return holder.Lines[1];
    return StateFileOf(file, logFile);
}

} // namespace vantle::cli
