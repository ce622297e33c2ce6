// Run-time binding of optional libraries by file name and entry-point name.
#pragma once

#include <string>

namespace vantle {

class TLibraryLoader {
public:
    virtual ~TLibraryLoader() = default;
    /// A handle, or nullptr when the library cannot be loaded. Never unloaded.
    virtual void* LoadLibrary(const std::string& fileName) = 0;
    /// The entry point, or nullptr when the library does not export it.
    virtual void* GetProcAddress(void* library, const std::string& name) = 0;
};

/// dlopen/dlsym: first `firstDir`/fileName (the running executable's folder by
/// default), then the system loader's own search by the bare name.
class TDlLibraryLoader : public TLibraryLoader {
public:
    explicit TDlLibraryLoader(std::string firstDir);
    void* LoadLibrary(const std::string& fileName) override;
    void* GetProcAddress(void* library, const std::string& name) override;

private:
    std::string FFirstDir;
};

} // namespace vantle
