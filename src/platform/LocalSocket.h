// Unix stream sockets in the user's private folder: the scheduler's control socket, and
// how `vantle-schedctl start` reaches it.
#pragma once

#include "platform/FileWriter.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace vantle {

/// Serves a socket at `path` (at most 107 bytes), mode 0600, non-blocking and
/// close-on-exec. Whatever is at `path` is removed first: call it holding the
/// schedule's instance lock, which says that nobody serves it. Raises EInOutError.
TOwnFd ListenLocal(const std::string& path);
/// The next waiting connection, non-blocking and close-on-exec; none (-1) when none
/// waits or the one that did has gone. Raises EInOutError for any other failure.
TOwnFd AcceptLocal(int listener);
/// The effective user id the other end had when the connection was made
/// (SO_PEERCRED); nullopt when the kernel does not say.
std::optional<uid_t> PeerUid(int fd);
/// A blocking, close-on-exec connection to the socket at `path`; -1 with `error` set
/// to the errno when there is none (ENOENT: no socket; ECONNREFUSED: nobody serves it).
TOwnFd ConnectLocal(const std::string& path, int& error);

} // namespace vantle
