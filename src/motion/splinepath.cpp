#include "motion/splinepath.h"

#include <cmath>

namespace {

// The only construction the scene uses: straight segments, evenly sampled.
constexpr int TYPE_SEGMENTS = 3;
constexpr double DEGREES_PER_RADIAN = 57.29577951308232;

}  // namespace

SplinePath::SplinePath(int pointCount, const Vec3d* points, int samples, int type, int, int) {
    sampleCount = samples > 0 ? samples : 0;
    controlCount = 0;
    positions = new Vec3d[sampleCount];
    slopeX = new double[sampleCount];
    deltaX = new double[sampleCount];
    deltaY = new double[sampleCount];
    deltaZ = new double[sampleCount];
    controlPoints = new Vec3d[0];
    cursor = 0;

    int computed = 0;
    if (type == TYPE_SEGMENTS && points && pointCount > 1) {
        const int segments = pointCount - 1;
        const int per = sampleCount / segments;
        for (int k = 0; k < segments && per > 0; ++k) {
            const Vec3d& p0 = points[k];
            const Vec3d& p1 = points[k + 1];
            // The quadratic through the midpoint is a straight line walked at
            // even speed: the samples are spaced (p1 - p0) / per apart.
            Vec3d m;
            m.x = (p1.x - p0.x) * 0.5 + p0.x;
            m.y = (p1.y - p0.y) * 0.5 + p0.y;
            m.z = (p1.z - p0.z) * 0.5 + p0.z;
            const double dx = (p1.x - p0.x) / per;
            const double dy = (p1.y - p0.y) / per;
            const double dz = (p1.z - p0.z) / per;
            for (int j = 0; j < per; ++j) {
                const int i = k * per + j;
                const double t = static_cast<double>(j) / per;
                const double u = 1.0 - t;
                const double uu = std::pow(u, 2.0);
                const double tt = std::pow(t, 2.0);
                positions[i].x = uu * p0.x + 2.0 * u * t * m.x + tt * p1.x;
                positions[i].y = uu * p0.y + 2.0 * u * t * m.y + tt * p1.y;
                positions[i].z = uu * p0.z + 2.0 * u * t * m.z + tt * p1.z;
                deltaX[i] = dx;
                deltaY[i] = dy;
                deltaZ[i] = dz;
                slopeX[i] = dx / dz;
            }
        }
        computed = segments * per;
    }
    // Without a computed sample the path stands on its first point (or on
    // the origin when there is none), so nothing that rides on it jumps.
    Vec3d rest;
    if (points && pointCount > 0) rest = points[0];
    fillTail(computed, rest);
}

SplinePath::~SplinePath() {
    delete[] positions;
    delete[] controlPoints;
    delete[] slopeX;
    delete[] deltaX;
    delete[] deltaY;
    delete[] deltaZ;
    positions = nullptr;
    controlPoints = nullptr;
    slopeX = deltaX = deltaY = deltaZ = nullptr;
}

void SplinePath::fillTail(int from, const Vec3d& fill) {
    for (int i = from; i < sampleCount; ++i) {
        if (i == 0) {
            positions[0] = fill;
            deltaX[0] = deltaY[0] = deltaZ[0] = 0.0;
            slopeX[0] = std::nan("");
        } else {
            positions[i] = positions[i - 1];
            deltaX[i] = deltaX[i - 1];
            deltaY[i] = deltaY[i - 1];
            deltaZ[i] = deltaZ[i - 1];
            slopeX[i] = slopeX[i - 1];
        }
    }
}

bool SplinePath::nextSample(Vec3d* position, double* outA, double* outB, double* outC, bool raw,
                            bool stopAtEnd, int* index) {
    if (sampleCount == 0) {
        *position = Vec3d();
        if (raw) {
            if (outA) *outA = 0.0;
            if (outB) *outB = 0.0;
            if (outC) *outC = 0.0;
        } else if (outA) {
            *outA = 180.0;
        }
        *index = 0;
        return !stopAtEnd;
    }
    *position = positions[cursor];
    if (stopAtEnd && cursor == sampleCount - 1) return false;
    if (raw) {
        if (outA) *outA = deltaX[cursor];
        if (outB) *outB = deltaY[cursor];
        if (outC) *outC = deltaZ[cursor];
    } else if (outA) {
        // The arctangent of the single ratio cannot tell +z from -z, so the
        // heading stays within 90..270. A sample without x and z change has
        // no direction (0/0); it faces 180 rather than handing out NaN.
        const double slope = slopeX[cursor];
        *outA = std::isnan(slope) ? 180.0 : std::atan(slope) * DEGREES_PER_RADIAN + 180.0;
    }
    *index = cursor;
    ++cursor;
    if (cursor == sampleCount && !stopAtEnd) cursor = 0;
    return true;
}

void SplinePath::rewind() { cursor = 0; }

void SplinePath::seek(int index) {
    if (index < 0) index = 0;
    if (index > sampleCount - 1) index = sampleCount > 0 ? sampleCount - 1 : 0;
    cursor = index;
}
