// The simulated calls library, CALWIN32.DLL. The file server's clock runs at
// NWSIM_SERVER_OFFSET seconds from this machine's local clock, or reads the fixed
// buffers of NWSIM_SERVER_BYTES ("y,m,d,h,n,s,w" each; ";" between successive reads).
#include "SimSupport.h"
#include "netware/NWClient.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <type_traits>
#include <vector>

using namespace vantle;
using namespace vantle::nwsim;

namespace {

using TBuffer = std::vector<std::uint8_t>;

std::vector<TBuffer> FixedServerReads(const std::string& text) {
    std::vector<TBuffer> reads;
    std::stringstream all(text);
    std::string one;
    while (std::getline(all, one, ';')) {
        TBuffer buffer(NWServerDateTimeSize, 0);
        std::stringstream fields(one);
        std::string field;
        for (std::size_t i = 0; i < buffer.size() && std::getline(fields, field, ','); ++i)
            buffer[i] = static_cast<std::uint8_t>(std::strtol(field.c_str(), nullptr, 10));
        reads.push_back(buffer);
    }
    return reads;
}

TBuffer ServerClock() {
    std::time_t now = std::time(nullptr) + std::atol(Setting("NWSIM_SERVER_OFFSET", "0").c_str());
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<std::uint8_t>(local.tm_year), static_cast<std::uint8_t>(local.tm_mon + 1),
            static_cast<std::uint8_t>(local.tm_mday), static_cast<std::uint8_t>(local.tm_hour),
            static_cast<std::uint8_t>(local.tm_min),  static_cast<std::uint8_t>(local.tm_sec),
            static_cast<std::uint8_t>(local.tm_wday)};
}

} // namespace

#ifndef NWSIM_OMIT_NWCallsInit
NWSIM_EXPORT std::uint32_t NWCallsInit(void* /*reserved1*/, void* /*reserved2*/) {
    std::uint32_t result = Flag("NWSIM_CALLSINIT_FAILS") ? ErrNotInitialised : 0;
    Record("NWCallsInit() = 0x%X", result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWCallsInit), TNWCallsInit>);
#endif

NWSIM_EXPORT std::uint32_t NWGetPrimaryConnectionID(std::uint32_t* connHandle) {
    std::uint32_t result = 0;
    if (Flag("NWSIM_NO_PRIMARY_CONNECTION"))
        result = ErrNoPrimaryConnection;
    else
        *connHandle = PrimaryConnHandle;
    Record("NWGetPrimaryConnectionID() = 0x%X", result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWGetPrimaryConnectionID), TNWGetPrimaryConnectionID>);

#ifndef NWSIM_OMIT_NWCCGetConnInfo
NWSIM_EXPORT std::uint32_t NWCCGetConnInfo(std::uint32_t connHandle, std::uint32_t infoType,
                                           std::uint32_t length, void* buffer) {
    return GetConnInfo("CALWIN32", connHandle, infoType, length, buffer);
}
static_assert(std::is_same_v<decltype(&NWCCGetConnInfo), TNWCCGetConnInfo>);
#endif

NWSIM_EXPORT std::uint32_t NWGetConnectionNumber(std::uint32_t connHandle,
                                                 std::uint16_t* connNumber) {
    std::uint32_t result = 0;
    if (connHandle == 0)
        result = ErrInvalidConnection;
    else
        *connNumber = ConnectionNumber;
    Record("NWGetConnectionNumber(0x%X) = 0x%X", connHandle, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWGetConnectionNumber), TNWGetConnectionNumber>);

NWSIM_EXPORT std::uint32_t
NWGetConnectionInformation(std::uint32_t connHandle, std::uint16_t connNumber,
                           char objectName[NWObjectNameSize], std::uint16_t* objectType,
                           std::uint32_t* objectID, std::uint8_t loginTime[NWLoginTimeSize]) {
    std::uint32_t result = 0;
    if (connHandle == 0) {
        result = ErrInvalidConnection;
    } else if (connNumber != ConnectionNumber) {
        result = ErrInvalidParameter;
    } else {
        CopyName(objectName, NWObjectNameSize, LoginName());
        *objectType = 1; // a user
        *objectID = 0x01000042;
        std::memset(loginTime, 0, NWLoginTimeSize);
    }
    Record("NWGetConnectionInformation(0x%X, %u) = 0x%X", connHandle, connNumber, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWGetConnectionInformation), TNWGetConnectionInformation>);

NWSIM_EXPORT std::uint32_t NWGetFileServerDateAndTime(std::uint32_t connHandle,
                                                      std::uint8_t dateTime[NWServerDateTimeSize]) {
    static std::size_t reads = 0;
    std::uint32_t result = 0;
    if (connHandle == 0) {
        result = ErrInvalidConnection;
    } else if (Flag("NWSIM_DATETIME_FAILS")) {
        result = ErrServerFailure;
    } else {
        std::string fixed = Setting("NWSIM_SERVER_BYTES", "");
        std::vector<TBuffer> fixedReads = FixedServerReads(fixed);
        TBuffer buffer =
            fixedReads.empty()
                ? ServerClock()
                : fixedReads[reads < fixedReads.size() ? reads : fixedReads.size() - 1];
        ++reads;
        std::memcpy(dateTime, buffer.data(), NWServerDateTimeSize);
    }
    Record("NWGetFileServerDateAndTime(0x%X) = 0x%X", connHandle, result);
    return result;
}
static_assert(std::is_same_v<decltype(&NWGetFileServerDateAndTime), TNWGetFileServerDateAndTime>);
