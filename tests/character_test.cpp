// Characters: pitch and spin over many ticks, face planes, neighbours
// (compared with a plain pairwise search on random meshes), the silhouette
// a light gives a closed mesh, and shadow volumes counted in a real stencil
// buffer.
#include "motion/character.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "app/log.h"
#include "support/glcontext.h"

namespace {

constexpr double PI = 3.14159265358979323846;

Vec3f p3(float x, float y, float z) {
    Vec3f p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
}

Face tri(int a, int b, int c) {
    Face f;
    f.vertexIndex[0] = a;
    f.vertexIndex[1] = b;
    f.vertexIndex[2] = c;
    return f;
}

// An axis-aligned cube, every face two counter-clockwise triangles seen
// from outside (12 faces, 8 shared corners).
ModelObject cube(Vec3f c, float h) {
    ModelObject o;
    for (int i = 0; i < 8; ++i) {
        const float sx = (i == 1 || i == 2 || i == 5 || i == 6) ? h : -h;
        const float sy = (i == 2 || i == 3 || i == 6 || i == 7) ? h : -h;
        const float sz = i >= 4 ? h : -h;
        o.vertices.push_back(p3(c.x + sx, c.y + sy, c.z + sz));
    }
    const int faces[12][3] = {{0, 3, 2}, {0, 2, 1}, {4, 5, 6}, {4, 6, 7}, {0, 4, 7}, {0, 7, 3},
                              {1, 2, 6}, {1, 6, 5}, {0, 1, 5}, {0, 5, 4}, {3, 7, 6}, {3, 6, 2}};
    for (const auto& f : faces) o.faces.push_back(tri(f[0], f[1], f[2]));
    o.vertexCount = 8;
    o.faceCount = 12;
    return o;
}

// A character with no file behind it, holding the given objects.
struct HandMadeCharacter {
    Character character{0, 10};  // logs "wrong quelm type"
    explicit HandMadeCharacter(std::vector<ModelObject> objects) {
        character.model.objects = std::move(objects);
        character.model.objectCount = static_cast<int>(character.model.objects.size());
        character.buildNeighbours();
        character.computePlanes();
    }
};

// The neighbour search written the direct way: every edge of every face
// against every edge of every other face, in index order.
void pairwiseNeighbours(ModelObject& o) {
    const int n = static_cast<int>(o.faces.size());
    for (int i = 0; i < n; ++i) {
        o.faces[i].facing = 3;
        for (int j = 0; j < 3; ++j) {
            const Vec3f& p = o.vertices[o.faces[i].vertexIndex[j]];
            const Vec3f& q = o.vertices[o.faces[i].vertexIndex[(j + 1) % 3]];
            bool found = false;
            for (int k = 0; k < n && !found; ++k) {
                if (k == i) continue;
                for (int m = 0; m < 3; ++m) {
                    const Vec3f& r = o.vertices[o.faces[k].vertexIndex[m]];
                    const Vec3f& s = o.vertices[o.faces[k].vertexIndex[(m + 1) % 3]];
                    if (edgesEqual(p, q, r, s)) {
                        o.faces[i].neighbour[j] = k;
                        o.faces[k].neighbour[m] = i;
                        found = true;
                        break;
                    }
                }
            }
            if (!found) o.faces[i].neighbour[j] = -2;
        }
    }
}

void expectSameNeighbours(ModelObject object, const char* what) {
    ModelObject direct = object;
    pairwiseNeighbours(direct);
    HandMadeCharacter hashed({object});
    const ModelObject& fast = hashed.character.model.objects[0];
    for (size_t i = 0; i < direct.faces.size(); ++i) {
        for (int j = 0; j < 3; ++j) {
            ASSERT_EQ(fast.faces[i].neighbour[j], direct.faces[i].neighbour[j])
                << what << ": face " << i << " edge " << j;
        }
        ASSERT_EQ(fast.faces[i].facing, 3);
    }
}

// Faces over a small set of positions: many edges are shared by three or
// more faces, some faces are degenerate, and several vertex entries share
// a position (one of them as -0.0), as split vertices of a file do.
ModelObject randomSoup(std::mt19937& rng, int faces) {
    ModelObject o;
    std::uniform_int_distribution<int> coord(0, 2);
    for (int i = 0; i < 12; ++i) o.vertices.push_back(p3(coord(rng), coord(rng), coord(rng)));
    o.vertices.push_back(o.vertices[3]);
    o.vertices.push_back(o.vertices[7]);
    o.vertices.push_back(p3(-0.0f, o.vertices[0].y, o.vertices[0].z));
    o.vertices.push_back(p3(0.0f, o.vertices[0].y, o.vertices[0].z));
    std::uniform_int_distribution<int> vertex(0, static_cast<int>(o.vertices.size()) - 1);
    for (int f = 0; f < faces; ++f) o.faces.push_back(tri(vertex(rng), vertex(rng), vertex(rng)));
    o.vertexCount = static_cast<int>(o.vertices.size());
    o.faceCount = faces;
    return o;
}

// A closed grid torus of rows x columns quads, with its vertices split
// (each face has its own three vertex entries) and the faces shuffled.
ModelObject splitTorus(std::mt19937& rng, int rows, int columns) {
    auto at = [&](int r, int c) {
        const double a = 2 * PI * (r % rows) / rows, b = 2 * PI * (c % columns) / columns;
        return p3(static_cast<float>((3 + std::cos(a)) * std::cos(b)),
                  static_cast<float>(std::sin(a)),
                  static_cast<float>((3 + std::cos(a)) * std::sin(b)));
    };
    std::vector<std::array<Vec3f, 3>> triangles;
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
        for (const Vec3f& v : t) o.vertices.push_back(v);
        o.faces.push_back(tri(base, base + 1, base + 2));
    }
    o.vertexCount = static_cast<int>(o.vertices.size());
    o.faceCount = static_cast<int>(o.faces.size());
    return o;
}

// Silhouette edges as unordered pairs of end points.
using Edge = std::pair<std::vector<float>, std::vector<float>>;

Edge edgeOf(const Vec3f& a, const Vec3f& b) {
    std::vector<float> p = {a.x, a.y, a.z}, q = {b.x, b.y, b.z};
    return p < q ? Edge(p, q) : Edge(q, p);
}

void collectEdge(const ModelObject& o, int face, int edge, const float*, void* context) {
    const Face& f = o.faces[face];
    static_cast<std::vector<Edge>*>(context)->push_back(
        edgeOf(o.vertices[f.vertexIndex[edge]], o.vertices[f.vertexIndex[(edge + 1) % 3]]));
}

std::vector<Edge> silhouette(ModelObject& o, const float light[4], bool reset) {
    std::vector<Edge> edges;
    visitSilhouette(o, light, reset, collectEdge, &edges);
    return edges;
}

std::set<Edge> squareEdges(Vec3f a, Vec3f b, Vec3f c, Vec3f d) {
    return {edgeOf(a, b), edgeOf(b, c), edgeOf(c, d), edgeOf(d, a)};
}

}  // namespace

// ---------------------------------------------------------------------------
// Animations

TEST(CharacterAnimation, NoPitchRunsUntilStarted) {
    messageLog.reopen(nullptr);
    Character c(0, 10);
    EXPECT_EQ(c.pitchCount, 1);
    EXPECT_EQ(c.pitchState, 0);
    EXPECT_EQ(c.pitchLimit, 80);
    for (int i = 0; i < 500; ++i) c.setPose(1, 2, 3, 4);
    EXPECT_EQ(c.pitchCount, 1);
    EXPECT_EQ(c.pitchState, 0);
    EXPECT_FLOAT_EQ(c.x, 1);
    EXPECT_FLOAT_EQ(c.heading, 4);
}

TEST(CharacterAnimation, PitchRisesToItsLimitFallsBackAndRests) {
    Character c(0, 10);
    c.startPitch(30);
    EXPECT_EQ(c.pitchCount, 1);
    EXPECT_EQ(c.pitchState, 1);
    for (int call = 1; call <= 59; ++call) {
        c.setPose(0, 0, 0, 0);
        if (call < 29) {
            EXPECT_EQ(c.pitchCount, call + 1) << call;
            EXPECT_EQ(c.pitchState, 1) << call;
        } else {
            EXPECT_EQ(c.pitchCount, 30 - (call - 29)) << call;
            EXPECT_EQ(c.pitchState, 2) << call;
        }
    }
    EXPECT_EQ(c.pitchCount, 0);
    c.setPose(0, 0, 0, 0);  // the 60th call
    EXPECT_EQ(c.pitchState, 0);
    EXPECT_EQ(c.pitchCount, 0);
    for (int i = 0; i < 100; ++i) c.setPose(0, 0, 0, 0);
    EXPECT_EQ(c.pitchState, 0);

    // Restarted while falling, it rises again from 1.
    c.startPitch(40);
    for (int i = 0; i < 45; ++i) c.setPose(0, 0, 0, 0);
    EXPECT_EQ(c.pitchState, 2);
    c.startPitch(10);
    c.setPose(0, 0, 0, 0);
    EXPECT_EQ(c.pitchState, 1);
    EXPECT_EQ(c.pitchCount, 2);

    // A limit the pitch could never reach is raised to 2: up one step,
    // down two, idle on the fourth tick.
    c.startPitch(1);
    for (int i = 0; i < 3; ++i) c.setPose(0, 0, 0, 0);
    EXPECT_EQ(c.pitchState, 2);
    c.setPose(0, 0, 0, 0);
    EXPECT_EQ(c.pitchState, 0);
    EXPECT_EQ(c.pitchCount, 0);
}

TEST(CharacterAnimation, SpinTurnsTenDegreesATickAndComesRound) {
    Character c(0, 10);
    for (int call = 1; call <= 36 * 3; ++call) {
        c.setPose(0, 0, 0, 0);
        EXPECT_EQ(c.spinAngle, (call * 10) % 360) << call;
    }
    EXPECT_EQ(c.spinAngle, 0);
}

// ---------------------------------------------------------------------------
// Geometry

TEST(CharacterGeometry, PlanesHoldTheirCornersAndFaceOutOfCounterClockwiseFaces) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-100, 100);
    ModelObject o;
    for (int i = 0; i < 60; ++i) o.vertices.push_back(p3(d(rng), d(rng), d(rng)));
    for (int i = 0; i < 20; ++i) o.faces.push_back(tri(3 * i, 3 * i + 1, 3 * i + 2));
    HandMadeCharacter h({o});
    for (const Face& f : h.character.model.objects[0].faces) {
        const Vec3f& a = o.vertices[f.vertexIndex[0]];
        const Vec3f& b = o.vertices[f.vertexIndex[1]];
        const Vec3f& c = o.vertices[f.vertexIndex[2]];
        const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
        const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
        EXPECT_NEAR(f.plane[0], uy * vz - uz * vy, 1e-7);
        EXPECT_NEAR(f.plane[1], uz * vx - ux * vz, 1e-7);
        EXPECT_NEAR(f.plane[2], ux * vy - uy * vx, 1e-7);
        for (const Vec3f* v : {&a, &b, &c}) {
            EXPECT_NEAR(f.plane[0] * v->x + f.plane[1] * v->y + f.plane[2] * v->z + f.plane[3], 0.0,
                        1e-6);
        }
    }
    // An exact case: the triangle (0,0,5), (2,0,5), (0,3,5) lies in z = 5
    // and faces +z.
    ModelObject flat;
    flat.vertices = {p3(0, 0, 5), p3(2, 0, 5), p3(0, 3, 5)};
    flat.faces = {tri(0, 1, 2)};
    HandMadeCharacter f({flat});
    const double* plane = f.character.model.objects[0].faces[0].plane;
    EXPECT_DOUBLE_EQ(plane[0], 0);
    EXPECT_DOUBLE_EQ(plane[1], 0);
    EXPECT_DOUBLE_EQ(plane[2], 6);
    EXPECT_DOUBLE_EQ(plane[3], -30);
}

TEST(CharacterGeometry, EdgesAreEqualEitherWayRoundByExactPosition) {
    const Vec3f a = p3(1, 2, 3), b = p3(4, 5, 6), c = p3(4, 5, 6.0001f);
    EXPECT_TRUE(edgesEqual(a, b, a, b));
    EXPECT_TRUE(edgesEqual(a, b, b, a));
    EXPECT_FALSE(edgesEqual(a, b, a, c));
    EXPECT_FALSE(edgesEqual(a, b, a, a));
    EXPECT_TRUE(edgesEqual(p3(0, 1, 1), b, p3(-0.0f, 1, 1), b));
    const Vec3f nan = p3(std::nanf(""), 0, 0);
    EXPECT_FALSE(edgesEqual(nan, b, nan, b));
}

TEST(CharacterGeometry, NeighboursMatchThePairwiseSearchOnRandomMeshes) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 200; ++round) {
        expectSameNeighbours(randomSoup(rng, 1 + round % 40), "soup");
    }
    for (int round = 0; round < 10; ++round) {
        expectSameNeighbours(splitTorus(rng, 3 + round, 4 + 2 * round), "torus");
    }
    // Open meshes: a torus with a random tenth of its faces removed.
    for (int round = 0; round < 10; ++round) {
        ModelObject o = splitTorus(rng, 6, 9);
        std::shuffle(o.faces.begin(), o.faces.end(), rng);
        o.faces.resize(o.faces.size() * 9 / 10);
        o.faceCount = static_cast<int>(o.faces.size());
        expectSameNeighbours(o, "open torus");
    }
}

TEST(CharacterGeometry, FacesWithCornersOutsideTheVertexListHaveNoNeighbours) {
    ModelObject o = cube(p3(0, 0, 0), 1);
    o.faces.push_back(tri(0, 3, 99));
    o.faces.push_back(tri(-1, 0, 3));
    HandMadeCharacter h({o});
    const ModelObject& built = h.character.model.objects[0];
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(built.faces[12].neighbour[j], -2);
        EXPECT_EQ(built.faces[13].neighbour[j], -2);
    }
    EXPECT_GE(built.faces[0].neighbour[0], 0);
    // The silhouette walk passes over them without reading outside.
    const float light[4] = {0, 10, 0, 1};
    silhouette(h.character.model.objects[0], light, true);
}

// ---------------------------------------------------------------------------
// Silhouettes

TEST(CharacterSilhouette, LightAboveACubeExtrudesTheTopSquare) {
    HandMadeCharacter h({cube(p3(0, 0, 0), 1)});
    ModelObject& o = h.character.model.objects[0];
    const float light[4] = {0.2f, 10, -0.3f, 1};
    const std::vector<Edge> edges = silhouette(o, light, false);
    // The four border edges of the top, each once; never the diagonal
    // between the two lit top triangles.
    EXPECT_EQ(edges.size(), 4u);
    const std::set<Edge> got(edges.begin(), edges.end());
    EXPECT_EQ(got, squareEdges(p3(-1, 1, -1), p3(1, 1, -1), p3(1, 1, 1), p3(-1, 1, 1)));
    // Without the reset every face keeps the side the light found for it.
    for (int i = 0; i < 12; ++i) EXPECT_EQ(o.faces[i].facing, i >= 10 ? 0 : 1) << i;
    // The second pass gives the same edges and leaves every face unknown.
    const std::vector<Edge> again = silhouette(o, light, true);
    EXPECT_EQ(std::set<Edge>(again.begin(), again.end()), got);
    for (const Face& f : o.faces) EXPECT_EQ(f.facing, 3);
}

TEST(CharacterSilhouette, APlaneThroughTheLightCountsAsUnlit) {
    HandMadeCharacter h({cube(p3(0, 0, 0), 1)});
    ModelObject& o = h.character.model.objects[0];
    // The light lies in the plane of the top (y = 1) and in front of +z:
    // only the front is lit, and its top edge borders an unlit face.
    const float light[4] = {0, 1, 5, 1};
    const std::vector<Edge> edges = silhouette(o, light, true);
    const std::set<Edge> got(edges.begin(), edges.end());
    EXPECT_EQ(edges.size(), 4u);
    EXPECT_EQ(got, squareEdges(p3(-1, -1, 1), p3(1, -1, 1), p3(1, 1, 1), p3(-1, 1, 1)));
}

TEST(CharacterSilhouette, BorderEdgesOfLitFacesAlwaysExtrudeSharedLitEdgesNever) {
    ModelObject strip;
    strip.vertices = {p3(0, 0, 0), p3(1, 0, 0), p3(1, 1, 0), p3(0, 1, 0)};
    strip.faces = {tri(0, 1, 2), tri(0, 2, 3)};
    HandMadeCharacter h({strip});
    ModelObject& o = h.character.model.objects[0];
    const float front[4] = {0.5f, 0.5f, 3, 1};
    const std::vector<Edge> lit = silhouette(o, front, true);
    EXPECT_EQ(std::set<Edge>(lit.begin(), lit.end()),
              squareEdges(p3(0, 0, 0), p3(1, 0, 0), p3(1, 1, 0), p3(0, 1, 0)));
    // Lit from behind, no face is lit and nothing is extruded.
    const float behind[4] = {0.5f, 0.5f, -3, 1};
    EXPECT_TRUE(silhouette(o, behind, true).empty());
}

// ---------------------------------------------------------------------------
// Shadow volumes in a real stencil buffer

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;

class ShadowVolumes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        messageLog.reopen(nullptr);
        glViewport(0, 0, WIDTH, HEIGHT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(WIDTH) / HEIGHT, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // Looking down on the floor from the side, so the shadow's volume
        // is seen through its sides.
        gluLookAt(60, 50, 60, 0, 0, 0, 0, 1, 0);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glDisable(GL_STENCIL_TEST);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 0);
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        // A grey floor at y = 0 gives the volumes something to end on.
        glColor3ub(120, 120, 120);
        glBegin(GL_QUADS);
        glVertex3f(-100, 0, -100);
        glVertex3f(-100, 0, 100);
        glVertex3f(100, 0, 100);
        glVertex3f(100, 0, -100);
        glEnd();
    }

    // Stencil value at the window position of the floor point (x, 0, z).
    static int stencilAt(double x, double z) {
        double model[16], projection[16];
        int viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        double wx, wy, wz;
        gluProject(x, 0, z, model, projection, viewport, &wx, &wy, &wz);
        EXPECT_TRUE(wx > 0 && wx < WIDTH && wy > 0 && wy < HEIGHT) << x << "," << z;
        unsigned char value = 0;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(static_cast<int>(wx), static_cast<int>(wy), 1, 1, GL_STENCIL_INDEX,
                     GL_UNSIGNED_BYTE, &value);
        return value;
    }
};

}  // namespace

TEST_F(ShadowVolumes, TheBodyShadowsTheFloorBelowIt) {
    // A cube of 12 scene units (400 model units at scale 0.03) hovering
    // with its centre at y = 20, lit from straight above; the model has
    // only a body, so the two spinning parts cast nothing.
    HandMadeCharacter h({cube(p3(0, 0, 0), 200)});
    Character& c = h.character;
    c.setPose(0, 20, 0, 30);
    float light[4] = {0, 100, 0, 0};
    c.draw(light, true);
    glFinish();
    EXPECT_FLOAT_EQ(light[3], 1.0f);
    EXPECT_NE(stencilAt(0, 0), 0);
    EXPECT_NE(stencilAt(4, -4), 0);
    EXPECT_EQ(stencilAt(20, 0), 0);
    EXPECT_EQ(stencilAt(0, -25), 0);
    EXPECT_EQ(stencilAt(-15, 15), 0);
    // Only the stencil was written: the floor keeps its colour and the
    // state is back as it was.
    unsigned char rgb[3];
    readPixel(WIDTH / 2, HEIGHT / 2, rgb);
    EXPECT_EQ(rgb[0], 120);
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    for (const Face& f : c.model.objects[0].faces) EXPECT_EQ(f.facing, 3);
}

TEST_F(ShadowVolumes, ASpinningPartCastsItsShadowWhereItHasTurnedTo) {
    // Object 3 alone is a cube 300 model units in front of its spin axis;
    // half a turn (18 ticks) carries it 300 units behind the axis. With
    // the light brought into the part's own space, the shadow follows.
    std::vector<ModelObject> objects(5);
    objects[3] = cube(p3(0, 49.92f, -236.217f + 300), 150);
    HandMadeCharacter h(objects);
    Character& c = h.character;
    for (int i = 0; i < 18; ++i) c.setPose(0, 20, 0, 0);
    ASSERT_EQ(c.spinAngle, 180);
    float light[4] = {0, 100, 0, 0};
    c.draw(light, true);
    glFinish();
    // The turned cube's centre is at scene z = 0.03 * (-236.217 - 300),
    // about -16.1, at height 21.5; its shadow centre on the floor lies at
    // about z = -20.5. Unturned it would have been near z = +2.4.
    EXPECT_NE(stencilAt(0, -20.5), 0);
    EXPECT_EQ(stencilAt(0, 2.4), 0);
    EXPECT_EQ(stencilAt(0, -35), 0);
}

TEST_F(ShadowVolumes, NoShadowsWithoutTheSwitch) {
    HandMadeCharacter h({cube(p3(0, 0, 0), 200)});
    h.character.setPose(0, 20, 0, 0);
    float light[4] = {0, 100, 0, 0};
    h.character.draw(light, false);
    glFinish();
    EXPECT_EQ(light[3], 0.0f);
    EXPECT_EQ(stencilAt(0, 0), 0);
}
