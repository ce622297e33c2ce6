// The main window's timer: the run loop's descriptors watched from Qt's event loop, so
// its ticks, clock steps, ended programs and stop signals reach it between any events,
// also inside a dialog's loop. A stop signal ends every loop of the program, a dialog's
// too: nobody may be there to answer anything.
#pragma once

#include <QObject>

#include <exception>
#include <vector>

class QSocketNotifier;

namespace vantle {

class TRunLoop;

class TCycleTimer : public QObject {
    Q_OBJECT
public:
    explicit TCycleTimer(QObject* parent = nullptr);

    /// Watches `loop` from now on, until Release, and takes its events.
    void Watch(TRunLoop& loop);
    /// Stops watching; the loop may go.
    void Release();

    /// Fires once, `msec` milliseconds from now.
    void start(int msec);
    void stop();
    bool isActive() const;
    /// Milliseconds from the latest arming to its moment.
    int interval() const;

signals:
    /// A cycle is over and the next one armed; `error` is what it raised, if anything.
    void CycleDone(std::exception_ptr error);

private:
    TRunLoop* FLoop = nullptr;
    std::vector<QSocketNotifier*> FNotifiers;
};

} // namespace vantle
