#include "platform/CrontabSource.h"

#include "platform/FileWriter.h"
#include "platform/ProgramStarterPosix.h"
#include "platform/StartProbe.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantle {

namespace {

// More than any crontab a person writes; a program that prints more is not crontab.
constexpr std::size_t MaxCrontabBytes = 16u << 20;

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

std::string ReadAllFrom(int fd) {
    std::string text;
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw ECrontabSource("crontab -l: its output could not be read: " +
                                 PlainErrorText(errno));
        if (got == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
        offset += got;
        if (text.size() > MaxCrontabBytes)
            throw ECrontabSource("crontab -l printed more than 16 MB: that is no crontab");
    }
}

// The child's end, waiting at most `timeoutMs`; nullopt when it did not end in time.
std::optional<int> WaitForEnd(pid_t pid, int timeoutMs) {
    const std::timespec pause{0, 5'000'000};
    for (int waited = 0;; waited += 5) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return status;
        if (ended < 0 && errno == ECHILD)
            throw ECrontabSource("crontab -l: its end was not seen");
        if (ended < 0 && errno != EINTR)
            return std::nullopt;
        if (waited >= timeoutMs)
            return std::nullopt;
        ::nanosleep(&pause, nullptr);
    }
}

std::string ZoneOfPath(std::string_view path) {
    const std::size_t at = path.find("zoneinfo/");
    return at == std::string_view::npos ? std::string() : std::string(path.substr(at + 9));
}

} // namespace

std::string CrontabFailure(bool signalled, int code, std::string_view output) {
    const std::string said = Trimmed(output);
    if (signalled)
        return "crontab -l was ended by signal " + std::to_string(code);
    // Vixie cron and cronie both say "no crontab for USER".
    if (said.find("no crontab for") != std::string::npos)
        return "you have no crontab (crontab -l: " + said + ")";
    return "crontab -l failed with code " + std::to_string(code) +
           (said.empty() ? std::string() : ": " + said);
}

std::string ReadUserCrontab(const std::string& program, const std::string& parameters,
                            int timeoutMs) {
    TOwnFd output(::memfd_create("crontab", MFD_CLOEXEC));
    if (output.Get() < 0)
        throw ECrontabSource("crontab -l: no room for its output: " + PlainErrorText(errno));
    TPosixProgramStarter starter;
    const TStartResult started = starter.Start(program, parameters, "", 1, output.Get());
    if (!StartSucceeded(started.Code))
        throw ECrontabSource(
            "crontab -l could not start: " + StartErrorText(started.Code) +
            (started.Code == SE_ERR_FNF ? "; cron seems not to be installed" : ""));
    const std::optional<int> status = WaitForEnd(started.Pid, timeoutMs);
    if (!status) {
        // It runs in a session of its own, so its group goes with it.
        ::kill(-started.Pid, SIGKILL);
        ::waitpid(started.Pid, nullptr, 0);
        throw ECrontabSource("crontab -l did not end within " +
                             std::to_string((timeoutMs + 999) / 1000) + " s");
    }
    std::string text = ReadAllFrom(output.Get());
    if (WIFSIGNALED(*status))
        throw ECrontabSource(CrontabFailure(true, WTERMSIG(*status), text));
    if (WEXITSTATUS(*status) != 0)
        throw ECrontabSource(CrontabFailure(false, WEXITSTATUS(*status), text));
    return text;
}

std::string MachineZone() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        std::string_view zone = tz;
        if (zone.starts_with(':'))
            zone.remove_prefix(1);
        return zone.starts_with('/') ? ZoneOfPath(zone) : std::string(zone);
    }
    std::ifstream file("/etc/timezone");
    std::string zone;
    if (file && std::getline(file, zone) && !Trimmed(zone).empty())
        return Trimmed(zone);
    char target[4096];
    const ssize_t length = ::readlink("/etc/localtime", target, sizeof target - 1);
    return length > 0 ? ZoneOfPath(std::string_view(target, static_cast<std::size_t>(length)))
                      : std::string();
}

bool IsUserColumn(std::string_view word) {
    const std::string name(word);
    if (name.empty() || name.find('/') != std::string::npos || ::getpwnam(name.c_str()) == nullptr)
        return false;
    return ProbeStart(name, "", SearchPath()) != 0;
}

} // namespace vantle
