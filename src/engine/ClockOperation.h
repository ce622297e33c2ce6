// The clock operation: the workstation's clock set from the file server's.
#pragma once

#include "netware/NetSession.h"
#include "platform/Clock.h"
#include "platform/ClockSetter.h"

namespace vantle {

struct TClockResult {
    enum TKind { Set, NoNetwork, NotSet };
    TKind Kind = Set;
    int Error = 0; // NotSet: the setter's error number
};

/// Reads the server's clock and sets the workstation's to it. The server's clock
/// carries no zone: it is local time, read as the reading nearest the workstation's
/// clock where the local time comes twice.
TClockResult SetClockFromServer(TNetSession& session, TClockSetter& setter, const TClock& clock);

} // namespace vantle
