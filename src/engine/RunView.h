// The run records as the views read them (the window's grid and Run History): a
// read-only connection of their own, opened when first wanted and tried again while it
// cannot be, which never waits for the scheduler's writes or anybody's lock.
#pragma once

#include "engine/RunStore.h"

#include <memory>
#include <string>

namespace vantle {

class TRunView {
public:
    TRunView(std::string folder, std::string scheduleFile);

    /// The store, opened now when it was not; raises what opening it raises (ERunStore,
    /// Missing, while nothing has been recorded yet).
    const TRunStore& Store();
    /// The store, or null while it cannot be opened.
    const TRunStore* TryStore() noexcept;

private:
    std::string FFolder;
    std::string FScheduleFile;
    std::unique_ptr<TRunStore> FStore;
};

} // namespace vantle
