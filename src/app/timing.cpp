// The program's clock: one idle call per drawn frame, a frames-per-second
// report once a second, and the fixed 1/30 s simulation tick.
//
// Times are single-precision seconds and the thresholds are compared strictly
// on them, so the tick stays below 30 per second and late ticks are dropped
// rather than made up (a slow machine plays the scene in slow motion).
#include "app/timing.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/loader.h"
#include "app/states.h"
#include "platform/clock.h"

FrameClock frameClock;

void (*requestRedisplay)() = glutPostRedisplay;

namespace {
constexpr float MILLISECONDS_TO_SECONDS = 0.001f;
constexpr float FPS_REPORT_INTERVAL = 1.0f;
constexpr float TICK_INTERVAL = 1.0f / 30.0f;  // 0.033333335 as a float
}  // namespace

void idle() {
    // Paused: no clock reading, so the first call afterwards sees the whole
    // pause as one step, reports at once and ticks exactly once.
    if (demo.paused) return;
    FrameClock& c = frameClock;

    c.currentTime = static_cast<float>(clockMilliseconds()) * MILLISECONDS_TO_SECONDS;
    c.frameCounter += 1.0f;

    if (c.currentTime - c.lastFpsTime > FPS_REPORT_INTERVAL) {
        c.lastFpsTime = c.currentTime;
        const int figure = static_cast<int>(c.frameCounter);
        std::printf("Current Frames Per Second: %d\n", figure);
        c.framesPerSecond = figure;
        c.frameCounter = 0.0f;
    }

    // The new reference is now, not the old one plus a tick: no catching up.
    if (c.currentTime - c.lastTickTime > TICK_INTERVAL) {
        c.lastTickTime = c.currentTime;
        simulationStep(script, sceneObjects, demo.demoState == STATE_SCENE);
    }

    requestRedisplay();
}
