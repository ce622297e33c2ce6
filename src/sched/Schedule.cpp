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
    return !(a == b);
}

void CopyEntry(TSchedule& target, const TSchedule& source) {
    target = source;
}

const char* NulByteHolder(const TSchedule& entry) {
    if (entry.Command.find('\0') != std::string::npos)
        return "the command holds a NUL byte";
    if (entry.Parms.find('\0') != std::string::npos)
        return "the parameters hold a NUL byte";
    if (entry.WorkDir.find('\0') != std::string::npos)
        return "the working directory holds a NUL byte";
    for (const std::string& pair : entry.Environment)
        if (pair.find('\0') != std::string::npos)
            return "the environment holds a NUL byte";
    return nullptr;
}

} // namespace vantle
