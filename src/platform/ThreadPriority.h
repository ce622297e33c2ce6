// The priority of the calling thread among the machine's others.
#pragma once

namespace vantle {

constexpr int LoweredNice = 10;

/// Lowers the calling thread alone to LoweredNice, for work that may wait: the programs
/// the scheduler starts, and the scheduler itself, come first. An unprivileged thread
/// cannot raise it again. A thread already lower stays so; nothing changes where the
/// system refuses.
void LowerCallingThreadPriority();

} // namespace vantle
