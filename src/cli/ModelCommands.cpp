#include "cli/Commands.h"

#include <ostream>

namespace vantle::cli {

int CmdFmt(const TArgs&, std::ostream&, std::ostream& err) {
    err << "not built yet\n";
    return 2;
}

int CmdCheck(const TArgs&, std::ostream&, std::ostream& err) {
    err << "not built yet\n";
    return 2;
}

int CmdDue(const TArgs&, std::ostream&, std::ostream& err) {
    err << "not built yet\n";
    return 2;
}

int CmdNext(const TArgs&, std::ostream&, std::ostream& err) {
    err << "not built yet\n";
    return 2;
}

} // namespace vantle::cli
