#include "cli/Arguments.h"

#include "cli/DefaultFiles.h"
#include "platform/Clock.h"
#include "platform/SysErrors.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ostream>

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
    if (found == Values.end() || found->second.empty())
        return std::nullopt;
    return found->second.back();
}

std::vector<std::string> TArguments::AllValues(const std::string& name) const {
    auto found = Values.find(name);
    return found == Values.end() ? std::vector<std::string>{} : found->second;
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
            result.Values[name].push_back(arg.substr(name.size() + 1));
        else if (i + 1 < args.size())
            result.Values[name].push_back(args[++i]);
        else
            return "option " + name + " needs a value";
    }
    return std::nullopt;
}

EFailure UsageError(const std::string& command, const std::string& message) {
    return EFailure(message + "\n" + UsageLine(command));
}

TArguments ReadArguments(const std::string& command, const TArgs& args,
                         const std::vector<std::string>& flags,
                         const std::vector<std::string>& valued) {
    TArguments result;
    if (std::optional<std::string> error = ParseArguments(args, flags, valued, result))
        throw UsageError(command, *error);
    return result;
}

int Guarded(const std::string& command, std::ostream& err, const std::function<int()>& body) {
    try {
        return body();
    } catch (const EFailure& failure) {
        if (failure.Named())
            err << "vantle-schedctl " << command << ": ";
        err << failure.Message() << "\n";
    } catch (const std::exception& error) {
        err << "vantle-schedctl " << command << ": " << DescribeError(error) << "\n";
    }
    return 2;
}

std::optional<TMoment> ParseMoment(const std::string& text, const std::string& option,
                                   std::string& error) {
    int year, month, day, hour, minute, second = 0, msec = 0;
    bool ok = text.size() >= 16 && ReadDigits(text, 0, 4, year) && text[4] == '-' &&
              ReadDigits(text, 5, 2, month) && text[7] == '-' && ReadDigits(text, 8, 2, day) &&
              (text[10] == ' ' || text[10] == 'T') && ReadDigits(text, 11, 2, hour) &&
              text[13] == ':' && ReadDigits(text, 14, 2, minute);
    std::size_t end = 16;
    if (ok && end < text.size() && text[end] == ':') {
        ok = ReadDigits(text, end + 1, 2, second);
        end += 3;
        if (ok && end < text.size() && text[end] == '.') {
            ok = ReadDigits(text, end + 1, 3, msec);
            end += 4;
        }
    }
    std::optional<long> offset;
    if (ok && end < text.size() && text[end] == 'Z') {
        offset = 0;
        end += 1;
    } else if (ok && end < text.size() && (text[end] == '+' || text[end] == '-')) {
        int offsetHours = 0, offsetMinutes = 0;
        ok = ReadDigits(text, end + 1, 2, offsetHours) && end + 3 < text.size() &&
             text[end + 3] == ':' && ReadDigits(text, end + 4, 2, offsetMinutes) &&
             offsetHours <= 23 && offsetMinutes <= 59;
        offset = (text[end] == '-' ? -1L : 1L) * (offsetHours * 3600L + offsetMinutes * 60L);
        end += 6;
    }
    if (!ok || end != text.size()) {
        error = option + " wants \"YYYY-MM-DD hh:mm[:ss[.zzz]][Z|+hh:mm]\", not '" + text + "'";
        return std::nullopt;
    }
    TDateTime written;
    try {
        written = EncodeDate(year, month, day) + EncodeTime(hour, minute, second, msec);
    } catch (const EConvertError&) {
        error = option + " '" + text + "' is not a date and time of the calendar";
        return std::nullopt;
    }
    TMoment moment;
    if (offset) {
        moment.Instant = InstantOfUtc(IncSeconds(written, -*offset));
        moment.Local = LocalDateTimeOf(moment.Instant);
    } else {
        std::vector<std::timespec> readings = LocalReadings(written);
        if (readings.empty()) {
            error = option + " '" + text +
                    "' does not exist on this clock (daylight saving time skips it)";
            return std::nullopt;
        }
        moment.Instant = readings.front();
        moment.Local = written;
    }
    moment.UtcOffset = UtcOffsetAt(moment.Instant);
    return moment;
}

TMoment ReadMoment(const std::string& text, const std::string& option) {
    std::string error;
    std::optional<TMoment> moment = ParseMoment(text, option, error);
    if (!moment)
        throw EFailure(error);
    return *moment;
}

std::string MomentText(const TMoment& moment) {
    TDateParts date = DecodeDate(moment.Local);
    TTimeParts time = DecodeTime(moment.Local);
    long offset = moment.UtcOffset < 0 ? -moment.UtcOffset : moment.UtcOffset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d%c%02ld:%02ld", date.Year,
                  date.Month, date.Day, time.Hour, time.Minute, time.Second,
                  moment.UtcOffset < 0 ? '-' : '+', offset / 3600, offset / 60 % 60);
    return text;
}

std::string ScheduleFileOf(const std::string& command, const TArguments& options) {
    if (options.Positional.size() > 1)
        throw UsageError(command, "more than one FILE given");
    return options.Positional.empty() ? DesktopFiles().ScheduleFile : options.Positional.front();
}

std::int64_t RunNumberOption(const std::string& text, const std::string& option) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '-' || text[0] == '+' || error != std::errc() ||
        end != text.data() + text.size() || value < 1)
        throw EFailure(option + " wants the number of a run, as history lists it, not '" + text +
                       "'");
    return value;
}

int WholeNumberOption(const std::string& text, const std::string& option, int most) {
    bool digits = !text.empty() && text.size() <= 7 &&
                  text.find_first_not_of("0123456789") == std::string::npos;
    int value = digits ? std::stoi(text) : 0;
    if (value < 1 || value > most)
        throw EFailure(option + " wants a whole number from 1 to " + std::to_string(most) +
                       ", not '" + text + "'");
    return value;
}

std::string FormatMinute(TDateTime moment) {
    TDateParts date = DecodeDate(moment);
    TTimeParts time = DecodeTime(moment);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", date.Year, date.Month, date.Day,
                  time.Hour, time.Minute);
    return text;
}

} // namespace vantle::cli
