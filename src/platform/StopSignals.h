// Turns SIGTERM, SIGINT and SIGHUP into something an event loop can watch: a
// descriptor that becomes readable when one arrives, so the program ends through its
// loop (logging its switching off) rather than being cut off in the middle of a tick.
#pragma once

namespace vantle {

/// Installs the handlers once for the process; returns the descriptor to watch (-1
/// when no pipe could be made, and the signals keep their default action).
int WatchStopSignals();
/// Empties the descriptor after it became readable; returns the signal that came.
int TakeStopSignal();

} // namespace vantle
