// Binding of the NetWare directory-services and locale libraries, and the two
// directory contexts the session works with.
#pragma once

#include "netware/nwlib.h"
#include "platform/LibraryLoader.h"

#include <cstdint>
#include <string>

namespace vantle {

class TNWNDS {
public:
    /// The name context a new first context is given.
    static constexpr const char* RootContext = "[Root]";

    /// Loads both libraries, binds their entry points and makes the two contexts. Never
    /// fails: anything raised on the way leaves the directory part counted as not loaded.
    explicit TNWNDS(TLibraryLoader& loader);
    /// Frees the contexts; the libraries stay loaded.
    ~TNWNDS();
    TNWNDS(const TNWNDS&) = delete;
    TNWNDS& operator=(const TNWNDS&) = delete;

    /// Both directory libraries are loaded.
    bool Loaded() const;

    /// A new context, 0 when none could be made.
    std::uint32_t CreateContext();
    // Each returns the client's result, NWCallNotMade when the entry point is missing.
    std::uint32_t FreeContext(std::uint32_t context);
    std::uint32_t GetContextFlags(std::uint32_t context, std::uint32_t& flags);
    std::uint32_t SetContextFlags(std::uint32_t context, std::uint32_t flags);
    std::uint32_t GetNameContext(std::uint32_t context, std::string& name);
    /// Names longer than the client's 128-byte buffer are cut.
    std::uint32_t SetNameContext(std::uint32_t context, const std::string& name);

    TNWIsDSServer IsDSServer();
    TNWDSWhoAmI DSWhoAmI();
    TNWDSCanonicalizeName DSCanonicalizeName();

private:
    /// False at the first entry point missing.
    bool BindEntryPoints(void* directory, void* locale);

    TLibraryLoader& FLoader;
};

} // namespace vantle
