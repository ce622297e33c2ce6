// The schedule file's text format: the exact writer and the lenient reader.
#pragma once

#include "sched/Schedule.h"
#include "sched/ScheduleKeys.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantle {

/// Sections in list order, CR LF line ends, no separator after the last section;
/// an empty list gives empty text. A value never breaks its line: in a one-line value
/// (name, time fields, command, parameters, working folder) each line break (CR LF, CR
/// or LF) is written as one blank, and a comment line holding line breaks is written as
/// several Comment lines, so the file reads back as it was written.
std::string FormatScheduleFile(const std::vector<const TSchedule*>& entries);

/// Reads any bytes leniently: CR LF, CR and LF each end a line, Ctrl-Z ends the file,
/// unknown lines are skipped.
std::vector<std::unique_ptr<TSchedule>> ParseScheduleFile(std::string_view content);

/// The entry as a save writes and a load reads it back: line breaks inside one-line
/// values become blanks, comment lines holding line breaks are split there.
void KeepOnLines(TSchedule& entry);
/// A comment line split at its line breaks (CR LF, CR or LF); no break gives itself.
std::vector<std::string> CommentLines(std::string_view comment);

/// True when the content (up to a Ctrl-Z) ends lines both ways: it holds a CR, and an
/// LF that no CR comes right before (a section appended by a Linux tool to a saved file).
bool HasMixedLineEnds(std::string_view content);

/// True when the content (up to a Ctrl-Z) holds something besides blanks and line ends
/// but no "[Schedule " header: not a schedule, and no empty list may stand in for it.
bool HoldsTextButNoSection(std::string_view content);

/// The whole of a regular file, in one read; raises EInOutError when it cannot be
/// opened or read, or is not a regular file (a FIFO or device would never end).
std::string ReadScheduleBytes(const std::string& path);

// The reader's pieces, for tools that want to say where in the file something is.

/// Walks the lines as the reader sees them. Reading stops at the first Ctrl-Z.
/// Lines end at CR LF, CR or LF.
class TScheduleLineReader {
public:
    explicit TScheduleLineReader(std::string_view content);
    /// The next line without its line end; false at the end of the file.
    bool Next(std::string_view& line);
    /// Byte offset of the line Next returned last.
    std::size_t LineOffset() const { return FLineOffset; }
    /// Where reading stops: the first Ctrl-Z, or the size of the content.
    std::size_t End() const { return FContent.size(); }

private:
    std::string_view FContent;
    std::size_t FPosition = 0;
    std::size_t FLineOffset = 0;
};

/// What the reader makes of a line; for a key, `value` is the text after its "=".
TSchedLineKind ClassifyScheduleLine(std::string_view line, std::string_view& value);
/// Applies a key line to the entry in progress exactly as the reader does.
void ApplyScheduleLine(TSchedule& entry, TSchedLineKind kind, std::string_view value);

} // namespace vantle
