// Runs a program as an unprivileged user when started as root, so a test can show what
// a normal user meets in a folder they cannot write (root may write anywhere).
//   usage: asuser PROGRAM [ARGS...]   (as root: becomes nobody, uid and gid 65534)
#include <cstdio>
#include <grp.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: asuser PROGRAM [ARGS...]\n");
        return 2;
    }
    if (geteuid() == 0) {
        const gid_t nobodyGroup = 65534;
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobody) != 0) {
            std::perror("asuser");
            return 2;
        }
    }
    execv(argv[1], argv + 1);
    std::perror("asuser: exec");
    return 127;
}
