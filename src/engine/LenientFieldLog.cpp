#include "engine/LenientFieldLog.h"

#include "platform/TextUtils.h"
#include "sched/LenientFields.h"

namespace vantle {

void LogLenientFields(TLog& log, TSchedList& list) {
    if (list.MixedLineEnds())
        log.WriteLine(list.FileName() +
                      ": mixed line ends; every line feed ends a line; the next save writes CR LF");
    for (std::int32_t i = 0; i < list.Count(); ++i) {
        const TSchedule& entry = list.Items(i);
        for (const TLenientField& field : LenientFields(entry))
            log.WriteLine(entry.Name + ": field " + field.Name + " " + Quoted(field.Text) +
                          " reads as " + Quoted(field.ReadsAs) + " (see check)");
    }
}

} // namespace vantle
