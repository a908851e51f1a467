// Reader of the scene's point files (ASE-style text point lists).
//
// Layout of a file: a header line "<word> <count>", then `count` point
// lines of the shape <22-character lead-in><index>\t<X>\t<Y>\t<Z>. Lines are
// read at most 99 characters at a time; the rest of a longer line counts as
// the next line. Runs on the loader thread; no OpenGL.
#pragma once
#include <cstdio>

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

// Reads `fileName` into a new array (owned by the caller from then on) and
// returns the number of points. A file point (X, Y, Z) becomes (X, Z, -Y).
// A file that cannot be opened (or a directory in its place) logs one line
// "file not opened: <fileName> (<why>)" under "initAnimations", returns 0
// and leaves *points as it was.
//
// A file that opens always gets a new array through *points (empty when no
// point was read). A header of zero or a negative count returns that count
// and reads nothing more. A malformed file (header without a space, a point
// line without its three tabs after the lead-in, fewer point lines than the
// header promises) logs one "initAnimations" error naming the file and the
// line, and returns the points read before it.
int initAnimations(Vec3d** points, const char* fileName);

// The same reading from a stream that is already open (read from where it
// stands, not closed); `name` stands for the file in the log lines. Always
// stores a new array through *points.
int readPointStream(Vec3d** points, std::FILE* file, const char* name);

// The decimal number at the start of `text` (at most `length` characters
// are looked at): leading white space, an optional sign, digits with an
// optional fraction and exponent. Anything else ends the number; no number
// at all gives 0.0. Used for the point fields.
double parseDecimalField(const char* text, int length);
