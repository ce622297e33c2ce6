#include "platform/LocalSocket.h"

#include "platform/SysErrors.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vantle {

namespace {

// The address of `path`; raises ENAMETOOLONG for one that does not fit.
sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        RaiseInOutError(ENAMETOOLONG, path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

} // namespace

TOwnFd ListenLocal(const std::string& path) {
    const sockaddr_un address = AddressOf(path);
    TOwnFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0)
        RaiseInOutError(errno, path);
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        RaiseInOutError(errno, path);
    if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        RaiseInOutError(errno, path);
    // The umask is the process's, shared with threads that create files: the mode is set
    // after the bind instead. The private folder (0700) lets nobody else in meanwhile.
    if (chmod(path.c_str(), 0600) != 0 || listen(fd.Get(), 16) != 0) {
        const int error = errno;
        unlink(path.c_str());
        RaiseInOutError(error, path);
    }
    return fd;
}

TOwnFd AcceptLocal(int listener) {
    for (;;) {
        TOwnFd fd(accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd.Get() >= 0)
            return fd;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)
            return TOwnFd();
        RaiseInOutError(errno);
    }
}

std::optional<uid_t> PeerUid(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}

TOwnFd ConnectLocal(const std::string& path, int& error) {
    sockaddr_un address{};
    try {
        address = AddressOf(path);
    } catch (const EInOutError& e) {
        error = e.ErrorCode();
        return TOwnFd();
    }
    TOwnFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        error = errno;
        return fd;
    }
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        return TOwnFd();
    }
    error = 0;
    return fd;
}

} // namespace vantle
