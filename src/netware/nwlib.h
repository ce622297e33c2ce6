// Binding of the NetWare calls and client-connection libraries, the state every
// session shares with them, and the search for the primary connection.
#pragma once

#include "netware/NWClient.h"
#include "platform/LibraryLoader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vantle {

class TNWLib;
class TNWNDS;
class TNWServer;
class TNWPrint;
class TNWProp;

/// Recorded when a client library cannot be loaded.
constexpr std::uint32_t NWLibraryNotLoaded = 0xFFFF;
/// Recorded when a call cannot be made (its entry point is missing), when the primary
/// connection lookup finds nothing usable, or when the server is no directory server.
constexpr std::uint32_t NWCallNotMade = 0xFFFFFFFF;

/// Entry points of the client; empty = not found (yet).
struct TNWEntryPoints {
    // Calls and client-connection libraries, looked up on first use.
    TNWCCGetPrimConnRef CCGetPrimConnRef = nullptr;
    TNWGetPrimaryConnectionID GetPrimaryConnectionID = nullptr;
    TNWCCGetConnInfo CCGetConnInfo = nullptr; // one slot for both libraries
    TNWGetConnectionNumber GetConnectionNumber = nullptr;
    TNWGetConnectionInformation GetConnectionInformation = nullptr;
    TNWGetFileServerDateAndTime GetFileServerDateAndTime = nullptr;

    // Directory and locale libraries, looked up when they are bound.
    TNWLlocaleconv Llocaleconv = nullptr;
    TNWInitUnicodeTables InitUnicodeTables = nullptr;
    TNWDSCreateContext DSCreateContext = nullptr;
    TNWDSFreeContext DSFreeContext = nullptr;
    TNWDSSetContext DSSetContext = nullptr;
    TNWFreeUnicodeTables FreeUnicodeTables = nullptr;
    TNWDSGetContext DSGetContext = nullptr;
    /// Bound with the others but only called by the wider component.
    struct {
        void *AllocBuf, *InitBuf, *FreeBuf, *DuplicateContext, *PutAttrName, *PutAttrVal,
            *GetAttrName, *GetAttrVal, *GetAttrCount, *PutChange, *ModifyObject,
            *ComputeAttrValSize, *Read, *RemoveObject, *GenerateObjectKeyPair, *GetObjectName,
            *GetObjectCount, *AddObject, *List, *OpenStream;
    } DSOther{};

    // Directory library, looked up on first use.
    TNWIsDSServer IsDSServer = nullptr;
    TNWDSWhoAmI DSWhoAmI = nullptr;
    TNWDSCanonicalizeName DSCanonicalizeName = nullptr;
};

/// One copy per process, as the client libraries themselves are: the program has one
/// session, and everything here assumes one at a time on one thread.
struct TNWModuleState {
    TNWModuleState();
    ~TNWModuleState();
    TNWModuleState(const TNWModuleState&) = delete;
    TNWModuleState& operator=(const TNWModuleState&) = delete;

    void* CallsLibrary = nullptr;     // CALWIN32.DLL
    void* ClientLibrary = nullptr;    // CLXWIN32.DLL
    void* DirectoryLibrary = nullptr; // NETWIN32.DLL
    void* LocaleLibrary = nullptr;    // LOCWIN32.DLL
    TNWEntryPoints Entries;

    std::uint32_t PrimaryConnection = 0; // found when NWCallsInit succeeded; 0 = none
    std::uint32_t CallsLastError = 0;
    std::uint32_t LastCallResult = 0;
    std::uint32_t DirectoryLastError = 0;
    bool DirectoryReady = false;
    std::uint32_t FirstContext = 0;
    std::uint32_t SecondContext = 0;

    // Created and destroyed by the session.
    std::unique_ptr<TNWLib> Lib;
    std::unique_ptr<TNWNDS> NDS;
    std::unique_ptr<TNWServer> Server;
    std::unique_ptr<TNWPrint> Print;
    std::unique_ptr<TNWProp> Prop;
};

TNWModuleState& NWModule();

/// The text in a buffer the client filled, cut at the buffer's end when the client
/// left no terminating zero.
std::string NWText(const char* buffer, std::size_t size);

/// Loads an entry point into `slot` unless it already holds one; a miss leaves the
/// slot empty so the next use looks again.
template <class TFunction>
TFunction ResolveEntry(TLibraryLoader& loader, TFunction& slot, void* library, const char* name) {
    if (slot == nullptr && library != nullptr)
        slot = reinterpret_cast<TFunction>(loader.GetProcAddress(library, name));
    return slot;
}

class TNWLib {
public:
    /// Loads the calls and client-connection libraries and starts the client. Never
    /// fails; what is missing is recorded in the module's CallsLastError.
    explicit TNWLib(TLibraryLoader& loader);

    /// Both calls libraries are loaded.
    bool Loaded() const;
    /// The remembered primary connection, or a fresh lookup (not remembered); 0 when
    /// there is none, the reason then being in CallsLastError.
    std::uint32_t PrimaryConnection();
    /// `handle`, or the primary connection when `handle` is 0.
    std::uint32_t Connection(std::uint32_t handle) {
        return handle != 0 ? handle : PrimaryConnection();
    }

    enum class TLibrary { Calls, Client };
    /// NWCCGetConnInfo from that library unless the shared slot is filled already.
    TNWCCGetConnInfo CCGetConnInfo(TLibrary library);
    TNWGetConnectionNumber GetConnectionNumber();
    TNWGetConnectionInformation GetConnectionInformation();
    TNWGetFileServerDateAndTime GetFileServerDateAndTime();

private:
    TLibraryLoader& FLoader;
};

} // namespace vantle
