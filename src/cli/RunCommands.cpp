#include "cli/Commands.h"

#include <ostream>

namespace vantle::cli {

int CmdExpand(const TArgs&, std::ostream&, std::ostream& err) {
    err << "not built yet\n";
    return 2;
}

int CmdRun(const TArgs&, std::ostream&, std::ostream& err) {
    err << "not built yet\n";
    return 2;
}

} // namespace vantle::cli
