// The schedule file's text format: the exact writer and the lenient reader.
#pragma once

#include "sched/Schedule.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantle {

/// Sections in list order, CR LF line ends, no separator after the last section;
/// an empty list gives empty text.
std::string FormatScheduleFile(const std::vector<const TSchedule*>& entries);

/// Reads any bytes leniently: CR ends a line (an LF right after it belongs to the line
/// end), a lone LF stays in the line, Ctrl-Z ends the file, unknown lines are skipped.
std::vector<std::unique_ptr<TSchedule>> ParseScheduleFile(std::string_view content);

} // namespace vantle
