// The main window's timer: waits for a moment of the wall clock, so ticks fall at
// hh:mm:05 however the clock is stepped, and says at once when the clock was set.
#pragma once

#include "platform/WallTimer.h"

#include <QObject>

#include <ctime>

class QSocketNotifier;

namespace vantle {

class TCycleTimer : public QObject {
    Q_OBJECT
public:
    explicit TCycleTimer(QObject* parent = nullptr);

    /// Fires once, `msec` milliseconds from now.
    void start(int msec);
    /// Fires once when the wall clock reaches `utc`; `interval` is what interval()
    /// reports, the milliseconds from now as the caller reckoned them.
    void startAt(const std::timespec& utc, int interval);
    void stop();
    bool isActive() const { return FActive; }
    /// Milliseconds from the latest arming to its moment.
    int interval() const { return FInterval; }

signals:
    void timeout();
    /// The wall clock was set while waiting: the wait no longer means what it did.
    void clockChanged();

private:
    void Activated();

    vantle::TWallTimer FTimer;
    QSocketNotifier* FNotifier = nullptr;
    bool FActive = false;
    int FInterval = 0;
};

} // namespace vantle
