// Where the programs keep the schedule and the log: beside the executable for a
// portable copy, in the user's XDG folders for an installed one.
#pragma once

#include "platform/Environment.h"

#include <functional>
#include <string>

namespace vantle {

struct TFileLocations {
    std::string ScheduleFile;
    std::string LogFile;
};

/// The desktop program's name; its per-user folders and files are named after it.
extern const char* const ProgramName;

/// Whether the program may write in a folder; by default access(W_OK).
using TFolderWritable = std::function<bool(const std::string& folder)>;

/// The files of the program at `executablePath`. Beside it, named after it, when its
/// folder already holds the schedule, or is writable, not a folder of the installed
/// system (/usr, /bin, /sbin: root may write there, but nothing belongs there) and not
/// the bin/ of an installed program (the folder above it holds
/// share/applications/vantle-scheduler.desktop, as ~/.local after a per-user install).
/// Otherwise $XDG_CONFIG_HOME/vantle-scheduler/vantle-scheduler.INI and
/// $XDG_STATE_HOME/vantle-scheduler/vantle-scheduler.LOG, with the usual defaults
/// under $HOME when the variables are unset or not absolute.
TFileLocations LocateFiles(const std::string& executablePath, const TEnvironment& environment,
                           const TFolderWritable& writable = {});

/// The user's home folder: $HOME, else the password database's, else "/".
std::string HomeFolder(const TEnvironment& environment);
/// The user's configuration folder: $XDG_CONFIG_HOME, or $HOME/.config.
std::string ConfigHome(const TEnvironment& environment);
/// The user's state folder: $XDG_STATE_HOME, or $HOME/.local/state.
std::string StateHome(const TEnvironment& environment);

/// Creates the missing folders of both files, each new one with mode 0700 (the files
/// say what the user runs and when). False when one could not be made; the first
/// save or log line then reports the real error.
bool MakeFileFolders(const TFileLocations& locations);

} // namespace vantle
