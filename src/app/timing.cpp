// The program's clock: one idle call per drawn frame, a frames-per-second
// report once a second, and the fixed 1/30 s simulation tick.
//
// Times are single-precision seconds and the thresholds are compared strictly
// on them, so the tick stays below 30 per second and late ticks are dropped
// rather than made up (a slow machine plays the scene in slow motion).
#include "app/timing.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/states.h"
#include "motion/simulation.h"
#include "platform/clock.h"

float currentTime = 0.0f;
float frameCounter = 0.0f;
float lastFpsTime = 0.0f;
float lastTickTime = 0.0f;
int framesPerSecond = 0;

void (*requestRedisplay)() = glutPostRedisplay;

namespace {
constexpr float MILLISECONDS_TO_SECONDS = 0.001f;
constexpr float FPS_REPORT_INTERVAL = 1.0f;
constexpr float TICK_INTERVAL = 1.0f / 30.0f;  // 0.033333335 as a float
}  // namespace

void idle() {
    // Paused: no clock reading, so the first call afterwards sees the whole
    // pause as one step, reports at once and ticks exactly once.
    if (paused) return;

    currentTime = static_cast<float>(clockMilliseconds()) * MILLISECONDS_TO_SECONDS;
    frameCounter += 1.0f;

    if (currentTime - lastFpsTime > FPS_REPORT_INTERVAL) {
        lastFpsTime = currentTime;
        const int figure = static_cast<int>(frameCounter);
        std::printf("Current Frames Per Second: %d\n", figure);
        framesPerSecond = figure;
        frameCounter = 0.0f;
    }

    // The new reference is now, not the old one plus a tick: no catching up.
    if (currentTime - lastTickTime > TICK_INTERVAL) {
        lastTickTime = currentTime;
        simulationStep();
    }

    requestRedisplay();
}
