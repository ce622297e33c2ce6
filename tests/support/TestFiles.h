// The files tests write and read: schedule files as another program writes them, log
// messages without their stamps, and the record the suite's argument recorder leaves.
#pragma once

#include "sched/SchedFile.h"
#include "support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace vantle::test {

struct TEntryText {
    std::string Name = {}, Time = "* * * * *";
    bool Active = true;
    int Type = 1, WinState = 0;
    std::string Command = {}, Parms = {}, WorkDir = {};
    std::string More = {}; // further lines, each with its CR LF
};

/// Every key of every entry, sections numbered from 0 and parted by a blank line.
inline std::string ScheduleText(const std::vector<TEntryText>& entries) {
    std::string text;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const TEntryText& e = entries[index];
        text += (index > 0 ? "\r\n[Schedule " : "[Schedule ") + std::to_string(index) +
                "]\r\nName=" + e.Name + "\r\nTime=" + e.Time +
                "\r\nActive=" + (e.Active ? "Yes" : "No") +
                "\r\nCommandType=" + std::to_string(e.Type) +
                "\r\nWinState=" + std::to_string(e.WinState) + "\r\nCommand=" + e.Command +
                "\r\nParms=" + e.Parms + "\r\nWorkDir=" + e.WorkDir + "\r\n" + e.More;
    }
    return text;
}

/// One section as a person writes it by hand: Name, Time and Active only.
inline std::string SectionText(int number, const std::string& name,
                               const std::string& time = "* * * * *",
                               const std::string& active = "Yes") {
    return "[Schedule " + std::to_string(number) + "]\r\nName=" + name + "\r\nTime=" + time +
           "\r\nActive=" + active + "\r\n";
}

/// The entry the text describes, made as the reader makes it.
inline std::unique_ptr<TSchedule> EntryOf(const TEntryText& text) {
    return std::move(ParseScheduleFile(ScheduleText({text})).at(0));
}

/// The lines of a log (or of output holding log lines) without their time stamps; a
/// line without one is kept as "| " and the line.
inline std::vector<std::string> LogMessages(const std::string& text) {
    static const std::regex Stamp(R"(^\d{4}\.\d\d\.\d\d \d\d\.\d\d\.\d\d:)");
    std::vector<std::string> messages;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        messages.push_back(std::regex_search(line, Stamp) ? line.substr(20) : "| " + line);
    }
    return messages;
}

/// What the argument recorder was started with; Args empty and WorkDir "(no record)"
/// when it left no record within 20 seconds.
struct TRecord {
    std::string WorkDir = "(no record)", Show, Stdio;
    pid_t Session = 0;
    std::vector<std::string> Args;
    /// VANTLE_ARGRECORDER_VARS's variables: "NAME=value", or "NAME" when not set.
    std::vector<std::string> Variables = {};
};

/// Polls `done` until it holds or `timeout` has passed; whether it held.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    for (auto deadline = std::chrono::steady_clock::now() + timeout; !done();
         std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

/// NUL-terminated fields, as the argument recorder writes them.
inline std::vector<std::string> RecordFields(const std::string& data) {
    std::vector<std::string> fields;
    for (std::size_t start = 0, end; (end = data.find('\0', start)) != std::string::npos;
         start = end + 1)
        fields.push_back(data.substr(start, end - start));
    return fields;
}

inline TRecord WaitForRecord(const std::string& path) {
    WaitUntil([&] { return std::filesystem::exists(path); }, std::chrono::seconds(20));
    std::vector<std::string> fields = RecordFields(ReadFile(path));
    if (fields.size() < 4)
        return {};
    return {fields[0],
            fields[1],
            fields[2],
            static_cast<pid_t>(std::stol(fields[3])),
            {fields.begin() + 4, fields.end()},
            std::filesystem::exists(path + ".vars") ? RecordFields(ReadFile(path + ".vars"))
                                                    : std::vector<std::string>{}};
}

} // namespace vantle::test
