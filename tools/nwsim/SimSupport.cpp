#include "SimSupport.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vantle::nwsim {

bool Flag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

std::string Setting(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : fallback;
}

std::string LoginName() {
    return Setting("NWSIM_LOGIN_NAME", "ADMIN");
}

void Record(const char* format, ...) {
    const char* path = std::getenv("NWSIM_LOG");
    if (path == nullptr || *path == '\0')
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0)
        return;
    std::size_t size = std::strlen(line);
    line[size++] = '\n';
    // Every library of the client appends to the same file, one whole line per write.
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t written = write(fd, line, size);
    (void)written;
    close(fd);
}

void CopyName(char* buffer, std::size_t size, const std::string& text) {
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text.data(), text.size() < size ? text.size() : size);
}

std::uint32_t GetConnInfo(const char* library, std::uint32_t connHandle, std::uint32_t infoType,
                          std::uint32_t length, void* buffer) {
    std::uint32_t result = 0;
    if (connHandle == 0) {
        result = ErrInvalidConnection;
    } else if (infoType == 2 && length >= sizeof(std::uint16_t)) {
        auto state = static_cast<std::uint16_t>(std::atoi(Setting("NWSIM_BROADCAST", "0").c_str()));
        std::memcpy(buffer, &state, sizeof state);
    } else if (infoType == 5 && length >= sizeof(std::uint32_t)) {
        std::uint32_t number = ConnectionNumber;
        std::memcpy(buffer, &number, sizeof number);
    } else {
        result = ErrInvalidParameter;
    }
    Record("NWCCGetConnInfo(0x%X, %u, %u) = 0x%X in %s", connHandle, infoType, length, result,
           library);
    return result;
}

} // namespace vantle::nwsim
