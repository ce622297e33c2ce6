#include "engine/FailureWatch.h"

#include <regex>

namespace vantle {

namespace {

// The shell's codes as the log records them, in the words of the old shell service.
std::string StartErrorText(long code) {
    switch (code) {
    case 0:
    case 8:
        return "out of memory";
    case 2:
        return "file not found";
    case 3:
        return "path not found";
    case 5:
        return "access denied";
    case 11:
        return "not an executable";
    case 31:
        return "no application for the document";
    default:
        return "error " + std::to_string(code);
    }
}

} // namespace

std::optional<std::string> FailureText(const std::string& logMessage) {
    static const std::regex Start(R"(^(.*) Failed \((\d{1,9})\)$)");
    static const std::regex NoNetwork(R"(^Builtin (.*) failed; no netware connection$)");
    std::smatch match;
    if (std::regex_match(logMessage, match, Start))
        return match[1].str() + " could not start: " + StartErrorText(std::stol(match[2].str()));
    if (std::regex_match(logMessage, match, NoNetwork))
        return match[1].str() + " could not set the clock: no NetWare connection";
    return std::nullopt;
}

class TFailureWatch::TWatchedLog : public TLog {
public:
    TWatchedLog(std::unique_ptr<TLog> inner, TFailureWatch& watch)
        : TLog(inner->FileName()), FInner(std::move(inner)), FWatch(watch) {}
    void WriteLine(const std::string& message) override {
        FInner->WriteLine(message);
        FWatch.Observe(message);
    }

private:
    std::unique_ptr<TLog> FInner;
    TFailureWatch& FWatch;
};

class TFailureWatch::TWatchedClockSetter : public TClockSetter {
public:
    TWatchedClockSetter(TClockSetter& inner, TFailureWatch& watch) : FInner(inner), FWatch(watch) {}
    bool SetSystemTime(const TSystemTime& utc) override {
        bool set = FInner.SetSystemTime(utc);
        if (!set)
            FWatch.ClockRefused();
        return set;
    }

private:
    TClockSetter& FInner;
    TFailureWatch& FWatch;
};

TFailureWatch::TFailureWatch() = default;
TFailureWatch::~TFailureWatch() = default;

void TFailureWatch::Attach(TSchedulerServices& services) {
    TSchedulerServices system;
    if (services.ClockSetter == nullptr || !services.MakeLog)
        system = SystemSchedulerServices();
    TClockSetter& setter =
        services.ClockSetter != nullptr ? *services.ClockSetter : *system.ClockSetter;
    FClockSetter = std::make_unique<TWatchedClockSetter>(setter, *this);
    services.ClockSetter = FClockSetter.get();
    auto makeLog = services.MakeLog ? services.MakeLog : system.MakeLog;
    services.MakeLog = [this, makeLog](const std::string& path) -> std::unique_ptr<TLog> {
        return std::make_unique<TWatchedLog>(makeLog(path), *this);
    };
}

void TFailureWatch::Observe(const std::string& message) {
    static const std::string Builtin = "Builtin ResetTime (";
    if (message.compare(0, Builtin.size(), Builtin) == 0 && message.back() == ')')
        FClockEntry = message.substr(Builtin.size(), message.size() - Builtin.size() - 1);
    if (std::optional<std::string> text = FailureText(message); text && OnFailure)
        OnFailure(*text);
}

void TFailureWatch::ClockRefused() {
    if (OnFailure)
        OnFailure(FClockEntry + " could not set the clock: not permitted");
}

} // namespace vantle
