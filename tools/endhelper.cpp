// A stand-in program for the tests of exit watching: "exit N" ends with code N, "signal
// N" kills itself with signal N, "orphan N" leaves a child that ends N ms later, "sleep
// N" runs N ms, "print N" writes a line to its output, one to its error, one more to its
// output, and ends with code N, "stubborn N" ignores SIGTERM, as does the child it leaves,
// writes the child's pid to its output and runs N ms, "graceful N" writes "ready" once it
// ends with code 0 on SIGTERM, and runs N ms, "flood N" writes to its output as fast as
// it can for N ms with a millisecond's rest each 256 KiB (hundreds of MB a second, yet
// not a disk's worth), "linger N" ends at once and leaves a child that writes N blocks of 16
// KiB to the output, a millisecond apart.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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
    if (std::strcmp(argv[1], "print") == 0) {
        // Unbuffered writes: the order in which they reach the file is the order here.
        (void)!write(1, "out\n", 4);
        (void)!write(2, "err\n", 4);
        (void)!write(1, "out again\n", 10);
        return value;
    }
    if (std::strcmp(argv[1], "sleep") == 0) {
        usleep(static_cast<useconds_t>(value) * 1000);
        return 0;
    }
    if (std::strcmp(argv[1], "graceful") == 0) {
        // Ends well when told to stop, as a program that finishes its work on SIGTERM.
        std::signal(SIGTERM, [](int) { _exit(0); });
        (void)!write(1, "ready\n", 6);
        usleep(static_cast<useconds_t>(value) * 1000);
        return 0;
    }
    if (std::strcmp(argv[1], "stubborn") == 0) {
        std::signal(SIGTERM, SIG_IGN); // inherited by the child
        pid_t child = fork();
        if (child == 0) {
            usleep(static_cast<useconds_t>(value) * 1000);
            _exit(0);
        }
        char text[32];
        int length = std::snprintf(text, sizeof text, "%d\n", static_cast<int>(child));
        (void)!write(1, text, static_cast<std::size_t>(length));
        usleep(static_cast<useconds_t>(value) * 1000);
        return 0;
    }
    if (std::strcmp(argv[1], "flood") == 0 || std::strcmp(argv[1], "linger") == 0) {
        static char block[16384];
        std::memset(block, 'y', sizeof block);
        if (argv[1][0] == 'f') {
            timespec start{}, now{};
            clock_gettime(CLOCK_MONOTONIC, &start);
            for (int blocks = 1;; ++blocks) {
                if (write(1, block, sizeof block) < 0)
                    return 1;
                if (blocks % 16 == 0)
                    usleep(1000);
                clock_gettime(CLOCK_MONOTONIC, &now);
                if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 >=
                    value)
                    return 0;
            }
        }
        if (fork() == 0) {
            for (int i = 0; i < value; ++i) {
                (void)!write(1, block, sizeof block);
                usleep(1000);
            }
            _exit(0);
        }
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
