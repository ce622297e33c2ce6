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
    /// Standard input from `extras.InputFd` when given; its variables replace any of the
    /// same name.
    TStartResult StartWith(const std::string& file, const std::string& parameters,
                           const std::string& directory, int showCommand, int outputFd,
                           const TStartExtras& extras) override;
};

/// Splits a text into words by the shell's quoting rules (blanks separate; single
/// quotes, double quotes and backslash group and escape) with no expansion at all:
/// "$HOME", "*", ";" and backquotes are plain characters.
std::vector<std::string> SplitShellWords(const std::string& text);
/// The word as a POSIX shell would need it written: as it is when that is safe,
/// otherwise in single quotes.
std::string ShellQuote(const std::string& word);
} // namespace vantle
