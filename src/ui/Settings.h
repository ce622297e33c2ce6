// What the desktop program remembers between runs, in QSettings
// (~/.config/Vantle/vantle-scheduler.conf): the options, the log's size limit and what
// the run records keep; the window's geometry and the grid's layout are WindowSettings'.
// Every key is named in one of the two only, so the files users have keep meaning what
// they meant.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QSettings;

namespace vantle {

/// The organisation and application names that place the settings file.
extern const char* const SettingsOrganization;
extern const char* const SettingsApplication;

/// Whether the window starts with the scheduler switched on: with any argument
/// (`--enable` wins), else as the user left it ("Scheduler/On", set at each switch by
/// File > Run, the tray or the off bar's button); off the very first time.
bool StartsSwitchedOn(int argumentCount, const QSettings& settings);
void RememberSchedulerOn(QSettings& settings, bool on);

/// Which runs raise desktop notifications: failures (and the first good run after them)
/// unless the user chose otherwise. The switch of older versions reads as failures or
/// none.
enum class TNotifyMode { Failures, EveryRun, None };
TNotifyMode NotifyMode(const QSettings& settings);
void SetNotifyMode(QSettings& settings, TNotifyMode mode);

/// The log's size limit in bytes (0: none), when the settings give one that reads as
/// a number; the scheduler's default otherwise.
std::optional<std::uint64_t> LogMaxSize(const QSettings& settings);
/// How many runs, and how many megabytes of their output, the run records keep, when
/// the settings give a number from 1 up ("History/MaxRuns", "History/MaxMegabytes").
std::optional<std::uint64_t> KeptRuns(const QSettings& settings);
std::optional<std::uint64_t> KeptMegabytes(const QSettings& settings);

/// The commands run when a failure of an entry that names none of its own is told, and
/// when it works again ("Commands/OnFailure", "Commands/OnRecovery"); empty: none.
struct TDefaultCommands {
    std::string OnFailure, OnRecovery;
    bool operator==(const TDefaultCommands&) const = default;
};
TDefaultCommands DefaultCommands(const QSettings& settings);
/// An empty command removes its key.
void SetDefaultCommands(QSettings& settings, const TDefaultCommands& commands);

} // namespace vantle
