// Tells the log which time fields of the loaded schedule read as something else than
// they say, so cron text written by hand does not run at other times unseen.
#pragma once

#include "engine/Log.h"
#include "sched/SchedList.h"

namespace vantle {

/// First, for a file that ends lines both ways, "FILE: mixed line ends; every line feed
/// ends a line; the next save writes CR LF". Then one line for each such field of every entry:
/// "NAME: field Minutes '*/15' reads as '0' (see check)". The caller holds the list's lock.
void LogLenientFields(TLog& log, TSchedList& list);

} // namespace vantle
