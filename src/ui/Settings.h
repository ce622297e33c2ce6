// What the desktop program remembers between runs, in QSettings
// (~/.config/Vantle/vantle-scheduler.conf): the window's geometry, the grid's column
// widths and sort, and the options.
#pragma once

#include <QString>

class QSettings;

namespace vantle {

class TfmSchedMain;

/// The organisation and application names that place the settings file.
extern const char* const SettingsOrganization;
extern const char* const SettingsApplication;

/// Keys of the options.
extern const char* const NotificationsKey;

/// Puts the window where it was, at the size it had, with the grid's columns as wide
/// as they were. Call before showing it.
void RestoreWindowSettings(TfmSchedMain& window, QSettings& settings);
/// Sorts the grid as it was sorted when the program ended. Call once it is filled.
void RestoreGridSort(TfmSchedMain& window, QSettings& settings);
/// Remembers geometry, column widths and the grid's sort (when it is sorted).
void SaveWindowSettings(const TfmSchedMain& window, QSettings& settings);

/// Whether failures raise desktop notifications; on unless the user turned them off.
bool NotificationsOn(const QSettings& settings);

} // namespace vantle
