// The process environment, behind an interface so tests can supply their own.
#pragma once

#include <optional>
#include <string>

namespace vantle {

class TEnvironment {
public:
    virtual ~TEnvironment() = default;
    /// The whole value of a variable, whatever its length; nullopt when not set.
    virtual std::optional<std::string> Get(const std::string& name) const = 0;
};

class TProcessEnvironment : public TEnvironment {
public:
    std::optional<std::string> Get(const std::string& name) const override;
};

TEnvironment& ProcessEnvironment();

} // namespace vantle
