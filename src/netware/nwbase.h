// The NetWare session: binds the client at run time, decides once whether the
// network is available, and reads the file server's clock.
#pragma once

#include "netware/NetSession.h"
#include "platform/Clock.h"
#include "platform/LibraryLoader.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vantle {

class TNWLastError;
class TNWDSContextFlags;

class TNWBase : public TNetSession {
public:
    /// Never fails: a missing client leaves NetAvailable false. `loader` and `clock`
    /// must outlive the session.
    TNWBase(TLibraryLoader& loader, const TClock& clock = SystemClock());
    ~TNWBase() override;
    TNWBase(const TNWBase&) = delete;
    TNWBase& operator=(const TNWBase&) = delete;

    bool NetAvailable() const override { return FNetAvailable; }
    /// One read of the server's 7-byte buffer; the workstation's clock when it fails.
    /// Raises EConvertError when the server's bytes form no valid date or time.
    TDateTime ServerDate() override;

    const std::string& LoginID() const { return FLoginID; }
    bool NDSAvailable();
    std::uint32_t ServerHandle() const { return FServerHandle; }

private:
    // The rest of the session's state is private to the implementation.
    struct TState;
    std::unique_ptr<TState> FState;
    bool FNetAvailable = false;
    std::string FLoginID;
    std::uint32_t FServerHandle = 0;
};

} // namespace vantle
