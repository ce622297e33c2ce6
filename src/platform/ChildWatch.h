// Learning how started programs end without ever waiting for them: this process
// becomes their child subreaper, and a signalfd says when any child has ended.
#pragma once

#include <vector>

namespace vantle {

/// One child reaped: how it ended.
struct TChildEnd {
    int Pid = 0;
    bool Signalled = false; // killed by a signal rather than exited
    int Code = 0;           // the exit code, or the signal's number
};

class TChildWatch {
public:
    /// Blocks SIGCHLD in the calling thread, so that only the signalfd sees it. Call it
    /// first in main, before any thread starts: threads inherit the mask.
    static void BlockChildSignal();

    /// Makes this process a child subreaper (orphans of the programs it starts come back
    /// to it, not to init) and opens the descriptor to watch.
    TChildWatch();
    ~TChildWatch();
    TChildWatch(const TChildWatch&) = delete;
    TChildWatch& operator=(const TChildWatch&) = delete;

    /// Readable when a child may have ended; -1 when the system gave none (then call
    /// Reap now and then).
    int Fd() const { return FFd; }
    /// Drains the descriptor and reaps every child that has ended, orphans included.
    std::vector<TChildEnd> Reap();

private:
    int FFd = -1;
};

} // namespace vantle
