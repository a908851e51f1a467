// The frame clock: frames-per-second figure and the fixed simulation tick.
#pragma once

// Written by idle() (and idleBetweenFrames()) only, on the GLUT thread; times in seconds of the
// program's clock (platform/clock.h).
struct FrameClock {
    double currentTime = 0.0;   // clock at the start of the last idle call
    int frameCounter = 0;       // frames since the last figure was reported
    double lastFpsTime = 0.0;   // currentTime at the last report
    double lastTickTime = 0.0;  // currentTime at the last simulation step
    int framesPerSecond = 0;    // last reported figure, drawn on screen
};
extern FrameClock frameClock;

// How idle asks for the next frame; glutPostRedisplay unless a test, which
// has no window, puts its own recorder here. GLUT thread only.
extern void (*requestRedisplay)();

// GLUT idle callback: counts frames, reports the figure once a second,
// makes at most one simulation step per call, requests a redisplay.
// Does nothing at all while paused.
void idle();

// idle() for a recording's clock between two frames: reports and steps
// alike, but counts no frame and asks for no redisplay, so the figure
// shows the frames drawn.
void idleBetweenFrames();
