#include "cli/DefaultFiles.h"

#include <sys/stat.h>

#include "platform/ExecutablePath.h"

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

} // namespace vantle::cli
