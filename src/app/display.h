// The GLUT display callback: one whole frame of the current state, drawn
// from the shell's state as idle left it (app/shell.h); it changes nothing.
// GLUT thread only.
#pragma once

// Draws the frame and swaps the buffers.
void display();

// display() without the flush and the swap: the frame stays in the back
// buffer (tests and the recording read it there).
void drawFrame();
