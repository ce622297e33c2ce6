// The date-time pattern language shared by parameters, the log and the status bar.
#pragma once

#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <string>

namespace vantle {

/// Formats `value` by `pattern`: d/dd/ddd/dddd/ddddd/dddddd, m.. (minute after h),
/// y, h (12-hour before am/pm), n, s, z, t, tt, c, am/pm, a/p, ampm, /, :, quoted text.
std::string FormatDateTime(const std::string& pattern, TDateTime value,
                           const TFormatSettings& settings);

} // namespace vantle
