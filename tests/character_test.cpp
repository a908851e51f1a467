// Characters without a window: pitch over many ticks, face planes,
// neighbours (compared with a plain pairwise search on random soups) and
// the silhouette a light gives a closed mesh.
#include "motion/character.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "characterfixtures.h"

namespace {

// The neighbour search written the direct way: every edge of every face
// against every edge of every other face, in index order.
void pairwiseNeighbours(ModelObject& o) {
    const int n = int(o.faces.size());
    auto at = [&](int f, int j) -> const Vec3f& { return o.vertices[o.faces[f].vertexIndex[j % 3]]; };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j) {
            int e = 0;  // the first matching edge (face e / 3, edge e % 3) of another face
            while (e < 3 * n && (e / 3 == i || !edgesEqual(at(i, j), at(i, j + 1), at(e / 3, e), at(e / 3, e + 1)))) ++e;
            o.faces[i].neighbour[j] = e < 3 * n ? e / 3 : -2;
            if (e < 3 * n) o.faces[e / 3].neighbour[e % 3] = i;
        }
}

std::vector<int> neighbours(const Face& f) { return {f.neighbour, f.neighbour + 3}; }

void expectSameNeighbours(const ModelObject& object, const char* what) {
    ModelObject direct = object;
    pairwiseNeighbours(direct);
    Built hashed({object});
    for (size_t i = 0; i < direct.faces.size(); ++i) {
        const std::vector<int> want = neighbours(direct.faces[i]);
        ASSERT_EQ(neighbours(hashed.object().faces[i]), want) << what << ": face " << i;
        ASSERT_EQ(hashed.object().faces[i].facing, 3) << what;
    }
}

// Silhouette edges as unordered pairs of end points.
using Point = std::array<float, 3>;
using Edge = std::set<Point>;

// The edges extruded for `light`, each expected once.
std::set<Edge> silhouette(ModelObject& o, const float light[4], bool reset) {
    std::vector<Edge> edges;
    visitSilhouette(o, light, reset, [](const ModelObject& ob, int face, int j, const float*, void* out) {
        const int32_t* corner = ob.faces[face].vertexIndex;
        const Vec3f &a = ob.vertices[corner[j]], &b = ob.vertices[corner[(j + 1) % 3]];
        static_cast<std::vector<Edge>*>(out)->push_back({Point{a.x, a.y, a.z}, Point{b.x, b.y, b.z}});
    }, &edges);
    EXPECT_EQ(std::set<Edge>(edges.begin(), edges.end()).size(), edges.size());
    return {edges.begin(), edges.end()};
}

std::set<Edge> square(Point a, Point b, Point c, Point d) { return {{a, b}, {b, c}, {c, d}, {d, a}}; }

}  // namespace

TEST(Character, PitchRisesFallsAndRestartsFromOne) {
    Built b({});
    Character& c = b.character;
    // Up over limit - 1 ticks, back down, then idle; a limit below 2 is 2.
    for (int limit : {30, 1}) {
        c.startPitch(limit);
        const int L = std::max(limit, 2);
        for (int n = 1; n <= 2 * L + 20; ++n) {
            c.setPose(1, 2, 3, 4);
            ASSERT_EQ(c.pitchState, n < L - 1 ? 1 : n < 2 * L ? 2 : 0) << limit << ": " << n;
            ASSERT_EQ(c.pitchCount, n < L - 1 ? n + 1 : std::max(2 * L - 1 - n, 0)) << limit << ": " << n;
        }
    }
    // Restarted while falling, it rises again from 1.
    c.startPitch(40);
    for (int i = 0; i < 45; ++i) c.setPose(1, 2, 3, 4);
    EXPECT_EQ(c.pitchState, 2);
    c.startPitch(10), c.setPose(1, 2, 3, 4);
    EXPECT_TRUE(c.pitchState == 1 && c.pitchCount == 2);
}

TEST(Character, PlanesAndEdges) {
    // Each plane holds its corners, and (a, b, c) is the cross product of
    // the first two edges: out of a counter-clockwise face.
    ModelObject o;
    o.vertices = {{0, 0, 5}, {2, 0, 5}, {0, 3, 5}, {-1.5f, 2, 0.25f}, {7, -3, 1}, {2, 2, -9}};
    o.faces = {{{0, 1, 2}}, {{3, 4, 5}}};
    Built h({o});
    const double planes[2][4] = {{0, 0, 6, -30}, {46.25, 81.25, 17.5, -97.5}};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(h.object().faces[i / 4].plane[i % 4], planes[i / 4][i % 4], 1e-9) << i;
    // Edges match either way round by exact position (-0 equals 0, NaN
    // equals nothing).
    const Vec3f a{1, 2, 3}, b{4, 5, 6}, nan{std::nanf(""), 0, 0};
    EXPECT_TRUE(edgesEqual(a, b, b, a) && edgesEqual({0, 1, 1}, b, {-0.0f, 1, 1}, b));
    EXPECT_FALSE(edgesEqual(a, b, a, {4, 5, 6.0001f}) || edgesEqual(nan, b, nan, b));
}

TEST(Character, NeighboursMatchThePairwiseSearchOnRandomMeshes) {
    std::mt19937 rng(20261206);
    // Soups over a few positions: edges shared by three or more faces,
    // degenerate faces, and vertex entries sharing a position (one as -0).
    auto c = [&] { return float(rng() % 3); };
    auto v = [&] { return int(rng() % 16); };
    for (int round = 0; round < 200; ++round) {
        ModelObject o;
        for (int i = 0; i < 12; ++i) o.vertices.push_back({c(), c(), c()});
        const Vec3f v0 = o.vertices[0];
        o.vertices.insert(o.vertices.end(), {o.vertices[3], o.vertices[7], {-0.0f, v0.y, v0.z}, {0, v0.y, v0.z}});
        for (int f = 0; f <= round % 40; ++f) o.faces.push_back({{v(), v(), v()}});
        expectSameNeighbours(o, "soup");
    }
    // Faces with corners outside the vertex list have no neighbours, and
    // the silhouette walk passes over them.
    ModelObject o = cube({0, 0, 0}, 1);
    o.faces.insert(o.faces.end(), {{{0, 3, 99}}, {{-1, 0, 3}}});
    Built h({o});
    for (int f : {12, 13}) EXPECT_EQ(neighbours(h.object().faces[f]), std::vector<int>(3, -2));
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
    strip.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, strip.faces = {{{0, 1, 2}}, {{0, 2, 3}}};
    Built s({strip});
    const float front[4] = {0.5f, 0.5f, 3, 1}, behind[4] = {0.5f, 0.5f, -3, 1};
    EXPECT_EQ(silhouette(s.object(), front, true), square({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}));
    EXPECT_TRUE(silhouette(s.object(), behind, true).empty());
}
