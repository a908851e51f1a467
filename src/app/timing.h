// The frame clock: frames-per-second figure and the fixed simulation tick.
#pragma once

// Written by idle() only, on the GLUT thread; times in seconds as floats.
struct FrameClock {
    float currentTime = 0.0f;   // clock at the start of the last idle call
    float frameCounter = 0.0f;  // frames since the last figure was reported
    float lastFpsTime = 0.0f;   // currentTime at the last report
    float lastTickTime = 0.0f;  // currentTime at the last simulation step
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
