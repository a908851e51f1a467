// The GLUT display callback: one whole frame of the current state, drawn
// from the shell's state as idle left it (app/shell.h); it changes nothing.
// GLUT thread only.
#pragma once
#include "motion/pose.h"

// Draws the frame and swaps the buffers.
void display();

// display() without the flush and the swap: the frame stays in the back
// buffer (tests and the recording read it there).
void drawFrame();

// Where a scene frame drawn now shows the vehicles and the camera, from
// their last steps' poses and the clock's blend (motion/pose.h). Only once
// the scene is set up.
ScenePoses scenePosesNow();
