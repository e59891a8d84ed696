// The clocks of time management and of speed reports.
#pragma once

#include <cstdint>

// Milliseconds of wall-clock time (seconds * 1000 + milliseconds of the time of day).
int64_t wallClockMs();
// Milliseconds of processor time used by the process.
int64_t cpuClockMs();
