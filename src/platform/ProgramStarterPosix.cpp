#include "platform/ProgramStarterPosix.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantle {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// Where exec will look for `name`: the name itself when it holds a "/", else every
// folder of PATH (an empty entry meaning the working directory).
std::vector<std::string> CandidatesOf(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return {name};
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    std::size_t start = 0;
    for (;;) {
        std::size_t colon = folders.find(':', start);
        std::string folder =
            folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        candidates.push_back((folder.empty() ? std::string(".") : folder) + "/" + name);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return candidates;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// What the grandchild needs, all built before the fork: between fork and exec only
// async-signal-safe calls are allowed, and the scheduler may have other threads.
struct TStartPlan {
    std::vector<std::string> ProgramCandidates, OpenerCandidates;
    std::vector<std::string> ProgramArgs, OpenerArgs, Environment;
    std::vector<char*> ProgramArgv, OpenerArgv, Envp;
    const char* File = nullptr;
    const char* Directory = nullptr; // null: stay where we are
    bool FileIsPath = false;
};

[[noreturn]] void Report(int statusFd, std::uint32_t code) {
    ssize_t ignored = ::write(statusFd, &code, sizeof code);
    (void)ignored;
    ::_exit(127);
}

// Tries every candidate as execvp would, but never falls back to a shell. Returns
// only on failure, with the code to report.
std::uint32_t ExecFirst(const std::vector<std::string>& candidates, std::vector<char*>& argv,
                        std::vector<char*>& envp, bool single) {
    bool denied = false;
    for (const std::string& candidate : candidates) {
        ::execve(candidate.c_str(), argv.data(), envp.data());
        int err = errno;
        if (single)
            return StartCodeFromErrno(err, false);
        if (err == EACCES)
            denied = true;
        else if (err != ENOENT && err != ENOTDIR && err != ESTALE && err != ENODEV &&
                 err != ETIMEDOUT)
            return StartCodeFromErrno(err, false);
    }
    return denied ? SE_ERR_ACCESSDENIED : SE_ERR_FNF;
}

[[noreturn]] void RunGrandchild(TStartPlan& plan, int statusFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals would stay ignored in the started program.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &standard, nullptr);

    // A scheduler started with its standard files closed may hold the pipe on 0 to 2,
    // where /dev/null is about to go.
    if (statusFd <= 2) {
        int moved = ::fcntl(statusFd, F_DUPFD_CLOEXEC, 3);
        if (moved >= 0)
            statusFd = moved;
    }
    if (plan.Directory != nullptr && ::chdir(plan.Directory) != 0)
        Report(statusFd, StartCodeFromErrno(errno, true));
    int null = ::open("/dev/null", O_RDWR);
    if (null < 0)
        Report(statusFd, SE_ERR_OOM);
    for (int fd = 0; fd <= 2; ++fd)
        if (::dup2(null, fd) < 0)
            Report(statusFd, SE_ERR_OOM);
    if (null > 2)
        ::close(null);
    // Descriptors the scheduler left inheritable are none of the program's business.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    if (plan.FileIsPath) {
        struct stat st {};
        bool document =
            ::stat(plan.File, &st) == 0 && !S_ISDIR(st.st_mode) && ::access(plan.File, X_OK) != 0;
        if (document) {
            std::uint32_t code =
                ExecFirst(plan.OpenerCandidates, plan.OpenerArgv, plan.Envp, false);
            Report(statusFd, code == SE_ERR_FNF ? SE_ERR_NOASSOC : code);
        }
    }
    Report(statusFd,
           ExecFirst(plan.ProgramCandidates, plan.ProgramArgv, plan.Envp, plan.FileIsPath));
}

} // namespace

std::vector<std::string> SplitShellWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (IsBlank(c)) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= n) {
                word += '\\'; // nothing left to escape: the backslash stands for itself
                inWord = true;
                ++i;
            } else if (text[i + 1] == '\n') {
                i += 2; // a line continuation joins the lines
            } else {
                word += text[i + 1];
                inWord = true;
                i += 2;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            std::size_t close = text.find('\'', i + 1);
            std::size_t end = close == std::string::npos ? n : close;
            word.append(text, i + 1, end - i - 1);
            i = close == std::string::npos ? n : close + 1;
        } else if (c == '"') {
            ++i;
            while (i < n && text[i] != '"') {
                // Inside double quotes a backslash escapes only $ ` " \ and the line end.
                if (text[i] == '\\' && i + 1 < n &&
                    std::string("$`\"\\\n").find(text[i + 1]) != std::string::npos) {
                    if (text[i + 1] != '\n')
                        word += text[i + 1];
                    i += 2;
                } else {
                    word += text[i++];
                }
            }
            if (i < n)
                ++i;
        } else {
            word += c;
            ++i;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string ShellQuote(const std::string& word) {
    static const std::string Safe = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                    "0123456789_@%+=:,./-";
    if (!word.empty() && word.find_first_not_of(Safe) == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::uint32_t StartCodeFromErrno(int err, bool forDirectory) {
    switch (err) {
    case ENOENT:
        return forDirectory ? SE_ERR_PNF : SE_ERR_FNF;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return SE_ERR_PNF;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
    case EROFS:
        return SE_ERR_ACCESSDENIED;
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
        return SE_ERR_OOM;
    case ENOEXEC:
    case ELIBBAD:
    case EINVAL:
        return forDirectory ? SE_ERR_PNF : ERROR_BAD_FORMAT;
    default:
        return forDirectory ? SE_ERR_PNF : SE_ERR_ACCESSDENIED;
    }
}

std::uint32_t TPosixProgramStarter::StartProgram(const std::string& file,
                                                 const std::string& parameters,
                                                 const std::string& directory, int showCommand) {
    return Start(file, parameters, directory, showCommand).Code;
}

TStartResult TPosixProgramStarter::Start(const std::string& file, const std::string& parameters,
                                         const std::string& directory, int showCommand) {
    if (file.empty())
        return {SE_ERR_FNF, 0};

    TStartPlan plan;
    plan.File = file.c_str();
    plan.FileIsPath = file.find('/') != std::string::npos;
    plan.Directory = directory.empty() ? nullptr : directory.c_str();
    plan.ProgramCandidates = CandidatesOf(file);
    plan.OpenerCandidates = CandidatesOf("xdg-open");
    plan.ProgramArgs.push_back(file);
    for (std::string& word : SplitShellWords(parameters))
        plan.ProgramArgs.push_back(std::move(word));
    plan.OpenerArgs = {"xdg-open", file};
    std::string showPrefix = std::string(ShowCommandVariable) + "=";
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        if (std::string(*entry).rfind(showPrefix, 0) != 0)
            plan.Environment.emplace_back(*entry);
    plan.Environment.push_back(showPrefix + std::to_string(showCommand));
    plan.ProgramArgv = PointersTo(plan.ProgramArgs);
    plan.OpenerArgv = PointersTo(plan.OpenerArgs);
    plan.Envp = PointersTo(plan.Environment);

    // The grandchild reports a failed start through this pipe; a successful exec
    // closes it (close-on-exec), so end of file means the program is running.
    // The middle process hands the grandchild's pid back through a second pipe.
    int status[2];
    int pidPipe[2];
    if (::pipe2(status, O_CLOEXEC) != 0)
        return {StartCodeFromErrno(errno, false), 0};
    if (::pipe2(pidPipe, O_CLOEXEC) != 0) {
        int err = errno;
        ::close(status[0]);
        ::close(status[1]);
        return {StartCodeFromErrno(err, false), 0};
    }
    pid_t child = ::fork();
    if (child < 0) {
        int err = errno;
        for (int fd : {status[0], status[1], pidPipe[0], pidPipe[1]})
            ::close(fd);
        return {StartCodeFromErrno(err, false), 0};
    }
    if (child == 0) {
        ::close(status[0]);
        ::close(pidPipe[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild < 0)
            Report(status[1], StartCodeFromErrno(errno, false));
        if (grandchild > 0) {
            ssize_t ignored = ::write(pidPipe[1], &grandchild, sizeof grandchild);
            (void)ignored;
            // The grandchild goes to the nearest subreaper, or to init, which reaps it.
            ::_exit(0);
        }
        ::close(pidPipe[1]);
        RunGrandchild(plan, status[1]);
    }
    ::close(status[1]);
    ::close(pidPipe[1]);
    int childStatus = 0;
    while (::waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    std::uint32_t code = 0;
    std::size_t got = 0;
    while (got < sizeof code) {
        ssize_t n = ::read(status[0], reinterpret_cast<char*>(&code) + got, sizeof code - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(status[0]);
    if (got == sizeof code) {
        ::close(pidPipe[0]);
        return {code, 0};
    }
    pid_t started = 0;
    ssize_t n = 0;
    while ((n = ::read(pidPipe[0], &started, sizeof started)) < 0 && errno == EINTR) {
    }
    ::close(pidPipe[0]);
    return {SE_START_ACCEPTED, n == sizeof started ? static_cast<int>(started) : 0};
}

} // namespace vantle
