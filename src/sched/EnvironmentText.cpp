#include "sched/EnvironmentText.h"

#include <algorithm>

namespace vantle {

namespace {

constexpr char CtrlZ = 0x1A;

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string PairNumber(std::size_t index) {
    return "the environment's pair " + std::to_string(index + 1);
}

} // namespace

std::string FormatEnvironment(const std::vector<std::string>& pairs) {
    std::string out;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (i > 0)
            out.push_back(';');
        for (char c : pairs[i]) {
            switch (c) {
            case '\\':
                out.append("\\\\");
                break;
            case ';':
                out.append("\\;");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\n':
                out.append("\\n");
                break;
            case CtrlZ:
                out.append("\\x1A");
                break;
            default:
                out.push_back(c);
            }
        }
    }
    return out;
}

TEnvironmentText ParseEnvironment(std::string_view text) {
    TEnvironmentText read;
    if (text.empty())
        return read;
    std::string pair;
    auto badEscape = [&read](std::string_view escape) {
        read.BadEscapes.push_back(
            "bad escape '" + std::string(escape) + "' in " + PairNumber(read.Pairs.size()) +
            ": it reads as written, and a save writes its backslash as '\\\\'");
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ';') {
            read.Pairs.push_back(std::move(pair));
            pair.clear();
            continue;
        }
        if (c != '\\') {
            pair.push_back(c);
            continue;
        }
        if (i + 1 >= text.size()) {
            read.BadEscapes.push_back("a lone backslash ends " + PairNumber(read.Pairs.size()) +
                                      ": it reads as a backslash, which is written '\\\\'");
            pair.push_back('\\');
            break;
        }
        const char next = text[i + 1];
        if (next == '\\' || next == ';') {
            pair.push_back(next);
            ++i;
        } else if (next == 'r' || next == 'n') {
            pair.push_back(next == 'r' ? '\r' : '\n');
            ++i;
        } else if (text.substr(i + 1, 3) == "x1A" || text.substr(i + 1, 3) == "x1a") {
            pair.push_back(CtrlZ);
            i += 3;
        } else {
            // Kept as the two bytes it is: a Windows path's "C:\temp" means what it says.
            badEscape(text.substr(i, next == 'x' ? std::min<std::size_t>(4, text.size() - i) : 2));
            pair.push_back('\\');
        }
    }
    read.Pairs.push_back(std::move(pair));
    for (std::size_t i = 0; i < read.Pairs.size(); ++i)
        if (std::string fault = EnvironmentPairFault(read.Pairs[i], i); !fault.empty())
            read.Malformed.push_back(std::move(fault));
    return read;
}

bool IsEnvironmentName(std::string_view name) {
    return !name.empty() && !IsDigit(name.front()) &&
           std::all_of(name.begin(), name.end(),
                       [](char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '_'; });
}

std::string EnvironmentPairFault(std::string_view pair, std::size_t index) {
    const std::size_t equals = pair.find('=');
    // Told by place: without an '=' the text may be the end of a value cut by a ';'.
    if (equals == std::string_view::npos)
        return PairNumber(index) + " has no '=' (a ';' in a value is written '\\;')";
    if (equals == 0)
        return PairNumber(index) + " has no name before its '='";
    if (!IsEnvironmentName(pair.substr(0, equals)))
        return "the environment's pair '" + std::string(pair.substr(0, equals)) +
               "' has no valid name (letters, digits and _, not starting with a digit)";
    if (pair.find('\0') != std::string_view::npos)
        return "the environment's value of " + std::string(pair.substr(0, equals)) +
               " holds a NUL byte";
    return {};
}

std::string EnvironmentFault(const std::vector<std::string>& pairs) {
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (std::string fault = EnvironmentPairFault(pairs[i], i); !fault.empty())
            return fault;
    return {};
}

std::string EnvironmentNames(const std::vector<std::string>& pairs) {
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (!EnvironmentPairFault(pairs[i], i).empty())
            continue;
        const std::string_view name = std::string_view(pairs[i]).substr(0, pairs[i].find('='));
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    std::string text;
    for (std::string_view name : names) {
        if (!text.empty())
            text.append(", ");
        text.append(name);
    }
    return text;
}

} // namespace vantle
