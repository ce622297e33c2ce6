#include "cli/Arguments.h"

#include "platform/SysErrors.h"

#include <algorithm>

namespace vantle::cli {

namespace {

// Exactly `count` decimal digits at `at`.
bool ReadDigits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

std::optional<std::string> TArguments::Value(const std::string& name) const {
    auto found = Values.find(name);
    if (found == Values.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> ParseArguments(const TArgs& args, const std::vector<std::string>& flags,
                                          const std::vector<std::string>& valued,
                                          TArguments& result) {
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            result.Positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        std::string name = arg.substr(0, arg.find('='));
        if (name == arg && Contains(flags, name)) {
            result.Flags.insert(name);
            continue;
        }
        if (!Contains(valued, name))
            return "unknown option '" + arg + "'";
        if (name != arg)
            result.Values[name] = arg.substr(name.size() + 1);
        else if (i + 1 < args.size())
            result.Values[name] = args[++i];
        else
            return "option " + name + " needs a value";
    }
    return std::nullopt;
}

std::optional<TDateTime> ParseMoment(const std::string& text, TMomentPart finest,
                                     const std::string& option, std::string& error) {
    static const char* const Forms[] = {"\"YYYY-MM-DD hh:mm\"", "\"YYYY-MM-DD hh:mm[:ss]\"",
                                        "\"YYYY-MM-DD hh:mm[:ss[.zzz]]\""};
    int year, month, day, hour, minute, second = 0, msec = 0;
    bool ok = text.size() >= 16 && ReadDigits(text, 0, 4, year) && text[4] == '-' &&
              ReadDigits(text, 5, 2, month) && text[7] == '-' && ReadDigits(text, 8, 2, day) &&
              (text[10] == ' ' || text[10] == 'T') && ReadDigits(text, 11, 2, hour) &&
              text[13] == ':' && ReadDigits(text, 14, 2, minute);
    std::size_t end = 16;
    if (ok && text.size() > end && finest != TMomentPart::Minute) {
        ok = text[end] == ':' && ReadDigits(text, end + 1, 2, second);
        end += 3;
        if (ok && text.size() > end && finest == TMomentPart::Millisecond) {
            ok = text[end] == '.' && ReadDigits(text, end + 1, 3, msec);
            end += 4;
        }
    }
    if (!ok || end != text.size()) {
        error = option + " wants " + Forms[static_cast<int>(finest)] + ", not '" + text + "'";
        return std::nullopt;
    }
    try {
        return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, msec);
    } catch (const EConvertError&) {
        error = option + " '" + text + "' is not a date and time of the calendar";
        return std::nullopt;
    }
}

} // namespace vantle::cli
