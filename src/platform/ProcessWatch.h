// Follows processes that are not this program's children, such as the programs an
// earlier scheduler started before a restart: waitpid cannot tell of their end. A pidfd
// tells at once where the kernel has them; elsewhere the processes are looked at when
// asked.
#pragma once

#include "platform/ProcessIdentity.h"

#include <map>
#include <vector>

namespace vantle {

class TProcessWatch {
public:
    TProcessWatch();
    ~TProcessWatch();
    TProcessWatch(const TProcessWatch&) = delete;
    TProcessWatch& operator=(const TProcessWatch&) = delete;

    /// Readable when a followed process has ended (a descriptor to poll, as a pipe's);
    /// -1 where the kernel has no pidfds: then only TakeEnded looks.
    int Fd() const { return FEpoll; }
    /// Follows the process while it is the one `process` names; false when it is not
    /// running (any more).
    bool Add(const TProcessIdentity& process);
    void Remove(int pid);
    /// The followed processes that have ended since the last call, each told once.
    std::vector<int> TakeEnded();

private:
    struct TFollowed {
        TProcessIdentity Process;
        int PidFd = -1; // -1: looked at by its identity
    };
    std::map<int, TFollowed> FFollowed;
    int FEpoll = -1;
};

} // namespace vantle
