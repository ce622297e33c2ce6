// Starting a program or opening a document, the stand-in for the shell's execute
// service. Results follow the shell's codes: above 32 accepted, else the error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantle {

/// Shell result codes used by the starters.
enum : std::uint32_t {
    SE_ERR_FNF = 2,          // file not found
    SE_ERR_PNF = 3,          // path not found (a missing working directory too)
    SE_ERR_ACCESSDENIED = 5, // access denied
    SE_ERR_OOM = 8,          // out of memory
    ERROR_BAD_FORMAT = 11,   // not an executable format
    SE_ERR_NOASSOC = 31,     // no application to open the document
    SE_START_ACCEPTED = 42   // any value above 32 means accepted
};

/// Whether a start's code says the program was started.
constexpr bool StartSucceeded(std::uint32_t code) {
    return code > 32;
}

/// The plain meaning of a refused start: "file not found" for 2.
std::string StartErrorMeaning(std::uint32_t code);
/// The same with its code, as "file not found (2)".
std::string StartErrorText(std::uint32_t code);

/// A start's code, and the started program's process id when the starter knows it.
struct TStartResult {
    std::uint32_t Code = 0;
    int Pid = 0; // 0: unknown (a refused start, or a starter that does not tell)
};

/// What else a start may hand a program: its standard input from an open file (-1: none)
/// and variables ("NAME=value") added to the scheduler's environment.
struct TStartExtras {
    int InputFd = -1;
    std::vector<std::string> Environment = {};
};

class TProgramStarter {
public:
    virtual ~TProgramStarter() = default;
    /// Starts `file` detached with `parameters` split by the shell's quoting rules (no
    /// expansion of any kind), in `directory` when not empty. Never waits for it.
    virtual std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                                       const std::string& directory, int showCommand) = 0;
    /// The same start, also telling which process runs the program; its standard
    /// output and error go to `outputFd` (left open for the caller to close) when it is
    /// not -1.
    virtual TStartResult Start(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showCommand, int outputFd) {
        (void)outputFd; // a starter that cannot hand it on
        return {StartProgram(file, parameters, directory, showCommand), 0};
    }
    /// The same start with `extras` handed on as well.
    virtual TStartResult StartWith(const std::string& file, const std::string& parameters,
                                   const std::string& directory, int showCommand, int outputFd,
                                   const TStartExtras& extras) {
        (void)extras;
        return Start(file, parameters, directory, showCommand, outputFd);
    }
};

} // namespace vantle
