// The simulated directory-services library, NETWIN32.DLL: contexts with their flags and
// name context, and a directory server (unless NWSIM_NO_DS_SERVER) that knows the user
// as LOGIN.VANTLE.
#include "SimSupport.h"
#include "netware/NWClient.h"

#include <cstring>
#include <map>
#include <type_traits>

using namespace vantle;
using namespace vantle::nwsim;

namespace {

struct TContext {
    std::uint32_t Flags = 0;
    std::string NameContext;
};

std::map<std::uint32_t, TContext>& Contexts() {
    static std::map<std::uint32_t, TContext> contexts;
    return contexts;
}

TContext* FindContext(std::uint32_t context) {
    auto found = Contexts().find(context);
    return found != Contexts().end() ? &found->second : nullptr;
}

} // namespace

NWSIM_EXPORT std::uint32_t NWDSCreateContext() {
    static std::uint32_t nextContext = 1;
    std::uint32_t context = nextContext++;
    Contexts()[context] = TContext{};
    Record("NWDSCreateContext() = %u", context);
    return context;
}
static_assert(std::is_same_v<decltype(&NWDSCreateContext), TNWDSCreateContext>);

NWSIM_EXPORT std::uint32_t NWDSFreeContext(std::uint32_t context) {
    std::uint32_t result = Contexts().erase(context) == 1 ? 0 : ErrNoSuchContext;
    Record("NWDSFreeContext(%u) = 0x%X", context, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWDSFreeContext), TNWDSFreeContext>);

NWSIM_EXPORT std::uint32_t NWDSGetContext(std::uint32_t context, std::uint32_t key, void* value) {
    std::uint32_t result = 0;
    TContext* found = FindContext(context);
    if (found == nullptr)
        result = ErrNoSuchContext;
    else if (key == NWContextKeyFlags)
        std::memcpy(value, &found->Flags, sizeof found->Flags);
    else if (key == NWContextKeyNameContext)
        CopyName(static_cast<char*>(value), NWDSNameSize, found->NameContext);
    else
        result = ErrInvalidParameter;
    Record("NWDSGetContext(%u, %u) = 0x%X", context, key, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWDSGetContext), TNWDSGetContext>);

NWSIM_EXPORT std::uint32_t NWDSSetContext(std::uint32_t context, std::uint32_t key,
                                          const void* value) {
    std::uint32_t result = 0;
    TContext* found = FindContext(context);
    if (found == nullptr) {
        result = ErrNoSuchContext;
        Record("NWDSSetContext(%u, %u) = 0x%X", context, key, result);
    } else if (key == NWContextKeyFlags) {
        std::memcpy(&found->Flags, value, sizeof found->Flags);
        Record("NWDSSetContext(%u, %u, 0x%X) = 0x%X", context, key, found->Flags, result);
    } else if (key == NWContextKeyNameContext) {
        const char* name = static_cast<const char*>(value);
        found->NameContext.assign(name, strnlen(name, NWDSNameSize - 1));
        Record("NWDSSetContext(%u, %u, \"%s\") = 0x%X", context, key, found->NameContext.c_str(),
               result);
    } else {
        result = ErrInvalidParameter;
        Record("NWDSSetContext(%u, %u) = 0x%X", context, key, result);
    }
    return result;
}
static_assert(std::is_same_v<decltype(&NWDSSetContext), TNWDSSetContext>);

NWSIM_EXPORT std::uint32_t NWIsDSServer(std::uint32_t connHandle, char treeName[NWDSLongNameSize]) {
    bool directoryServer = connHandle != 0 && !Flag("NWSIM_NO_DS_SERVER");
    CopyName(treeName, NWDSLongNameSize,
             directoryServer ? Setting("NWSIM_TREE_NAME", "VANTLE_TREE") : "");
    Record("NWIsDSServer(0x%X) = %d", connHandle, directoryServer ? 1 : 0);
    return directoryServer ? 1 : 0;
}
static_assert(std::is_same_v<decltype(&NWIsDSServer), TNWIsDSServer>);

NWSIM_EXPORT std::uint32_t NWDSWhoAmI(std::uint32_t context, char objectName[NWDSNameSize]) {
    std::uint32_t result = FindContext(context) != nullptr ? 0 : ErrNoSuchContext;
    if (result == 0)
        CopyName(objectName, NWDSNameSize, LoginName() + ".VANTLE");
    Record("NWDSWhoAmI(%u) = 0x%X", context, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWDSWhoAmI), TNWDSWhoAmI>);

/// Typeful unless the context asks for typeless names: ADMIN.VANTLE gives CN=ADMIN.O=VANTLE.
NWSIM_EXPORT std::uint32_t NWDSCanonicalizeName(std::uint32_t context, const char* objectName,
                                                char canonName[NWDSLongNameSize]) {
    TContext* found = FindContext(context);
    std::uint32_t result = found != nullptr ? 0 : ErrNoSuchContext;
    if (found != nullptr) {
        std::string name(objectName);
        std::string canonical = name;
        if ((found->Flags & NWFlagTypelessNames) == 0) {
            std::size_t dot = name.find('.');
            canonical = dot == std::string::npos
                            ? "CN=" + name
                            : "CN=" + name.substr(0, dot) + ".O=" + name.substr(dot + 1);
        }
        CopyName(canonName, NWDSLongNameSize, canonical);
    }
    Record("NWDSCanonicalizeName(%u, \"%s\") = 0x%X", context, objectName, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWDSCanonicalizeName), TNWDSCanonicalizeName>);

// The program binds these with the others but never calls them.
#define NWSIM_UNSUPPORTED(name)                                                                    \
    NWSIM_EXPORT std::uint32_t name() {                                                            \
        Record(#name "() = unsupported");                                                          \
        return ErrUnsupported;                                                                     \
    }
NWSIM_UNSUPPORTED(NWDSAllocBuf)
NWSIM_UNSUPPORTED(NWDSInitBuf)
NWSIM_UNSUPPORTED(NWDSFreeBuf)
NWSIM_UNSUPPORTED(NWDSDuplicateContext)
NWSIM_UNSUPPORTED(NWDSPutAttrName)
NWSIM_UNSUPPORTED(NWDSPutAttrVal)
NWSIM_UNSUPPORTED(NWDSGetAttrName)
NWSIM_UNSUPPORTED(NWDSGetAttrVal)
NWSIM_UNSUPPORTED(NWDSGetAttrCount)
NWSIM_UNSUPPORTED(NWDSPutChange)
NWSIM_UNSUPPORTED(NWDSModifyObject)
NWSIM_UNSUPPORTED(NWDSComputeAttrValSize)
NWSIM_UNSUPPORTED(NWDSRead)
NWSIM_UNSUPPORTED(NWDSRemoveObject)
NWSIM_UNSUPPORTED(NWDSGenerateObjectKeyPair)
NWSIM_UNSUPPORTED(NWDSGetObjectName)
NWSIM_UNSUPPORTED(NWDSGetObjectCount)
NWSIM_UNSUPPORTED(NWDSAddObject)
NWSIM_UNSUPPORTED(NWDSList)
NWSIM_UNSUPPORTED(NWDSOpenStream)
