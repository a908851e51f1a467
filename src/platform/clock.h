// The program's clock: seconds since it started, for the frame timing.
//
// It starts at CLOCK_START_SECONDS at the first reading and then follows the
// system's monotonic clock (which never jumps when the wall clock is set).
// Counting from the program's start rather than the machine's, in double
// precision, keeps sub-microsecond steps however long the machine or the
// program has been up: no coarsening after days, no wrap after 49.7 days.
// The start offset makes the first frame look like one long after the last
// report and step, so it reports and steps at once, as on a fresh boot.
// Any thread may call these; the frame timing reads it on the GLUT thread.
#pragma once
#include <cstdint>

constexpr double CLOCK_START_SECONDS = 1000.0;

// Seconds on the program's clock.
double clockSeconds();

// Test seams. setFakeSystemClock replaces the system's monotonic reading
// (nanoseconds since boot) so that uptimes of days and weeks can be played
// through the real arithmetic; setFakeClock replaces the program's clock
// itself (the recorder's virtual time). clearFakeClock returns to the real
// clock; restartClock makes the next reading the program's first again.
void setFakeSystemClock(uint64_t nanoseconds);
void setFakeClock(double seconds);
void clearFakeClock();
void restartClock();
