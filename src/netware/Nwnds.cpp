#include "netware/Nwnds.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace vantle {

TNWNDS::TNWNDS(TLibraryLoader& loader) : FLoader(loader) {
    TNWModuleState& module = NWModule();
    try {
        module.DirectoryLastError = 0;
        module.FirstContext = 0;

        module.DirectoryLibrary = FLoader.LoadLibrary(NWDirectoryLibraryName);
        if (module.DirectoryLibrary == nullptr) {
            module.DirectoryLastError = NWLibraryNotLoaded;
            return;
        }
        module.LocaleLibrary = FLoader.LoadLibrary(NWLocaleLibraryName);
        if (module.LocaleLibrary == nullptr) {
            module.DirectoryLastError = NWLibraryNotLoaded;
            return;
        }
        if (!BindEntryPoints(module.DirectoryLibrary, module.LocaleLibrary))
            return;

        module.FirstContext = CreateContext();
        module.SecondContext = CreateContext();
        if (std::uint32_t result = SetNameContext(module.FirstContext, RootContext); result != 0)
            module.DirectoryLastError = result;
    } catch (...) {
        module.DirectoryLibrary = nullptr;
        module.LocaleLibrary = nullptr;
    }
}

TNWNDS::~TNWNDS() {
    TNWModuleState& module = NWModule();
    if (module.FirstContext != 0)
        FreeContext(module.FirstContext);
    if (module.SecondContext != 0)
        FreeContext(module.SecondContext);
    module.FirstContext = 0;
    module.SecondContext = 0;
}

bool TNWNDS::BindEntryPoints(void* directory, void* locale) {
    TNWEntryPoints& e = NWModule().Entries;
    auto bind = [this](auto& slot, void* library, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            FLoader.GetProcAddress(library, name));
        return slot != nullptr;
    };
    // The order is the client's published one; the first gap ends the binding.
    return bind(e.Llocaleconv, locale, "NWLlocaleconv") &&
           bind(e.InitUnicodeTables, locale, "NWInitUnicodeTables") &&
           bind(e.DSCreateContext, directory, "NWDSCreateContext") &&
           bind(e.DSFreeContext, directory, "NWDSFreeContext") &&
           bind(e.DSSetContext, directory, "NWDSSetContext") &&
           bind(e.DSOther.AllocBuf, directory, "NWDSAllocBuf") &&
           bind(e.DSOther.InitBuf, directory, "NWDSInitBuf") &&
           bind(e.DSOther.FreeBuf, directory, "NWDSFreeBuf") &&
           bind(e.DSOther.DuplicateContext, directory, "NWDSDuplicateContext") &&
           bind(e.DSOther.PutAttrName, directory, "NWDSPutAttrName") &&
           bind(e.DSOther.PutAttrVal, directory, "NWDSPutAttrVal") &&
           bind(e.DSOther.GetAttrName, directory, "NWDSGetAttrName") &&
           bind(e.DSOther.GetAttrVal, directory, "NWDSGetAttrVal") &&
           bind(e.DSOther.GetAttrCount, directory, "NWDSGetAttrCount") &&
           bind(e.DSOther.PutChange, directory, "NWDSPutChange") &&
           bind(e.DSOther.ModifyObject, directory, "NWDSModifyObject") &&
           bind(e.DSOther.ComputeAttrValSize, directory, "NWDSComputeAttrValSize") &&
           bind(e.DSOther.Read, directory, "NWDSRead") &&
           bind(e.DSOther.RemoveObject, directory, "NWDSRemoveObject") &&
           bind(e.DSOther.GenerateObjectKeyPair, directory, "NWDSGenerateObjectKeyPair") &&
           bind(e.DSOther.GetObjectName, directory, "NWDSGetObjectName") &&
           bind(e.DSOther.GetObjectCount, directory, "NWDSGetObjectCount") &&
           bind(e.DSOther.AddObject, directory, "NWDSAddObject") &&
           bind(e.DSOther.List, directory, "NWDSList") &&
           bind(e.FreeUnicodeTables, locale, "NWFreeUnicodeTables") &&
           bind(e.DSGetContext, directory, "NWDSGetContext") &&
           bind(e.DSOther.OpenStream, directory, "NWDSOpenStream");
}

bool TNWNDS::Loaded() const {
    const TNWModuleState& module = NWModule();
    return module.DirectoryLibrary != nullptr && module.LocaleLibrary != nullptr;
}

std::uint32_t TNWNDS::CreateContext() {
    TNWDSCreateContext createContext = NWModule().Entries.DSCreateContext;
    return createContext != nullptr ? createContext() : 0;
}

std::uint32_t TNWNDS::FreeContext(std::uint32_t context) {
    TNWDSFreeContext freeContext = NWModule().Entries.DSFreeContext;
    return freeContext != nullptr ? freeContext(context) : NWCallNotMade;
}

std::uint32_t TNWNDS::GetContextFlags(std::uint32_t context, std::uint32_t& flags) {
    TNWDSGetContext getContext = NWModule().Entries.DSGetContext;
    return getContext != nullptr ? getContext(context, NWContextKeyFlags, &flags) : NWCallNotMade;
}

std::uint32_t TNWNDS::SetContextFlags(std::uint32_t context, std::uint32_t flags) {
    TNWDSSetContext setContext = NWModule().Entries.DSSetContext;
    return setContext != nullptr ? setContext(context, NWContextKeyFlags, &flags) : NWCallNotMade;
}

std::uint32_t TNWNDS::GetNameContext(std::uint32_t context, std::string& name) {
    TNWDSGetContext getContext = NWModule().Entries.DSGetContext;
    if (getContext == nullptr)
        return NWCallNotMade;
    char buffer[NWDSNameSize] = {};
    std::uint32_t result = getContext(context, NWContextKeyNameContext, buffer);
    if (result == 0)
        name = NWText(buffer, sizeof buffer);
    return result;
}

std::uint32_t TNWNDS::SetNameContext(std::uint32_t context, const std::string& name) {
    TNWDSSetContext setContext = NWModule().Entries.DSSetContext;
    if (setContext == nullptr)
        return NWCallNotMade;
    char buffer[NWDSNameSize] = {};
    std::memcpy(buffer, name.data(), std::min(name.size(), sizeof buffer - 1));
    return setContext(context, NWContextKeyNameContext, buffer);
}

TNWIsDSServer TNWNDS::IsDSServer() {
    TNWModuleState& module = NWModule();
    return ResolveEntry(FLoader, module.Entries.IsDSServer, module.DirectoryLibrary,
                        "NWIsDSServer");
}

TNWDSWhoAmI TNWNDS::DSWhoAmI() {
    TNWModuleState& module = NWModule();
    return ResolveEntry(FLoader, module.Entries.DSWhoAmI, module.DirectoryLibrary, "NWDSWhoAmI");
}

TNWDSCanonicalizeName TNWNDS::DSCanonicalizeName() {
    TNWModuleState& module = NWModule();
    return ResolveEntry(FLoader, module.Entries.DSCanonicalizeName, module.DirectoryLibrary,
                        "NWDSCanonicalizeName");
}

} // namespace vantle
