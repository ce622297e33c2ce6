#include "engine/SchedulerCore.h"

namespace vantle {

TSchedulerCore::TSchedulerCore(const std::string& scheduleFile, TSchedulerServices services,
                               TRunLoopServices loopServices) {
    FList.SetFileName(scheduleFile);
    services.OnRunEvent = [this, told = std::move(services.OnRunEvent)](const TRunEvent& event) {
        FHistory.Apply(event);
        if (told)
            told(event);
        if (FControl)
            FControl->See(event);
    };
    if (loopServices.Clock == nullptr)
        loopServices.Clock = services.Clock;
    TRunView* runs = services.RunView;
    FScheduler = std::make_unique<TScheduler>(FList, std::move(services));
    // What ran before this start, as far as the records can be read without waiting.
    FHistory.ReadBack(runs != nullptr ? runs->TryStore() : nullptr, FScheduler->Log().FileName());
    FLoop = std::make_unique<TRunLoop>(*FScheduler, std::move(loopServices));
}

void TSchedulerCore::Save() {
    FList.Save();
    for (const std::string& warning : FList.SaveWarnings())
        FScheduler->Log().WriteLine(warning);
}

bool TSchedulerCore::TakeKeptChange() {
    return FKeptChanges.Take(FList);
}

void TSchedulerCore::SwitchOff() {
    FScheduler->SetEnabled(false);
}

void TSchedulerCore::ServeControl(const std::string& path, TControlServices services) {
    FControl =
        std::make_unique<TControlServer>(FList, *FScheduler, *FLoop, path, std::move(services));
    FLoop->WatchControl(FControl->Fd(), [this] { FControl->Handle(); });
}

} // namespace vantle
