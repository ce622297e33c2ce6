// The event log: one time-stamped line per event, the file opened for every line.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vantle {

/// One argument of WriteFmt: "%s" takes text, "%d" an integer.
using TFmtArg = std::variant<std::string, std::int64_t>;

/// The log's size limit unless the program's settings say otherwise: 16 MB.
constexpr std::uint64_t DefaultMaxLogSize = 16 * 1024 * 1024;

class TLog {
public:
    /// Stores the name (see SetFileName); the file is not touched.
    TLog(const std::string& fileName, const TClock& clock = SystemClock());
    virtual ~TLog() = default;

    const std::string& FileName() const { return FFileName; }
    /// Appends "yyyy.mm.dd hh.mm.ss:" + message + CR LF, the message as LogSafeText
    /// shows it; raises EInOutError on failure. A line that would take the
    /// file over MaxSize first renames it to FileName + ".1" (replacing an older one)
    /// and starts a new file with "Log file continued from NAME.1".
    virtual void WriteLine(const std::string& message);
    /// Only `format` is interpreted; arguments go in verbatim, so "%" in a name stays.
    void WriteFmt(const std::string& format, std::initializer_list<TFmtArg> args);
    /// Empties the file, creating it when missing.
    void Reset();
    /// Replaces `lines` by the file's lines (without line ends); "File not found"
    /// when the log does not exist, after `lines` has been cleared.
    void AssignTo(std::vector<std::string>& lines) const;
    /// As AssignTo, but only the whole lines within the last `maxBytes` of the file;
    /// returns how many bytes before them are left out.
    std::uint64_t AssignTailTo(std::vector<std::string>& lines, std::uint64_t maxBytes) const;

    /// Bytes; 0 means no limit.
    std::uint64_t MaxSize() const { return FMaxSize; }
    void SetMaxSize(std::uint64_t bytes) { FMaxSize = bytes; }

protected:
    const TClock& Clock() const { return FClock; }

private:
    void SetFileName(const std::string& name);
    std::string StampedLine(const std::string& message) const;

    std::string FFileName;
    const TClock& FClock;
    std::uint64_t FMaxSize = DefaultMaxLogSize;
};

/// The whole lines within the last `maxBytes` of the file at `path`, as one text;
/// `leftOut` gets how many bytes before them are left out. Raises EInOutError.
std::string ReadLogTail(const std::string& path, std::uint64_t maxBytes, std::uint64_t& leftOut);
/// Calls `visit` with each line of `content`, without its end.
void ForEachLine(std::string_view content, const std::function<void(std::string_view)>& visit);

/// `text` with every control character shown as an escape (VisibleText for the log:
/// "\x0a", "\x1b"; TAB and bytes that are not UTF-8 kept), so a name cannot forge a log
/// line or drive the terminal that shows the log.
std::string LogSafeText(std::string text);

/// "yyyy.mm.dd hh.mm.ss" of a local date-time, whatever the regional settings say.
std::string LogTimeStamp(TDateTime value);

/// The message WriteFmt would write.
std::string FormatLogMessage(const std::string& format, std::initializer_list<TFmtArg> args);

} // namespace vantle
