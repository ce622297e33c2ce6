#include "engine/FailureWatch.h"

#include "platform/ProgramStarter.h"
#include "platform/SysErrors.h"

namespace vantle {

std::optional<std::string> FailureText(const TRunEvent& event) {
    switch (event.Kind) {
    case TRunEvent::Failed:
        return event.Name +
               " could not start: " + StartErrorMeaning(static_cast<std::uint32_t>(event.Code));
    case TRunEvent::NoNetwork:
        return event.Name + " could not set the clock: no NetWare connection";
    case TRunEvent::ClockNotSet:
        return event.Name +
               " could not set the clock: " + PlainErrorText(static_cast<int>(event.Code));
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
