#include "platform/ProcessSignals.h"

#include <csignal>

namespace vantle {

bool TPosixProcessSignals::SignalProgram(int pid, int signal) {
    if (pid <= 0)
        return false; // never a whole group by accident, nor every process
    return ::kill(-pid, signal) == 0 || ::kill(pid, signal) == 0;
}

} // namespace vantle
