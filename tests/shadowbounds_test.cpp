// The shadow volumes' bounds, without a window: which terrain object counts
// as the ground, when a view lets the ground hide anything, and which of a
// volume's triangles it hides.
#include "render/shadowbounds.h"
#include "render/scenery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
constexpr float HALF = 100;  // the ground's square is -HALF..HALF

// An n x n grid of cells over the square, two faces per cell looking up,
// heights from `height(x, z)`.
ModelObject gridObject(int n, const std::function<float(float, float)>& height) {
    ModelObject o;
    const float step = 2 * HALF / n;
    for (int k = 0; k <= n; ++k)
        for (int i = 0; i <= n; ++i) {
            const float x = -HALF + i * step, z = -HALF + k * step;
            o.vertices.push_back({x, height(x, z), z});
        }
    auto at = [n](int i, int k) { return k * (n + 1) + i; };
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < n; ++i) {
            Face a, b;
            a.vertexIndex[0] = at(i, k), a.vertexIndex[1] = at(i, k + 1), a.vertexIndex[2] = at(i + 1, k);
            b.vertexIndex[0] = at(i + 1, k), b.vertexIndex[1] = at(i, k + 1), b.vertexIndex[2] = at(i + 1, k + 1);
            o.faces.push_back(a);
            o.faces.push_back(b);
        }
    return o;
}

float flat(float, float) { return 0; }
// A hill of 60 around (0, 0) and a ridge of 20 along the side x = -HALF.
float hilly(float x, float z) { return (std::fabs(x) < 30 && std::fabs(z) < 30 ? 60.0f : 0.0f) + (x == -HALF ? 20.0f : 0.0f); }

Model modelOf(std::vector<ModelObject> objects) {
    Model m;
    m.objects = std::move(objects);
    return m;
}

TEST(MeasureGround, FindsTheHeightFieldObjectAndItsLowestPoints) {
    ModelObject wall;  // faces that look sideways: not a ground
    wall.vertices = {{0, 0, 0}, {0, 10, 0}, {10, 0, 0}};
    wall.faces.resize(1);
    wall.faces[0].vertexIndex[0] = 0, wall.faces[0].vertexIndex[1] = 1, wall.faces[0].vertexIndex[2] = 2;

    const struct { const char* name; Model model; bool valid; float floorY, edgeLow; } cases[] = {
        {"flat grid", modelOf({gridObject(4, flat)}), true, 0, 0},
        {"ground after a wall", modelOf({wall, gridObject(8, hilly)}), true, 0, 20},
        {"no objects", Model(), false, 0, 0},
    };
    for (const auto& c : cases) {
        const GroundBounds g = measureGround(c.model);
        EXPECT_EQ(g.valid, c.valid) << c.name;
        if (!c.valid || !g.valid) continue;
        EXPECT_EQ(g.minX, -HALF) << c.name;
        EXPECT_EQ(g.maxZ, HALF) << c.name;
        EXPECT_EQ(g.floorY, c.floorY) << c.name;
        EXPECT_EQ(g.edgeY[0], c.edgeLow) << c.name;  // the side x = -HALF
        EXPECT_EQ(g.edgeY[1], 0) << c.name;
        ASSERT_EQ(g.highY.size(), static_cast<size_t>(g.cells) * g.cells) << c.name;
        // The hill's cells know its height; cells far from it do not.
        const size_t middle = static_cast<size_t>(g.cells / 2) * g.cells + g.cells / 2;
        EXPECT_EQ(g.highY[middle], c.name[0] == 'g' ? 60 : 0) << c.name;
        EXPECT_EQ(g.highY[g.cells - 1], 0) << c.name;
    }
    // Too few depth bits to trust the margin: no bounds.
    EXPECT_FALSE(measureGround(modelOf({gridObject(4, flat)}), 16).valid);
    // Two faces over the whole square, one corner raised: a cell's height is
    // the faces' highest point over that cell, not over the faces.
    const GroundBounds tilted = measureGround(modelOf({gridObject(1, [](float x, float z) {
        return x == HALF && z == HALF ? 80.0f : 0.0f;
    })}));
    ASSERT_TRUE(tilted.valid);
    EXPECT_EQ(tilted.highY.front(), 0);
    EXPECT_EQ(tilted.highY.back(), 80);
    EXPECT_LT(tilted.highY[static_cast<size_t>(tilted.cells / 2) * tilted.cells + tilted.cells / 2], 41);
}

// gluPerspective's and gluLookAt's matrices, column-major.
void perspective(double fovy, double aspect, double zNear, double zFar, float m[16]) {
    const double f = 1.0 / std::tan(fovy * M_PI / 360.0);
    for (int i = 0; i < 16; ++i) m[i] = 0;
    m[0] = static_cast<float>(f / aspect);
    m[5] = static_cast<float>(f);
    m[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
    m[11] = -1;
    m[14] = static_cast<float>(2 * zFar * zNear / (zNear - zFar));
}

void lookAt(const double eye[3], const double centre[3], float m[16]) {
    double f[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& c : f) c /= fl;
    const double up[3] = {0, 1, 0};
    double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& c : s) c /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    const double rows[3][3] = {{s[0], s[1], s[2]}, {u[0], u[1], u[2]}, {-f[0], -f[1], -f[2]}};
    for (int i = 0; i < 16; ++i) m[i] = 0;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m[c * 4 + r] = static_cast<float>(rows[r][c]);
        m[12 + r] = static_cast<float>(-(rows[r][0] * eye[0] + rows[r][1] * eye[1] + rows[r][2] * eye[2]));
    }
    m[15] = 1;
}

const int VIEWPORT[4] = {0, 0, WIDTH, HEIGHT};

bool viewFrom(const GroundBounds& g, const double eye[3], const double centre[3], VolumeView& view,
              float camera[16], double zNear = 1.0) {
    float projection[16];
    perspective(90.0, 1.0, zNear, 800.0, projection);
    lookAt(eye, centre, camera);
    return prepareVolumeView(g, camera, projection, VIEWPORT, view);
}

TEST(VolumeScissor, KeepsWhatMayBeSeenAndDropsWhatLiesUnderTheGround) {
    const GroundBounds g = measureGround(modelOf({gridObject(8, flat)}));
    // Looking from the middle of the square towards the side x = HALF.
    const double eye[3] = {0, 50, 0}, centre[3] = {150, 0, 0};
    VolumeView view;
    float camera[16];
    // An eye within the near plane's reach of the ground: the volumes stay whole.
    const double low[3] = {0, 2, 0};
    EXPECT_FALSE(viewFrom(g, low, centre, view, camera));
    EXPECT_TRUE(viewFrom(g, low, centre, view, camera, 0.1));
    // What counts is the pyramid the near plane cuts off (with a near
    // plane of 10 and a 90-degree view its rectangle reaches 10 below the
    // eye): level at 15 the ground stays clear of it, looking down from 10
    // it does not.
    const double level[3] = {0, 15, 0}, ahead[3] = {150, 15, 0}, high[3] = {0, 10, 0}, below[3] = {1, 0, 0};
    EXPECT_TRUE(viewFrom(g, level, ahead, view, camera, 10.0));
    EXPECT_FALSE(viewFrom(g, high, below, view, camera, 10.0));
    ASSERT_TRUE(viewFrom(g, eye, centre, view, camera));

    // A volume's side as the volumes are built: from an edge above the
    // ground, stretched far down and away.
    const float side[9] = {40, 3, -2, 40, 3, 2, 4000, -3000, 2};
    const float buried[9] = {40, -5, -2, 60, -5, 2, 50, -20, 0};
    const float overTheSide[9] = {150, -10, -5, 150, -10, 5, 160, -12, 0};   // seen over the flat edge
    const float underTheSide[9] = {150, -200, -5, 150, -200, 5, 160, -210, 0};  // the ground is in front
    const struct { const char* name; const float* triangle; bool empty; } cases[] = {
        {"above the ground", side, false},
        {"under the ground", buried, true},
        {"beyond a side, seen over it", overTheSide, false},
        {"beyond a side, under the eye's line over it", underTheSide, true},
    };
    for (const auto& c : cases) {
        const ScissorBox box = volumeScissor(view, camera, c.triangle, 3);
        EXPECT_EQ(box.empty(), c.empty) << c.name;
    }
}

// Boxes the view cannot reach (wholly behind one of its planes by more than
// the rounding margin) and boxes under the ground, which hides them.
TEST(ViewFrustum, LeavesOutOnlyBoxesWhollyOutsideAPlane) {
    float projection[16], camera[16];
    perspective(90.0, 1.0, 1.0, 800.0, projection);
    const double eye[3] = {0, 50, 0}, centre[3] = {150, 50, 0};  // level, along +x; near plane at x = 1
    lookAt(eye, centre, camera);
    ViewFrustum frustum;
    ASSERT_TRUE(makeViewFrustum(projection, camera, frustum));
    const struct { const char* name; Vec3f low, high; bool outside; } cases[] = {
        {"ahead", {90, 45, -5}, {110, 55, 5}, false},
        {"behind the eye", {-60, 40, -10}, {-40, 60, 10}, true},
        {"far to the side", {90, 45, 300}, {110, 55, 320}, true},
        {"across a side plane", {90, 45, -200}, {110, 55, 0}, false},
        {"beyond the far plane", {900, 45, -5}, {910, 55, 5}, true},
        {"before the near plane by less than the margin", {0.2f, 45, -5}, {0.9f, 55, 5}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(boxOutside(frustum, c.low, c.high), c.outside) << c.name;
    float nan[16];
    std::fill(nan, nan + 16, std::nanf(""));
    EXPECT_FALSE(makeViewFrustum(nan, camera, frustum));

    const GroundBounds g = measureGround(modelOf({gridObject(8, flat)}));
    EXPECT_TRUE(boxUnderGround(g, {-50, -30, -50}, {50, -2, 50}));
    EXPECT_FALSE(boxUnderGround(g, {-50, -30, -50}, {50, -0.5f, 50})) << "within the margin of the floor";
    EXPECT_FALSE(boxUnderGround(g, {50, -30, -50}, {150, -2, 50})) << "reaching beyond a side";
}

}  // namespace
