// Characters: pitch and spin over many ticks, face planes, neighbours
// (compared with a plain pairwise search on random meshes), the silhouette
// a light gives a closed mesh, and shadow volumes counted in a real stencil
// buffer.
#include "motion/character.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "app/log.h"
#include "support/glcontext.h"

namespace {

// An axis-aligned cube of half size h, every face two counter-clockwise
// triangles seen from outside; faces 10 and 11 are the top.
ModelObject cube(Vec3f c, float h) {
    const float corner[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const int faces[12][3] = {{0, 3, 2}, {0, 2, 1}, {4, 5, 6}, {4, 6, 7}, {0, 4, 7}, {0, 7, 3},
                              {1, 2, 6}, {1, 6, 5}, {0, 1, 5}, {0, 5, 4}, {3, 7, 6}, {3, 6, 2}};
    ModelObject o;
    for (const auto& k : corner) o.vertices.push_back({c.x + h * k[0], c.y + h * k[1], c.z + h * k[2]});
    for (const auto& f : faces) o.faces.push_back({{f[0], f[1], f[2]}});
    return o;
}

// A character with no file behind it (logs "wrong quelm type"), holding
// the given objects, with neighbours and planes built.
struct Built {
    Character character{0, 10};
    explicit Built(std::vector<ModelObject> objects) {
        character.model.objects = std::move(objects);
        character.buildNeighbours();
        character.computePlanes();
    }
    ModelObject& object() { return character.model.objects[0]; }
};

// The neighbour search written the direct way: every edge of every face
// against every edge of every other face, in index order.
void pairwiseNeighbours(ModelObject& o) {
    const int n = static_cast<int>(o.faces.size());
    auto corner = [&](int face, int j) -> const Vec3f& { return o.vertices[o.faces[face].vertexIndex[j % 3]]; };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < 3; ++j) {
            o.faces[i].neighbour[j] = -2;
            for (int k = 0, m = 3; k < n && m == 3; ++k) {
                for (m = 0; k != i && m < 3; ++m) {
                    if (edgesEqual(corner(i, j), corner(i, j + 1), corner(k, m), corner(k, m + 1))) {
                        o.faces[i].neighbour[j] = k;
                        o.faces[k].neighbour[m] = i;
                        break;
                    }
                }
                if (k == i) m = 3;
            }
        }
    }
}

void expectSameNeighbours(const ModelObject& object, const char* what) {
    ModelObject direct = object;
    pairwiseNeighbours(direct);
    Built hashed({object});
    for (size_t i = 0; i < direct.faces.size(); ++i) {
        for (int j = 0; j < 3; ++j) {
            ASSERT_EQ(hashed.object().faces[i].neighbour[j], direct.faces[i].neighbour[j])
                << what << ": face " << i << " edge " << j;
        }
        ASSERT_EQ(hashed.object().faces[i].facing, 3);
    }
}

// A closed grid torus of rows x columns quads, each face with its own three
// vertex entries (split as in a file), the faces shuffled.
ModelObject splitTorus(std::mt19937& rng, int rows, int columns) {
    auto at = [&](int r, int c) {
        const double a = 2 * M_PI * (r % rows) / rows, b = 2 * M_PI * (c % columns) / columns;
        return Vec3f{float((3 + std::cos(a)) * std::cos(b)), float(std::sin(a)),
                     float((3 + std::cos(a)) * std::sin(b))};
    };
    std::vector<std::vector<Vec3f>> triangles;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            triangles.push_back({at(r, c), at(r + 1, c), at(r + 1, c + 1)});
            triangles.push_back({at(r, c), at(r + 1, c + 1), at(r, c + 1)});
        }
    }
    std::shuffle(triangles.begin(), triangles.end(), rng);
    ModelObject o;
    for (const auto& t : triangles) {
        const int base = static_cast<int>(o.vertices.size());
        o.vertices.insert(o.vertices.end(), t.begin(), t.end());
        o.faces.push_back({{base, base + 1, base + 2}});
    }
    return o;
}

// Silhouette edges as unordered pairs of end points.
using Edge = std::pair<std::vector<float>, std::vector<float>>;

Edge edgeOf(const Vec3f& a, const Vec3f& b) {
    std::vector<float> p = {a.x, a.y, a.z}, q = {b.x, b.y, b.z};
    return p < q ? Edge(p, q) : Edge(q, p);
}

// The edges extruded for `light`, each expected once.
std::set<Edge> silhouette(ModelObject& o, const float light[4], bool reset) {
    std::vector<Edge> edges;
    visitSilhouette(o, light, reset, [](const ModelObject& ob, int face, int edge, const float*, void* out) {
        const Face& f = ob.faces[face];
        static_cast<std::vector<Edge>*>(out)->push_back(
            edgeOf(ob.vertices[f.vertexIndex[edge]], ob.vertices[f.vertexIndex[(edge + 1) % 3]]));
    }, &edges);
    const std::set<Edge> unique(edges.begin(), edges.end());
    EXPECT_EQ(unique.size(), edges.size());
    return unique;
}

std::set<Edge> square(Vec3f a, Vec3f b, Vec3f c, Vec3f d) {
    return {edgeOf(a, b), edgeOf(b, c), edgeOf(c, d), edgeOf(d, a)};
}

}  // namespace

TEST(Character, PitchAndSpinOverManyTicks) {
    messageLog.reopen(nullptr);
    Character c(0, 10);
    // No pitch runs until started; the spin turns 10 degrees a tick.
    for (int call = 1; call <= 36 * 3; ++call) {
        c.setPose(1, 2, 3, 4);
        ASSERT_EQ(c.spinAngle, (call * 10) % 360) << call;
        ASSERT_TRUE(c.pitchCount == 1 && c.pitchState == 0) << call;
    }
    EXPECT_TRUE(c.x == 1 && c.heading == 4);
    // Up over limit - 1 ticks, back down, idle on the 60th.
    c.startPitch(30);
    EXPECT_TRUE(c.pitchCount == 1 && c.pitchState == 1);
    for (int call = 1; call <= 160; ++call) {
        c.setPose(0, 0, 0, 0);
        const int state = call < 29 ? 1 : call < 60 ? 2 : 0;
        ASSERT_EQ(c.pitchState, state) << call;
        ASSERT_EQ(c.pitchCount, call < 29 ? call + 1 : call < 60 ? 59 - call : 0) << call;
    }
    // Restarted while falling, it rises again from 1.
    c.startPitch(40);
    for (int i = 0; i < 45; ++i) c.setPose(0, 0, 0, 0);
    EXPECT_EQ(c.pitchState, 2);
    c.startPitch(10);
    c.setPose(0, 0, 0, 0);
    EXPECT_TRUE(c.pitchState == 1 && c.pitchCount == 2);
    // A limit below 2 is 2: up one step, down two, idle on the fourth tick.
    c.startPitch(1);
    for (int call = 1; call <= 4; ++call) {
        c.setPose(0, 0, 0, 0);
        EXPECT_EQ(c.pitchState, call < 4 ? 2 : 0) << call;
    }
}

TEST(Character, PlanesAndEdges) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-100, 100);
    ModelObject o;
    for (int i = 0; i < 60; ++i) o.vertices.push_back({d(rng), d(rng), d(rng)});
    for (int i = 0; i < 20; ++i) o.faces.push_back({{3 * i, 3 * i + 1, 3 * i + 2}});
    o.vertices.insert(o.vertices.end(), {{0, 0, 5}, {2, 0, 5}, {0, 3, 5}});  // in z = 5, facing +z
    o.faces.push_back({{60, 61, 62}});
    Built h({o});
    for (const Face& f : h.object().faces) {
        const Vec3f &a = o.vertices[f.vertexIndex[0]], &b = o.vertices[f.vertexIndex[1]],
                    &c = o.vertices[f.vertexIndex[2]];
        const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
        const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
        EXPECT_NEAR(f.plane[0], uy * vz - uz * vy, 1e-7);
        EXPECT_NEAR(f.plane[1], uz * vx - ux * vz, 1e-7);
        EXPECT_NEAR(f.plane[2], ux * vy - uy * vx, 1e-7);
        for (const Vec3f* v : {&a, &b, &c}) {
            EXPECT_NEAR(f.plane[0] * v->x + f.plane[1] * v->y + f.plane[2] * v->z + f.plane[3], 0, 1e-6);
        }
    }
    EXPECT_DOUBLE_EQ(h.object().faces[20].plane[3], -30);
    // Edges match either way round by exact position (-0 equals 0, NaN
    // equals nothing).
    const Vec3f a{1, 2, 3}, b{4, 5, 6}, nan{std::nanf(""), 0, 0};
    EXPECT_TRUE(edgesEqual(a, b, a, b) && edgesEqual(a, b, b, a));
    EXPECT_TRUE(edgesEqual({0, 1, 1}, b, {-0.0f, 1, 1}, b));
    EXPECT_FALSE(edgesEqual(a, b, a, {4, 5, 6.0001f}) || edgesEqual(a, b, a, a) ||
                 edgesEqual(nan, b, nan, b));
}

TEST(Character, NeighboursMatchThePairwiseSearchOnRandomMeshes) {
    std::mt19937 rng(20261206);
    // Soups over a few positions: edges shared by three or more faces,
    // degenerate faces, and vertex entries sharing a position (one as -0).
    std::uniform_int_distribution<int> coord(0, 2), vertex(0, 15);
    for (int round = 0; round < 200; ++round) {
        ModelObject o;
        for (int i = 0; i < 12; ++i) o.vertices.push_back({float(coord(rng)), float(coord(rng)), float(coord(rng))});
        o.vertices.insert(o.vertices.end(), {o.vertices[3], o.vertices[7], {-0.0f, o.vertices[0].y, o.vertices[0].z},
                                             {0.0f, o.vertices[0].y, o.vertices[0].z}});
        for (int f = 0; f <= round % 40; ++f) o.faces.push_back({{vertex(rng), vertex(rng), vertex(rng)}});
        expectSameNeighbours(o, "soup");
    }
    for (int round = 0; round < 20; ++round) {
        ModelObject o = splitTorus(rng, 3 + round / 2, 4 + round);
        if (round % 2) {  // open: a random tenth of the faces removed
            std::shuffle(o.faces.begin(), o.faces.end(), rng);
            o.faces.resize(o.faces.size() * 9 / 10);
        }
        expectSameNeighbours(o, round % 2 ? "open torus" : "torus");
    }
    // Faces with corners outside the vertex list have no neighbours, and
    // the silhouette walk passes over them.
    ModelObject o = cube({0, 0, 0}, 1);
    o.faces.insert(o.faces.end(), {{{0, 3, 99}}, {{-1, 0, 3}}});
    Built h({o});
    for (int j = 0; j < 3; ++j) EXPECT_TRUE(h.object().faces[12].neighbour[j] == -2 && h.object().faces[13].neighbour[j] == -2);
    EXPECT_GE(h.object().faces[0].neighbour[0], 0);
    const float light[4] = {0, 10, 0, 1};
    silhouette(h.object(), light, true);
}

TEST(Character, SilhouettesFollowTheLitUnlitBorder) {
    Built h({cube({0, 0, 0}, 1)});
    ModelObject& o = h.object();
    // Light above: the top's border, never the diagonal between its two
    // lit triangles. Without the reset every face keeps its side.
    const float above[4] = {0.2f, 10, -0.3f, 1};
    const std::set<Edge> top = square({-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1});
    EXPECT_EQ(silhouette(o, above, false), top);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(o.faces[i].facing, i >= 10 ? 0 : 1) << i;
    EXPECT_EQ(silhouette(o, above, true), top);
    for (const Face& f : o.faces) EXPECT_EQ(f.facing, 3);
    // A light in the top's plane, in front of +z: the top counts as unlit,
    // so only the front is lit.
    const float inPlane[4] = {0, 1, 5, 1};
    EXPECT_EQ(silhouette(o, inPlane, true), square({-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}));
    // An open square: its border edges extrude when lit, nothing when not.
    ModelObject strip;
    strip.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    strip.faces = {{{0, 1, 2}}, {{0, 2, 3}}};
    Built s({strip});
    const float front[4] = {0.5f, 0.5f, 3, 1}, behind[4] = {0.5f, 0.5f, -3, 1};
    EXPECT_EQ(silhouette(s.object(), front, true), square({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}));
    EXPECT_TRUE(silhouette(s.object(), behind, true).empty());
}

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

// Looking down on a grey floor at y = 0 from the side, so that a shadow's
// volume is seen through its sides; the light straight above.
class ShadowVolumes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        messageLog.reopen(nullptr);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(WIDTH) / HEIGHT, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(60, 50, 60, 0, 0, 0, 0, 1, 0);
        glEnable(GL_DEPTH_TEST);
    }

    // Draws the floor and the character; the light's fourth entry after.
    static float draw(Character& c, bool castShadows) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glColor3ub(120, 120, 120);
        glBegin(GL_QUADS);
        glVertex3f(-100, 0, -100);
        glVertex3f(-100, 0, 100);
        glVertex3f(100, 0, 100);
        glVertex3f(100, 0, -100);
        glEnd();
        float light[4] = {0, 100, 0, 0};
        c.draw(light, castShadows);
        glFinish();
        return light[3];
    }

    // Stencil value at the window position of the floor point (x, 0, z).
    static int stencilAt(double x, double z) {
        double model[16], projection[16], wx, wy, wz;
        int viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        gluProject(x, 0, z, model, projection, viewport, &wx, &wy, &wz);
        EXPECT_TRUE(wx > 0 && wx < WIDTH && wy > 0 && wy < HEIGHT) << x << "," << z;
        unsigned char value = 0;
        glReadPixels(int(wx), int(wy), 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &value);
        return value;
    }
};

}  // namespace

TEST_F(ShadowVolumes, TheBodyShadowsTheFloorBelowItOnlyWhenAsked) {
    // A body-only cube of 12 scene units (400 model units at scale 0.03)
    // with its centre at y = 20.
    Built h({cube({0, 0, 0}, 200)});
    h.character.setPose(0, 20, 0, 30);
    EXPECT_EQ(draw(h.character, false), 0.0f);
    EXPECT_EQ(stencilAt(0, 0), 0);
    EXPECT_EQ(draw(h.character, true), 1.0f);
    EXPECT_TRUE(stencilAt(0, 0) != 0 && stencilAt(4, -4) != 0);
    EXPECT_TRUE(stencilAt(20, 0) == 0 && stencilAt(0, -25) == 0 && stencilAt(-15, 15) == 0);
    // Only the stencil was written, and the state is back as it was.
    unsigned char rgb[3];
    readPixel(WIDTH / 2, HEIGHT / 2, rgb);
    EXPECT_EQ(rgb[0], 120);
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST) || glIsEnabled(GL_CULL_FACE));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    for (const Face& f : h.object().faces) EXPECT_EQ(f.facing, 3);
}

TEST_F(ShadowVolumes, ASpinningPartCastsItsShadowWhereItHasTurnedTo) {
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
    draw(h.character, true);
    EXPECT_NE(stencilAt(0, -20.5), 0);
    EXPECT_TRUE(stencilAt(0, 2.4) == 0 && stencilAt(0, -35) == 0);
}
