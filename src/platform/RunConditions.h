// What a run may wait for before it starts: mains power and a network. The scheduler
// asks through this seam, so tests and dry runs give their own readings.
#pragma once

#include <string>
#include <utility>

namespace vantle {

class TRunConditions {
public:
    virtual ~TRunConditions() = default;
    /// False on battery: a power supply of type Mains exists and none is online.
    virtual bool OnMains() const = 0;
    /// True when a default route leaves through an interface that is up and not loopback.
    virtual bool HasNetwork() const = 0;
};

/// The readings of this machine, from the kernel's files under `sysRoot` ("/sys") and
/// `procRoot` ("/proc"); other roots serve tests.
class TSystemConditions final : public TRunConditions {
public:
    explicit TSystemConditions(std::string sysRoot = "/sys", std::string procRoot = "/proc")
        : FSysRoot(std::move(sysRoot)), FProcRoot(std::move(procRoot)) {}
    bool OnMains() const override;
    bool HasNetwork() const override;

private:
    std::string FSysRoot;
    std::string FProcRoot;
};

} // namespace vantle
