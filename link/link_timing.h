// How long the link waits: its pauses between attempts, its read time-outs and the update
// procedure's fixed pauses. All of them are the logger's real times, unless a tool that drives
// a simulated logger (the power-cut sweep, the fault soak, the fuzz targets) divides every
// wait by one process-wide factor to run thousands of updates in reasonable time. Nothing that
// talks to a real logger ever changes it, so it stays a setting of the whole process rather than
// of one run: every run in a test tool's process is simulated alike.
#pragma once

#include <chrono>

namespace pelion {

// 1 (the default) keeps the real waits; a divisor below 1 counts as 1.
void setLinkTimeDivisor(int divisor);
int linkTimeDivisor();

// `real` divided by the divisor, rounded down (a wait can become 0).
std::chrono::milliseconds linkWait(std::chrono::milliseconds real);

}  // namespace pelion
