// Spline paths: sampling, headings, walking (wrap, stop at end, seek,
// rewind) and the paths the scene may be handed from odd point files.
#include "motion/splinepath.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/glcontext.h"

namespace {

Vec3d v(double x, double y, double z) {
    Vec3d p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
}

struct Sample {
    Vec3d position;
    double a = -1, b = -1, c = -1;
    int index = -1;
    bool more = false;
};

Sample take(SplinePath& path, bool raw, bool stopAtEnd) {
    Sample s;
    s.more = path.nextSample(&s.position, &s.a, &s.b, &s.c, raw, stopAtEnd, &s.index);
    return s;
}

double heading(SplinePath& path) { return take(path, false, false).a; }

}  // namespace

TEST(SplinePathSampling, TwoPointsGiveEvenStepsFromTheFirstPoint) {
    const Vec3d points[] = {v(0, 0, 0), v(10, 0, 10)};
    SplinePath path(2, points, 10, 3, 0, 0);
    EXPECT_EQ(path.sampleCount, 10);
    EXPECT_EQ(path.controlCount, 0);
    EXPECT_EQ(path.cursor, 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NEAR(path.positions[i].x, i, 1e-12);
        EXPECT_NEAR(path.positions[i].y, 0, 1e-12);
        EXPECT_NEAR(path.positions[i].z, i, 1e-12);
        EXPECT_DOUBLE_EQ(path.deltaX[i], 1.0);
        EXPECT_DOUBLE_EQ(path.deltaY[i], 0.0);
        EXPECT_DOUBLE_EQ(path.deltaZ[i], 1.0);
        EXPECT_DOUBLE_EQ(path.slopeX[i], 1.0);
    }
    EXPECT_DOUBLE_EQ(heading(path), 225.0);
}

TEST(SplinePathSampling, SegmentsShareTheSamplesAndTheLastPointIsNeverOne) {
    const Vec3d points[] = {v(0, 0, 0), v(125, 250, 0), v(125, 250, -250)};
    SplinePath path(3, points, 250, 3, 0, 0);
    // 125 samples per segment: the second segment starts exactly on P1.
    EXPECT_NEAR(path.positions[124].x, 124, 1e-9);
    EXPECT_NEAR(path.positions[124].y, 248, 1e-9);
    EXPECT_NEAR(path.positions[125].x, 125, 1e-9);
    EXPECT_NEAR(path.positions[125].y, 250, 1e-9);
    EXPECT_NEAR(path.positions[125].z, 0, 1e-9);
    EXPECT_NEAR(path.positions[249].z, -248, 1e-9);
    for (int i = 0; i < 250; ++i) EXPECT_FALSE(path.positions[i].z == -250.0) << i;
    EXPECT_DOUBLE_EQ(path.deltaY[0], 2.0);
    EXPECT_DOUBLE_EQ(path.deltaZ[200], -2.0);
    EXPECT_DOUBLE_EQ(path.deltaX[200], 0.0);
}

TEST(SplinePathSampling, SlopesOfSegmentsWithoutDepthChangeAreInfiniteOrNaN) {
    const Vec3d points[] = {v(0, 0, 0), v(10, 0, 0), v(10, 5, 0), v(7, 5, 12)};
    SplinePath path(4, points, 30, 3, 0, 0);
    EXPECT_TRUE(std::isinf(path.slopeX[0]) && path.slopeX[0] > 0);
    EXPECT_TRUE(std::isnan(path.slopeX[10]));
    EXPECT_DOUBLE_EQ(path.slopeX[20], -0.25);
    // Along +x the heading is 270; a purely vertical segment has no
    // direction and faces 180; the last segment leans towards -x.
    EXPECT_DOUBLE_EQ(heading(path), 270.0);
    path.seek(10);
    EXPECT_DOUBLE_EQ(heading(path), 180.0);
    path.seek(20);
    EXPECT_NEAR(heading(path), std::atan(-0.25) * 57.29577951308232 + 180.0, 1e-12);
}

TEST(SplinePathSampling, HeadingsStayBetween90And270) {
    const Vec3d alongPlusZ[] = {v(0, 0, 0), v(0, 0, 10)};
    const Vec3d alongMinusZ[] = {v(0, 0, 10), v(0, 0, 0)};
    const Vec3d alongMinusX[] = {v(10, 0, 0), v(0, 0, 0)};
    const Vec3d backLeft[] = {v(0, 0, 0), v(-5, 0, -5)};
    SplinePath plusZ(2, alongPlusZ, 5, 3, 0, 0), minusZ(2, alongMinusZ, 5, 3, 0, 0);
    SplinePath minusX(2, alongMinusX, 5, 3, 0, 0), left(2, backLeft, 5, 3, 0, 0);
    EXPECT_DOUBLE_EQ(heading(plusZ), 180.0);
    EXPECT_DOUBLE_EQ(heading(minusZ), 180.0);
    EXPECT_DOUBLE_EQ(heading(minusX), 90.0);
    EXPECT_DOUBLE_EQ(heading(left), 225.0);
}

TEST(SplinePathSampling, LeftoverSamplesRepeatTheLastComputedOne) {
    // 3 segments into 11 samples: 3 each, samples 9 and 10 left over.
    const Vec3d points[] = {v(0, 0, 0), v(3, 0, 0), v(3, 0, 3), v(3, 6, 3)};
    SplinePath path(4, points, 11, 3, 0, 0);
    for (int i = 9; i < 11; ++i) {
        EXPECT_DOUBLE_EQ(path.positions[i].y, path.positions[8].y);
        EXPECT_DOUBLE_EQ(path.positions[i].x, 3.0);
        EXPECT_DOUBLE_EQ(path.deltaY[i], 2.0);
        EXPECT_TRUE(std::isnan(path.slopeX[i]));
    }
    EXPECT_DOUBLE_EQ(path.positions[8].y, 4.0);
}

TEST(SplinePathSampling, DegeneratePathsStandStill) {
    const Vec3d one[] = {v(4, 5, 6)};
    const Vec3d many[] = {v(1, 2, 3), v(9, 9, 9), v(8, 8, 8), v(7, 7, 7)};
    SplinePath single(1, one, 20, 3, 0, 0);
    SplinePath empty(0, nullptr, 20, 3, 0, 0);
    SplinePath tooFewSamples(4, many, 2, 3, 0, 0);  // fewer samples than segments
    SplinePath negativeCount(-3, one, 20, 3, 0, 0);
    for (int i = 0; i < 20; ++i) {
        Sample s = take(single, false, false);
        EXPECT_DOUBLE_EQ(s.position.x, 4);
        EXPECT_DOUBLE_EQ(s.position.z, 6);
        EXPECT_DOUBLE_EQ(s.a, 180.0);
        Sample r = take(empty, true, false);
        EXPECT_DOUBLE_EQ(r.position.x, 0);
        EXPECT_DOUBLE_EQ(r.a, 0);
        EXPECT_DOUBLE_EQ(r.b, 0);
        EXPECT_DOUBLE_EQ(r.c, 0);
        EXPECT_EQ(r.index, i);
        Sample n = take(negativeCount, false, false);
        EXPECT_DOUBLE_EQ(n.position.y, 0);
        EXPECT_DOUBLE_EQ(n.a, 180.0);
    }
    EXPECT_DOUBLE_EQ(tooFewSamples.positions[1].y, 2.0);
    EXPECT_DOUBLE_EQ(tooFewSamples.deltaX[1], 0.0);

    // No samples at all: the origin at index 0, and the cursor never moves.
    SplinePath none(2, many, 0, 3, 0, 0);
    SplinePath negative(2, many, -5, 3, 0, 0);
    EXPECT_EQ(negative.sampleCount, 0);
    Sample s = take(none, false, false);
    EXPECT_TRUE(s.more);
    EXPECT_EQ(s.index, 0);
    EXPECT_DOUBLE_EQ(s.position.x, 0);
    EXPECT_FALSE(take(negative, true, true).more);
    none.seek(5);
    EXPECT_EQ(none.cursor, 0);
}

TEST(SplinePathWalking, RawCallsHandOutTheDeltasAndOnlyFillWhatIsAsked) {
    const Vec3d points[] = {v(0, 0, 0), v(10, 20, 30)};
    SplinePath path(2, points, 10, 3, 0, 0);
    Sample s = take(path, true, false);
    EXPECT_DOUBLE_EQ(s.a, 1.0);
    EXPECT_DOUBLE_EQ(s.b, 2.0);
    EXPECT_DOUBLE_EQ(s.c, 3.0);
    Vec3d p;
    int index = -1;
    double only = -1;
    EXPECT_TRUE(path.nextSample(&p, nullptr, &only, nullptr, true, false, &index));
    EXPECT_DOUBLE_EQ(only, 2.0);
    EXPECT_EQ(index, 1);
    double untouched[3] = {-7, -7, -7};
    EXPECT_TRUE(path.nextSample(&p, &untouched[0], &untouched[1], &untouched[2], false, false, &index));
    EXPECT_NEAR(untouched[0], std::atan(1.0 / 3.0) * 57.29577951308232 + 180.0, 1e-12);
    EXPECT_DOUBLE_EQ(untouched[1], -7);
    EXPECT_DOUBLE_EQ(untouched[2], -7);
}

TEST(SplinePathWalking, WrapsToTheStartOverManyLaps) {
    const Vec3d points[] = {v(0, 0, 0), v(7, 0, 0)};
    SplinePath path(2, points, 7, 3, 0, 0);
    for (int call = 0; call < 7 * 5 + 3; ++call) {
        Sample s = take(path, false, false);
        EXPECT_TRUE(s.more);
        EXPECT_EQ(s.index, call % 7);
        EXPECT_NEAR(s.position.x, call % 7, 1e-12);
    }
    EXPECT_EQ(path.cursor, 3);
}

TEST(SplinePathWalking, StopAtEndKeepsHandingOutTheLastSample) {
    const Vec3d points[] = {v(0, 0, 0), v(0, 8, 0)};
    SplinePath path(2, points, 8, 3, 0, 0);
    for (int call = 1; call < 8; ++call) {
        Sample s = take(path, false, true);
        EXPECT_TRUE(s.more);
        EXPECT_EQ(s.index, call - 1);
    }
    for (int call = 0; call < 20; ++call) {
        Sample s = take(path, false, true);
        EXPECT_FALSE(s.more);
        EXPECT_NEAR(s.position.y, 7.0, 1e-12);
        EXPECT_EQ(s.index, -1);  // nothing but the position is written
        EXPECT_DOUBLE_EQ(s.a, -1);
    }
    EXPECT_EQ(path.cursor, 7);
}

TEST(SplinePathWalking, SeekAndRewindChooseTheNextSample) {
    const Vec3d points[] = {v(0, 0, 0), v(250, 0, 0)};
    SplinePath path(2, points, 250, 3, 0, 0);
    path.seek(120);
    Sample s = take(path, true, false);
    EXPECT_EQ(s.index, 120);
    EXPECT_NEAR(s.position.x, 120, 1e-9);
    EXPECT_EQ(take(path, true, false).index, 121);
    path.rewind();
    EXPECT_EQ(take(path, true, false).index, 0);
    // Out-of-range seeks stay on the path.
    path.seek(1000);
    EXPECT_EQ(take(path, true, false).index, 249);
    path.seek(-3);
    EXPECT_EQ(take(path, true, false).index, 0);
}

TEST(SplinePathDrawing, AYellowStripThroughTheSamplesLeavesTheColourCyan) {
    if (!ensureGlContext(800, 600)) GTEST_SKIP() << "no display";
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    // From x = -0.5 to 0.5 in 10 samples: the strip ends on the last
    // sample, x = 0.4, not on the last point.
    const double row = 303.5 / 300.0 - 1.0;  // through the centres of window row 303
    const Vec3d points[] = {v(-0.5, row, 0), v(0.5, row, 0)};
    SplinePath path(2, points, 10, 3, 0, 0);
    path.drawLines();
    glFinish();
    unsigned char rgb[3];
    readPixel(400, 303, rgb);  // x = 0
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[2], 0);
    readPixel(555, 303, rgb);  // just before x = 0.4
    EXPECT_EQ(rgb[1], 255);
    readPixel(580, 303, rgb);  // x = 0.45, past the last sample
    EXPECT_EQ(rgb[1], 0);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.0f);
    EXPECT_FLOAT_EQ(colour[1], 1.0f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
}
