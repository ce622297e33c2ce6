// How the windows show a moment: one format for all of them, the regional settings' short
// date and time of day, so a run reads the same in the grid, Upcoming and Run History.
#pragma once

#include "platform/DateTime.h"

#include <string>

class QAbstractItemView;

namespace vantle {

struct TFormatSettings;

enum class TMomentDetail {
    Minute, // what is planned or was tested: the scheduler works in whole minutes
    Second  // what happened: a run's start, which the log and `history` stamp to the second
};

/// The date and the time of day, as "12/7/2026 7:25 PM" or "07.12.2026 19:25:05".
std::string MomentText(TDateTime moment, const TFormatSettings& settings,
                       TMomentDetail detail = TMomentDetail::Minute);
/// The time of day alone, to the minute, where the day goes without saying.
std::string TimeOfDayText(TDateTime moment, const TFormatSettings& settings);
/// MomentText with the short weekday name before it, for a list one checks by weekdays;
/// without `withYear`, the date leaves its year out (and what marks it as the year).
std::string WeekdayMomentText(TDateTime moment, const TFormatSettings& settings,
                              bool withYear = true);
/// The width a column of `view` takes to show the widest MomentText of these settings
/// whole, as the view measures a cell.
int MomentColumnWidth(const QAbstractItemView& view, const TFormatSettings& settings,
                      TMomentDetail detail = TMomentDetail::Minute);

} // namespace vantle
