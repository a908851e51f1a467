// The program's clock: one idle call per drawn frame, a frames-per-second
// report once a second, and the fixed 1/30 s simulation tick.
//
// The thresholds are compared strictly, so the tick stays below 30 per second
// and late ticks are dropped rather than made up (a slow machine plays the
// scene in slow motion). The clock counts from the program's start in double
// precision, so the tick keeps its pace however long the machine has been up.
#include "app/timing.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/desktop.h"
#include "app/loader.h"
#include "app/states.h"
#include "platform/clock.h"

FrameClock frameClock;

void (*requestRedisplay)() = glutPostRedisplay;

namespace {
constexpr double FPS_REPORT_INTERVAL = 1.0;
constexpr double TICK_INTERVAL = 1.0 / 30.0;
}  // namespace

namespace {

void advanceClock(bool drawnFrame) {
    // Paused: no clock reading, so the first call afterwards sees the whole
    // pause as one step, reports at once and ticks exactly once.
    endWhenRequested();
    if (demo.paused) return;
    FrameClock& c = frameClock;

    c.currentTime = clockSeconds();
    if (drawnFrame) ++c.frameCounter;

    if (c.currentTime - c.lastFpsTime > FPS_REPORT_INTERVAL) {
        c.lastFpsTime = c.currentTime;
        std::printf("Current Frames Per Second: %d\n", c.frameCounter);
        c.framesPerSecond = c.frameCounter;
        c.frameCounter = 0;
    }

    // The new reference is now, not the old one plus a tick: no catching up.
    if (c.currentTime - c.lastTickTime > TICK_INTERVAL) {
        c.lastTickTime = c.currentTime;
        simulationStep(script, sceneObjects, demo.demoState == STATE_SCENE);
    }

    if (drawnFrame) requestRedisplay();
}

}  // namespace

void idle() { advanceClock(true); }

void idleBetweenFrames() { advanceClock(false); }
