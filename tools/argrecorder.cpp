// A stand-in program for the starter's tests: writes what it was started with to the
// file named by VANTLE_ARGRECORDER_OUT, as NUL-terminated fields: working directory,
// VANTLE_SHOW_COMMAND, whether standard input, output and error are /dev/null, the
// session id, then every argument after the program name.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDevNull(int fd, const struct stat& null) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == null.st_rdev;
}

} // namespace

int main(int argc, char** argv) {
    const char* out = std::getenv("VANTLE_ARGRECORDER_OUT");
    if (out == nullptr)
        return 2;
    std::string record;
    auto field = [&record](const std::string& text) {
        record += text;
        record += '\0';
    };
    char cwd[4096];
    field(getcwd(cwd, sizeof cwd) != nullptr ? cwd : "?");
    const char* show = std::getenv("VANTLE_SHOW_COMMAND");
    field(show != nullptr ? show : "-");
    struct stat null {};
    bool quiet = stat("/dev/null", &null) == 0 && IsDevNull(0, null) && IsDevNull(1, null) &&
                 IsDevNull(2, null);
    field(quiet ? "stdio=null" : "stdio=other");
    field(std::to_string(getsid(0)));
    for (int i = 1; i < argc; ++i)
        field(argv[i]);

    // Written aside and renamed, so a reader never sees half a record.
    std::string temporary = std::string(out) + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return 3;
    bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    if (std::fclose(file) != 0 || !written)
        return 4;
    return std::rename(temporary.c_str(), out) == 0 ? 0 : 5;
}
