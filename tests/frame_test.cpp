// Frame composition: the overlay's capture timing, and what a scene frame
// shows for each switch, in pixels: a floor (the terrain) under a far wall (the sky), a plate above the floor
// whose shadow falls on it, and the overlay adding a known grey.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include "motion/character.h"
#include "platform/clock.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

constexpr Colour FLOOR = {40, 160, 80}, WALL = {20, 40, 200}, PLATE = {250, 250, 250};
constexpr int GREY = 60;  // the overlay texture's value

// Window pixels: on the plate's shadow, on the floor beside it, on the wall.
constexpr int SHADOW_X = 400, SHADOW_Y = 180, FLOOR_X = 600, FLOOR_Y = 180, WALL_X = 400, WALL_Y = 450;

class SceneFrame : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        messageLog.reopen(nullptr);
        makeDirs();
        // The floor at y = -20 facing up, the wall 500 away facing the eye, a
        // plate 9 units wide at y = -10 (in model units, scaled by 0.03).
        ASSERT_TRUE(writeQuadModel("models/terrain.3DS", "floor", FLOOR,
                               {{-200, -20, 0}, {200, -20, 0}, {200, -20, -200}, {-200, -20, -200}}));
        ASSERT_TRUE(writeQuadModel("models/sky.3ds", "wall", WALL,
                               {{-2000, -2000, -500}, {2000, -2000, -500}, {2000, 2000, -500}, {-2000, 2000, -500}}));
        ASSERT_TRUE(writeQuadModel("models/quelm.3DS", "plate", PLATE,
                               {{-150, 0, 150}, {150, 0, 150}, {150, 0, -150}, {-150, 0, -150}}));
        scene.terrain = new Terrain, scene.sky = new Sky, scene.plainCharacter = new Character(KIND_PLAIN, 10);
        scene.plainCharacter->setPose(0, -10, -40, 0);
        setView(90.0, 1.0, 10000.0), overlay = OverlayState();
        ASSERT_TRUE(setUpScene(scene, true));
        // The overlay in a known grey, and no new captures (rate 0).
        std::vector<unsigned char> texels(overlay.textureSize * overlay.textureSize * 3, GREY);
        glBindTexture(GL_TEXTURE_2D, overlay.textures[overlay.textureIndex]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, overlay.textureSize, overlay.textureSize, GL_RGB, GL_UNSIGNED_BYTE,
                        texels.data());
        options.overlayRate = 0;
    }
    void TearDown() override { delete scene.terrain, delete scene.sky, delete scene.plainCharacter, clearFakeClock(); }

    // The pixel at (x, y) after one scene frame with the given switches.
    Colour pixel(int x, int y, bool terrain, bool sky, bool shadows, bool overlayOn) {
        options.showTerrain = terrain, options.showSky = sky, options.showShadows = shadows, options.overlayEffect = overlayOn;
        beginFrame();
        drawSceneFrame(scene, script, options, FrameView());
        glFinish();
        unsigned char rgb[3];
        readPixel(x, y, rgb);
        return {rgb[0], rgb[1], rgb[2]};
    }

    TempDir dir;  // the models are written here, never into the working directory
    SceneObjects scene;
    Script script;
    DrawOptions options;
};

bool near(Colour a, Colour b, int tolerance = 3) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}
std::string str(Colour c) { return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b); }

TEST_F(SceneFrame, TerrainAndSkyShowOnlyWhenSwitchedOn) {
    const Colour black = {0, 0, 0};
    const Colour floor = pixel(FLOOR_X, FLOOR_Y, true, true, false, false);
    const Colour wall = pixel(WALL_X, WALL_Y, true, true, false, false);
    EXPECT_TRUE(near(wall, WALL)) << str(wall) << ": the sky is drawn unlit";
    EXPECT_FALSE(near(floor, black) || near(floor, wall)) << str(floor);
    EXPECT_TRUE(near(pixel(FLOOR_X, FLOOR_Y, false, true, false, false), WALL)) << "T: the wall shows through";
    EXPECT_TRUE(near(pixel(WALL_X, WALL_Y, true, false, false, false), black)) << "H";
    EXPECT_TRUE(near(pixel(FLOOR_X, FLOOR_Y, true, false, false, false), floor));
}

TEST_F(SceneFrame, ShadowsDarkenTheFloorAfterTheOverlayIsAdded) {
    const Colour lit = pixel(SHADOW_X, SHADOW_Y, true, true, false, false);
    const Colour beside = pixel(FLOOR_X, FLOOR_Y, true, true, true, false);
    EXPECT_TRUE(near(beside, pixel(FLOOR_X, FLOOR_Y, true, true, false, false))) << "no shadow beside the plate";
    const Colour shadowed = pixel(SHADOW_X, SHADOW_Y, true, true, true, false);
    EXPECT_TRUE(near(shadowed, {uint8_t(lit.r / 5), uint8_t(lit.g / 5), uint8_t(lit.b / 5)})) << str(shadowed);

    // The overlay adds 90 % of its grey everywhere; the darkening comes last
    // and dims that as well.
    const Colour added = pixel(SHADOW_X, SHADOW_Y, true, true, false, true);
    const int plus = int(std::lround(0.9 * GREY));
    auto add = [plus](uint8_t v) { return uint8_t(std::min(255, v + plus)); };
    EXPECT_TRUE(near(added, {add(lit.r), add(lit.g), add(lit.b)})) << str(added);
    const Colour both = pixel(SHADOW_X, SHADOW_Y, true, true, true, true);
    EXPECT_TRUE(near(both, {uint8_t(added.r / 5), uint8_t(added.g / 5), uint8_t(added.b / 5)})) << str(both);
}

TEST_F(SceneFrame, DrawsWithoutAnyLoadedObject) {
    options.showAxes = options.showPath = true;
    beginFrame();
    drawSceneFrame(SceneObjects(), script, options, FrameView());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
