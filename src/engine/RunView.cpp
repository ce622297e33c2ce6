#include "engine/RunView.h"

namespace vantle {

TRunView::TRunView(std::string folder, std::string scheduleFile)
    : FFolder(std::move(folder)), FScheduleFile(std::move(scheduleFile)) {}

const TRunStore& TRunView::Store() {
    if (!FStore)
        FStore = std::make_unique<TRunStore>(FFolder, FScheduleFile, TRunStoreMode::Reader);
    return *FStore;
}

const TRunStore* TRunView::TryStore() noexcept {
    try {
        return &Store();
    } catch (...) {
        return nullptr;
    }
}

} // namespace vantle
