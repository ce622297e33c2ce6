#include "platform/Environment.h"

#include <cstdlib>

namespace vantle {

std::optional<std::string> TProcessEnvironment::Get(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

TEnvironment& ProcessEnvironment() {
    static TProcessEnvironment environment;
    return environment;
}

} // namespace vantle
