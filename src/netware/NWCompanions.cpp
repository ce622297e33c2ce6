#include "netware/NWCompanions.h"

namespace vantle {

TNWServer::TNWServer() = default;
TNWServer::~TNWServer() = default;

TNWPrint::TNWPrint() = default;
TNWPrint::~TNWPrint() = default;

TNWProp::TNWProp() = default;
TNWProp::~TNWProp() = default;

} // namespace vantle
