// Shared by the simulated NetWare client's libraries: the settings read from the
// environment, the call log, and the connection every library agrees on.
#pragma once

#include <cstdint>
#include <string>

#define NWSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace vantle::nwsim {

// The simulator's own error codes; the program only ever tells 0 from the rest.
constexpr std::uint32_t ErrInvalidConnection = 0x8801;
constexpr std::uint32_t ErrNoPrimaryConnection = 0x880F;
constexpr std::uint32_t ErrInvalidParameter = 0x8836;
constexpr std::uint32_t ErrNotInitialised = 0x8870;
constexpr std::uint32_t ErrServerFailure = 0x89FF;
constexpr std::uint32_t ErrNoSuchContext = 0xFFFFFEB3;
constexpr std::uint32_t ErrUnsupported = 0xFFFFFEA9;

/// What NWCCGetPrimConnRef hands out and NWCCOpenConnByRef accepts.
constexpr std::uint32_t PrimaryConnRef = 0x5A;
/// The handle NWGetPrimaryConnectionID gives; NWCCOpenConnByRef counts up from it.
constexpr std::uint32_t PrimaryConnHandle = 0x100;
/// This workstation's connection number on the server.
constexpr std::uint16_t ConnectionNumber = 7;

/// Set, and neither empty nor "0".
bool Flag(const char* name);
/// The variable's value, or `fallback` when it is not set.
std::string Setting(const char* name, const std::string& fallback);
/// The login name on the server: NWSIM_LOGIN_NAME, "ADMIN" by default.
std::string LoginName();

/// Appends one line to the file NWSIM_LOG names; nothing when it is not set.
void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Copies `text` into a client buffer the way the client does: cut at `size`, and
/// without a terminating zero when it fills the buffer.
void CopyName(char* buffer, std::size_t size, const std::string& text);

/// NWCCGetConnInfo, exported by both the calls and the client-connection library.
std::uint32_t GetConnInfo(const char* library, std::uint32_t connHandle, std::uint32_t infoType,
                          std::uint32_t length, void* buffer);

} // namespace vantle::nwsim
