// Sky and terrain: the sky drawn unlit from its own materials (colours and
// texture files) leaving the caller's state alone, the terrain under the
// caller's lighting, and a missing sky model.
#include <gtest/gtest.h>

#include <vector>

#include "scene/skyterrain.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

class SkyTerrainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGlContext()) << "drawing tests need DISPLAY (run under Xvfb)";
        messageLog.reopen("messages.log"), makeDirs();
        setView(90.0, 1.0, 1000.0, {0, 0, 255});  // blue, so that black and white stand out
        glTranslatef(0, 0, -50);
        for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D, GL_COLOR_MATERIAL, GL_LIGHTING})
            glDisable(cap);
    }
    void TearDown() override { messageLog.reopen(nullptr); }

    // Lighting on with no light and no ambient: anything lit comes out black.
    static void lightWithoutLights() {
        glEnable(GL_LIGHTING);
        for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
        const float none[4] = {0, 0, 0, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    }

    TempDir dir;
};

TEST_F(SkyTerrainTest, SkyDrawsItsColoursAndTexturesUnlitAndLeavesTheCallersStateAlone) {
    // The left half takes its material's colour, the right half its material's texture file.
    ASSERT_TRUE(writeBackdrop({10, 200, 30}));
    ASSERT_TRUE(writeFileBytes("models/sky.3ds", write3ds({{"red", 200, 10, 10, ""}, {"dome", 255, 255, 255, "screenshot.bmp"}},
                                                          {quadObject("left", "red", -100, -100, 0, 100),
                                                           quadObject("right", "dome", 0, -100, 100, 100, true)})));
    Sky sky;
    ASSERT_TRUE(sky.loadTextures());
    sky.buildDisplayList();
    for (bool lit : {true, false}) {
        SCOPED_TRACE(lit ? "lighting on" : "lighting off, texturing on");
        glClear(GL_COLOR_BUFFER_BIT);
        if (lit) lightWithoutLights();
        else glEnable(GL_TEXTURE_2D);
        glColor3f(0.25f, 0.5f, 0.75f);
        const std::vector<float> before = glStateOf({GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST});
        sky.draw();
        EXPECT_TRUE(pixelIs(200, 300, {200, 10, 10}) && pixelIs(600, 300, {10, 200, 30}));
        EXPECT_EQ(glStateOf({GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST}), before);
        glDisable(GL_LIGHTING), glDisable(GL_TEXTURE_2D);
    }
}

TEST_F(SkyTerrainTest, MissingSkyModelLogsOneErrorAndDrawsNothing) {
    Sky sky;
    EXPECT_EQ(countOf(flushedLog(dir), "Error in Import3DS: Unable to find the file: models/sky.3ds"), 1);
    ASSERT_TRUE(sky.loadTextures());
    sky.buildDisplayList();
    const std::vector<unsigned char> empty = readFrame();
    sky.draw();
    EXPECT_TRUE(readFrame() == empty) << "a sky without a model drew something";
}

TEST_F(SkyTerrainTest, TerrainReadsItsFileAndFollowsTheCallersLighting) {
    ASSERT_TRUE(writeSquare("models/terrain.3DS", "ground", {200, 10, 10}, 100));
    Terrain terrain;
    ASSERT_TRUE(terrain.loadTextures());
    terrain.buildDisplayList();
    terrain.draw();  // unlit and untextured it is plain white: it uses no colours
    EXPECT_TRUE(pixelIs(400, 300, {255, 255, 255}));
    lightWithoutLights(), terrain.draw();  // lit without any light it is black
    EXPECT_TRUE(pixelIs(400, 300, {0, 0, 0}) && glIsEnabled(GL_LIGHTING));
}

}  // namespace
