#include "platform/PathChecks.h"

#include "platform/ExecutablePath.h"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>

namespace vantle {

namespace {

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device";
    if (S_ISFIFO(mode))
        return "it is a pipe";
    if (S_ISSOCK(mode))
        return "it is a socket";
    return "it is not a regular file";
}

} // namespace

EPathRefused::EPathRefused(const std::string& path, const std::string& role,
                           const std::string& reason)
    : Exception((path.empty() ? std::string("\"\"") : path) + ": not used as the " + role + ": " +
                reason),
      FPath(path) {}

void CheckWritablePath(const std::string& path, const std::string& role) {
    if (path.empty())
        throw EPathRefused(path, role, "the name is empty");
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            throw EPathRefused(path, role, KindOf(st.st_mode));
        return;
    }
    if (errno != ENOENT && errno != ENOTDIR)
        RaiseInOutError(errno, path);
    // Missing: it is made on first use, in a folder that must be there already.
    const std::string folder = FolderOfFile(path);
    if (stat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            RaiseInOutError(errno, folder);
        throw EPathRefused(path, role, "its folder " + folder + " does not exist");
    }
    if (!S_ISDIR(st.st_mode))
        throw EPathRefused(path, role, folder + " is not a folder");
}

std::string UserText(uid_t user) {
    std::string text = "user " + std::to_string(user);
    if (const passwd* entry = getpwuid(user); entry != nullptr && entry->pw_name != nullptr)
        text += std::string(" (") + entry->pw_name + ")";
    return text;
}

} // namespace vantle
