// A stand-in program for the starter's tests: writes what it was started with to the
// file named by VANTLE_ARGRECORDER_OUT, as NUL-terminated fields: working directory,
// VANTLE_SHOW_COMMAND, whether standard input, output and error are /dev/null, the
// session id, then every argument after the program name. The variables named in
// VANTLE_ARGRECORDER_VARS ("A,B") go first to the same name with ".vars" added, one
// field each: "A=value", or "A" alone when it is not set.
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

// Written aside and renamed, so a reader never sees half a record; 0, or the exit code
// of the failure.
int WriteWhole(const std::string& path, const std::string& data) {
    std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return 3;
    bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    if (std::fclose(file) != 0 || !written)
        return 4;
    return std::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : 5;
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

    if (const char* names = std::getenv("VANTLE_ARGRECORDER_VARS")) {
        std::string variables;
        std::string list = names;
        for (std::size_t from = 0; from <= list.size();) {
            std::size_t comma = list.find(',', from);
            if (comma == std::string::npos)
                comma = list.size();
            const std::string name = list.substr(from, comma - from);
            const char* value = std::getenv(name.c_str());
            variables += value != nullptr ? name + "=" + value : name;
            variables += '\0';
            from = comma + 1;
        }
        if (int error = WriteWhole(std::string(out) + ".vars", variables); error != 0)
            return error;
    }
    return WriteWhole(out, record);
}
