// A path sampled once at construction and handed out one sample per call.
#pragma once
#include "motion/pointfile.h"

class SplinePath {
public:
    // Type 3: evenly sampled straight segments through `points` (read only
    // here). `unused1`, `unused2` are kept for the callers' shape; pass 0.
    SplinePath(int pointCount, const Vec3d* points, int sampleCount, int type, int unused1,
               int unused2);
    ~SplinePath();

    // Hands out sample `cursor` and moves on; see splinepath.cpp.
    // outA/outB/outC may be null. Returns false only with stopAtEnd at the
    // last sample.
    bool nextSample(Vec3d* position, double* outA, double* outB, double* outC, bool raw,
                    bool stopAtEnd, int* index);
    void rewind();
    void seek(int index);
    // Yellow line strip through the samples (GLUT thread).
    void drawLines() const;

    int controlCount = 0;
    int sampleCount = 0;
    Vec3d* positions = nullptr;
    Vec3d* controlPoints = nullptr;
    double* slopeX = nullptr;
    double* deltaX = nullptr;
    double* deltaY = nullptr;
    double* deltaZ = nullptr;
    int cursor = 0;

    SplinePath(const SplinePath&) = delete;
    SplinePath& operator=(const SplinePath&) = delete;
};
