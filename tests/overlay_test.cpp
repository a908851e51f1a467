// Screen-fixed drawing and the render-to-texture overlay: the figure's
// three digits, the overlay adding 90 % of its texture upright over the
// window, and each capture fading the last by 0.9.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/overlay.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

TEST(FramesPerSecondFigure, AlwaysThreeDigits) {
    for (auto [n, expected] : {std::pair{7, "007"}, {123, "123"}, {1000, "999"}, {-2147483647 - 1, "000"}}) {
        char out[4];
        EXPECT_STREQ((formatFramesPerSecond(n, out), out), expected) << n;
    }
}

class ScreenDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        setView(90.0, 10.0, 800.0, {40, 20, 10});  // the program's projection outside the title
        for (GLenum cap : {GL_LIGHTING, GL_BLEND, GL_DEPTH_TEST}) glDisable(cap);
        glEnable(GL_TEXTURE_2D);  // as in the scene, with some texture bound
        if (overlay.textures[0] == 0) createEmptyTexture(overlay.textures, overlay.textureSize, 3, GL_RGB, 0);
    }

    // Fills overlay texture 0 with `bottom` below its middle row and `top` above.
    static void fillOverlayTexture(Colour bottom, Colour top) {
        const int size = overlay.textureSize;
        std::vector<unsigned char> texels;
        for (int i = 0; i < size * size; ++i) {
            const Colour c = i < size * size / 2 ? bottom : top;
            texels.insert(texels.end(), {c.r, c.g, c.b});
        }
        glBindTexture(GL_TEXTURE_2D, overlay.textures[0]), glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    }

    static std::vector<unsigned char> overlayTexels() {
        std::vector<unsigned char> texels(overlay.textureSize * overlay.textureSize * 3);
        glBindTexture(GL_TEXTURE_2D, overlay.textures[0]), glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }
};

TEST_F(ScreenDrawing, OverlayAddsNinetyPercentOfItsTextureUprightOverTheWholeWindow) {
    fillOverlayTexture({100, 200, 50}, {200, 0, 100});
    drawOverlay(0, WIDTH, HEIGHT);
    for (auto [x, y] : {std::pair{1, 1}, {WIDTH - 2, HEIGHT / 2 - 20}, {1, HEIGHT / 2 + 20}, {WIDTH - 2, HEIGHT - 2}})
        EXPECT_TRUE(pixelIs(x, y, y < HEIGHT / 2 ? Colour{40 + 90, 20 + 180, 10 + 45} : Colour{40 + 180, 20, 10 + 90}, 2))
            << x << "," << y;
}

TEST_F(ScreenDrawing, EachCaptureFadesThePreviousByNineTenthsAndKeepsTheStencil) {
    fillOverlayTexture({200, 200, 200}, {200, 200, 200});  // what the window holds adds to the faded texture
    glClearColor(0, 0, 0, 0), glClearStencil(3), glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT), glClearStencil(0);
    // No characters or terrain exist here: the capture is the old texture, faded.
    for (int expected : {180, 162}) {
        updateOverlayTexture(SceneObjects(), false, FrameView());
        const std::vector<unsigned char> texels = overlayTexels();
        for (size_t i : {size_t(0), texels.size() / 2 + 7, texels.size() - 1}) EXPECT_NEAR(texels[i], expected, 2) << i;
    }
    // The capture clears colour away but keeps the stencil, and gives the window its viewport back.
    EXPECT_TRUE(pixelIs(100, 100, {0, 0, 0}));
    GLubyte stencil = 0;
    GLint viewport[4];
    glReadPixels(100, 100, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil), glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(stencil == 3 && viewport[2] == WIDTH && viewport[3] == HEIGHT) << int(stencil);
}

// In a window of many squares the capture clears its own square alone:
// the rest is as the frame's clear left it, and stays so.
TEST_F(ScreenDrawing, ACaptureInALargeWindowTouchesOnlyItsSquare) {
    const OverlayState saved = overlay;
    overlay.textureSize = 128, overlay.textureIndex = 1;  // the window holds 29 such squares
    createEmptyTexture(overlay.textures, overlay.textureSize, 3, GL_RGB, 1);
    glColor3ub(90, 160, 30), glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION), glPushMatrix(), glLoadIdentity(), glMatrixMode(GL_MODELVIEW), glPushMatrix(), glLoadIdentity();
    glRectf(-1, -1, 1, 1);
    glMatrixMode(GL_PROJECTION), glPopMatrix(), glMatrixMode(GL_MODELVIEW), glPopMatrix();
    glEnable(GL_TEXTURE_2D);
    updateOverlayTexture(SceneObjects(), false, FrameView());
    EXPECT_TRUE(pixelIs(60, 60, {40, 20, 10}) && pixelIs(127, 127, {40, 20, 10})) << "the square, cleared";
    EXPECT_TRUE(pixelIs(128, 60, {90, 160, 30}) && pixelIs(60, 128, {90, 160, 30}) && pixelIs(700, 500, {90, 160, 30}));
    glDeleteTextures(1, &overlay.textures[1]);
    overlay = saved;
}

}  // namespace
