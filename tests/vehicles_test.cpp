// Vehicles on screen: shadow volumes counted in a real stencil buffer, cast
// from the body and from a spinning part, under heading, pitch and a
// slanted light.
#include "render/vehicles.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "characterfixtures.h"
#include "support/glcontext.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
constexpr float OVERHEAD[3] = {0, 100, 0};

// Looking down on a grey floor at y = 0 from the side, so that a shadow's
// volume is seen through its sides, with the light straight above: draws
// the floor and the character.
ScissorBox drawOnFloor(Character& c, bool castShadows, const float light[3] = OVERHEAD) {
    glMatrixMode(GL_PROJECTION), glLoadIdentity(), gluPerspective(45.0, static_cast<double>(WIDTH) / HEIGHT, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW), glLoadIdentity(), gluLookAt(60, 50, 60, 0, 0, 0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    // The rectangle's plane z = 0 turned to y = 0.
    glColor3ub(120, 120, 120), glPushMatrix(), glRotatef(90, 1, 0, 0), glRectf(-100, -100, 100, 100), glPopMatrix();
    const ScissorBox marked = drawCharacter(c, light, castShadows);
    glFinish();
    return marked;
}

// Stencil value at the window position of the floor point (x, 0, z).
int stencilAt(double x, double z) {
    double model[16], projection[16], wx, wy, wz;
    int viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model), glGetDoublev(GL_PROJECTION_MATRIX, projection), glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, 0, z, model, projection, viewport, &wx, &wy, &wz);
    EXPECT_TRUE(wx > 0 && wx < WIDTH && wy > 0 && wy < HEIGHT) << x << "," << z;
    unsigned char value = 0;
    glReadPixels(int(wx), int(wy), 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &value);
    return value;
}

}  // namespace

TEST(ShadowVolumes, TheBodyShadowsTheFloorBelowItOnlyWhenAsked) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    // A body-only cube of 12 scene units (400 model units at scale 0.03)
    // with its centre at y = 20.
    Built h({cube({0, 0, 0}, 200)});
    h.character.setPose(0, 20, 0, 30);
    // Without volumes nothing is marked; whole volumes may mark the window.
    EXPECT_TRUE(drawOnFloor(h.character, false).empty());
    EXPECT_EQ(stencilAt(0, 0), 0);
    const ScissorBox marked = drawOnFloor(h.character, true);
    EXPECT_TRUE(marked.x == 0 && marked.y == 0 && marked.width == WIDTH && marked.height == HEIGHT);
    EXPECT_TRUE(stencilAt(0, 0) != 0 && stencilAt(4, -4) != 0 && stencilAt(20, 0) == 0 && stencilAt(0, -25) == 0 &&
                stencilAt(-15, 15) == 0);
}

TEST(ShadowVolumes, ASpinningPartCastsItsShadowWhereItHasTurnedTo) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    // Object 3 alone is a cube 300 model units in front of its spin axis;
    // half a turn (18 ticks) carries it behind. With the light brought into
    // the part's own space, the shadow follows: the turned cube's centre is
    // at scene z = 0.03 * (-236.217 - 300), about -16.1, at height 21.5, its
    // shadow on the floor near z = -20.5 (unturned near z = +2.4).
    std::vector<ModelObject> objects(5);
    objects[3] = cube({0, 49.92f, -236.217f + 300}, 150);
    Built h(objects);
    for (int i = 0; i < 18; ++i) h.character.setPose(0, 20, 0, 0);
    ASSERT_EQ(h.character.spinAngle, 180);
    drawOnFloor(h.character, true);
    EXPECT_NE(stencilAt(0, -20.5), 0);
    EXPECT_TRUE(stencilAt(0, 2.4) == 0 && stencilAt(0, -35) == 0);
}

TEST(ShadowVolumes, AHeadedPitchedBodyUnderASlantedLightShadowsWhereItsPartReallyIs) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    // A small cube 300 model units in front of the body's origin, turned
    // 90 degrees and pitched 40 (front up), lit from the side and above.
    Built h({cube({0, 0, -300}, 100)});
    h.character.startPitch(4), h.character.setPose(0, 20, 0, 90);
    ASSERT_DOUBLE_EQ(h.character.pitchDegrees(), 40.0);
    const float light[3] = {40, 100, 30};
    drawOnFloor(h.character, true, light);
    // Where the cube's centre is, by the pose's own arithmetic: pitch about
    // x, then heading about y, scale 0.03, then the position; and where the
    // light throws it on the floor.
    auto shadowOfCentre = [&](double pitchDegrees) {
        const double p = pitchDegrees * M_PI / 180, hd = M_PI / 2;
        const double y1 = 300 * std::sin(p), z1 = -300 * std::cos(p);
        const double cx = 0.03 * z1 * std::sin(hd), cy = 20 + 0.03 * y1, cz = 0.03 * z1 * std::cos(hd);
        const double t = light[1] / (light[1] - cy);
        return std::make_pair(light[0] + (cx - light[0]) * t, light[2] + (cz - light[2]) * t);
    };
    const auto [x, z] = shadowOfCentre(40);
    EXPECT_NE(stencilAt(x, z), 0) << "shadow at " << x << ", " << z;
    const auto [wrongX, wrongZ] = shadowOfCentre(-40);
    EXPECT_EQ(stencilAt(wrongX, wrongZ), 0) << "the pitch went the other way";
    EXPECT_EQ(stencilAt(0, 0), 0) << "no shadow straight below the body";
}
