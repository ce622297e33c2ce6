// A stand-in program for measuring tick lateness: appends the wall-clock time it was
// started at, "seconds.nanoseconds" since the epoch, as one line to the file named by
// its first argument.
#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    std::timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (argc < 2)
        return 2;
    std::FILE* file = std::fopen(argv[1], "a");
    if (file == nullptr)
        return 3;
    std::fprintf(file, "%lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
    return std::fclose(file) == 0 ? 0 : 4;
}
