// Expansion of the $-tokens in an entry's parameters.
#pragma once

#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/FormatSettings.h"

#include <cstddef>
#include <string>

namespace vantle {

class TParameterExpander {
public:
    TParameterExpander(const TClock& clock, const TEnvironment& environment,
                       const TFormatSettings& settings);

    /// $D $N $T $Y $V $$ with offsets and a bracketed argument; raises EConvertError
    /// "Invalid argument to date encode" where a date cannot be built.
    std::string ExpandParameters(const std::string& text) const;
    /// Reads the run of offsets at `pos` (0-based), returns now shifted by them, and
    /// moves `pos` past them.
    TDateTime ApplyTimeOffsets(const std::string& text, std::size_t& pos) const;
    /// The variable's whole value, or empty text when not set.
    std::string GetEnvValue(const std::string& name) const;

private:
    const TClock& FClock;
    const TEnvironment& FEnvironment;
    const TFormatSettings& FSettings;
};

} // namespace vantle
