// A crontab of 200 lines of the usual kinds imported: the reader alone, and the whole
// `vantle-schedctl import` into a new schedule (read, convert, save). Goal: under 100 ms.
#include "cli/Commands.h"
#include "sched/CrontabImport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace vantle;

// Ten kinds of line, twenty of each: plain fields, steps and names, both day fields (two
// entries), nicknames, @reboot, settings, a % line (refused), a line that never runs (the
// search for a date goes through 400 years), a comment.
std::string Crontab() {
    std::string text;
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        text += "# job group " + n + "\n";
        text += "PATH=/usr/local/bin:/usr/bin:/bin:/opt/group" + n + "\n";
        text += std::to_string(i % 60) + " 2 * * 1-5 /usr/local/bin/backup --to /mnt/b" + n +
                " >/dev/null 2>&1\n";
        text += "*/15 9-17 * jan-jun mon-fri $HOME/bin/check-" + n + "\n";
        text += "0 9 1,15 * mon /usr/local/bin/report --month " + n + "\n";
        text += "@daily find /tmp/" + n + " -name 'core.*' -mtime +7 -delete\n";
        text += "@reboot mbsync -a -c ~/.mbsyncrc-" + n + "\n";
        text += "5 4 * * 7 date +\\%F >> $HOME/sundays-" + n + ".log\n";
        text += "0 8 * * * echo hi | mail -s \"day %" + n + "\" ann\n";
        text += "0 0 30 2 * never-" + n + "\n"; // valid, but no date has it
    }
    return text;
}

void BM_ReadCrontab(benchmark::State& state) {
    const std::string text = Crontab();
    TCrontabImportOptions options;
    options.LocalZone = "Etc/UTC";
    options.IsUserName = [](std::string_view word) { return word == "root"; };
    std::size_t entries = 0;
    for (auto _ : state) {
        TCrontabImport result = ImportCrontab(text, options);
        entries = result.Entries.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["lines"] = 200;
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_ReadCrontab)->Unit(benchmark::kMillisecond);

// The whole command: the crontab read from a file, every line's verdict said, the
// schedule created and saved (temporary file, fsync, rename).
void BM_ImportCommand(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "vantle-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        std::abort();
    const std::string crontab = folder + "/crontab";
    const std::string schedule = folder + "/schedule.INI";
    std::ofstream(crontab) << Crontab();
    for (auto _ : state) {
        std::filesystem::remove(schedule);
        std::ostringstream out, err;
        const int code = cli::RunSchedCtl({"import", "--from", crontab, schedule}, out, err);
        if (code != 1) // some lines are not imported, by design
            state.SkipWithError(err.str().c_str());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ImportCommand)->Unit(benchmark::kMillisecond);

} // namespace
