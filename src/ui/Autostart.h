// "Start at login": a desktop entry in the user's autostart folder that starts the
// scheduler switched on.
#pragma once

#include <QString>

namespace vantle {

/// $XDG_CONFIG_HOME/autostart/vantle-scheduler.desktop
QString AutostartFile();

/// The entry's Exec value: `program`, quoted as desktop entries want it, and --enable.
QString AutostartExec(const QString& program);

/// Whether the entry exists.
bool StartsAtLogin(const QString& file);
/// Writes the entry for `program`, or removes it; raises std::runtime_error with the
/// reason when the file cannot be written or removed.
void SetStartAtLogin(const QString& file, bool on, const QString& program);

} // namespace vantle
