// A path sampled once at construction and handed out one sample per call.
//
// Every moving thing rides on one: the characters and the camera (one
// sample per simulation tick) and the title letters (two-point paths walked
// until they stop). All the arithmetic happens in the constructor; a call of
// nextSample is an array lookup and, for headings, one arctangent.
//
// Built on any thread (the scene's paths on the loader thread), then used by
// one thread at a time; nothing is locked.
#pragma once
#include "motion/pointfile.h"

class SplinePath {
public:
    // Type 3 (the only one): evenly sampled straight segments through
    // `points` (read only here). With n points, each of the n - 1 segments
    // gets sampleCount / (n - 1) samples starting at its first point; the
    // last point itself is never a sample. Samples the segments leave over
    // at the end copy the last computed one. One point: every sample is that
    // point with zero deltas; no points: every sample is the origin. Other
    // types compute nothing and are treated like no points. `unused1`,
    // `unused2` are kept for the callers' shape; pass 0. A negative sample
    // count is taken as 0.
    SplinePath(int pointCount, const Vec3d* points, int sampleCount, int type, int unused1,
               int unused2);
    ~SplinePath();

    // Writes sample `cursor` to *position. With stopAtEnd at the last sample
    // it returns false and writes nothing else. Otherwise it writes the
    // deltas (raw) or the heading in degrees, 90..270 (not raw; 180 where
    // the sample does not move in x or z), to whichever of outA/outB/outC is
    // not null, the index to *index, moves the cursor on (wrapping to 0
    // unless stopAtEnd) and returns true. A path of no samples hands out the
    // origin at index 0 and never moves.
    bool nextSample(Vec3d* position, double* outA, double* outB, double* outC, bool raw,
                    bool stopAtEnd, int* index);
    void rewind();
    // Next call hands out sample `index` (kept within 0..sampleCount - 1).
    void seek(int index);

    int controlCount = 0;            // entries of controlPoints; 0 for type 3
    int sampleCount = 0;             // S, as requested
    Vec3d* positions = nullptr;      // S sample positions, scene units
    Vec3d* controlPoints = nullptr;  // none for type 3
    double* slopeX = nullptr;        // S entries: x change over z change
    double* deltaX = nullptr;        // S entries: x change to the next sample
    double* deltaY = nullptr;        // S entries: y change to the next sample
    double* deltaZ = nullptr;        // S entries: z change to the next sample
    int cursor = 0;                  // sample the next nextSample hands out

    SplinePath(const SplinePath&) = delete;
    SplinePath& operator=(const SplinePath&) = delete;

private:
    // Fills samples from..S-1 with copies of sample from-1 (or of `fill`
    // with zero deltas when from is 0).
    void fillTail(int from, const Vec3d& fill);
};
