#include "cli/DefaultFiles.h"

#include "platform/ExecutablePath.h"

namespace vantle::cli {

TFileLocations DesktopFiles(const std::string& schedCtlPath, const TEnvironment& environment,
                            const TFolderWritable& writable) {
    std::string desktop = ExtractFileDir(schedCtlPath) + "/" + ProgramName;
    return LocateFiles(desktop, environment, writable);
}

TFileLocations DesktopFiles() {
    return DesktopFiles(ExecutablePath(), ProcessEnvironment());
}

} // namespace vantle::cli
