#include "ui/CycleTimer.h"

#include "engine/RunLoop.h"
#include "ui/Application.h"
#include "ui/StopSignalWatch.h"

#include <QSocketNotifier>

namespace vantle {

TCycleTimer::TCycleTimer(QObject* parent) : QObject(parent) {}

void TCycleTimer::Watch(TRunLoop& loop) {
    Release();
    FLoop = &loop;
    TRunLoopEvents events;
    events.CycleFinished = [this](std::exception_ptr error) { emit CycleDone(error); };
    events.ReapFailed = [](std::exception_ptr error) {
        RunHandler([error] { std::rethrow_exception(error); });
    };
    events.Stopped = [](int) { EndEveryLoop(); };
    loop.SetEvents(std::move(events));
    for (const TRunLoop::TWatch& watch : loop.Watches()) {
        auto* notifier = new QSocketNotifier(watch.Fd, QSocketNotifier::Read, this);
        FNotifiers.push_back(notifier);
        connect(notifier, &QSocketNotifier::activated, this,
                [this, source = watch.Source] { FLoop->Handle(source); });
    }
}

void TCycleTimer::Release() {
    for (QSocketNotifier* notifier : FNotifiers)
        delete notifier;
    FNotifiers.clear();
    FLoop = nullptr;
}

void TCycleTimer::start(int msec) {
    if (FLoop != nullptr)
        FLoop->ArmAfter(msec);
}

void TCycleTimer::stop() {
    if (FLoop != nullptr)
        FLoop->Disarm();
}

bool TCycleTimer::isActive() const {
    return FLoop != nullptr && FLoop->Armed();
}

int TCycleTimer::interval() const {
    return FLoop != nullptr ? static_cast<int>(FLoop->Interval()) : 0;
}

} // namespace vantle
