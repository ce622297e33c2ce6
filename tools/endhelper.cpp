// A stand-in program for the tests of exit watching: "exit N" ends with code N, "signal
// N" kills itself with signal N, "orphan N" leaves a child that ends N ms later, "sleep
// N" runs N ms.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    int value = std::atoi(argv[2]);
    if (std::strcmp(argv[1], "exit") == 0)
        return value;
    if (std::strcmp(argv[1], "signal") == 0) {
        std::signal(value, SIG_DFL);
        raise(value);
        return 3;
    }
    if (std::strcmp(argv[1], "sleep") == 0) {
        usleep(static_cast<useconds_t>(value) * 1000);
        return 0;
    }
    if (std::strcmp(argv[1], "orphan") == 0) {
        if (fork() == 0) {
            usleep(static_cast<useconds_t>(value) * 1000);
            _exit(0);
        }
        return 0;
    }
    return 2;
}
