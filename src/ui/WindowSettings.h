// Where the main window was, and how its grid was laid out and sorted, in the program's
// settings (see Settings): put back at the start, remembered at the end.
#pragma once

class QSettings;

namespace vantle {

class TfmSchedMain;

/// Puts the window where it was, at the size it had, with the grid's columns as wide
/// as they were. Call before showing it.
void RestoreWindowSettings(TfmSchedMain& window, const QSettings& settings);
/// Sorts the grid as it was sorted when the program ended. Call once it is filled.
void RestoreGridSort(TfmSchedMain& window, const QSettings& settings);
/// Remembers geometry, column widths and the grid's sort (when it is sorted).
void SaveWindowSettings(const TfmSchedMain& window, QSettings& settings);

} // namespace vantle
