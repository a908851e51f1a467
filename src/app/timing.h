// The frame clock: frames-per-second figure and the fixed simulation tick.
#pragma once

// All written by idle() on the GLUT thread; times in seconds as floats.
extern float currentTime;     // clock at the start of the last idle call
extern float frameCounter;    // frames since the last figure was reported
extern float lastFpsTime;     // currentTime at the last report
extern float lastTickTime;    // currentTime at the last simulation step
extern int framesPerSecond;   // last reported figure, drawn on screen

// How idle asks for the next frame; glutPostRedisplay unless a test, which
// has no window, puts its own recorder here. GLUT thread only.
extern void (*requestRedisplay)();

// GLUT idle callback: counts frames, reports the figure once a second,
// makes at most one simulation step per call, requests a redisplay.
// Does nothing at all while `paused` (states.h) is set.
void idle();
