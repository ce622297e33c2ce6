// A clock that stands still until a test moves it.
#pragma once

#include "platform/Clock.h"

#include <optional>

namespace vantle::test {

class TFakeClock : public TClock {
public:
    explicit TFakeClock(TDateTime now = 0) : FNow(now) {}
    TDateTime Now() const override {
        ++Readings;
        TDateTime now = FNow;
        FNow += FStep;
        return now;
    }
    /// The instant of Now(); with an offset set, the reading of that offset (the one
    /// of the two readings of a repeated hour), else the zone rules' guess.
    std::timespec UtcNow() const override {
        if (!UtcOffset)
            return TClock::UtcNow();
        return InstantOfUtc(IncSeconds(Now(), -*UtcOffset));
    }
    /// Follows Now(), less the steps of StepWallClock: time that passed for the
    /// machine, as CLOCK_BOOTTIME counts it.
    std::int64_t BootNanos() const override { return (ToMSecs(FNow) - FSteppedMs) * 1'000'000; }
    /// BootNanos less the time spent in Suspend: what CLOCK_MONOTONIC counts.
    std::int64_t RunNanos() const override { return BootNanos() - FSuspendedMs * 1'000'000; }
    /// A suspend and resume: wall and boot time pass, running time does not.
    void Suspend(TDateTime days) {
        FNow += days;
        FSuspendedMs += ToMSecs(days);
    }
    /// Moves the wall clock alone, as a clock setting or a daylight-saving change does.
    void StepWallClock(TDateTime days) {
        FNow += days;
        FSteppedMs += ToMSecs(days);
    }
    void Set(TDateTime now) { FNow = now; }
    std::optional<long> UtcOffset; // seconds east of Greenwich
    void Advance(TDateTime days) { FNow += days; }
    /// Every reading moves the clock on by `step` days afterwards.
    void SetStep(TDateTime step) { FStep = step; }
    mutable int Readings = 0;

private:
    mutable TDateTime FNow;
    TDateTime FStep = 0;
    std::int64_t FSteppedMs = 0;
    std::int64_t FSuspendedMs = 0;
};

} // namespace vantle::test
