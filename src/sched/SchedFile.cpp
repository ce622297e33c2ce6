#include "sched/SchedFile.h"

#include "platform/SysErrors.h"
#include "platform/TextUtils.h"
#include "sched/EnvironmentText.h"
#include "sched/TimeField.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantle {

namespace {

constexpr char CtrlZ = 26;

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// A one-line value with each line break (CR LF, CR or LF) as one blank.
void AppendOneLine(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!IsLineBreak(value[i])) {
            out.push_back(value[i]);
            continue;
        }
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            ++i;
        out.push_back(' ');
    }
}

void AppendLine(std::string& out, TSchedLineKind key, std::string_view value) {
    out.append(ScheduleKeyText(key));
    AppendOneLine(out, value);
    out.append("\r\n");
}

// The Time= value split at single blanks the tokenizer's way: a run of blanks gives
// empty fields, and what follows the fifth blank-separated token is ignored.
void SplitTime(TSchedule& entry, std::string_view value) {
    TTokenizer tokens(value, ' ');
    for (const TTimeField& field : TimeFields)
        (entry.*field.Text).assign(tokens.NextToken());
}

} // namespace

std::string ReadScheduleBytes(const std::string& path) {
    // Non-blocking, so a FIFO given as the schedule cannot hang the open.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        RaiseInOutError(errno, path);
    struct TCloser {
        int Fd;
        ~TCloser() { close(Fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0)
        RaiseInOutError(errno, path);
    if (!S_ISREG(st.st_mode))
        RaiseInOutError(EACCES, path);
    std::string content;
    content.resize(static_cast<std::size_t>(st.st_size) + 1); // one spare byte to see the end
    std::size_t used = 0;
    for (;;) {
        if (used == content.size())
            content.resize(content.size() * 2); // the file grew while we read it
        ssize_t got = read(fd, content.data() + used, content.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            RaiseInOutError(errno, path);
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    content.resize(used);
    return content;
}

std::string FormatScheduleFile(const std::vector<const TSchedule*>& entries) {
    std::string out;
    std::size_t estimate = 0;
    for (const TSchedule* entry : entries) {
        estimate += 120 + entry->Name.size() + entry->Command.size() + entry->Parms.size() +
                    entry->WorkDir.size();
        for (const TTimeField& field : TimeFields)
            estimate += (entry->*field.Text).size();
        for (const std::string& line : entry->Comment)
            estimate += 10 + line.size();
        for (const std::string& pair : entry->Environment)
            estimate += 14 + pair.size();
    }
    out.reserve(estimate);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TSchedule& entry = *entries[i];
        if (i > 0)
            out.append("\r\n");
        out.append(ScheduleHeaderPrefix);
        out.append(std::to_string(i));
        out.append("]\r\n");
        AppendLine(out, TSchedLineKind::Name, entry.Name);
        out.append(ScheduleKeyText(TSchedLineKind::Time));
        for (const TTimeField& field : TimeFields) {
            if (field.Kind != TTimeFieldKind::Minutes)
                out.push_back(' ');
            out.append(entry.*field.Text);
        }
        out.append("\r\n");
        AppendLine(out, TSchedLineKind::Active, entry.Active ? "Yes" : "No");
        AppendLine(out, TSchedLineKind::CommandType, std::to_string(entry.CommandType));
        AppendLine(out, TSchedLineKind::WinState, std::to_string(entry.WinState));
        if (entry.CommandType == ctDosCommand || entry.CommandType == ctDirectExecute) {
            AppendLine(out, TSchedLineKind::Command, entry.Command);
            AppendLine(out, TSchedLineKind::Parms, entry.Parms);
            AppendLine(out, TSchedLineKind::WorkDir, entry.WorkDir);
        }
        if (entry.CatchUp)
            AppendLine(out, TSchedLineKind::CatchUp, "Yes");
        if (entry.Overlap == TOverlap::Skip)
            AppendLine(out, TSchedLineKind::Overlap, "Skip");
        if (entry.TimeLimit > 0)
            AppendLine(out, TSchedLineKind::TimeLimit, std::to_string(entry.TimeLimit));
        if (entry.Retries > 0)
            AppendLine(out, TSchedLineKind::Retries, std::to_string(entry.Retries));
        if (entry.RetryDelay != DefaultRetryDelay)
            AppendLine(out, TSchedLineKind::RetryDelay, std::to_string(entry.RetryDelay));
        if (!entry.OnFailure.empty())
            AppendLine(out, TSchedLineKind::OnFailure, entry.OnFailure);
        if (!entry.OnRecovery.empty())
            AppendLine(out, TSchedLineKind::OnRecovery, entry.OnRecovery);
        if (entry.OnlyOnACPower)
            AppendLine(out, TSchedLineKind::OnlyOnACPower, "Yes");
        if (entry.OnlyWithNetwork)
            AppendLine(out, TSchedLineKind::OnlyWithNetwork, "Yes");
        if (entry.WaitLimit > 0)
            AppendLine(out, TSchedLineKind::WaitLimit, std::to_string(entry.WaitLimit));
        if (entry.AtStart)
            AppendLine(out, TSchedLineKind::AtStart, "Yes");
        if (entry.AlertAfter > 0)
            AppendLine(out, TSchedLineKind::AlertAfter, std::to_string(entry.AlertAfter));
        if (!entry.Environment.empty())
            AppendLine(out, TSchedLineKind::Environment, FormatEnvironment(entry.Environment));
        for (const std::string& comment : entry.Comment)
            for (const std::string& line : CommentLines(comment))
                AppendLine(out, TSchedLineKind::Comment, line);
    }
    return out;
}

std::vector<std::string> CommentLines(std::string_view comment) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= comment.size(); ++i) {
        if (i < comment.size() && !IsLineBreak(comment[i]))
            continue;
        lines.emplace_back(comment.substr(start, i - start));
        if (i < comment.size() && comment[i] == '\r' && i + 1 < comment.size() &&
            comment[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

std::string OneLine(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    AppendOneLine(out, value);
    return out;
}

void KeepOnLines(TSchedule& entry) {
    for (std::string* text : {&entry.Name, &entry.Command, &entry.Parms, &entry.WorkDir})
        if (text->find_first_of("\r\n") != std::string::npos)
            *text = OneLine(*text);
    for (const TTimeField& field : TimeFields)
        if ((entry.*field.Text).find_first_of("\r\n") != std::string::npos)
            entry.*field.Text = OneLine(entry.*field.Text);
    bool split = false;
    for (const std::string& line : entry.Comment)
        split = split || line.find_first_of("\r\n") != std::string::npos;
    if (!split)
        return;
    std::vector<std::string> lines;
    for (const std::string& comment : entry.Comment)
        for (std::string& line : CommentLines(comment))
            lines.push_back(std::move(line));
    entry.Comment = std::move(lines);
}

bool HasMixedLineEnds(std::string_view content) {
    const void* eof = std::memchr(content.data(), CtrlZ, content.size());
    if (eof != nullptr)
        content = content.substr(
            0, static_cast<std::size_t>(static_cast<const char*>(eof) - content.data()));
    bool carriageReturn = false;
    bool bareLineFeed = false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r')
            carriageReturn = true;
        else if (content[i] == '\n' && (i == 0 || content[i - 1] != '\r'))
            bareLineFeed = true;
        if (carriageReturn && bareLineFeed)
            return true;
    }
    return false;
}

TScheduleLineReader::TScheduleLineReader(std::string_view content) : FContent(content) {
    if (content.empty())
        return;
    const void* eof = std::memchr(content.data(), CtrlZ, content.size());
    if (eof != nullptr)
        FContent = content.substr(
            0, static_cast<std::size_t>(static_cast<const char*>(eof) - content.data()));
}

bool TScheduleLineReader::Next(std::string_view& line) {
    if (FPosition >= FContent.size())
        return false;
    std::string_view rest = FContent.substr(FPosition);
    std::size_t length = rest.find_first_of("\r\n");
    if (length == std::string_view::npos)
        length = rest.size();
    line = rest.substr(0, length);
    FLineOffset = FPosition;
    FPosition += length;
    if (FPosition < FContent.size()) { // at the line end: CR LF, CR or LF
        if (FContent[FPosition] == '\r' && FPosition + 1 < FContent.size() &&
            FContent[FPosition + 1] == '\n')
            ++FPosition;
        ++FPosition;
    }
    return true;
}

TSchedLineKind ClassifyScheduleLine(std::string_view line, std::string_view& value) {
    if (line.empty())
        return TSchedLineKind::Other;
    if (line.front() == '[')
        return line.starts_with(ScheduleHeaderPrefix) ? TSchedLineKind::Header
                                                      : TSchedLineKind::Other;
    // The first letter first: most keys are ruled out without a compare.
    for (const TScheduleKey& key : ScheduleKeys) {
        if (key.Text.front() == line.front() && line.starts_with(key.Text)) {
            value = line.substr(key.Text.size());
            return key.Kind;
        }
    }
    return TSchedLineKind::Other;
}

namespace {

// The number a key gives when it lies in low..high, else `otherwise`.
std::int32_t NumberWithin(std::string_view value, std::int32_t low, std::int32_t high,
                          std::int32_t otherwise) {
    const std::int32_t n = IntOrZero(value);
    return n >= low && n <= high ? n : otherwise;
}

} // namespace

void ApplyScheduleLine(TSchedule& entry, TSchedLineKind kind, std::string_view value) {
    switch (kind) {
    case TSchedLineKind::Name:
        entry.Name.assign(value);
        break;
    case TSchedLineKind::Time:
        SplitTime(entry, value);
        break;
    case TSchedLineKind::Active:
        entry.Active = EqualsNoCase(value, "yes");
        break;
    case TSchedLineKind::CommandType: {
        std::int32_t n = IntOrZero(value);
        if (n >= ctDosCommand && n <= ctBuiltinResetTime)
            entry.CommandType = static_cast<std::uint8_t>(n);
        break;
    }
    case TSchedLineKind::WinState: {
        std::int32_t n = IntOrZero(value);
        if (n >= wsNormal && n <= wsHidden)
            entry.WinState = static_cast<std::uint8_t>(n);
        break;
    }
    case TSchedLineKind::Command:
        entry.Command.assign(value);
        break;
    case TSchedLineKind::Parms:
        entry.Parms.assign(value);
        break;
    case TSchedLineKind::WorkDir:
        entry.WorkDir.assign(value);
        break;
    case TSchedLineKind::Comment:
        entry.Comment.emplace_back(value);
        break;
    case TSchedLineKind::CatchUp:
        entry.CatchUp = EqualsNoCase(value, "yes");
        break;
    case TSchedLineKind::Overlap:
        entry.Overlap = EqualsNoCase(value, "skip") ? TOverlap::Skip : TOverlap::Allow;
        break;
    // What is out of range (text, negative, too large) is the default; check says why.
    case TSchedLineKind::TimeLimit:
        entry.TimeLimit = NumberWithin(value, 1, MaxTimeLimit, 0);
        break;
    case TSchedLineKind::Retries:
        entry.Retries = NumberWithin(value, 1, MaxRetries, 0);
        break;
    case TSchedLineKind::RetryDelay:
        entry.RetryDelay = NumberWithin(value, 1, MaxTimeLimit, DefaultRetryDelay);
        break;
    case TSchedLineKind::OnFailure:
        entry.OnFailure.assign(value);
        break;
    case TSchedLineKind::OnRecovery:
        entry.OnRecovery.assign(value);
        break;
    case TSchedLineKind::OnlyOnACPower:
        entry.OnlyOnACPower = EqualsNoCase(value, "yes");
        break;
    case TSchedLineKind::OnlyWithNetwork:
        entry.OnlyWithNetwork = EqualsNoCase(value, "yes");
        break;
    case TSchedLineKind::WaitLimit:
        entry.WaitLimit = NumberWithin(value, 1, MaxTimeLimit, 0);
        break;
    case TSchedLineKind::AtStart:
        entry.AtStart = EqualsNoCase(value, "yes");
        break;
    case TSchedLineKind::AlertAfter:
        entry.AlertAfter = NumberWithin(value, 1, MaxAlertAfter, 0);
        break;
    case TSchedLineKind::Environment:
        entry.Environment = ParseEnvironment(value).Pairs;
        break;
    default:
        break;
    }
}

bool HoldsTextButNoSection(std::string_view content) {
    TScheduleLineReader reader(content);
    bool text = false;
    std::string_view line;
    std::string_view value;
    while (reader.Next(line)) {
        if (ClassifyScheduleLine(line, value) == TSchedLineKind::Header)
            return false;
        text = text || line.find_first_not_of(" \t\r\n") != std::string_view::npos;
    }
    return text;
}

std::vector<std::unique_ptr<TSchedule>> ParseScheduleFile(std::string_view content) {
    std::vector<std::unique_ptr<TSchedule>> entries;
    TScheduleLineReader reader(content);
    TSchedule* current = nullptr;
    std::string_view line;
    std::string_view value;
    while (reader.Next(line)) {
        TSchedLineKind kind = ClassifyScheduleLine(line, value);
        if (kind == TSchedLineKind::Header) {
            entries.push_back(std::make_unique<TSchedule>());
            current = entries.back().get();
        } else if (kind != TSchedLineKind::Other && current != nullptr) {
            ApplyScheduleLine(*current, kind, value);
        }
    }
    return entries;
}

} // namespace vantle
