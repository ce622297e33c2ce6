// The main window's timer: the run loop's descriptors watched from Qt's event loop, so
// its ticks, clock steps, ended programs and stop signals reach it between any events,
// also inside a dialog's loop.
#pragma once

#include <QObject>

#include <vector>

class QSocketNotifier;

namespace vantle {

class TRunLoop;

class TCycleTimer : public QObject {
    Q_OBJECT
public:
    explicit TCycleTimer(QObject* parent = nullptr);

    /// Watches `loop` from now on, until Release.
    void Watch(TRunLoop& loop);
    /// Stops watching; the loop may go.
    void Release();

    /// Fires once, `msec` milliseconds from now.
    void start(int msec);
    void stop();
    bool isActive() const;
    /// Milliseconds from the latest arming to its moment.
    int interval() const;

private:
    TRunLoop* FLoop = nullptr;
    std::vector<QSocketNotifier*> FNotifiers;
};

} // namespace vantle
