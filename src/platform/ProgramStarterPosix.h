// The program starter on POSIX: one spawn, never a command interpreter.
#pragma once

#include "platform/ProgramStarter.h"

#include <string>
#include <vector>

namespace vantle {

/// The started program finds the window state the entry asked for in this variable:
/// X11 and Wayland let no program decide how another program's window is shown.
constexpr const char* ShowCommandVariable = "VANTLE_SHOW_COMMAND";

/// Starts `file` (a path, or a bare name looked up in PATH) with the words of
/// `parameters`, in its own session with standard input on /dev/null, output and error
/// on the caller's output file (or /dev/null), and never waits for it. The program is a child of
/// this process: its caller reaps it (TChildWatch), or leaves it to init by exiting. A file without
/// execute permission is a document, opened with xdg-open. The result is the shell's
/// code for the real error of the start, or SE_START_ACCEPTED.
class TPosixProgramStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showCommand) override;
    /// Pid: the started program (or the document's opener), a child of this process,
    /// once the start is accepted.
    TStartResult Start(const std::string& file, const std::string& parameters,
                       const std::string& directory, int showCommand, int outputFd) override;
};

/// Splits a text into words by the shell's quoting rules (blanks separate; single
/// quotes, double quotes and backslash group and escape) with no expansion at all:
/// "$HOME", "*", ";" and backquotes are plain characters.
std::vector<std::string> SplitShellWords(const std::string& text);
/// The word as a POSIX shell would need it written: as it is when that is safe,
/// otherwise in single quotes.
std::string ShellQuote(const std::string& word);
/// What a start of `file` in `directory` would meet before the program runs, told
/// without starting anything: 0 when the program (or document) is there, else the
/// start's code - SE_ERR_FNF for a path that does not exist or a bare name found in no
/// folder of `path` (PATH's value), the folder's code when `directory` cannot be used.
std::uint32_t ProbeStart(const std::string& file, const std::string& directory,
                         const std::string& path);
/// The folder a program starts in: `directory`, or the user's home folder (HomeFolder)
/// when it is empty, as cron and systemd user services do; relative commands and paths
/// resolve from there.
std::string WorkFolderOf(const std::string& directory);
/// PATH as the starter searches it: the environment's, or the system's default.
std::string SearchPath();
/// The shell's code for an errno of chdir (`forDirectory`) or exec.
std::uint32_t StartCodeFromErrno(int err, bool forDirectory);

} // namespace vantle
