// Reader of the scene's point files (ASE-style text point lists).
#pragma once

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

// Reads `fileName` into a new array (owned by the caller from then on) and
// returns the number of points. A file point (X, Y, Z) becomes (X, Z, -Y).
// A file that cannot be opened logs "file not opened\n" under
// "initAnimations", returns 0 and leaves *points as it was.
int initAnimations(Vec3d** points, const char* fileName);
