// How the desktop program ends: through Exit and its question, or through a stop signal
// (SIGTERM, SIGINT, SIGHUP) that nobody may be there to answer.
#pragma once

#include <QObject>

#include <iosfwd>

namespace vantle {

class TfmSchedMain;

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

/// After the event loop: switches the scheduler off, which logs it. An error box still
/// open waits for the user after Exit; after a stop signal its text goes to `err`.
void EndProgram(TfmSchedMain& window, bool stopped, std::ostream& err);

} // namespace vantle
