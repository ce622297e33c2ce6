// The NetWare client as this program calls it: the library files, the signatures of
// the published entry points it uses, and the values it passes.
#pragma once

#include <cstdint>

namespace vantle {

inline constexpr const char* NWCallsLibraryName = "CALWIN32.DLL";
inline constexpr const char* NWClientLibraryName = "CLXWIN32.DLL";
inline constexpr const char* NWDirectoryLibraryName = "NETWIN32.DLL";
inline constexpr const char* NWLocaleLibraryName = "LOCWIN32.DLL";

/// Buffer sizes, terminating zero included.
constexpr int NWObjectNameSize = 48;    // NWGetConnectionInformation's object name
constexpr int NWDSNameSize = 128;       // NWDSWhoAmI, the name context
constexpr int NWDSLongNameSize = 256;   // NWDSCanonicalizeName, NWIsDSServer's tree name
constexpr int NWServerDateTimeSize = 7; // NWGetFileServerDateAndTime
constexpr int NWLoginTimeSize = 7;      // NWGetConnectionInformation's login time

/// NWCCGetConnInfo information types.
constexpr std::uint32_t NWConnInfoBroadcastState = 2;
constexpr std::uint32_t NWConnInfoConnectionNumber = 5;
/// The open state NWCCOpenConnByRef is given.
constexpr std::uint32_t NWOpenState = 1;

/// NWDSGetContext and NWDSSetContext keys.
constexpr std::uint32_t NWContextKeyFlags = 1;
constexpr std::uint32_t NWContextKeyNameContext = 3;

/// Directory context flag bits.
constexpr std::uint32_t NWFlagDereferenceAliases = 0x01;
constexpr std::uint32_t NWFlagTranslateStrings = 0x02;
constexpr std::uint32_t NWFlagTypelessNames = 0x04;
constexpr std::uint32_t NWFlagAsyncMode = 0x08;
constexpr std::uint32_t NWFlagCanonicalizeNames = 0x10;
constexpr std::uint32_t NWFlagDereferenceBaseClass = 0x40;
constexpr std::uint32_t NWFlagDisallowReferrals = 0x80;

/// The locale record NWLlocaleconv fills; only the country and the code page are read.
struct TNWLocaleConv {
    std::int32_t CountryID = 0;
    std::int32_t CodePage = 0;
    char Reserved[120] = {}; // the rest of the client's record
};

// Every function returns 0 for success unless its comment says otherwise.
extern "C" {
using TNWCallsInit = std::uint32_t (*)(void* reserved1, void* reserved2);
using TNWCCGetPrimConnRef = std::uint32_t (*)(std::uint32_t* connRef);
using TNWCCOpenConnByRef = std::uint32_t (*)(std::uint32_t connRef, std::uint32_t openState,
                                             std::uint32_t reserved, std::uint32_t* connHandle);
using TNWGetPrimaryConnectionID = std::uint32_t (*)(std::uint32_t* connHandle);
/// Fills `length` bytes of `buffer` with the information of type `infoType`.
using TNWCCGetConnInfo = std::uint32_t (*)(std::uint32_t connHandle, std::uint32_t infoType,
                                           std::uint32_t length, void* buffer);
using TNWGetConnectionNumber = std::uint32_t (*)(std::uint32_t connHandle,
                                                 std::uint16_t* connNumber);
using TNWGetConnectionInformation = std::uint32_t (*)(
    std::uint32_t connHandle, std::uint16_t connNumber, char objectName[NWObjectNameSize],
    std::uint16_t* objectType, std::uint32_t* objectID, std::uint8_t loginTime[NWLoginTimeSize]);
/// Year - 1900, month, day, hour, minute, second, day of the week; server local time.
using TNWGetFileServerDateAndTime = std::uint32_t (*)(std::uint32_t connHandle,
                                                      std::uint8_t dateTime[NWServerDateTimeSize]);

/// Returns `record`.
using TNWLlocaleconv = TNWLocaleConv* (*)(TNWLocaleConv* record);
using TNWInitUnicodeTables = std::uint32_t (*)(std::int32_t countryID, std::int32_t codePage);
using TNWFreeUnicodeTables = std::uint32_t (*)();

/// Returns the new context's handle, 0 when none could be made.
using TNWDSCreateContext = std::uint32_t (*)();
using TNWDSFreeContext = std::uint32_t (*)(std::uint32_t context);
/// `value` is a 32-bit flag word for NWContextKeyFlags, a 128-byte name otherwise.
using TNWDSGetContext = std::uint32_t (*)(std::uint32_t context, std::uint32_t key, void* value);
using TNWDSSetContext = std::uint32_t (*)(std::uint32_t context, std::uint32_t key,
                                          const void* value);
/// Non-zero when the server is a directory server.
using TNWIsDSServer = std::uint32_t (*)(std::uint32_t connHandle, char treeName[NWDSLongNameSize]);
using TNWDSWhoAmI = std::uint32_t (*)(std::uint32_t context, char objectName[NWDSNameSize]);
using TNWDSCanonicalizeName = std::uint32_t (*)(std::uint32_t context, const char* objectName,
                                                char canonName[NWDSLongNameSize]);
}

} // namespace vantle
