// The simulated client-connection library, CLXWIN32.DLL. NWSIM_NO_PRIMARY_CONNECTION
// makes it a workstation attached to no server.
#include "SimSupport.h"
#include "netware/NWClient.h"

#include <type_traits>

using namespace vantle;
using namespace vantle::nwsim;

#ifndef NWSIM_OMIT_NWCCGetPrimConnRef
NWSIM_EXPORT std::uint32_t NWCCGetPrimConnRef(std::uint32_t* connRef) {
    std::uint32_t result = 0;
    if (Flag("NWSIM_NO_PRIMARY_CONNECTION"))
        result = ErrNoPrimaryConnection;
    else
        *connRef = PrimaryConnRef;
    Record("NWCCGetPrimConnRef() = 0x%X", result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWCCGetPrimConnRef), TNWCCGetPrimConnRef>);
#endif

NWSIM_EXPORT std::uint32_t NWCCOpenConnByRef(std::uint32_t connRef, std::uint32_t openState,
                                             std::uint32_t reserved, std::uint32_t* connHandle) {
    // Every open gives a handle of its own, as the real client does.
    static std::uint32_t nextHandle = PrimaryConnHandle;
    std::uint32_t result = 0;
    if (connRef != PrimaryConnRef)
        result = ErrInvalidConnection;
    else
        *connHandle = nextHandle++;
    Record("NWCCOpenConnByRef(0x%X, %u, %u) = 0x%X", connRef, openState, reserved, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWCCOpenConnByRef), TNWCCOpenConnByRef>);

#ifndef NWSIM_OMIT_NWCCGetConnInfo
NWSIM_EXPORT std::uint32_t NWCCGetConnInfo(std::uint32_t connHandle, std::uint32_t infoType,
                                           std::uint32_t length, void* buffer) {
    return GetConnInfo("CLXWIN32", connHandle, infoType, length, buffer);
}
static_assert(std::is_same_v<decltype(&NWCCGetConnInfo), TNWCCGetConnInfo>);
#endif
