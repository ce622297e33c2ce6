#include "platform/StartProbe.h"

#include "platform/Environment.h"
#include "platform/FileLocations.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

TWorkFolder::TWorkFolder(const std::string& directory) {
    const std::string folder = WorkFolderOf(directory);
    FFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (FFd < 0)
        FCode = StartCodeFromErrno(errno, true);
}

TWorkFolder::~TWorkFolder() {
    if (FFd >= 0)
        ::close(FFd);
}

std::uint32_t StartCodeFromErrno(int err, bool forDirectory) {
    switch (err) {
    case ENOENT:
        return forDirectory ? SE_ERR_PNF : SE_ERR_FNF;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return SE_ERR_PNF;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
    case EROFS:
        return SE_ERR_ACCESSDENIED;
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
        return SE_ERR_OOM;
    case ENOEXEC:
    case ELIBBAD:
    case EINVAL:
        return forDirectory ? SE_ERR_PNF : ERROR_BAD_FORMAT;
    default:
        return forDirectory ? SE_ERR_PNF : SE_ERR_ACCESSDENIED;
    }
}

std::string WorkFolderOf(const std::string& directory) {
    return directory.empty() ? HomeFolder(ProcessEnvironment()) : directory;
}

std::string SearchPath() {
    if (const char* path = std::getenv("PATH"))
        return path;
    // What posix_spawnp searches without PATH.
    return "/bin:/usr/bin";
}

std::uint32_t ProbeStart(const std::string& file, const std::string& directory,
                         const std::string& path) {
    if (file.empty())
        return SE_ERR_FNF;
    TWorkFolder folder(directory);
    if (folder.Code() != 0)
        return folder.Code();
    struct stat st {};
    if (file.find('/') != std::string::npos) {
        if (::fstatat(folder.AtFd(), file.c_str(), &st, 0) == 0)
            return 0; // a program, or a document for the desktop's opener
        return StartCodeFromErrno(errno, false);
    }
    return FindInPath(file, path, folder.AtFd()) ? 0u : std::uint32_t{SE_ERR_FNF};
}

std::optional<std::string> PathSetBy(const std::vector<std::string>& environment) {
    for (auto pair = environment.rbegin(); pair != environment.rend(); ++pair)
        if (pair->starts_with("PATH="))
            return pair->substr(5);
    return std::nullopt;
}

std::string SearchPathFor(const std::vector<std::string>& environment) {
    return PathSetBy(environment).value_or(SearchPath());
}

std::optional<std::string> FindInPath(const std::string& file, const std::string& path, int atFd) {
    std::size_t from = 0;
    for (;;) {
        std::size_t end = path.find(':', from);
        std::string folderName = path.substr(from, end == std::string::npos ? end : end - from);
        std::string candidate = folderName.empty() ? file : folderName + "/" + file;
        // The spawned program changes into its working folder before the exec, so that is
        // what a relative folder of PATH is read from.
        int at = candidate.starts_with('/') ? AT_FDCWD : atFd;
        struct stat st {};
        if (::fstatat(at, candidate.c_str(), &st, 0) == 0 && !S_ISDIR(st.st_mode) &&
            ::faccessat(at, candidate.c_str(), X_OK, 0) == 0)
            return candidate;
        if (end == std::string::npos)
            return std::nullopt;
        from = end + 1;
    }
}

} // namespace vantle
