// The shell's one acting place: idle. The keyboard callback only records
// keys and the display callback only draws; every idle call, in this order:
//
//   1. ends the program when the desktop asked (app/desktop.h);
//   2. while the closing screen's last picture is held, waits (keys are
//      dropped: the program ends when the hold ends);
//   3. while paused, applies the keys (0 resumes, Escape closes) and waits;
//   4. sets up the scene in the call after the loader's end was seen;
//   5. reads the clock (app/timing.h): the figure, then the scene's steps,
//      each after noting where the vehicles and the camera were;
//   6. applies the keys pressed since the last call;
//   7. makes the screens' word-steps: the title's words, the loader's start
//      and end, the loading words, the closing words and the hold;
//   8. decides whether the next frame captures the overlay;
//   9. asks for a frame.
//
// A recording (app/record.h) or a test drives the same shell through
// ShellHooks instead of the window's. GLUT thread only.
#pragma once
#include "app/loader.h"

// What the shell asks of the world around it.
struct ShellHooks {
    // Ask for a frame: glutPostRedisplay in the window.
    void (*requestRedisplay)() = nullptr;
    // Start the loader's thread: the platform's startThread.
    ThreadStarter startThread = nullptr;
    // Hold the loader after its work until releaseLoader() (a recording
    // lets it end on a chosen frame).
    bool holdLoader = false;
    // The closing words have arrived and the frame showing them is asked
    // for. Null: the window holds that picture for five seconds and the
    // program ends.
    void (*closingEnded)() = nullptr;
    // Wait while nothing is to be drawn (paused): the platform's
    // sleepMilliseconds; a recording does not wait.
    void (*wait)(unsigned int milliseconds) = nullptr;
};

// The window's hooks.
ShellHooks windowHooks();
// Replaces the hooks (before the first idle call; a recording restores the
// old ones when it ends). Returns the previous ones.
ShellHooks setShellHooks(const ShellHooks& hooks);

// GLUT idle callback: the whole list above, for a frame to follow.
void idle();

// Before the window's first frame, which GLUT draws before any idle call:
// under the exact pace every frame has its word-step, that one too, made
// here as idle makes the others.
void beforeFirstFrame();

// For a recording's clock between two frames under the exact pace: steps 1
// and 4 to 5 only (the figure and the steps; no keys, word-steps or frame).
void idleBetweenFrames();

// Step 8 alone: whether the next frame captures the overlay, at the clock's
// `now` (seconds): at most overlayRate captures a second, while the overlay
// is on in the scene.
void decideOverlayCapture(double now);
