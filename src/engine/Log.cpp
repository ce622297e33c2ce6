#include "engine/Log.h"

#include "platform/FileWriter.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

namespace {

// Like the state file: the log tells what ran when, and a line written into it by
// somebody else would read as the scheduler's own.
constexpr mode_t NewLogMode = 0600;

// A log started by rotation gets the old log's mode whatever the umask, when it is new
// and the user's own (a file somebody made meanwhile keeps its own).
void TakeMode(int fd, mode_t mode) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size == 0 && st.st_uid == geteuid() &&
        (st.st_mode & 0777) != mode) {
        [[maybe_unused]] int changed = fchmod(fd, mode);
    }
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string Trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Closes the descriptor on every way out; a failed close is an error of its own.
class TFile {
public:
    TFile(const std::string& path, int flags)
        : FPath(path), FFd(::open(path.c_str(), flags | O_CLOEXEC, NewLogMode)) {
        if (FFd < 0)
            Fail(errno);
    }
    ~TFile() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    int Fd() const { return FFd; }
    /// Raises the input/output error for errno `err`, naming this file.
    [[noreturn]] void Fail(int err) const { RaiseInOutError(err, FPath); }
    void Close() {
        int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            Fail(errno);
    }

private:
    std::string FPath;
    int FFd;
};

void SplitLines(std::string_view content, std::vector<std::string>& lines) {
    ForEachLine(content, [&lines](std::string_view line) { lines.emplace_back(line); });
}

// Reads from `file` at `offset` until the end or `limit` bytes.
std::string ReadFrom(const TFile& file, off_t offset, std::size_t limit) {
    std::string content;
    char buffer[65536];
    while (content.size() < limit) {
        ssize_t n = ::pread(file.Fd(), buffer, std::min(sizeof buffer, limit - content.size()),
                            offset + static_cast<off_t>(content.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            file.Fail(errno);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string LogTimeStamp(TDateTime value) {
    TDateParts date = DecodeDate(value);
    TTimeParts time = DecodeTime(value);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d.%02d.%02d %02d.%02d.%02d", date.Year, date.Month,
                  date.Day, time.Hour, time.Minute, time.Second);
    return buffer;
}

TLog::TLog(const std::string& fileName, const TClock& clock) : FClock(clock) {
    SetFileName(fileName);
}

void TLog::SetFileName(const std::string& name) {
    FFileName = Trim(name);
    if (name.find('.') == std::string::npos)
        FFileName += ".log";
}

std::string TLog::StampedLine(const std::string& message) const {
    std::string line = LogTimeStamp(FClock.Now());
    line += ':';
    line += LogSafeText(message);
    line += "\r\n";
    return line;
}

void TLog::WriteLine(const std::string& message) {
    std::string line = StampedLine(message);
    // O_APPEND puts every write at the end even when another program appends too.
    TOwnFd file = OpenOwnFile(FFileName, O_WRONLY | O_APPEND, true, NewLogMode);
    struct stat st {};
    if (FMaxSize > 0 && fstat(file.Get(), &st) == 0 && st.st_size > 0 &&
        static_cast<std::uint64_t>(st.st_size) + line.size() > FMaxSize) {
        file.Close();
        std::string older = FFileName + ".1";
        struct stat olderStat {};
        // Renamed over, a folder would give "access denied" about the log itself.
        if (lstat(older.c_str(), &olderStat) == 0 && S_ISDIR(olderStat.st_mode))
            throw EFileRefused(older, "is a folder, so the full log cannot be moved there");
        if (::rename(FFileName.c_str(), older.c_str()) != 0)
            RaiseInOutError(errno, FFileName);
        TOwnFd fresh = OpenOwnFile(FFileName, O_WRONLY | O_APPEND, true, st.st_mode & 0777);
        TakeMode(fresh.Get(), st.st_mode & 0777);
        AppendWhole(fresh.Get(), StampedLine("Log file continued from " + BaseName(older)) + line,
                    FFileName);
        if (int err = fresh.Close(); err != 0)
            RaiseInOutError(err, FFileName);
        return;
    }
    AppendWhole(file.Get(), line, FFileName);
    if (int err = file.Close(); err != 0)
        RaiseInOutError(err, FFileName);
}

void TLog::WriteFmt(const std::string& format, std::initializer_list<TFmtArg> args) {
    WriteLine(FormatLogMessage(format, args));
}

void TLog::Reset() {
    TOwnFd file = OpenOwnFile(FFileName, O_WRONLY | O_TRUNC, true, NewLogMode);
    if (int err = file.Close(); err != 0)
        RaiseInOutError(err, FFileName);
}

void TLog::AssignTo(std::vector<std::string>& lines) const {
    lines.clear();
    TFile file(FFileName, O_RDONLY);
    std::string content = ReadFrom(file, 0, std::string::npos);
    file.Close();
    SplitLines(content, lines);
}

std::uint64_t TLog::AssignTailTo(std::vector<std::string>& lines, std::uint64_t maxBytes) const {
    lines.clear();
    std::uint64_t leftOut = 0;
    SplitLines(ReadLogTail(FFileName, maxBytes, leftOut), lines);
    return leftOut;
}

std::string ReadLogTail(const std::string& path, std::uint64_t maxBytes, std::uint64_t& leftOut) {
    TFile file(path, O_RDONLY);
    struct stat st {};
    if (fstat(file.Fd(), &st) != 0)
        file.Fail(errno);
    std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    leftOut = 0;
    if (size <= maxBytes) {
        std::string content = ReadFrom(file, 0, std::string::npos);
        file.Close();
        return content;
    }
    // One byte more than wanted shows whether the first one starts a line.
    std::uint64_t start = size - maxBytes - 1;
    std::string content =
        ReadFrom(file, static_cast<off_t>(start), static_cast<std::size_t>(maxBytes + 1));
    file.Close();
    std::size_t first = content.find('\n');
    first = first == std::string::npos ? content.size() : first + 1;
    leftOut = start + first;
    return content.substr(first);
}

// Lines end at LF, CR LF or a lone CR; a last line without an end still counts.
void ForEachLine(std::string_view content, const std::function<void(std::string_view)>& visit) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < content.size()) {
        char c = content[i];
        if (c == '\n' || c == '\r') {
            visit(content.substr(start, i - start));
            i += (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < content.size())
        visit(content.substr(start));
}

std::string LogSafeText(std::string text) {
    return VisibleText(text, TVisibleFor::Log);
}

std::string FormatLogMessage(const std::string& format, std::initializer_list<TFmtArg> args) {
    std::string result;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            result += c;
            continue;
        }
        char conversion = format[i + 1];
        if (conversion == '%') {
            result += '%';
            ++i;
        } else if ((conversion == 's' || conversion == 'd') && next != args.end()) {
            if (const auto* text = std::get_if<std::string>(&*next))
                result += *text;
            else
                result += std::to_string(std::get<std::int64_t>(*next));
            ++next;
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace vantle
