// The program's clock: seconds as a double from the program's start.
#pragma once

// Where the program's clock starts: far enough from 0 that the first frame
// reports its figure and makes its step at once (both compare against 0).
constexpr double START_SECONDS = 2.0;

// Seconds on the program's clock: START_SECONDS at the first reading, then
// counting the monotonic system clock. Any thread may call it.
double clockSeconds();

// Test seam (and the recording's virtual clock): while set, clockSeconds()
// returns `seconds` instead of reading the system clock. clearFakeClock()
// returns to the real clock.
void setFakeClock(double seconds);
void clearFakeClock();
