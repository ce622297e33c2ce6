// The scheduler's services made of stand-ins: programs are recorded, not started; the
// clock is recorded, not set; the network is a switch; the log can be made to fail.
#pragma once

#include "engine/Scheduler.h"
#include "platform/SysErrors.h"
#include "support/FakeClock.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <unistd.h>

namespace vantle::test {

struct TStartRequest {
    std::string File, Parameters, Directory;
    int Show = 0;
    bool operator==(const TStartRequest&) const = default;
};

class TRecordingStarter : public TProgramStarter {
public:
    std::uint32_t StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showCommand) override {
        Requests.push_back({file, parameters, directory, showCommand});
        if (OnStart)
            OnStart();
        return Result;
    }
    TStartResult Start(const std::string& file, const std::string& parameters,
                       const std::string& directory, int showCommand, int outputFd) override {
        OutputFds.push_back(outputFd);
        std::uint32_t code = StartProgram(file, parameters, directory, showCommand);
        return {code, code > 32 ? Pid : 0};
    }
    /// A start with extras keeps them, and what its input held.
    TStartResult StartWith(const std::string& file, const std::string& parameters,
                           const std::string& directory, int showCommand, int outputFd,
                           const TStartExtras& extras) override {
        Extras.push_back(extras);
        std::string input;
        char buffer[4096];
        for (ssize_t n;
             extras.InputFd >= 0 && (n = ::read(extras.InputFd, buffer, sizeof buffer)) > 0;)
            input.append(buffer, std::size_t(n));
        Inputs.push_back(input);
        return Start(file, parameters, directory, showCommand, outputFd);
    }
    std::vector<TStartRequest> Requests;
    std::vector<TStartExtras> Extras;
    std::vector<std::string> Inputs;
    std::uint32_t Result = SE_START_ACCEPTED;
    int Pid = 0;                // told for an accepted start
    std::vector<int> OutputFds; // where each start's output went
    std::function<void()> OnStart;
};

class TRecordingClockSetter : public TClockSetter {
public:
    int SetSystemTime(const TSystemTime& utc) override {
        Records.push_back(utc);
        return Error;
    }
    std::vector<TSystemTime> Records;
    int Error = 0; // what the platform answers; EPERM plays a user without the right
};

/// Mains power and a network as the test says.
class TFixedConditions final : public TRunConditions {
public:
    bool OnMains() const override { return Mains; }
    bool HasNetwork() const override { return Network; }
    bool Mains = true, Network = true;
};

/// Owns every stand-in; Services() hands them to a scheduler, which must not outlive it.
class TFakeServices {
public:
    TSchedulerServices Services();

    TFakeClock Clock;
    TFormatSettings Settings = FixedFormatSettings();
    TRecordingStarter Starter;
    TRecordingClockSetter ClockSetter;
    TFixedConditions Conditions;
    bool NetAvailable = false;
    TDateTime ServerTime = 0;
    int ServerReads = 0;
    std::string ExecutablePath; // names the log
    std::string LogPath;
    /// The log writes its file and keeps the messages here; it fails every line from
    /// the `FailLogFrom`th kept one on (none while negative), as a log on a full disk.
    std::vector<std::string> LogLines;
    int FailLogFrom = -1;
    int LogFailures = 0;
};

class TTestLog : public TLog {
public:
    TTestLog(const std::string& path, TFakeServices& fake) : TLog(path, fake.Clock), F(fake) {}
    void WriteLine(const std::string& message) override {
        if (F.FailLogFrom >= 0 && static_cast<int>(F.LogLines.size()) >= F.FailLogFrom) {
            ++F.LogFailures;
            throw EInOutError(5);
        }
        TLog::WriteLine(message);
        F.LogLines.push_back(message);
    }

private:
    TFakeServices& F;
};

class TFakeSession : public TNetSession {
public:
    explicit TFakeSession(TFakeServices& fake) : F(fake) {}
    bool NetAvailable() const override { return F.NetAvailable; }
    TDateTime ServerDate() override {
        ++F.ServerReads;
        return F.ServerTime;
    }

private:
    TFakeServices& F;
};

inline TSchedulerServices TFakeServices::Services() {
    TSchedulerServices services;
    services.Clock = &Clock;
    services.Environment = &ProcessEnvironment();
    services.Starter = &Starter;
    services.ClockSetter = &ClockSetter;
    services.FormatSettings = &Settings;
    services.Conditions = &Conditions;
    services.MakeSession = [this] { return std::make_unique<TFakeSession>(*this); };
    services.MakeLog = [this](const std::string& path) {
        LogPath = path;
        return std::make_unique<TTestLog>(path, *this);
    };
    services.ExecutablePath = ExecutablePath;
    return services;
}

/// Whether another thread can take the list's lock now. A pass that kept it on this
/// thread is given it back here, so the probe can end either way.
inline bool LockIsFree(TSchedList& list) {
    std::atomic<bool> taken{false};
    std::thread probe([&] {
        list.Lock();
        taken = true;
        list.Unlock();
    });
    for (int i = 0; i < 500 && !taken; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bool free = taken;
    if (!free)
        list.Unlock();
    probe.join();
    return free;
}

} // namespace vantle::test
