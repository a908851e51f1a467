// Per-corner arrays and display lists, drawn for real in a GLUT window
// (Xvfb and Mesa in the test run) and read back pixel by pixel.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <vector>

#include "assets/displaylists.h"
#include "assets/texture.h"
#include "assets/writer3ds.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

namespace {

using Colour = std::vector<int>;
const Colour BLACK{0, 0, 0}, WHITE{255, 255, 255};

// A model of `count` objects; object i is one triangle covering the cell
// (i, 0) of a grid of 100-pixel squares, in material i's colour.
Model gridModel(int count) {
    Model m;
    m.objectCount = m.materialCount = count;
    for (int i = 0; i < count; ++i) {
        m.materials.push_back(Material{{}, {}, {uint8_t(40 * i + 20), 200, uint8_t(10 * i)}});
        ModelObject& o = m.objects.emplace_back();
        o.vertices = {{100.f * i, 0, 0}, {100.f * i + 100, 0, 0}, {100.f * i, 100, 0}}, o.normals.assign(3, Vec3f{0, 0, 1});
        o.faces = {Face{{0, 1, 2}}}, o.vertexCount = 3, o.faceCount = 1, o.materialIndex = i;
    }
    return m;
}

// Maps (0.5, 0.5) everywhere onto a textured object.
void texture(ModelObject& o) { o.textured = true, o.texCoords.assign(3, Vec2f{0.5f, 0.5f}), o.texCoordCount = 3; }

// A 2 x 2 texture of one colour in models/`name`.
void writeTexture(const char* name, Colour c) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 12; ++i) rgb.push_back(uint8_t(c[i % 3]));
    writeFileBytes(std::string("models/") + name, writeBmp24(2, 2, rgb.data()));
}

// Clears, calls `list` and reads the middle of cells 0 to 5 (inside their triangles).
std::vector<Colour> draw(unsigned int list) {
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(list);
    std::vector<Colour> cells;
    unsigned char rgb[3];
    for (int i = 0; i < 6; ++i) readPixel(100 * i + 25, 25, rgb), cells.push_back({rgb[0], rgb[1], rgb[2]});
    return cells;
}

// The cells when exactly the objects `drawn` of `m` show their material colour.
std::vector<Colour> showing(const Model& m, std::initializer_list<int> drawn) {
    std::vector<Colour> cells(6, BLACK);
    for (int i : drawn) cells[i] = {m.materials[i].colour[0], m.materials[i].colour[1], m.materials[i].colour[2]};
    return cells;
}

class DisplayListTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_TEXTURE_2D}) glDisable(cap);
        scenefixtures::setView(90, 1, 10);  // clear colour black, modelview identity
        glMatrixMode(GL_PROJECTION), glLoadIdentity(), glOrtho(0, 800, 0, 600, -1, 1), glMatrixMode(GL_MODELVIEW);
        scenefixtures::makeDirs();
    }
    TempDir dir;
    TextureTable table;
};

}  // namespace

// Untextured objects draw in their material's colour, but on the terrain in
// the current colour, white; lists keep what the arrays held when compiled.
TEST_F(DisplayListTest, UntexturedObjectsDrawTheirMaterialColourButTerrainWhite) {
    Model m = gridModel(2);
    prepareArrays(m);
    const unsigned int sky = buildSkyList(m, table), terrain = buildTerrainList(m, table);
    for (ModelObject& o : m.objects) {
        for (Rgb8& c : o.drawColours) c = Rgb8{1, 2, 3};
        for (Vec3f& v : o.drawVertices) v.x += 300;
    }
    EXPECT_EQ(draw(sky), showing(m, {0, 1}));
    glColor3ub(10, 10, 10);
    EXPECT_EQ(draw(terrain), (std::vector<Colour>{WHITE, WHITE, BLACK, BLACK, BLACK, BLACK}));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));  // the terrain leaves no client array enabled
}

TEST_F(DisplayListTest, ObjectsThreeAndFourOnlyInTheirOwnLists) {
    Model six = gridModel(6), three = gridModel(3);
    prepareArrays(six), prepareArrays(three);
    const CharacterLists lists = buildCharacterLists(six, table), few = buildCharacterLists(three, table);
    EXPECT_EQ(draw(lists.bodyList), showing(six, {0, 1, 2, 5}));
    EXPECT_EQ(draw(lists.objectList3), showing(six, {3}));
    EXPECT_EQ(draw(lists.objectList4), showing(six, {4}));
    EXPECT_EQ(draw(few.bodyList), showing(three, {0, 1, 2}));
    // With fewer than five objects the two lists exist and draw nothing, as do
    // the lists of models without objects.
    EXPECT_TRUE(few.objectList3 != 0 && few.objectList4 != 0);
    const Model empty;
    for (unsigned int list : {few.objectList3, few.objectList4, buildSkyList(empty, table),
                              buildTerrainList(empty, table), buildLetteringList(empty)})
        EXPECT_EQ(draw(list), showing(empty, {}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// loadTextures fills the slots of textured materials only. A textured object
// draws white times the texture of its slot, and texturing is off again for
// an untextured one; lettering binds nothing and draws with the bound texture.
TEST_F(DisplayListTest, TexturedObjectsDrawWhiteTimesTheTextureOfTheirSlot) {
    Model m = gridModel(3);
    texture(m.objects[1]), prepareArrays(m);
    writeTexture("teal.bmp", {0, 128, 128}), writeTexture("orange.bmp", {255, 128, 0});
    std::snprintf(m.materials[1].textureFile, sizeof m.materials[1].textureFile, "teal.bmp");
    for (Material& mat : m.materials) mat.textureSlot = 42;
    table[0] = 12345;
    EXPECT_TRUE(loadTextures(m, table));
    EXPECT_TRUE(table[0] == 12345u && table[2] == 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.materials[i].textureSlot, i);
    glColor3ub(10, 10, 10);  // the list sets white itself
    std::vector<Colour> cells = showing(m, {0, 2});
    cells[1] = {0, 128, 128};
    EXPECT_EQ(draw(buildCharacterLists(m, table).bodyList), cells);
    ASSERT_TRUE(loadTextureFile(table, "orange.bmp", 7));
    glBindTexture(GL_TEXTURE_2D, table[7]);
    cells[1] = {255, 128, 0};
    EXPECT_EQ(draw(buildLetteringList(m)), cells);
    glDisable(GL_TEXTURE_2D);
}

// Drawn from its indexed corners, a face comes out as the list draws it, in
// either list's arrays; only the faces handed over are drawn.
TEST_F(DisplayListTest, IndexedCornersDrawTheChosenFacesAsTheListsDo) {
    Model m = gridModel(3);
    texture(m.objects[1]);
    writeTexture("teal.bmp", {0, 128, 128});
    std::snprintf(m.materials[1].textureFile, sizeof m.materials[1].textureFile, "teal.bmp");
    prepareArrays(m);
    ASSERT_TRUE(loadTextures(m, table));
    std::vector<IndexedCorners> corners;
    for (const ModelObject& o : m.objects) corners.push_back(indexCorners(o));
    for (BatchArrays arrays : {BatchArrays::PerObject, BatchArrays::Terrain}) {
        const unsigned int list = arrays == BatchArrays::Terrain ? buildTerrainList(m, table) : buildSkyList(m, table);
        auto indexed = [&](std::initializer_list<int> drawn) {
            glClear(GL_COLOR_BUFFER_BIT);
            for (int i : drawn) drawIndexedBatch(m.objects[i], corners[i], corners[i].faces.data(), corners[i].faces.size(), table, arrays);
            std::vector<Colour> cells;
            unsigned char rgb[3];
            for (int i = 0; i < 6; ++i) readPixel(100 * i + 25, 25, rgb), cells.push_back({rgb[0], rgb[1], rgb[2]});
            return cells;
        };
        glColor3ub(10, 10, 10);
        const std::vector<Colour> whole = draw(list);
        EXPECT_EQ(indexed({0, 1, 2}), whole);
        std::vector<Colour> middle(6, BLACK);
        middle[1] = whole[1];
        EXPECT_EQ(indexed({1}), middle);
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_COLOR_ARRAY));  // client arrays as found
    }
    glDisable(GL_TEXTURE_2D);
    // A quad's two faces share two corners: four corners, six indices.
    ModelObject quad;
    quad.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, quad.normals.assign(4, Vec3f{0, 0, 1});
    quad.faces = {Face{{0, 1, 2}}, Face{{0, 2, 3}}}, quad.faceCount = 2;
    Model one;
    one.objects = {quad}, one.objectCount = 1;
    prepareArrays(one);
    const IndexedCorners c = indexCorners(one.objects[0]);
    EXPECT_EQ(c.vertices.size(), 4u);
    EXPECT_EQ(c.faces, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
}
