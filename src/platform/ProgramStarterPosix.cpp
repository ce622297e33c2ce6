#include "platform/ProgramStarterPosix.h"

#include "platform/StartProbe.h"

#include "platform/Environment.h"
#include "platform/FileLocations.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace vantle {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The spawn's attributes: a session of its own, no blocked signal, every signal at its
// default (an ignored one would stay ignored in the program).
class TSpawnAttributes {
public:
    TSpawnAttributes() {
        FError = ::posix_spawnattr_init(&FAttributes);
        if (FError != 0)
            return;
        FReady = true;
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        auto flags =
            static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        if ((FError = ::posix_spawnattr_setflags(&FAttributes, flags)) == 0 &&
            (FError = ::posix_spawnattr_setsigmask(&FAttributes, &none)) == 0)
            FError = ::posix_spawnattr_setsigdefault(&FAttributes, &all);
    }
    ~TSpawnAttributes() {
        if (FReady)
            ::posix_spawnattr_destroy(&FAttributes);
    }
    TSpawnAttributes(const TSpawnAttributes&) = delete;
    TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;

    int Error() const { return FError; }
    const posix_spawnattr_t* Get() const { return &FAttributes; }

private:
    posix_spawnattr_t FAttributes{};
    bool FReady = false;
    int FError = 0;
};

// What the spawned process does before the exec, in order: into the working folder,
// standard files on /dev/null, and no other descriptor the scheduler left inheritable.
class TSpawnActions {
public:
    TSpawnActions(const TWorkFolder& folder, int outputFd, int inputFd) {
        FError = ::posix_spawn_file_actions_init(&FActions);
        if (FError != 0)
            return;
        FReady = true;
        // First, while the folder's descriptor is still open: it may sit on 0 to 2.
        if (folder.Given())
            Add(::posix_spawn_file_actions_addfchdir_np(&FActions, folder.AtFd()));
        // Output and error share one open file, so what the program writes to either
        // stays in the order it was written.
        if (outputFd >= 0) {
            Add(::posix_spawn_file_actions_adddup2(&FActions, outputFd, 1));
            Add(::posix_spawn_file_actions_adddup2(&FActions, outputFd, 2));
        }
        if (inputFd >= 0) {
            Add(::posix_spawn_file_actions_adddup2(&FActions, inputFd, 0));
            if (outputFd < 0) {
                Add(::posix_spawn_file_actions_addopen(&FActions, 1, "/dev/null", O_RDWR, 0));
                Add(::posix_spawn_file_actions_adddup2(&FActions, 1, 2));
            }
        } else {
            Add(::posix_spawn_file_actions_addopen(&FActions, 0, "/dev/null", O_RDWR, 0));
            if (outputFd < 0) {
                Add(::posix_spawn_file_actions_adddup2(&FActions, 0, 1));
                Add(::posix_spawn_file_actions_adddup2(&FActions, 0, 2));
            }
        }
        Add(::posix_spawn_file_actions_addclosefrom_np(&FActions, 3));
    }
    ~TSpawnActions() {
        if (FReady)
            ::posix_spawn_file_actions_destroy(&FActions);
    }
    TSpawnActions(const TSpawnActions&) = delete;
    TSpawnActions& operator=(const TSpawnActions&) = delete;

    int Error() const { return FError; }
    const posix_spawn_file_actions_t* Get() const { return &FActions; }

private:
    void Add(int error) {
        if (FError == 0)
            FError = error;
    }

    posix_spawn_file_actions_t FActions{};
    bool FReady = false;
    int FError = 0;
};

// The code of a failed spawn. A bare name was looked for in every folder of PATH, as
// execvp does: found nowhere is "file not found", whatever the last folder answered.
std::uint32_t SpawnCode(int err, bool bareName) {
    if (bareName &&
        (err == ENOENT || err == ENOTDIR || err == ESTALE || err == ENODEV || err == ETIMEDOUT))
        return SE_ERR_FNF;
    return StartCodeFromErrno(err, false);
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

std::uint32_t TPosixProgramStarter::StartProgram(const std::string& file,
                                                 const std::string& parameters,
                                                 const std::string& directory, int showCommand) {
    return Start(file, parameters, directory, showCommand, -1).Code;
}

TStartResult TPosixProgramStarter::Start(const std::string& file, const std::string& parameters,
                                         const std::string& directory, int showCommand,
                                         int outputFd) {
    return StartWith(file, parameters, directory, showCommand, outputFd, {});
}

TStartResult TPosixProgramStarter::StartWith(const std::string& file, const std::string& parameters,
                                             const std::string& directory, int showCommand,
                                             int outputFd, const TStartExtras& extras) {
    if (file.empty())
        return {SE_ERR_FNF, 0};
    TWorkFolder folder(directory);
    if (folder.Code() != 0)
        return {folder.Code(), 0};

    // A path to a file that may not be run is a document, for the desktop's opener.
    bool document = false;
    if (file.find('/') != std::string::npos) {
        struct stat st {};
        document = ::fstatat(folder.AtFd(), file.c_str(), &st, 0) == 0 && !S_ISDIR(st.st_mode) &&
                   ::faccessat(folder.AtFd(), file.c_str(), X_OK, 0) != 0;
    }
    std::vector<std::string> args;
    if (document) {
        args = {"xdg-open", file};
    } else {
        args.push_back(file);
        for (std::string& word : SplitShellWords(parameters))
            args.push_back(std::move(word));
    }
    // A variable set twice takes its last value, as in a shell; the window state is the
    // starter's own.
    std::vector<std::string> added = extras.Environment;
    added.push_back(std::string(ShowCommandVariable) + "=" + std::to_string(showCommand));
    auto nameOf = [](std::string_view variable) { return variable.substr(0, variable.find('=')); };
    for (auto pair = added.begin(); pair != added.end();) {
        const bool setLater = std::any_of(pair + 1, added.end(), [&](const std::string& later) {
            return nameOf(later) == nameOf(*pair);
        });
        pair = setLater ? added.erase(pair) : pair + 1;
    }
    auto replaced = [&](std::string_view variable) {
        return std::any_of(added.begin(), added.end(),
                           [&](const std::string& set) { return nameOf(set) == nameOf(variable); });
    };
    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        if (!replaced(*entry))
            environment.emplace_back(*entry);
    environment.insert(environment.end(), added.begin(), added.end());
    std::vector<char*> argv = PointersTo(args);
    std::vector<char*> envp = PointersTo(environment);

    TSpawnAttributes attributes;
    if (attributes.Error() != 0)
        return {StartCodeFromErrno(attributes.Error(), false), 0};
    TSpawnActions actions(folder, outputFd, extras.InputFd);
    if (actions.Error() != 0)
        return {StartCodeFromErrno(actions.Error(), false), 0};
    // One spawn, no shell: posix_spawnp searches PATH like execvp, without sh's fallback
    // for a file that is no executable. The program is our own child, so the child watch
    // reaps it by the pid returned here; without a watch, it goes to init when we exit.
    pid_t pid = 0;
    const bool bareName = document || file.find('/') == std::string::npos;
    // posix_spawnp would search the scheduler's own PATH: one the start sets is searched
    // here, the same way, and the program found started by its path.
    const std::optional<std::string> path = PathSetBy(added);
    std::optional<std::string> found;
    if (bareName && path) {
        found = FindInPath(args.front(), *path, folder.AtFd());
        if (!found)
            return {document ? SE_ERR_NOASSOC : SE_ERR_FNF, 0};
    }
    int err = bareName && !found
                  ? ::posix_spawnp(&pid, args.front().c_str(), actions.Get(), attributes.Get(),
                                   argv.data(), envp.data())
                  : ::posix_spawn(&pid, found ? found->c_str() : file.c_str(), actions.Get(),
                                  attributes.Get(), argv.data(), envp.data());
    if (err != 0) {
        std::uint32_t code = SpawnCode(err, bareName);
        return {document && code == SE_ERR_FNF ? SE_ERR_NOASSOC : code, 0};
    }
    // The started program first: on a machine of few cores, the bookkeeping that follows a
    // start would otherwise take the core from it while it loads.
    ::sched_yield();
    return {SE_START_ACCEPTED, static_cast<int>(pid)};
}

} // namespace vantle
