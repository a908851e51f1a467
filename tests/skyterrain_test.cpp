// Sky and terrain: which files they read, the sky's unlit drawing that
// leaves the caller's state alone, the terrain under the caller's lighting,
// and a missing model.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log.h"
#include "scene/skyterrain.h"
#include "scenefixtures.h"
#include "support/glcontext.h"
#include "support/tempdir.h"

using namespace scenefixtures;

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;

// A camera 50 units in front of the origin, looking at it; the background
// is blue so that black and white both stand out.
void setSceneView() {
    glViewport(0, 0, WIDTH, HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -50);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_COLOR_MATERIAL);
    glClearColor(0, 0, 1, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Lighting on with no light at all and no ambient: anything lit comes out
// black.
void lightWithoutLights() {
    glEnable(GL_LIGHTING);
    for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
    const float none[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
}

void centre(unsigned char rgb[3]) {
    glFinish();
    readPixel(WIDTH / 2, HEIGHT / 2, rgb);
}

std::vector<unsigned char> readFrame() {
    std::vector<unsigned char> frame(WIDTH * HEIGHT * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    return frame;
}

#define EXPECT_RGB(rgb, r, g, b)  \
    do {                          \
        EXPECT_EQ((rgb)[0], (r)); \
        EXPECT_EQ((rgb)[1], (g)); \
        EXPECT_EQ((rgb)[2], (b)); \
    } while (0)

class SkyTerrainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGlContext(WIDTH, HEIGHT)) << "drawing tests need DISPLAY (run under Xvfb)";
        messageLog.reopen("messages.log");
        makeDirs();
        setSceneView();
    }
    void TearDown() override {
        messageLog.reopen(nullptr);
        glDisable(GL_LIGHTING);
    }

    // The log's file is buffered: reopening it writes out what it holds.
    std::string log() {
        messageLog.reopen("messages.log");
        return readTextFile(dir.file("messages.log"));
    }

    TempDir dir;
};

TEST_F(SkyTerrainTest, SkyReadsSkyFileAndDrawsUnlitUnderLighting) {
    ASSERT_TRUE(writeSquare("models/sky.3ds", "skycolour", 200, 10, 10, 100));
    Sky sky;
    ASSERT_EQ(sky.model.materialCount, 1);
    EXPECT_STREQ(sky.model.materials[0].name, "skycolour");
    sky.loadTextures();
    sky.buildDisplayList();
    EXPECT_NE(sky.displayList, 0u);

    lightWithoutLights();
    sky.draw();
    unsigned char rgb[3];
    centre(rgb);
    EXPECT_RGB(rgb, 200, 10, 10);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << "the caller's lighting was switched off";
}

TEST_F(SkyTerrainTest, SkyLeavesTheCallersStateAsItWas) {
    ASSERT_TRUE(writeSquare("models/sky.3ds", "skycolour", 200, 10, 10, 100));
    Sky sky;
    sky.loadTextures();
    sky.buildDisplayList();

    // Lighting off before the call must stay off (the sky switches it on
    // again only inside its own bracket).
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glColor3f(0.25f, 0.5f, 0.75f);
    float before[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    sky.draw();

    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);
    float after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], before[i]);
    glDisable(GL_TEXTURE_2D);
}

TEST_F(SkyTerrainTest, SkyTexturesComeFromItsMaterialsFiles) {
    const uint8_t green[4 * 4 * 3] = {
#define G 10, 200, 30
        G, G, G, G, G, G, G, G, G, G, G, G, G, G, G, G
#undef G
    };
    ASSERT_TRUE(writeFileBytes("models/skytex.bmp", writeBmp24(4, 4, green)));
    MaterialSpec material;
    material.name = "dome";
    material.textureFile = "skytex.bmp";
    ObjectSpec object;
    object.name = "dome";
    object.vertices = {{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}};
    object.indices = {0, 1, 2, 0, 2, 3};
    object.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    object.material = "dome";
    ASSERT_TRUE(writeFileBytes("models/sky.3ds", write3ds({material}, {object})));

    Sky sky;
    sky.loadTextures();
    EXPECT_NE(sky.textures[0], 0u);
    sky.buildDisplayList();
    lightWithoutLights();
    sky.draw();
    unsigned char rgb[3];
    centre(rgb);
    EXPECT_RGB(rgb, 10, 200, 30);
}

TEST_F(SkyTerrainTest, MissingSkyModelLogsOneErrorAndDrawsNothing) {
    Sky sky;
    const std::string text = log();
    EXPECT_EQ(countLines(text, "Error in Import3DS: "), 1);
    EXPECT_NE(text.find("models/sky.3ds"), std::string::npos) << text;
    EXPECT_EQ(sky.model.objectCount, 0);

    sky.loadTextures();
    sky.buildDisplayList();
    glClear(GL_COLOR_BUFFER_BIT);
    const std::vector<unsigned char> empty = readFrame();
    sky.draw();
    EXPECT_TRUE(readFrame() == empty) << "a sky without a model drew something";
}

TEST_F(SkyTerrainTest, TerrainReadsTerrainFileAndFollowsTheCallersLighting) {
    ASSERT_TRUE(writeSquare("models/terrain.3DS", "ground", 200, 10, 10, 100));
    Terrain terrain;
    ASSERT_EQ(terrain.model.materialCount, 1);
    EXPECT_STREQ(terrain.model.materials[0].name, "ground");
    terrain.loadTextures();
    terrain.buildDisplayList();

    // Unlit, the untextured terrain takes plain white (it uses no colours).
    glDisable(GL_LIGHTING);
    terrain.draw();
    unsigned char rgb[3];
    centre(rgb);
    EXPECT_RGB(rgb, 255, 255, 255);

    // Lit without any light it is black: the terrain keeps the caller's lighting.
    lightWithoutLights();
    glClear(GL_COLOR_BUFFER_BIT);
    terrain.draw();
    centre(rgb);
    EXPECT_RGB(rgb, 0, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
}

}  // namespace
