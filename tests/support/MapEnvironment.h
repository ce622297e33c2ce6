// An environment of fixed variables, for code that reads HOME, XDG_* or $V[...].
#pragma once

#include "platform/Environment.h"

#include <initializer_list>
#include <map>
#include <string>

namespace vantle::test {

class TMapEnvironment : public TEnvironment {
public:
    TMapEnvironment() = default;
    TMapEnvironment(std::initializer_list<std::pair<const std::string, std::string>> values)
        : Values(values) {}
    std::optional<std::string> Get(const std::string& name) const override {
        auto found = Values.find(name);
        return found == Values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::map<std::string, std::string> Values;
};

} // namespace vantle::test
