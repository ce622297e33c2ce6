#include "netware/nwlib.h"

#include "netware/NWCompanions.h"
#include "netware/Nwnds.h"

#include <cstring>

namespace vantle {

TNWModuleState::TNWModuleState() = default;
TNWModuleState::~TNWModuleState() = default;

TNWModuleState& NWModule() {
    static TNWModuleState state;
    return state;
}

std::string NWText(const char* buffer, std::size_t size) {
    return std::string(buffer, strnlen(buffer, size));
}

TNWLib::TNWLib(TLibraryLoader& loader) : FLoader(loader) {
    TNWModuleState& module = NWModule();
    module.PrimaryConnection = 0;
    module.CallsLastError = 0;
    module.CallsLibrary = nullptr;
    module.ClientLibrary = nullptr;
    module.DirectoryReady = false;
    // A session bound after an earlier one must not call into the earlier libraries.
    module.Entries = TNWEntryPoints{};

    module.CallsLibrary = FLoader.LoadLibrary(NWCallsLibraryName);
    if (module.CallsLibrary == nullptr) {
        module.CallsLastError = NWLibraryNotLoaded;
        return;
    }
    module.ClientLibrary = FLoader.LoadLibrary(NWClientLibraryName);
    if (module.ClientLibrary == nullptr) {
        module.CallsLastError = NWLibraryNotLoaded;
        return;
    }
    // A missing or failing NWCallsInit only means the connection is sought on each use.
    auto callsInit =
        reinterpret_cast<TNWCallsInit>(FLoader.GetProcAddress(module.CallsLibrary, "NWCallsInit"));
    if (callsInit != nullptr) {
        std::uint32_t reserved = 0;
        if (callsInit(&reserved, &reserved) == 0)
            module.PrimaryConnection = PrimaryConnection();
    }
}

bool TNWLib::Loaded() const {
    const TNWModuleState& module = NWModule();
    return module.CallsLibrary != nullptr && module.ClientLibrary != nullptr;
}

std::uint32_t TNWLib::PrimaryConnection() {
    TNWModuleState& module = NWModule();
    if (module.PrimaryConnection != 0)
        return module.PrimaryConnection;

    module.LastCallResult = NWCallNotMade;
    std::uint32_t handle = 0;
    if (auto getPrimConnRef = ResolveEntry(FLoader, module.Entries.CCGetPrimConnRef,
                                           module.ClientLibrary, "NWCCGetPrimConnRef")) {
        std::uint32_t connRef = 0;
        if (getPrimConnRef(&connRef) == 0) {
            // Looked up afresh every time rather than kept.
            auto openConnByRef = reinterpret_cast<TNWCCOpenConnByRef>(
                FLoader.GetProcAddress(module.ClientLibrary, "NWCCOpenConnByRef"));
            if (openConnByRef != nullptr)
                module.LastCallResult = openConnByRef(connRef, NWOpenState, 0, &handle);
        }
    } else if (auto getPrimaryConnectionID =
                   ResolveEntry(FLoader, module.Entries.GetPrimaryConnectionID, module.CallsLibrary,
                                "NWGetPrimaryConnectionID")) {
        module.LastCallResult = getPrimaryConnectionID(&handle);
    }

    if (module.LastCallResult == 0)
        return handle;
    module.CallsLastError = module.LastCallResult;
    return 0;
}

TNWCCGetConnInfo TNWLib::CCGetConnInfo(TLibrary library) {
    TNWModuleState& module = NWModule();
    void* handle = library == TLibrary::Calls ? module.CallsLibrary : module.ClientLibrary;
    return ResolveEntry(FLoader, module.Entries.CCGetConnInfo, handle, "NWCCGetConnInfo");
}

TNWGetConnectionNumber TNWLib::GetConnectionNumber() {
    TNWModuleState& module = NWModule();
    return ResolveEntry(FLoader, module.Entries.GetConnectionNumber, module.CallsLibrary,
                        "NWGetConnectionNumber");
}

TNWGetConnectionInformation TNWLib::GetConnectionInformation() {
    TNWModuleState& module = NWModule();
    return ResolveEntry(FLoader, module.Entries.GetConnectionInformation, module.CallsLibrary,
                        "NWGetConnectionInformation");
}

TNWGetFileServerDateAndTime TNWLib::GetFileServerDateAndTime() {
    TNWModuleState& module = NWModule();
    return ResolveEntry(FLoader, module.Entries.GetFileServerDateAndTime, module.CallsLibrary,
                        "NWGetFileServerDateAndTime");
}

} // namespace vantle
