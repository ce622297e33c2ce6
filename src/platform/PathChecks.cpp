#include "platform/PathChecks.h"

#include "platform/ExecutablePath.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

EPathRefused::EPathRefused(const std::string& path, TWholeMessage message)
    : Exception(std::move(message.Text)), FPath(path) {}

ESharedAncestor::ESharedAncestor(const std::string& folder, const std::string& things)
    : EPathRefused(folder, TWholeMessage{folder +
                                         ": others can write it without the sticky "
                                         "bit, so " +
                                         things + " are not kept there"}) {}

void RefuseSharedAncestors(const std::string& folder, const std::string& things) {
    // The parts still to walk, front first, and the real folder reached so far.
    std::deque<std::string> parts;
    auto push = [&parts](const std::string& path) {
        std::vector<std::string> split;
        for (std::size_t start = 0; start <= path.size();) {
            std::size_t slash = std::min(path.find('/', start), path.size());
            if (slash > start)
                split.push_back(path.substr(start, slash - start));
            start = slash + 1;
        }
        parts.insert(parts.begin(), split.begin(), split.end());
    };
    std::string at = "/";
    if (folder.empty() || folder.front() != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (cwd == nullptr)
            RaiseInOutError(errno, folder);
        at = cwd;
        std::free(cwd);
    }
    push(folder);
    int links = 0;
    while (!parts.empty()) {
        const std::string name = parts.front();
        parts.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            at = FolderOfFile(at);
            continue;
        }
        // Whoever may write `at` decides what `name` is there.
        struct stat st {};
        if (stat(at.c_str(), &st) != 0)
            RaiseInOutError(errno, at);
        if ((st.st_mode & S_IWOTH) != 0 && (st.st_mode & S_ISVTX) == 0)
            throw ESharedAncestor(at, things);
        if (parts.empty())
            return; // `folder` itself: its own checks follow
        const std::string path = at + (at == "/" ? "" : "/") + name;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return; // made by the program, private
            RaiseInOutError(errno, path);
        }
        if (!S_ISLNK(st.st_mode)) {
            at = path;
            continue;
        }
        if (++links > 40)
            RaiseInOutError(ELOOP, folder);
        std::string target(std::size_t(st.st_size > 0 ? st.st_size : 4096), '\0');
        ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            RaiseInOutError(errno, path);
        target.resize(std::size_t(length));
        if (target.starts_with('/'))
            at.assign(1, '/'); // not = "/": GCC 12 at -O3 warns of a false overlap
        push(target);
    }
}

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

// Only its owner can create, rename or remove names in a folder of mode 0700.
int OpenPrivateFolder(const std::string& folder, const std::string& role, bool create,
                      TOpenToOthers openToOthers) {
    if (create && mkdir(folder.c_str(), 0700) == 0)
        chmod(folder.c_str(), 0700); // the umask may have taken bits away
    else if (create && errno != EEXIST)
        RaiseInOutError(errno, folder);
    int fd = open(folder.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        RaiseInOutError(errno, folder);
    struct stat st {};
    std::string wrong;
    if (fstat(fd, &st) != 0)
        wrong = PlainErrorText(errno);
    else if (S_ISLNK(st.st_mode))
        wrong = "it is a symbolic link, not a folder";
    else if (!S_ISDIR(st.st_mode))
        wrong = "it is not a folder";
    else if (st.st_uid != geteuid())
        wrong = "it belongs to " + UserText(st.st_uid) + ", not to " + UserText(geteuid());
    else if ((st.st_mode & 0777) != 0700) {
        // The descriptor is the checked folder itself; its /proc name reaches no link.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (openToOthers == TOpenToOthers::MakePrivate && chmod(self.c_str(), 0700) == 0 &&
            fstat(fd, &st) == 0 && (st.st_mode & 0777) == 0700)
            return fd;
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 0777));
        wrong = std::string("its mode is ") + mode + ", not 0700";
    }
    if (!wrong.empty()) {
        close(fd);
        throw EPathRefused(folder, role, wrong);
    }
    return fd;
}

std::string UserText(uid_t user) {
    std::string text = "user " + std::to_string(user);
    if (const passwd* entry = getpwuid(user); entry != nullptr && entry->pw_name != nullptr)
        text += std::string(" (") + entry->pw_name + ")";
    return text;
}

} // namespace vantle
