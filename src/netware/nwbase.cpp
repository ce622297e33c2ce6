#include "netware/nwbase.h"

#include "netware/NWCompanions.h"
#include "netware/Nwnds.h"
#include "netware/nwlib.h"
#include "platform/TextUtils.h"

namespace vantle {

namespace {

// The flags a name is canonicalised with: typeful, aliases followed, strings translated.
constexpr std::uint32_t CanonicalizeFlags =
    NWFlagDereferenceAliases | NWFlagTranslateStrings | NWFlagCanonicalizeNames;

} // namespace

TNWBase::TNWBase(TLibraryLoader& loader, const TClock& clock) : FClock(clock) {
    FNetAvailable = false;

    TNWModuleState& module = NWModule();
    module.Lib = std::make_unique<TNWLib>(loader);
    module.NDS = std::make_unique<TNWNDS>(loader);
    module.Server = std::make_unique<TNWServer>();
    module.Print = std::make_unique<TNWPrint>();
    module.Prop = std::make_unique<TNWProp>();

    FLastError = std::make_unique<TNWLastError>();
    FNDSContextFlags = std::make_unique<TNWDSContextFlags>();

    ReadBroadcastMode();

    FSilentExceptions = true;
    FServerHandle = 0;
    FLoginID.clear();
    FServerName.clear();
    FDSServer = false;
    FShellErrorMode = nwErrInteractive;

    FNetAvailable = module.Lib->Loaded() && module.Lib->PrimaryConnection() != 0;
    if (FNetAvailable)
        StartDirectory();

    FLoginID = FDSServer ? DirectoryLoginName() : ConnectionLoginName();
}

TNWBase::TNWBase(std::unique_ptr<TLibraryLoader> loader, const TClock& clock)
    : TNWBase(*loader, clock) {
    FOwnedLoader = std::move(loader);
}

TNWBase::~TNWBase() {
    TNWModuleState& module = NWModule();
    if (NDSAvailable()) {
        std::uint32_t result = module.Entries.FreeUnicodeTables != nullptr
                                   ? module.Entries.FreeUnicodeTables()
                                   : NWCallNotMade;
        if (result != 0)
            module.DirectoryLastError = result;
    }
    module.NDS.reset();
    module.Lib.reset();
    module.Server.reset();
    module.Print.reset();
    module.Prop.reset();
    FLastError.reset();
    FNDSContextFlags.reset();
}

TDateTime TNWBase::ServerDate() {
    TNWModuleState& module = NWModule();
    TNWLib& lib = *module.Lib;
    std::uint32_t handle = ConnectionHandle();
    // Date and time come from one read: two reads straddling the server's midnight
    // would pair the earlier date with the later time, a day off.
    if (TNWGetFileServerDateAndTime getDateAndTime = lib.GetFileServerDateAndTime()) {
        std::uint8_t buffer[NWServerDateTimeSize] = {};
        std::uint32_t result = getDateAndTime(lib.Connection(handle), buffer);
        if (result == 0) {
            TDateTime date = EncodeDate(1900 + buffer[0], buffer[1], buffer[2]);
            return date + EncodeTime(buffer[3], buffer[4], buffer[5], 0);
        }
        module.CallsLastError = result;
    }
    return FClock.Now();
}

void TNWBase::SetNDSContextName(const std::string& value) {
    if (!NDSAvailable())
        return;
    TNWModuleState& module = NWModule();
    TNWNDS& nds = *module.NDS;
    if (value.empty() || EqualsNoCase(value, "[ROOT]")) {
        if (module.FirstContext != 0)
            nds.FreeContext(module.FirstContext);
        module.FirstContext = nds.CreateContext();
        if (std::uint32_t result = nds.SetNameContext(module.FirstContext, TNWNDS::RootContext);
            result != 0)
            module.DirectoryLastError = result;
        std::string name;
        nds.GetNameContext(module.FirstContext, name);
        FNDSContextName = name;
    } else if (std::uint32_t result = nds.SetNameContext(module.FirstContext, value); result != 0) {
        module.DirectoryLastError = result;
    } else {
        FNDSContextName = value;
    }
}

bool TNWBase::NDSAvailable() {
    return FDSServer && AskIsDSServer(false);
}

std::uint32_t TNWBase::ConnectionHandle() {
    if (FServerHandle == 0)
        FServerHandle = NWModule().Lib->PrimaryConnection();
    return FServerHandle;
}

void TNWBase::ReadBroadcastMode() {
    TNWModuleState& module = NWModule();
    TNWLib& lib = *module.Lib;
    FBroadcastMode = nwBroadcastOn;
    TNWCCGetConnInfo getConnInfo = lib.CCGetConnInfo(TNWLib::TLibrary::Calls);
    if (getConnInfo == nullptr)
        return;
    std::uint16_t state = 0;
    std::uint32_t result =
        getConnInfo(lib.Connection(0), NWConnInfoBroadcastState, sizeof state, &state);
    if (result == 0)
        FBroadcastMode = static_cast<TNWBroadcastMode>(state & 0xFF);
    else
        module.CallsLastError = result;
}

void TNWBase::StartDirectory() {
    TNWModuleState& module = NWModule();
    TNWNDS& nds = *module.NDS;
    if (!nds.Loaded())
        return;
    if (module.FirstContext == 0)
        module.FirstContext = nds.CreateContext();

    const TNWEntryPoints& entries = module.Entries;
    if (entries.Llocaleconv == nullptr || entries.InitUnicodeTables == nullptr)
        return;
    TNWLocaleConv locale;
    entries.Llocaleconv(&locale);
    if (entries.InitUnicodeTables(locale.CountryID, locale.CodePage) != 0 ||
        module.FirstContext == 0)
        return;

    module.DirectoryReady = true;
    FDSServer = AskIsDSServer(true);
    SetNDSContextName("");
    ApplyContextFlags();
}

bool TNWBase::AskIsDSServer(bool needTreeName) {
    TNWModuleState& module = NWModule();
    std::uint32_t handle = ConnectionHandle();
    TNWIsDSServer isDSServer = module.NDS->IsDSServer();
    char treeName[NWDSLongNameSize] = {};
    if (isDSServer == nullptr || isDSServer(handle, treeName) == 0) {
        module.DirectoryLastError = NWCallNotMade;
        return false;
    }
    return !needTreeName || treeName[0] != '\0';
}

void TNWBase::ApplyContextFlags() {
    const TNWDSContextFlags& flags = *FNDSContextFlags;
    if (flags.TypelessNames)
        AddContextFlag(NWFlagTypelessNames);
    else if (flags.DereferenceAliases)
        AddContextFlag(NWFlagDereferenceAliases);
    if (flags.TranslateStrings)
        AddContextFlag(NWFlagTranslateStrings);
    if (flags.AsyncMode)
        AddContextFlag(NWFlagAsyncMode);
    if (flags.CanonicalizeNames)
        AddContextFlag(NWFlagCanonicalizeNames);
    if (flags.DereferenceBaseClass)
        AddContextFlag(NWFlagDereferenceBaseClass);
    if (flags.DisallowReferrals)
        AddContextFlag(NWFlagDisallowReferrals);
}

void TNWBase::AddContextFlag(std::uint32_t bit) {
    TNWModuleState& module = NWModule();
    TNWNDS& nds = *module.NDS;
    std::uint32_t flags = 0;
    // Without the current flags, writing the bit alone would wipe the others.
    if (std::uint32_t result = nds.GetContextFlags(module.FirstContext, flags); result != 0) {
        module.DirectoryLastError = result;
        return;
    }
    flags |= bit;
    nds.SetContextFlags(module.FirstContext, flags);
    if (std::uint32_t result = nds.SetContextFlags(module.SecondContext, flags); result != 0)
        module.DirectoryLastError = result;
}

std::string TNWBase::DirectoryLoginName() {
    TNWModuleState& module = NWModule();
    TNWNDS& nds = *module.NDS;
    TNWDSWhoAmI whoAmI = nds.DSWhoAmI();
    char name[NWDSNameSize] = {};
    if (whoAmI == nullptr || whoAmI(module.FirstContext, name) != 0)
        return {};
    TNWDSCanonicalizeName canonicalize = nds.DSCanonicalizeName();
    if (canonicalize == nullptr)
        return {};

    std::uint32_t savedFlags = 0;
    bool saved = nds.GetContextFlags(module.FirstContext, savedFlags) == 0;
    nds.SetContextFlags(module.FirstContext, CanonicalizeFlags);
    std::string whoName = NWText(name, sizeof name);
    char canonName[NWDSLongNameSize] = {};
    std::uint32_t result = canonicalize(module.FirstContext, whoName.c_str(), canonName);
    if (saved)
        nds.SetContextFlags(module.FirstContext, savedFlags);
    if (result != 0) {
        module.DirectoryLastError = result;
        return {};
    }
    return NWText(canonName, sizeof canonName);
}

std::string TNWBase::ConnectionLoginName() {
    TNWModuleState& module = NWModule();
    TNWLib& lib = *module.Lib;
    std::uint32_t handle = ConnectionHandle();

    std::uint16_t number = 0;
    std::uint32_t result = NWCallNotMade;
    if (TNWCCGetConnInfo getConnInfo = lib.CCGetConnInfo(TNWLib::TLibrary::Client)) {
        std::uint32_t value = 0;
        result =
            getConnInfo(lib.Connection(handle), NWConnInfoConnectionNumber, sizeof value, &value);
        number = static_cast<std::uint16_t>(value & 0xFFFF);
    } else if (TNWGetConnectionNumber getNumber = lib.GetConnectionNumber()) {
        result = getNumber(lib.Connection(handle), &number);
    }
    if (result != 0) {
        module.CallsLastError = result;
        return {};
    }

    TNWGetConnectionInformation getInformation = lib.GetConnectionInformation();
    if (getInformation == nullptr)
        return {};
    char objectName[NWObjectNameSize] = {};
    std::uint16_t objectType = 0;
    std::uint32_t objectID = 0;
    std::uint8_t loginTime[NWLoginTimeSize] = {};
    result = getInformation(lib.Connection(handle), number, objectName, &objectType, &objectID,
                            loginTime);
    if (result != 0) {
        module.CallsLastError = result;
        return {};
    }
    return NWText(objectName, sizeof objectName);
}

} // namespace vantle
