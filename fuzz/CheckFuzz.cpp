// `vantle-schedctl check` on any file content: it reports, it never crashes, and its
// report holds nothing that drives a terminal.
#include "cli/Commands.h"
#include "platform/TextUtils.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// One file for the whole run, rewritten for every input, in a folder of its own so
// the only findings about who may write it are the ones the content causes (none).
std::string ScratchFolder;
std::string ScratchFile;

void RemoveScratch() {
    unlink(ScratchFile.c_str());
    rmdir(ScratchFolder.c_str());
}

const std::string& Scratch() {
    if (ScratchFile.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                              "/vantle-check-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        ScratchFolder = pattern;
        ScratchFile = pattern + "/schedule.INI";
        int fd = open(ScratchFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) {
            std::perror("open");
            std::abort();
        }
        close(fd);
        std::atexit(RemoveScratch);
    }
    return ScratchFile;
}

void WriteAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) {
        std::perror("open");
        std::abort();
    }
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) {
            std::perror("write");
            std::abort();
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = Scratch();
    WriteAll(path, data, size);
    std::ostringstream out, err;
    int code = vantle::cli::CmdCheck({path}, out, err);
    if (code != 0 && code != 1) {
        std::fprintf(stderr, "check exited %d on readable content: %s\n", code, err.str().c_str());
        std::abort();
    }
    if ((code == 1) != !out.str().empty()) {
        std::fprintf(stderr, "check exited %d but reported:\n%s\n", code, out.str().c_str());
        std::abort();
    }
    std::istringstream report(out.str());
    for (std::string line; std::getline(report, line);) {
        if (vantle::VisibleText(line, vantle::TVisibleFor::Terminal) != line) {
            std::fprintf(stderr, "check reported a control character or a stray byte: %s\n",
                         vantle::VisibleText(line, vantle::TVisibleFor::Terminal).c_str());
            std::abort();
        }
    }
    return 0;
}
