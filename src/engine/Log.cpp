#include "engine/Log.h"

#include "platform/SysErrors.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vantle {

namespace {

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
    TFile(const std::string& path, int flags) : FFd(::open(path.c_str(), flags | O_CLOEXEC, 0666)) {
        if (FFd < 0)
            RaiseInOutError(errno);
    }
    ~TFile() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    int Fd() const { return FFd; }
    void Close() {
        int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            RaiseInOutError(errno);
    }

private:
    int FFd;
};

void WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseInOutError(errno);
        }
        done += static_cast<std::size_t>(n);
    }
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

void TLog::WriteLine(const std::string& message) {
    std::string line = LogTimeStamp(FClock.Now());
    line += ':';
    line += message;
    line += "\r\n";
    // O_APPEND puts every write at the end even when another program appends too.
    TFile file(FFileName, O_WRONLY | O_CREAT | O_APPEND);
    WriteAll(file.Fd(), line);
    file.Close();
}

void TLog::WriteFmt(const std::string& format, std::initializer_list<TFmtArg> args) {
    WriteLine(FormatLogMessage(format, args));
}

void TLog::Reset() {
    TFile file(FFileName, O_WRONLY | O_CREAT | O_TRUNC);
    file.Close();
}

void TLog::AssignTo(std::vector<std::string>& lines) const {
    lines.clear();
    TFile file(FFileName, O_RDONLY);
    std::string content;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.Fd(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseInOutError(errno);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    file.Close();
    // A line ends at LF, CR LF or a lone CR; a last line without an end still counts.
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < content.size()) {
        char c = content[i];
        if (c == '\n' || c == '\r') {
            lines.push_back(content.substr(start, i - start));
            i += (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < content.size())
        lines.push_back(content.substr(start));
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
