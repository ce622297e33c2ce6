// Small pieces the stress tests share: running a step in a forked child, listing
// folders, reading a log's lines.
#pragma once

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vantle::test {

/// A folder of its own in memory (/dev/shm) where there is one, else in the temporary
/// folder. A kill loop kills thousands of saves: on a memory file system their fsync
/// costs nothing, while the order of writes, renames and kills stays the real one.
class TMemoryDir {
public:
    TMemoryDir() {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec) || access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "vantle-stress-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            FPath = pattern;
    }
    ~TMemoryDir() {
        std::error_code ec;
        if (!FPath.empty())
            std::filesystem::remove_all(FPath, ec);
    }
    TMemoryDir(const TMemoryDir&) = delete;
    TMemoryDir& operator=(const TMemoryDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

struct TChildResult {
    int Status = -1;    // as waitpid gives it
    std::string Output; // what the child wrote back
};

/// Runs `step` in a forked child and returns what it returned, so a test can set
/// process limits (file size, open files) without touching its own process.
inline TChildResult RunInChild(const std::function<std::string()>& step) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        std::string output;
        int code = 0;
        try {
            output = step();
        } catch (const std::exception& e) {
            output = std::string("unexpected exception: ") + e.what();
            code = 3;
        }
        const char* data = output.data();
        std::size_t left = output.size();
        while (left > 0) {
            ssize_t n = write(pipeFds[1], data, left);
            if (n <= 0)
                break;
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        _exit(code); // never back into the test runner
    }
    close(pipeFds[1]);
    TChildResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            result.Output.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    while (waitpid(pid, &result.Status, 0) < 0 && errno == EINTR) {
    }
    return result;
}

/// The names in a folder, sorted.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// The messages of a log's lines: the text after the 19-character stamp and ":".
inline std::vector<std::string> LogMessages(const std::string& content) {
    std::vector<std::string> messages;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find("\r\n", start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        messages.push_back(line.size() >= 20 ? line.substr(20) : line);
        start = end + 2;
    }
    return messages;
}

} // namespace vantle::test
