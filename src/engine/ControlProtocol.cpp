#include "engine/ControlProtocol.h"

#include <charconv>
#include <limits>

namespace vantle {

namespace {

// A whole number of decimal digits alone (no sign, no blank) up to `most`.
template <typename T> std::optional<T> ReadNumber(std::string_view text, T most) {
    T value = 0;
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > most)
        return std::nullopt;
    return value;
}

// Takes `word` and the blank after it off the front of `rest`.
bool TakeWord(std::string_view& rest, std::string_view word) {
    if (!rest.starts_with(word) || rest.size() == word.size() || rest[word.size()] != ' ')
        return false;
    rest.remove_prefix(word.size() + 1);
    return true;
}

} // namespace

std::string EscapeControlText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '-':
            escaped += i == 0 ? "\\-" : "-";
            break;
        default:
            escaped += text[i];
        }
    }
    return escaped;
}

std::optional<std::string> UnescapeControlText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0')
            return std::nullopt;
        if (text[i] != '\\') {
            plain += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            plain += '\\';
            break;
        case 'n':
            plain += '\n';
            break;
        case 'r':
            plain += '\r';
            break;
        case '-':
            plain += '-';
            break;
        default:
            return std::nullopt;
        }
    }
    return plain;
}

std::string FormatRequest(const TControlRequest& request) {
    std::string line = "start";
    if (request.Wait)
        line += " --wait";
    if (request.Index)
        line += " --index " + std::to_string(*request.Index);
    return line + ' ' + EscapeControlText(request.Name) + '\n';
}

std::optional<TControlRequest> ParseRequest(std::string_view line, std::string& error) {
    std::string_view rest = line;
    if (!TakeWord(rest, "start")) {
        error = line == "start" ? "start needs the name of an entry" : "unknown request";
        return std::nullopt;
    }
    TControlRequest request;
    for (;;) {
        if (TakeWord(rest, "--wait")) {
            request.Wait = true;
        } else if (TakeWord(rest, "--index")) {
            const std::size_t blank = rest.find(' ');
            request.Index =
                ReadNumber(rest.substr(0, blank), std::numeric_limits<std::int32_t>::max());
            if (!request.Index || blank == std::string_view::npos) {
                error = "--index needs a position and a name";
                return std::nullopt;
            }
            rest.remove_prefix(blank + 1);
        } else {
            break;
        }
    }
    // An escaped name never begins with a dash: this is an option the holder lacks.
    if (rest.starts_with('-')) {
        error = "unknown option";
        return std::nullopt;
    }
    std::optional<std::string> name = UnescapeControlText(rest);
    if (!name) {
        error = "the name is not escaped as the protocol escapes it";
        return std::nullopt;
    }
    request.Name = std::move(*name);
    return request;
}

std::string FormatAnswer(const TControlAnswer& answer) {
    switch (answer.Kind) {
    case TControlAnswer::Started:
        return "started " + std::to_string(answer.Key) + '\n';
    case TControlAnswer::Error:
        return "error " + EscapeControlText(answer.Text) + '\n';
    case TControlAnswer::Ended:
        break;
    }
    return std::string("ended ") + (answer.Failure ? '1' : '0') + ' ' +
           EscapeControlText(answer.Text) + '\n';
}

std::optional<TControlAnswer> ParseAnswer(std::string_view line) {
    TControlAnswer answer;
    std::string_view rest = line;
    if (TakeWord(rest, "started")) {
        std::optional<std::int64_t> key =
            ReadNumber(rest, std::numeric_limits<std::int64_t>::max());
        if (!key)
            return std::nullopt;
        answer.Key = *key;
        return answer;
    }
    if (TakeWord(rest, "error")) {
        answer.Kind = TControlAnswer::Error;
    } else if (TakeWord(rest, "ended") && rest.size() >= 2 && (rest[0] == '0' || rest[0] == '1') &&
               rest[1] == ' ') {
        answer.Kind = TControlAnswer::Ended;
        answer.Failure = rest[0] == '1';
        rest.remove_prefix(2);
    } else {
        return std::nullopt;
    }
    std::optional<std::string> text = UnescapeControlText(rest);
    if (!text)
        return std::nullopt;
    answer.Text = std::move(*text);
    return answer;
}

void TLineReader::Append(std::string_view data) {
    if (FOverflowed)
        return;
    FBuffer.append(data);
    // Without a line end within the limit no line can come out of it any more.
    const std::size_t end = FBuffer.find('\n');
    if (end == std::string::npos ? FBuffer.size() > ControlLineLimit : end > ControlLineLimit) {
        FOverflowed = true;
        FBuffer.clear();
    }
}

std::optional<std::string> TLineReader::TakeLine() {
    const std::size_t end = FBuffer.find('\n');
    if (FOverflowed || end == std::string::npos)
        return std::nullopt;
    if (end > ControlLineLimit) {
        FOverflowed = true;
        FBuffer.clear();
        return std::nullopt;
    }
    std::string line = FBuffer.substr(0, end);
    FBuffer.erase(0, end + 1);
    return line;
}

} // namespace vantle
