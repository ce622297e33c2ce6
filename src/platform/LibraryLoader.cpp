#include "platform/LibraryLoader.h"

#include <dlfcn.h>

namespace vantle {

TDlLibraryLoader::TDlLibraryLoader(std::string firstDir) : FFirstDir(std::move(firstDir)) {}

void* TDlLibraryLoader::LoadLibrary(const std::string& fileName) {
    if (!FFirstDir.empty()) {
        std::string local = FFirstDir + "/" + fileName;
        if (void* handle = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL))
            return handle;
    }
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* TDlLibraryLoader::GetProcAddress(void* library, const std::string& name) {
    if (library == nullptr)
        return nullptr;
    return dlsym(library, name.c_str());
}

} // namespace vantle
