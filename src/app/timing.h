// The frame clock: the frames-per-second figure, the scene's fixed 1/30 s
// steps and the screens' 1/60 s word-steps, read off the program's clock
// once per idle call. No window, no demo state: the shell applies what it
// returns.
//
// Two paces:
// - paced (the default): steps and word-steps follow the clock, several in
//   one call when frames are slow (at most a quarter second's worth; beyond
//   that the demo slows down rather than stalls), none ahead of it; what is
//   left over is the fraction of a step a frame is drawn at, between the
//   last two steps.
// - exact (--exact): at most one step per call, only when strictly more
//   than 1/30 s has passed since the last one, which restarts the interval
//   from now, so late steps are never made up; one word-step per drawn
//   frame. The scene keeps its designed speed at one frame rate only.
// In both, the figure is reported when strictly more than a second has
// passed since the last report, and counts the drawn frames since.
#pragma once
#include <cstdint>

constexpr double TICK_INTERVAL = 1.0 / 30.0;        // s per simulation step
constexpr double WORD_STEP_INTERVAL = 1.0 / 60.0;   // s per word-step of the screens
constexpr double MAX_CATCH_UP = 0.25;               // s of steps one call may make up
constexpr double FPS_REPORT_INTERVAL = 1.0;         // s
// lastPaceTime before the first reading and after a pause: the next reading
// starts the paced clock over, making up nothing.
constexpr double NO_PACE_TIME = -1.0;

// Written by advanceFrameClock (through idle, GLUT thread) but where a field
// says otherwise; times in seconds of the program's clock (platform/clock.h).
struct FrameClock {
    double currentTime = 0.0;        // clock at the last reading
    int frameCounter = 0;            // drawn frames since the last report
    double lastFpsTime = 0.0;        // currentTime at the last report
    double lastTickTime = 0.0;       // exact pace: currentTime at the last step
    int framesPerSecond = 0;         // last reported figure, drawn on screen
    double lastPaceTime = NO_PACE_TIME;  // paced: currentTime at the last reading
    double stepDue = 0.0;            // paced: clock not yet made into steps, 0..TICK_INTERVAL
    double wordStepDue = 0.0;        // paced: likewise for word-steps, 0..WORD_STEP_INTERVAL
    int64_t stepCount = 0;           // steps made since the start; the shell, as it makes them
};
extern FrameClock frameClock;  // the shell's (app/shell.h)

// What one reading asks of the shell.
struct ClockAdvance {
    int steps = 0;             // simulation steps to make now
    int wordSteps = 0;         // word-steps of the screens to make now
    bool reported = false;     // the figure was reported (printed by the caller)
};

// Reads `now` into the clock. `drawnFrame`: this call is followed by a
// frame (counted for the figure; under the exact pace it makes the word-step).
ClockAdvance advanceFrameClock(FrameClock& clock, double now, bool drawnFrame, bool exact);

// How far a frame drawn now lies between the last two steps (0 at the last
// step, towards 1 at the next), and likewise for the word-steps; 1 under
// the exact pace, which draws the last step as it is.
double stepBlend(const FrameClock& clock, bool exact);
double wordStepBlend(const FrameClock& clock, bool exact);
