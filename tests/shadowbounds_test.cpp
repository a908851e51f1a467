// The shadow volumes' bounds, without a window: which terrain object counts
// as the ground, when a view lets the ground hide anything, and which
// window rectangle a volume's triangles are scissored to.
#include "render/shadowbounds.h"

#include <gtest/gtest.h>

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
    ModelObject flipped = gridObject(4, flat);
    for (Face& f : flipped.faces) std::swap(f.vertexIndex[1], f.vertexIndex[2]);
    ModelObject holed = gridObject(4, flat);
    holed.faces.pop_back();

    const struct { const char* name; Model model; bool valid; float floorY, edgeLow; } cases[] = {
        {"flat grid", modelOf({gridObject(4, flat)}), true, 0, 0},
        {"ground after a wall", modelOf({wall, gridObject(8, hilly)}), true, 0, 20},
        {"faces looking down", modelOf({flipped}), false, 0, 0},
        {"a hole", modelOf({holed}), false, 0, 0},
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

TEST(VolumeView, NeedsAPerspectiveAndAnEyeClearAboveTheGround) {
    const GroundBounds flatGround = measureGround(modelOf({gridObject(8, flat)}));
    const GroundBounds hillGround = measureGround(modelOf({gridObject(8, hilly)}));
    const GroundBounds noGround;
    const struct { const char* name; const GroundBounds* ground; double eye[3]; double zNear; bool bounded; } cases[] = {
        {"high over flat ground", &flatGround, {0, 50, 0}, 1, true},
        {"under the ground", &flatGround, {0, -5, 0}, 1, false},
        {"within the near plane's reach", &flatGround, {0, 2, 0}, 1, false},
        {"clear of a nearer near plane", &flatGround, {0, 2, 0}, 0.1, true},
        {"outside the square", &flatGround, {150, 50, 0}, 1, false},
        {"inside a hill", &hillGround, {0, 50, 0}, 1, false},
        {"beside the hill", &hillGround, {70, 50, 70}, 1, true},
        {"no ground", &noGround, {0, 50, 0}, 1, false},
    };
    for (const auto& c : cases) {
        const double centre[3] = {c.eye[0] + 10, c.eye[1] - 5, c.eye[2] + 3};
        VolumeView view;
        float camera[16];
        EXPECT_EQ(viewFrom(*c.ground, c.eye, centre, view, camera, c.zNear), c.bounded) << c.name;
    }
    // An orthographic projection: the near plane's reach is not known.
    float ortho[16] = {0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, -0.01f, 0, 0, 0, -1, 1};
    float camera[16];
    const double eye[3] = {0, 50, 0}, centre[3] = {10, 45, 3};
    lookAt(eye, centre, camera);
    VolumeView view;
    EXPECT_FALSE(prepareVolumeView(flatGround, camera, ortho, VIEWPORT, view));
}

// Window position of a world point under the view's matrices.
void project(const VolumeView& view, const float p[3], double out[2]) {
    const double* m = view.worldToClip;
    double c[4];
    for (int r = 0; r < 4; ++r) c[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    out[0] = (c[0] / c[3] + 1) * 0.5 * WIDTH;
    out[1] = (c[1] / c[3] + 1) * 0.5 * HEIGHT;
}

bool inside(const ScissorBox& b, const double p[2]) {
    return p[0] >= b.x && p[0] <= b.x + b.width && p[1] >= b.y && p[1] <= b.y + b.height;
}

TEST(VolumeScissor, KeepsWhatMayBeSeenAndDropsWhatLiesUnderTheGround) {
    const GroundBounds g = measureGround(modelOf({gridObject(8, flat)}));
    // Looking from the middle of the square towards the side x = HALF.
    const double eye[3] = {0, 50, 0}, centre[3] = {150, 0, 0};
    VolumeView view;
    float camera[16];
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

    // Drawn together, only the triangles that may be seen are kept, in order.
    std::vector<float> all, kept;
    for (const auto& c : cases) all.insert(all.end(), c.triangle, c.triangle + 9);
    volumeScissor(view, camera, all.data(), 12, &kept);
    std::vector<float> expected(side, side + 9);
    expected.insert(expected.end(), overTheSide, overTheSide + 9);
    EXPECT_EQ(kept, expected);

    // The side's box holds its corners above the ground but stops short of
    // where it dives under it: far less than the window.
    const ScissorBox box = volumeScissor(view, camera, side, 3);
    double a[2], b[2];
    project(view, side, a);
    project(view, side + 3, b);
    EXPECT_TRUE(inside(box, a) && inside(box, b));
    EXPECT_LT(box.width * box.height, WIDTH * HEIGHT / 20);

    // Far beyond a ridge, above the floor but under the eye's line over the
    // ridge's lowest point (the sky dome's lower belt): hidden; higher up,
    // over that line: kept.
    const GroundBounds hills = measureGround(modelOf({gridObject(8, hilly)}));
    const double lowEye[3] = {70, 25, 70}, west[3] = {-400, 8, 70};
    VolumeView low;
    float lowCamera[16];
    ASSERT_TRUE(viewFrom(hills, lowEye, west, low, lowCamera));
    const float belt[9] = {-400, 5, 60, -400, 5, 80, -400, 9, 70};
    const float overRidge[9] = {-400, 20, 60, -400, 20, 80, -400, 24, 70};
    EXPECT_TRUE(volumeScissor(low, lowCamera, belt, 3).empty());
    EXPECT_FALSE(volumeScissor(low, lowCamera, overRidge, 3).empty());

    // The object's own modelview places it: the same buried triangle lifted
    // by 30 units through the object matrix is kept.
    float lifted[16];
    for (int i = 0; i < 16; ++i) lifted[i] = camera[i];
    for (int r = 0; r < 3; ++r) lifted[12 + r] += camera[4 + r] * 30;
    EXPECT_FALSE(volumeScissor(view, lifted, buried, 3).empty());
}

}  // namespace
