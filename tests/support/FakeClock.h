// A clock that stands still until a test moves it.
#pragma once

#include "platform/Clock.h"

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
    void Set(TDateTime now) { FNow = now; }
    void Advance(TDateTime days) { FNow += days; }
    /// Every reading moves the clock on by `step` days afterwards.
    void SetStep(TDateTime step) { FStep = step; }
    mutable int Readings = 0;

private:
    mutable TDateTime FNow;
    TDateTime FStep = 0;
};

} // namespace vantle::test
