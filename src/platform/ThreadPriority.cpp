#include "platform/ThreadPriority.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace vantle {

void LowerCallingThreadPriority() {
    // On Linux a thread id names one thread of the process for setpriority.
    const id_t thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0 && now < LoweredNice)
        (void)::setpriority(PRIO_PROCESS, thread, LoweredNice);
}

} // namespace vantle
