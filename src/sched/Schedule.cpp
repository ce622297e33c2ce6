#include "sched/Schedule.h"

#include "sched/TimeField.h"

namespace vantle {

TDueMoment SplitMoment(TDateTime moment) {
    TDateParts date = DecodeDate(moment);
    TTimeParts time = DecodeTime(moment);
    TDueMoment parts;
    parts.Minute = time.Minute;
    parts.Hour = time.Hour;
    parts.Day = date.Day;
    parts.Month = date.Month;
    parts.WeekDay = WeekDayOf(moment);
    return parts;
}

bool IsDue(const TSchedule& entry, const TDueMoment& moment) {
    return entry.Active && FieldMatches(moment.Minute, entry.Minutes) &&
           FieldMatches(moment.Hour, entry.Hours) && FieldMatches(moment.Day, entry.Days) &&
           FieldMatches(moment.Month, entry.Months) && FieldMatches(moment.WeekDay, entry.WeekDays);
}

bool IsDue(const TSchedule& entry, TDateTime moment) {
    if (!entry.Active)
        return false;
    return IsDue(entry, SplitMoment(moment));
}

bool EntriesDiffer(const TSchedule& a, const TSchedule& b) {
    return a.Name != b.Name || a.Minutes != b.Minutes || a.Hours != b.Hours || a.Days != b.Days ||
           a.Months != b.Months || a.WeekDays != b.WeekDays || a.Command != b.Command ||
           a.Parms != b.Parms || a.WorkDir != b.WorkDir || a.CommandType != b.CommandType ||
           a.WinState != b.WinState || a.Comment != b.Comment || a.Active != b.Active;
}

void CopyEntry(TSchedule& target, const TSchedule& source) {
    if (&target == &source)
        return;
    target.Name = source.Name;
    target.Minutes = source.Minutes;
    target.Hours = source.Hours;
    target.Days = source.Days;
    target.Months = source.Months;
    target.WeekDays = source.WeekDays;
    target.Command = source.Command;
    target.Parms = source.Parms;
    target.WorkDir = source.WorkDir;
    target.CommandType = source.CommandType;
    target.WinState = source.WinState;
    target.Comment.assign(source.Comment.begin(), source.Comment.end());
    target.Active = source.Active;
}

} // namespace vantle
