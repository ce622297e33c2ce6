// What a stop signal (SIGTERM, SIGINT, SIGHUP) does to the desktop program: every event
// loop ends, so the program ends without a question nobody may be there to answer.
#pragma once

#include <QObject>

namespace vantle {

/// What a stop signal does: every event loop ends, the nested ones of dialogs and
/// message boxes too, and an open dialog is rejected, so nothing typed in it is applied.
void EndEveryLoop();

/// Watches the stop signals during start-up, before the main window's run loop watches
/// them, and ends the program's event loop when one comes.
class TStopSignalWatch : public QObject {
    Q_OBJECT
public:
    explicit TStopSignalWatch(QObject* parent = nullptr);
    /// Whether a stop signal came.
    bool Stopped() const { return FStopped; }
    /// What a stop signal does.
    void Stop();

private:
    bool FStopped = false;
};

} // namespace vantle
