#include "engine/FailureWatch.h"

#include "platform/ProgramStarter.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"

namespace vantle {

std::optional<std::string> FailureText(const TRunEvent& event) {
    const std::string name = VisibleText(event.Name, TVisibleFor::Terminal);
    switch (event.Kind) {
    case TRunEvent::Failed:
        return name +
               " could not start: " + StartErrorMeaning(static_cast<std::uint32_t>(event.Code));
    case TRunEvent::NoNetwork:
        return name + " could not set the clock: no NetWare connection";
    case TRunEvent::ClockNotSet:
        return name + " could not set the clock: " + PlainErrorText(static_cast<int>(event.Code));
    default:
        return std::nullopt;
    }
}

void TFailureWatch::Attach(TSchedulerServices& services) {
    services.OnRunEvent = [this, told = services.OnRunEvent](const TRunEvent& event) {
        if (told)
            told(event);
        if (std::optional<std::string> text = FailureText(event); text && OnFailure)
            OnFailure(*text);
    };
}

} // namespace vantle
