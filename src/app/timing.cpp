#include "app/timing.h"

FrameClock frameClock;

namespace {

// Whole steps of `interval` in `due` (made up to `MAX_CATCH_UP` at most);
// `due` keeps the rest. The comparison allows for the rounding of sums of
// thirds, so a clock read at exact multiples of the interval (a recording's)
// makes its step on time rather than one frame late.
int takeSteps(double& due, double interval) {
    if (due > MAX_CATCH_UP) due = MAX_CATCH_UP;
    int steps = 0;
    while (due >= interval * (1.0 - 1e-9)) {
        due -= interval;
        ++steps;
    }
    if (due < 0.0) due = 0.0;
    return steps;
}

}  // namespace

ClockAdvance advanceFrameClock(FrameClock& c, double now, bool drawnFrame, bool exact) {
    ClockAdvance advance;
    c.currentTime = now;
    if (drawnFrame) ++c.frameCounter;

    if (c.currentTime - c.lastFpsTime > FPS_REPORT_INTERVAL) {
        c.lastFpsTime = c.currentTime;
        c.framesPerSecond = c.frameCounter;
        c.frameCounter = 0;
        advance.reported = true;
    }

    if (exact) {
        // The new reference is now, not the old one plus a tick: no catching up.
        if (c.currentTime - c.lastTickTime > TICK_INTERVAL) {
            c.lastTickTime = c.currentTime;
            advance.steps = 1;
        }
        advance.wordSteps = drawnFrame ? 1 : 0;
    } else {
        const double elapsed = c.lastPaceTime == NO_PACE_TIME ? 0.0 : now - c.lastPaceTime;
        c.lastPaceTime = now;
        if (elapsed > 0.0) {
            c.stepDue += elapsed;
            c.wordStepDue += elapsed;
        }
        advance.steps = takeSteps(c.stepDue, TICK_INTERVAL);
        advance.wordSteps = takeSteps(c.wordStepDue, WORD_STEP_INTERVAL);
    }
    return advance;
}

double stepBlend(const FrameClock& c, bool exact) {
    if (exact) return 1.0;
    const double t = c.stepDue / TICK_INTERVAL;
    return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
}

double wordStepBlend(const FrameClock& c, bool exact) {
    if (exact) return 1.0;
    const double t = c.wordStepDue / WORD_STEP_INTERVAL;
    return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
}
