#include "platform/FileLocations.h"

#include "platform/ExecutablePath.h"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

const char* const ProgramName = "vantle-scheduler";

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSystemFolder(const std::string& folder) {
    for (const char* root : {"/usr", "/bin", "/sbin"}) {
        std::string prefix(root);
        if (folder == prefix || folder.starts_with(prefix + "/"))
            return true;
    }
    return false;
}

// A relative value is invalid and ignored, as the base directory rules say.
std::string XdgFolder(const TEnvironment& environment, const char* variable,
                      const char* underHome) {
    std::optional<std::string> value = environment.Get(variable);
    if (value && !value->empty() && value->front() == '/')
        return *value;
    std::string home = HomeFolder(environment);
    return (home == "/" ? std::string() : home) + underHome;
}

bool MakeFolder(const std::string& path) {
    if (path.empty() || path == "/")
        return true;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (!MakeFolder(ExtractFileDir(path)))
        return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// An installed program: its folder is a prefix's bin/, and the prefix holds the desktop
// entry the install put there. ~/.local/bin is writable, yet no portable copy.
bool IsInstalled(const std::string& folder) {
    const std::string bin = "/bin";
    if (folder.size() <= bin.size() ||
        folder.compare(folder.size() - bin.size(), bin.size(), bin) != 0)
        return false;
    const std::string prefix = folder.substr(0, folder.size() - bin.size());
    return FileExists(prefix + "/share/applications/" + ProgramName + ".desktop");
}

} // namespace

std::string HomeFolder(const TEnvironment& environment) {
    std::optional<std::string> home = environment.Get("HOME");
    if (home && !home->empty())
        return *home;
    // A service started without HOME still has an entry in the password database.
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

std::string ConfigHome(const TEnvironment& environment) {
    return XdgFolder(environment, "XDG_CONFIG_HOME", "/.config");
}

std::string StateHome(const TEnvironment& environment) {
    return XdgFolder(environment, "XDG_STATE_HOME", "/.local/state");
}

TFileLocations LocateFiles(const std::string& executablePath, const TEnvironment& environment,
                           const TFolderWritable& writable) {
    TFileLocations beside{ChangeFileExt(executablePath, ".INI"),
                          ChangeFileExt(executablePath, ".LOG")};
    std::string folder = ExtractFileDir(executablePath);
    // A schedule already beside the program stays in use, wherever that is.
    if (FileExists(beside.ScheduleFile))
        return beside;
    bool canWrite = writable ? writable(folder) : access(folder.c_str(), W_OK) == 0;
    if (canWrite && !IsSystemFolder(folder) && !IsInstalled(folder))
        return beside;
    std::string name(ProgramName);
    return {ConfigHome(environment) + "/" + name + "/" + name + ".INI",
            StateHome(environment) + "/" + name + "/" + name + ".LOG"};
}

bool MakeFileFolders(const TFileLocations& locations) {
    bool made = MakeFolder(ExtractFileDir(locations.ScheduleFile));
    return MakeFolder(ExtractFileDir(locations.LogFile)) && made;
}

} // namespace vantle
