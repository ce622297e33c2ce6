// The commands of vantle-schedctl. Each takes its own arguments (without the command
// name) and returns the exit code: 0 success, 1 findings or a failed cycle, 2 usage
// or input/output error (with a message on `err`).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vantle::cli {

using TArgs = std::vector<std::string>;

int CmdFmt(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdCheck(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdDue(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdNext(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdUpcoming(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdExpand(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdRun(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdHistory(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdStatus(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdStart(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdAdd(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdSet(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdRemove(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdEnable(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdDisable(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdRename(const TArgs& args, std::ostream& out, std::ostream& err);
int CmdImport(const TArgs& args, std::ostream& out, std::ostream& err);

/// "Usage: vantle-schedctl " and the command's usage, from the one table of help.
std::string UsageLine(const std::string& command);

/// Dispatches `args` (the words after the program name) to a command.
int RunSchedCtl(const TArgs& args, std::ostream& out, std::ostream& err);

} // namespace vantle::cli
