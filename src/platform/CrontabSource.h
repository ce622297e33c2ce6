// What an import of a crontab takes from the system: the user's crontab as `crontab -l`
// prints it, the machine's time zone, and whether a word names a user.
#pragma once

#include "platform/SysErrors.h"

#include <string>
#include <string_view>

namespace vantle {

/// The crontab could not be read; the message says why in a user's words.
class ECrontabSource : public Exception {
public:
    using Exception::Exception;
};

/// What `program parameters` (by default `crontab -l`) prints, started through the
/// program starter (one spawn, no shell) and given `timeoutMs` to end. Raises
/// ECrontabSource when it cannot start, ends badly or takes too long; a user without a
/// crontab is told as such.
std::string ReadUserCrontab(const std::string& program = "crontab",
                            const std::string& parameters = "-l", int timeoutMs = 10000);
/// Why a `crontab -l` that ended with `code` (or by signal `code` when `signalled`) after
/// printing `output` gave no crontab, in a user's words.
std::string CrontabFailure(bool signalled, int code, std::string_view output);

/// The machine's time zone by name ("Europe/Berlin"): from TZ, else /etc/timezone, else
/// where /etc/localtime links to; empty when none of them says.
std::string MachineZone();

/// Whether `word` names a user of this system and no program on PATH, so that it reads
/// as the user column of a system crontab rather than as a command.
bool IsUserColumn(std::string_view word);

} // namespace vantle
