#include "ui/CycleTimer.h"

#include "platform/Clock.h"

#include <QSocketNotifier>

namespace vantle {

TCycleTimer::TCycleTimer(QObject* parent) : QObject(parent) {
    FNotifier = new QSocketNotifier(FTimer.Fd(), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TCycleTimer::Activated);
}

void TCycleTimer::start(int msec) {
    std::timespec at = SystemClock().UtcNow();
    std::int64_t ns = at.tv_nsec + static_cast<std::int64_t>(msec) * 1000000;
    at.tv_sec += static_cast<std::time_t>(ns / 1000000000);
    at.tv_nsec = static_cast<long>(ns % 1000000000);
    startAt(at, msec);
}

void TCycleTimer::startAt(const std::timespec& utc, int interval) {
    FTimer.ArmAt(utc);
    FInterval = interval;
    FActive = true;
}

void TCycleTimer::stop() {
    FTimer.Disarm();
    FActive = false;
}

void TCycleTimer::Activated() {
    switch (FTimer.Read()) {
    case TWallTimer::TWake::Fired:
        FActive = false;
        emit timeout();
        break;
    case TWallTimer::TWake::ClockChanged:
        emit clockChanged();
        break;
    case TWallTimer::TWake::Nothing:
        break;
    }
}

} // namespace vantle
