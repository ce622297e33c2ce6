#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "engine/DateTimeFormat.h"
#include "engine/RunStore.h"
#include "engine/RunTexts.h"
#include "engine/Scheduler.h"
#include "platform/Environment.h"
#include "platform/TextUtils.h"

#include <cstdio>
#include <optional>
#include <ostream>

namespace vantle::cli {

namespace {

// A run's output as a terminal may show it: its lines and TABs as they are, any other
// control character as an escape, so no output can drive the terminal.
void PrintOutput(const std::string& output, std::ostream& out) {
    std::size_t from = 0;
    while (from < output.size()) {
        std::size_t end = output.find('\n', from);
        const std::size_t stop = end == std::string::npos ? output.size() : end;
        out << VisibleText(std::string_view(output).substr(from, stop - from),
                           TVisibleFor::Terminal)
            << '\n';
        from = stop + 1;
    }
}

} // namespace

int CmdHistory(const TArgs& args, std::ostream& out, std::ostream& err) {
    return Guarded("history", err, [&] {
        TArguments options = ReadArguments("history", args, {"--failed"},
                                           {"--entry", "--since", "--count", "--output"});
        const std::string path = ScheduleFileOf("history", options);
        std::optional<TRunStore> store;
        try {
            store.emplace(TRunStore::FolderOf(ProcessEnvironment()), path, TRunStoreMode::Reader);
        } catch (const ERunStore& error) {
            if (error.Missing() && !options.Value("--output"))
                return 0; // nothing has run yet
            throw EFailure(error.Message(), false);
        }
        if (std::optional<std::string> runText = options.Value("--output")) {
            const std::int64_t id = RunNumberOption(*runText, "--output");
            if (!store->Run(id))
                throw EFailure("no run " + *runText + " is on record for " + path);
            PrintOutput(store->ReadOutput(id), out);
            return 0;
        }
        TRunQuery query;
        query.Name = options.Value("--entry");
        query.FailuresOnly = options.Has("--failed");
        if (std::optional<std::string> since = options.Value("--since"))
            query.Since = ReadMoment(*since, "--since").Local;
        if (std::optional<std::string> count = options.Value("--count"))
            query.Count = static_cast<std::size_t>(WholeNumberOption(*count, "--count", 1000000));
        const TFormatSettings& settings = SystemFormatSettings();
        for (const TStoredRun& run : store->Runs(query))
            out << FormatDateTime("yyyy-mm-dd hh:nn:ss", run.Started, settings) << '\t'
                << VisibleText(run.Name, TVisibleFor::Terminal, true) << '\t'
                << VisibleText(ShownResult(run), TVisibleFor::Terminal, true) << '\t'
                << ShownDuration(run) << '\t' << run.Id << '\t' << ShownTrigger(run) << '\n';
        return 0;
    });
}

} // namespace vantle::cli
