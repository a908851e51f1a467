// Terrain and sky piece by piece, drawn for real: the pieces hold every face
// once and bound it, and a terrain drawn piece by piece, with the pieces
// outside the view left out, gives the picture of its whole display list,
// in whatever order the pieces are drawn.
#include "render/scenery.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

// A terrain of 16 x 16 cells over -160..160, each two faces on a gentle
// wave, in two materials (a stripe of each), written as models/terrain.3DS.
void writeWavyTerrain() {
    constexpr int N = 16;
    ObjectSpec ground{"ground", {}, {}, {}, "grass"}, road{"road", {}, {}, {}, "stone"};
    for (int k = 0; k <= N; ++k)
        for (int i = 0; i <= N; ++i) {
            const float x = -160 + 20.0f * i, z = -160 + 20.0f * k;
            ground.vertices.push_back({x, 8.0f * ((i + 2 * k) % 3), z});
        }
    for (int k = 0; k < N; ++k)
        for (int i = 0; i < N; ++i) {
            const uint16_t a = uint16_t(k * (N + 1) + i), b = uint16_t(a + 1), c = uint16_t(a + N + 1), d = uint16_t(c + 1);
            ground.indices.insert(ground.indices.end(), {a, c, b, b, c, d});
        }
    road.vertices = {{-150, 20, -10}, {150, 20, -10}, {150, 20, 10}, {-150, 20, 10}};
    road.indices = {0, 3, 1, 1, 3, 2};
    ASSERT_TRUE(writeFileBytes("models/terrain.3DS",
                               write3ds({{"grass", 40, 160, 80, ""}, {"stone", 200, 200, 190, ""}}, {ground, road})));
}

size_t differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    size_t n = a.size() == b.size() ? 0 : a.size() + b.size();
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
}

class Pieces : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        makeDirs();
        writeWavyTerrain();
        terrain = std::make_unique<Terrain>();
        ASSERT_TRUE(terrain->loadTextures());
        terrain->buildDisplayList();
        // Lit, from low over one corner, so that much of the terrain lies
        // outside the view.
        setView(60.0, 1.0, 1000.0);
        for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_CULL_FACE}) glEnable(cap);
        gluLookAt(-150, 40, -150, -60, 0, -90, 0, 1, 0);
    }

    std::vector<unsigned char> drawn(void (*draw)(SceneModel&)) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw(*terrain);
        return readFrame();
    }

    TempDir dir;
    std::unique_ptr<Terrain> terrain;
};

TEST_F(Pieces, HoldEveryFaceOnceInsideItsBox) {
    const auto& pieces = terrain->pieces();
    ASSERT_EQ(pieces.size(), size_t(SceneModel::PIECE_CELLS * SceneModel::PIECE_CELLS));
    for (size_t o = 0; o < terrain->model.objects.size(); ++o) {
        const ModelObject& object = terrain->model.objects[o];
        const std::vector<uint8_t>& pieceOf = terrain->pieceOfFaces(o);
        ASSERT_EQ(pieceOf.size(), object.faces.size());
        for (size_t f = 0; f < pieceOf.size(); ++f) {
            const SceneModel::Piece& p = pieces[pieceOf[f]];
            for (int j = 0; j < 3; ++j) {
                const Vec3f& v = object.drawVertices[3 * f + j];
                EXPECT_TRUE(v.x >= p.low.x && v.x <= p.high.x && v.y >= p.low.y && v.y <= p.high.y && v.z >= p.low.z &&
                            v.z <= p.high.z) << "object " << o << " face " << f;
            }
        }
    }
}

TEST_F(Pieces, TheTerrainInViewDrawsThePictureOfItsWholeList) {
    const std::vector<unsigned char> whole = drawn([](SceneModel& t) { t.draw(); });
    ASSERT_GT(std::count(whole.begin(), whole.end(), 0), 0);
    ASSERT_LT(std::count(whole.begin(), whole.end(), 0), long(whole.size() / 2)) << "the terrain fills most of the view";
    EXPECT_EQ(differing(drawn([](SceneModel& t) { t.drawPieces(std::vector<char>(t.pieces().size(), 1), true); }), whole), 0u);
    EXPECT_EQ(differing(drawn([](SceneModel& t) { drawTerrainPass(t, false); }), whole), 0u);
    EXPECT_EQ(differing(drawn([](SceneModel& t) { t.drawPieces(std::vector<char>(t.pieces().size(), 0)); }),
                        std::vector<unsigned char>(whole.size(), 0)), 0u);
    // And the view did leave pieces out.
    float modelview[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview), glGetFloatv(GL_PROJECTION_MATRIX, projection);
    ViewFrustum frustum;
    ASSERT_TRUE(makeViewFrustum(projection, modelview, frustum));
    int outside = 0;
    for (const SceneModel::Piece& p : terrain->pieces()) outside += boxOutside(frustum, p.low, p.high);
    EXPECT_GT(outside, 10);
}

TEST_F(Pieces, NearestFirstFromTheEyeAndTheSamePictureInAnyOrder) {
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    const auto& pieces = terrain->pieces();
    std::vector<char> visible(pieces.size(), 1);
    visible[5] = visible[40] = 0;
    const std::vector<int> order = piecesNearToFar(pieces, visible, modelview);
    ASSERT_EQ(order.size(), pieces.size() - 2);
    EXPECT_EQ(std::count(order.begin(), order.end(), 5) + std::count(order.begin(), order.end(), 40), 0);
    // The eye stands over the corner piece at (-150, -150).
    EXPECT_EQ(order.front(), 0);
    auto planDistance = [&](int i) {
        const SceneModel::Piece& p = pieces[i];
        const float dx = std::max({0.0f, p.low.x + 150, -150 - p.high.x});
        const float dz = std::max({0.0f, p.low.z + 150, -150 - p.high.z});
        return dx * dx + dz * dz;
    };
    for (size_t i = 1; i < order.size(); ++i) EXPECT_LE(planDistance(order[i - 1]), planDistance(order[i]) + 1e-3f);

    const std::vector<unsigned char> whole = drawn([](SceneModel& t) { t.draw(); });
    static std::vector<int> all;
    all = piecesNearToFar(pieces, std::vector<char>(pieces.size(), 1), modelview);
    EXPECT_EQ(differing(drawn([](SceneModel& t) { t.drawPiecesInOrder(all, true); }), whole), 0u);
    std::reverse(all.begin(), all.end());
    all.push_back(-1), all.push_back(1000);  // no such pieces: skipped
    EXPECT_EQ(differing(drawn([](SceneModel& t) { t.drawPiecesInOrder(all); }), whole), 0u);
}

}  // namespace
