// Per-corner arrays and display lists, drawn for real in a GLUT window
// (Xvfb and Mesa in the test run) and read back pixel by pixel.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "assets/displaylists.h"
#include "assets/texture.h"
#include "assets/writer3ds.h"
#include "support/glcontext.h"
#include "support/tempdir.h"

namespace {

// A model of `count` objects; object i is one triangle covering the cell
// (i, 0) of a grid of 100-pixel squares, in material i's colour.
Model gridModel(int count) {
    Model m;
    for (int i = 0; i < count; ++i) {
        Material mat;
        mat.colour[0] = uint8_t(40 * i + 20);
        mat.colour[1] = 200;
        mat.colour[2] = uint8_t(10 * i);
        m.materials.push_back(mat);
        ModelObject o;
        const float x = 100.f * i;
        o.vertices = {{x, 0, 0}, {x + 100, 0, 0}, {x, 100, 0}};
        o.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
        o.vertexCount = 3;
        o.faces.resize(1);
        o.faces[0].vertexIndex[0] = 0, o.faces[0].vertexIndex[1] = 1, o.faces[0].vertexIndex[2] = 2;
        o.faceCount = 1;
        o.materialIndex = i;
        m.objects.push_back(o);
    }
    m.objectCount = count;
    m.materialCount = count;
    return m;
}

class DisplayListTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 800, 0, 600, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        clear();
    }
    static void clear() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // The colour in the middle of cell i (inside its triangle).
    static std::vector<int> cell(int i) {
        unsigned char rgb[3];
        readPixel(100 * i + 25, 25, rgb);
        return {rgb[0], rgb[1], rgb[2]};
    }
    static std::vector<int> colourOf(const Model& m, int i) {
        const uint8_t* c = m.materials[i].colour;
        return {c[0], c[1], c[2]};
    }
    const std::vector<int> black{0, 0, 0};
    const std::vector<int> white{255, 255, 255};
};

// A texture of one colour in `table[slot]`, made through loadTextureFile.
void oneColourTexture(TextureTable& table, int slot, const uint8_t rgb[3]) {
    TempDir dir;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 4; ++i) pixels.insert(pixels.end(), rgb, rgb + 3);
    ASSERT_EQ(system("mkdir -p models"), 0);
    writeFileBytes("models/one.bmp", writeBmp24(2, 2, pixels.data()));
    loadTextureFile(table, "one.bmp", slot);
}

}  // namespace

// ------------------------------------------------------------ the arrays

TEST(PrepareArrays, FlattensFacesCornerByCorner) {
    Model m = gridModel(1);
    m.objects[0].vertices.push_back(Vec3f{7, 8, 9});
    m.objects[0].normals.push_back(Vec3f{0, 1, 0});
    m.objects[0].vertexCount = 4;
    m.objects[0].faces.push_back(m.objects[0].faces[0]);
    m.objects[0].faces[1].vertexIndex[1] = 3;
    m.objects[0].faceCount = 2;
    prepareArrays(m);
    const ModelObject& o = m.objects[0];
    ASSERT_EQ(o.drawVertices.size(), 6u);
    ASSERT_EQ(o.drawNormals.size(), 6u);
    ASSERT_EQ(o.drawTexCoords.size(), 6u);
    ASSERT_EQ(o.drawColours.size(), 6u);
    EXPECT_EQ(o.drawVertices[4].x, 7.0f);
    EXPECT_EQ(o.drawNormals[4].y, 1.0f);
    EXPECT_EQ(o.drawVertices[5].y, 100.0f);
    for (const Rgb8& c : o.drawColours) EXPECT_EQ(c.r, 20);
}

TEST(PrepareArrays, UnusableMaterialsGiveWhiteAndMissingMappingGivesZero) {
    Model m = gridModel(3);
    m.objects[0].materialIndex = -1;  // named a material that was not found
    m.objects[1].textured = true;     // textured, but the file had no mapping
    m.objects[1].drawTexCoords.assign(3, Vec2f{5, 5});
    m.objects[2].textured = true;
    m.objects[2].texCoords = {{0.25f, 0.5f}, {1, 0}, {0, 1}};
    m.objects[2].texCoordCount = 3;
    Model none = gridModel(1);
    none.materials.clear();
    none.materialCount = 0;  // no material at all; materialIndex stays 0
    prepareArrays(m);
    prepareArrays(none);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(m.objects[0].drawColours[c].g, 255);
        EXPECT_EQ(m.objects[0].drawColours[c].r, 255);
        EXPECT_EQ(none.objects[0].drawColours[c].b, 255);
        EXPECT_EQ(m.objects[1].drawTexCoords[c].u, 0.0f);
        EXPECT_EQ(m.objects[1].drawTexCoords[c].v, 0.0f);
    }
    EXPECT_EQ(m.objects[2].drawTexCoords[0].u, 0.25f);
    EXPECT_EQ(m.objects[2].drawTexCoords[0].v, 0.5f);
}

TEST(PrepareArrays, AModelWithoutObjectsIsLeftAlone) {
    Model m;
    m.objectCount = 3;  // a count the list does not back
    prepareArrays(m);
    EXPECT_TRUE(m.objects.empty());
}

// ------------------------------------------------------------ the lists

TEST_F(DisplayListTest, UntexturedObjectsDrawInTheirMaterialColour) {
    Model m = gridModel(2);
    m.materials[0].colour[0] = 200, m.materials[0].colour[1] = 10, m.materials[0].colour[2] = 10;
    prepareArrays(m);
    TextureTable table;
    const unsigned int list = buildSkyList(m, table);
    glCallList(list);
    EXPECT_EQ(cell(0), (std::vector<int>{200, 10, 10}));
    EXPECT_EQ(cell(1), colourOf(m, 1));
    EXPECT_EQ(cell(2), black);
}

TEST_F(DisplayListTest, ListsKeepDrawingWhatTheArraysHeldWhenCompiled) {
    Model m = gridModel(1);
    prepareArrays(m);
    TextureTable table;
    const unsigned int list = buildSkyList(m, table);
    for (Rgb8& c : m.objects[0].drawColours) c = Rgb8{1, 2, 3};
    for (Vec3f& v : m.objects[0].drawVertices) v.x += 300;
    glCallList(list);
    EXPECT_EQ(cell(0), colourOf(m, 0));
    EXPECT_EQ(cell(3), black);
}

TEST_F(DisplayListTest, CharacterObjectsThreeAndFourOnlyInTheirOwnLists) {
    Model m = gridModel(6);
    prepareArrays(m);
    TextureTable table;
    const CharacterLists lists = buildCharacterLists(m, table);
    glCallList(lists.bodyList);
    for (int i : {0, 1, 2, 5}) EXPECT_EQ(cell(i), colourOf(m, i)) << i;
    EXPECT_EQ(cell(3), black);
    EXPECT_EQ(cell(4), black);
    clear();
    glCallList(lists.objectList3);
    EXPECT_EQ(cell(3), colourOf(m, 3));
    for (int i : {0, 1, 2, 4, 5}) EXPECT_EQ(cell(i), black) << i;
    clear();
    glCallList(lists.objectList4);
    EXPECT_EQ(cell(4), colourOf(m, 4));
    for (int i : {0, 1, 2, 3, 5}) EXPECT_EQ(cell(i), black) << i;
}

TEST_F(DisplayListTest, CharacterWithFewerThanFiveObjectsGetsEmptyObjectLists) {
    Model m = gridModel(3);
    prepareArrays(m);
    TextureTable table;
    const CharacterLists lists = buildCharacterLists(m, table);
    EXPECT_NE(lists.objectList3, 0u);
    EXPECT_NE(lists.objectList4, 0u);
    glCallList(lists.objectList3);
    glCallList(lists.objectList4);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(cell(i), black) << i;
    glCallList(lists.bodyList);
    EXPECT_EQ(cell(2), colourOf(m, 2));
}

TEST_F(DisplayListTest, EmptyModelsAndObjectsDrawNothing) {
    Model empty;
    TextureTable table;
    Model faceless = gridModel(1);
    faceless.objects[0].faces.clear();
    faceless.objects[0].faceCount = 0;
    prepareArrays(faceless);
    glCallList(buildSkyList(empty, table));
    glCallList(buildTerrainList(empty, table));
    glCallList(buildLetteringList(faceless));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(cell(0), black);
}

TEST_F(DisplayListTest, TexturedObjectsDrawWhiteTimesTheirTexture) {
    Model m = gridModel(2);
    m.objects[1].textured = true;
    m.objects[1].texCoords = {{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    m.objects[1].texCoordCount = 3;
    prepareArrays(m);
    TextureTable table;
    const uint8_t teal[3] = {0, 128, 128};
    oneColourTexture(table, 1, teal);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor3ub(10, 10, 10);  // the list sets white itself
    glCallList(buildCharacterLists(m, table).bodyList);
    EXPECT_EQ(cell(1), (std::vector<int>{0, 128, 128}));
    EXPECT_EQ(cell(0), colourOf(m, 0));  // texturing is switched off again for it
    glDisable(GL_TEXTURE_2D);
}

TEST_F(DisplayListTest, LetteringUsesWhateverTextureIsBound) {
    Model m = gridModel(1);
    m.objects[0].textured = true;
    m.objects[0].texCoords = {{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    m.objects[0].texCoordCount = 3;
    prepareArrays(m);
    TextureTable table;
    const uint8_t orange[3] = {255, 128, 0};
    oneColourTexture(table, 7, orange);
    const unsigned int list = buildLetteringList(m);
    glBindTexture(GL_TEXTURE_2D, table[7]);
    glCallList(list);
    EXPECT_EQ(cell(0), (std::vector<int>{255, 128, 0}));
    glDisable(GL_TEXTURE_2D);
}

TEST_F(DisplayListTest, TerrainObjectsWithoutTextureTakeWhiteNotTheirMaterial) {
    Model m = gridModel(2);
    prepareArrays(m);
    TextureTable table;
    glColor3ub(10, 10, 10);
    glCallList(buildTerrainList(m, table));
    EXPECT_EQ(cell(0), white);
    EXPECT_EQ(cell(1), white);
    GLboolean vertexArray = GL_TRUE;
    glGetBooleanv(GL_VERTEX_ARRAY, &vertexArray);
    EXPECT_EQ(vertexArray, GL_FALSE);
}

TEST_F(DisplayListTest, LoadTexturesFillsTheSlotsOfTexturedMaterialsOnly) {
    TempDir dir;
    ASSERT_EQ(system("mkdir -p models"), 0);
    const uint8_t rgb[3] = {1, 2, 3};
    writeFileBytes("models/a.bmp", writeBmp24(1, 1, rgb));
    Model m = gridModel(3);
    std::snprintf(m.materials[1].textureFile, sizeof m.materials[1].textureFile, "a.bmp");
    for (Material& mat : m.materials) mat.textureSlot = 42;
    TextureTable table;
    table[0] = 12345;
    loadTextures(m, table);
    EXPECT_EQ(table[0], 12345u);
    EXPECT_NE(table[1], 0u);
    EXPECT_EQ(glIsTexture(table[1]), GL_TRUE);
    EXPECT_EQ(table[2], 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.materials[i].textureSlot, i);
    GLint minFilter = 0;
    glBindTexture(GL_TEXTURE_2D, table[1]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_NEAREST);
}
