// The program's window: its one-time set-up, size and projection.
#pragma once

// The window's size in pixels, as last given to reshape (its only writer).
struct WindowSize {
    int windowWidth = 800;
    int windowHeight = 600;
};
extern WindowSize windowSize;

// Vertical field of view in degrees, and the near and far planes of every
// state but the title's.
constexpr double FIELD_OF_VIEW = 90.0;
constexpr double SCENE_NEAR = 1.0;
constexpr double SCENE_FAR = 10000.0;

// One-time initialisation after the window exists: music (unless
// `withSound` is false: --mute opens no sound at all), title light, title
// lettering, title OpenGL state. Ends the program when the title's backdrop
// cannot be read.
void initDemo(bool withSound = true);

// GLUT reshape callback: viewport and perspective projection.
void reshape(int width, int height);
