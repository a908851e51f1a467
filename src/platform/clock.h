// The millisecond clock of the frame timing.
#pragma once
#include <cstdint>

// Milliseconds from an arbitrary origin as an unsigned 32-bit count of a
// monotonic clock (it wraps after about 49 days, as 32-bit counts do).
// Any thread may call it.
uint32_t clockMilliseconds();

// Test seam: while set, clockMilliseconds() returns `ms` instead of reading
// the system clock. clearFakeClock() returns to the real clock.
void setFakeClock(uint32_t ms);
void clearFakeClock();
