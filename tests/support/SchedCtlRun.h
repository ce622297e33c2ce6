// Runs vantle-schedctl in the test's process, keeping what it prints.
#pragma once

#include "cli/Commands.h"

#include <sstream>
#include <string>

namespace vantle::test {

struct TRun {
    int Code;
    std::string Out, Err;
};

/// One command (CmdRun, CmdExpand, ...) or the whole dispatcher.
inline TRun Invoke(int (*command)(const cli::TArgs&, std::ostream&, std::ostream&),
                   const cli::TArgs& args) {
    std::ostringstream out, err;
    int code = command(args, out, err);
    return TRun{code, out.str(), err.str()};
}

/// The program as started with `args` after its name.
inline TRun SchedCtl(const cli::TArgs& args) {
    return Invoke(cli::RunSchedCtl, args);
}

} // namespace vantle::test
