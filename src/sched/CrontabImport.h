// A crontab read into schedule entries that run as cron runs its lines, with a verdict
// for every line. Text in, verdicts and entries out: reading and saving are the caller's.
#pragma once

#include "sched/Schedule.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantle {

/// What became of a crontab line.
enum class TCrontabVerdict : std::uint8_t {
    Imported,       // an entry that runs as cron runs the line, or a setting taken up
    ImportedAsMany, // entries that together run as cron runs the line, no day twice
    Approximated,   // taken up, but it differs from cron as the reason says
    NotImported,    // nothing made of the line; the reason says why
    Note,           // how the crontab was read (its line ends), not what a line does
};

struct TCrontabLine {
    std::size_t Line = 0; // from 1; 0 for the crontab as a whole
    std::string Text;     // as read, without its line end
    TCrontabVerdict Verdict = TCrontabVerdict::Imported;
    std::string Why;                  // the entries made, what differs, or why not
    std::vector<std::size_t> Entries; // what the line made, as indexes into Entries
};

struct TCrontabImportOptions {
    bool Active = false;
    /// The machine's time zone by name ("Europe/Berlin"), which CRON_TZ is compared
    /// with; empty when it is not known.
    std::string LocalZone;
    /// The schedule's names: the new entries get names unlike these and each other.
    std::vector<std::string> TakenNames;
    /// Whether a word names a user of this system and no program, so that a sixth field
    /// of it is the user column of a system crontab; empty: no word does.
    std::function<bool(std::string_view word)> IsUserName;
};

struct TCrontabImport {
    std::vector<TCrontabLine> Lines; // every line that is no comment, blank or not
    std::vector<TSchedule> Entries;
};

/// Reads `text` as a user's crontab. Comments and blank lines are skipped; every other
/// line gets a verdict, and the notes on line ends come first.
TCrontabImport ImportCrontab(std::string_view text, const TCrontabImportOptions& options);

/// "imported", "imported as 2 entries", "approximated", "not imported" or "note".
std::string VerdictText(const TCrontabLine& line);
/// Whether some line that says something was not imported.
bool AnyNotImported(const TCrontabImport& result);
/// How to comment out the lines that became entries, so that cron does not run them as
/// well; `userCrontab`: the text is the user's installed crontab (`crontab -l`).
std::vector<std::string> CommentOutAdvice(const TCrontabImport& result, bool userCrontab);

} // namespace vantle
