// The platform layer: clocks and non-blocking line input. Nothing else in the
// program includes system headers for these.
#pragma once

#include <cstdint>
#include <string>

// Milliseconds of wall-clock time (seconds * 1000 + milliseconds of the time of day).
int64_t wallClockMs();
// Milliseconds of processor time used by the process.
int64_t cpuClockMs();
