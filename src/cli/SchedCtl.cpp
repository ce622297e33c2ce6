#include "cli/Commands.h"

#include <ostream>

namespace vantle::cli {

namespace {

const char* const Usage =
    "Usage: vantle-schedctl COMMAND [OPTIONS] ...\n"
    "\n"
    "Commands:\n"
    "  fmt [-w] FILE            print FILE in the saved form (-w: save it back in place)\n"
    "  check FILE               report what the reader accepts but was probably not meant\n"
    "  due --at MOMENT FILE\n"
    "                           names of the entries due at that local moment\n"
    "  next [--from MOMENT] [--count N] FILE\n"
    "                           the next N due moments of every active entry\n"
    "  upcoming [--from MOMENT] [--days N | --count N] FILE\n"
    "                           every run of the active entries in time order\n"
    "  expand [--at MOMENT] TEXT\n"
    "                           TEXT with its $-tokens expanded\n"
    "  run [--once] [--dry-run] [--at MOMENT]... [--log LOGFILE] FILE\n"
    "                           run the scheduler without a window (--at more than once:\n"
    "                           one dry-run cycle at each moment, in turn)\n"
    "\n"
    "MOMENT is local time \"YYYY-MM-DD hh:mm[:ss[.zzz]]\", optionally followed by Z or\n"
    "+hh:mm to name one of the two readings of a repeated hour (else the earlier one).\n"
    "\n"
    "Exit codes: 0 success, 1 findings (check) or a failed cycle or start (run --once),\n"
    "2 usage or input/output error.\n";

} // namespace

int RunSchedCtl(const TArgs& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << Usage;
        return 2;
    }
    const std::string& command = args.front();
    TArgs rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << Usage;
        return 0;
    }
    if (command == "fmt")
        return CmdFmt(rest, out, err);
    if (command == "check")
        return CmdCheck(rest, out, err);
    if (command == "due")
        return CmdDue(rest, out, err);
    if (command == "next")
        return CmdNext(rest, out, err);
    if (command == "upcoming")
        return CmdUpcoming(rest, out, err);
    if (command == "expand")
        return CmdExpand(rest, out, err);
    if (command == "run")
        return CmdRun(rest, out, err);
    err << "vantle-schedctl: unknown command '" << command << "'\n" << Usage;
    return 2;
}

} // namespace vantle::cli
