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

enum TNWBroadcastMode : std::uint8_t {
    nwBroadcastOn,
    nwBroadcastServerOnly,
    nwBroadcastOff,
    nwBroadcastStored
};

enum TNWShellErrorMode : std::uint8_t { nwErrInteractive, nwErrNetware, nwErrDOS };

/// The error the component reports to its user; nothing on the clock path fills it.
class TNWLastError {
public:
    std::uint32_t ErrorCode() const { return FErrorCode; }
    const std::string& Message() const { return FMessage; }
    void Assign(std::uint32_t errorCode, std::string message) {
        FErrorCode = errorCode;
        FMessage = std::move(message);
    }

private:
    std::uint32_t FErrorCode = 0;
    std::string FMessage;
};

/// How the directory contexts treat names; added to both contexts at start-up.
struct TNWDSContextFlags {
    bool DereferenceAliases = true;    // 0x01
    bool TranslateStrings = true;      // 0x02
    bool TypelessNames = false;        // 0x04, wins over DereferenceAliases
    bool AsyncMode = false;            // 0x08
    bool CanonicalizeNames = true;     // 0x10
    bool DereferenceBaseClass = false; // 0x40
    bool DisallowReferrals = false;    // 0x80
};

/// The client's libraries and state are shared by the process: one session at a time.
class TNWBase : public TNetSession {
public:
    /// Never fails: a missing client leaves NetAvailable false. `loader` and `clock`
    /// must outlive the session.
    TNWBase(TLibraryLoader& loader, const TClock& clock = SystemClock());
    /// The same, keeping the loader for as long as the session lives.
    explicit TNWBase(std::unique_ptr<TLibraryLoader> loader, const TClock& clock = SystemClock());
    /// Frees the directory contexts; the libraries stay loaded, connections stay open.
    ~TNWBase() override;
    TNWBase(const TNWBase&) = delete;
    TNWBase& operator=(const TNWBase&) = delete;

    bool NetAvailable() const override { return FNetAvailable; }
    /// One read of the server's 7-byte buffer, in the server's local time; the
    /// workstation's local clock when that read cannot be made or fails.
    /// Raises EConvertError when the server's bytes form no valid date or time.
    TDateTime ServerDate() override;

    const std::string& LoginID() const { return FLoginID; }
    const std::string& ServerName() const { return FServerName; }
    const std::string& NDSContextName() const { return FNDSContextName; }
    /// Only when NDSAvailable: "" or "[Root]" gives the first context a fresh start at
    /// the root and reads its name back; any other name is set as it is.
    void SetNDSContextName(const std::string& value);
    /// Asks the server again each time.
    bool NDSAvailable();
    /// The session's connection, 0 until one has been found.
    std::uint32_t ServerHandle() const { return FServerHandle; }
    TNWBroadcastMode BroadcastMode() const { return FBroadcastMode; }
    TNWShellErrorMode ShellErrorMode() const { return FShellErrorMode; }
    bool SilentExceptions() const { return FSilentExceptions; }
    TNWLastError& LastError() { return *FLastError; }
    TNWDSContextFlags& NDSContextFlags() { return *FNDSContextFlags; }

private:
    std::uint32_t ConnectionHandle();
    void ReadBroadcastMode();
    void StartDirectory();
    bool AskIsDSServer(bool needTreeName);
    void ApplyContextFlags();
    void AddContextFlag(std::uint32_t bit);
    std::string DirectoryLoginName();
    std::string ConnectionLoginName();

    std::unique_ptr<TLibraryLoader> FOwnedLoader; // released after the tear-down
    const TClock& FClock;
    bool FNetAvailable = false;
    bool FDSServer = false;
    bool FSilentExceptions = true;
    TNWBroadcastMode FBroadcastMode = nwBroadcastOn;
    TNWShellErrorMode FShellErrorMode = nwErrInteractive;
    std::uint32_t FServerHandle = 0;
    std::string FLoginID;
    std::string FServerName;
    std::string FNDSContextName;
    std::unique_ptr<TNWLastError> FLastError;
    std::unique_ptr<TNWDSContextFlags> FNDSContextFlags;
};

} // namespace vantle
