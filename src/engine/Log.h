// The event log: one time-stamped line per event, the file opened for every line.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

namespace vantle {

/// One argument of WriteFmt: "%s" takes text, "%d" an integer.
using TFmtArg = std::variant<std::string, std::int64_t>;

class TLog {
public:
    /// Stores the name (see SetFileName); the file is not touched.
    TLog(const std::string& fileName, const TClock& clock = SystemClock());
    virtual ~TLog() = default;

    const std::string& FileName() const { return FFileName; }
    /// Appends "yyyy.mm.dd hh.mm.ss:" + message + CR LF; raises EInOutError on failure.
    virtual void WriteLine(const std::string& message);
    /// Only `format` is interpreted; arguments go in verbatim, so "%" in a name stays.
    void WriteFmt(const std::string& format, std::initializer_list<TFmtArg> args);
    /// Empties the file, creating it when missing.
    void Reset();
    /// Replaces `lines` by the file's lines (without line ends); "File not found"
    /// when the log does not exist, after `lines` has been cleared.
    void AssignTo(std::vector<std::string>& lines) const;

protected:
    const TClock& Clock() const { return FClock; }

private:
    void SetFileName(const std::string& name);
    std::string FFileName;
    const TClock& FClock;
};

/// "yyyy.mm.dd hh.mm.ss" of a local date-time, whatever the regional settings say.
std::string LogTimeStamp(TDateTime value);

/// The message WriteFmt would write.
std::string FormatLogMessage(const std::string& format, std::initializer_list<TFmtArg> args);

} // namespace vantle
