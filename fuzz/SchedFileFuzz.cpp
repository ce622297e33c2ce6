// The schedule file's reader and writer agree: whatever the reader makes of any
// bytes, saving it and reading that back gives the same entries and the same text.
#include "sched/SchedFile.h"
#include "sched/Schedule.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using vantle::TSchedule;

namespace {

using TEntries = std::vector<std::unique_ptr<TSchedule>>;

std::vector<const TSchedule*> View(const TEntries& entries) {
    std::vector<const TSchedule*> view;
    view.reserve(entries.size());
    for (const auto& entry : entries)
        view.push_back(entry.get());
    return view;
}

// What a save keeps of an entry: a built-in entry has no program lines in the file.
TSchedule AsSaved(const TSchedule& entry) {
    TSchedule saved = entry;
    if (saved.CommandType == vantle::ctBuiltinResetTime) {
        saved.Command.clear();
        saved.Parms.clear();
        saved.WorkDir.clear();
    }
    return saved;
}

[[noreturn]] void Fail(const char* what, std::size_t index) {
    std::fprintf(stderr, "schedule file round trip: %s (entry %zu)\n", what, index);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    TEntries first = vantle::ParseScheduleFile(input);
    std::string text = vantle::FormatScheduleFile(View(first));

    TEntries second = vantle::ParseScheduleFile(text);
    if (second.size() != first.size())
        Fail("a second read gives another number of entries", second.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        // The reader never yields a value a save cannot carry (no CR or LF, no Ctrl-Z, no
        // blank inside a time field), so everything but a built-in's program survives.
        if (vantle::EntriesDiffer(AsSaved(*first[i]), *second[i]))
            Fail("an entry changed on save and reload", i);
    }
    if (vantle::FormatScheduleFile(View(second)) != text)
        Fail("saving the reloaded entries gives other text", 0);
    return 0;
}
