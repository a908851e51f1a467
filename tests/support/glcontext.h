// A real OpenGL context for drawing tests: one GLUT window per process,
// double-buffered RGB with depth and stencil, like the program's.
#pragma once

// Creates the window on first use (800 x 600 unless given) and makes it
// current. Returns false when no display is reachable.
bool ensureGlContext(int width = 800, int height = 600);

// Reads one pixel of the back buffer as 0..255 R, G, B.
void readPixel(int x, int y, unsigned char rgb[3]);
