// What the built-in clock operation needs of the network session.
#pragma once

#include "platform/DateTime.h"

namespace vantle {

class TNetSession {
public:
    virtual ~TNetSession() = default;
    /// Decided once, when the session is created.
    virtual bool NetAvailable() const = 0;
    /// The file server's date and time, in the server's own (local) time scale.
    virtual TDateTime ServerDate() = 0;
};

/// A session for a workstation without a network client.
class TNoNetSession : public TNetSession {
public:
    bool NetAvailable() const override { return false; }
    TDateTime ServerDate() override { return 0; }
};

} // namespace vantle
