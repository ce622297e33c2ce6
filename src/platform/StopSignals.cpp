#include "platform/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace vantle {

namespace {

int StopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signal) {
    int savedErrno = errno; // only async-signal-safe calls here
    unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t n = ::write(StopPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

int WatchStopSignals() {
    if (StopPipe[0] >= 0)
        return StopPipe[0];
    if (::pipe2(StopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return StopPipe[0];
}

int TakeStopSignal() {
    unsigned char byte = 0;
    int signal = 0;
    while (::read(StopPipe[0], &byte, 1) == 1)
        signal = byte;
    return signal;
}

} // namespace vantle
