// How the desktop program ends: through Exit and its question, or through a stop signal
// (SIGTERM, SIGINT, SIGHUP) that nobody may be there to answer (see StopSignalWatch).
#pragma once

#include <iosfwd>

namespace vantle {

class TfmSchedMain;

/// After the event loop: switches the scheduler off, which logs it. An error box still
/// open waits for the user after Exit; after a stop signal its text goes to `err`.
void EndProgram(TfmSchedMain& window, bool stopped, std::ostream& err);

} // namespace vantle
