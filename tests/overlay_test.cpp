// Screen-fixed drawing and the render-to-texture overlay: the figure's
// three digits, text in screen pixels, the overlay adding 90 % of its
// texture upright over the window, and each capture fading the last by 0.9.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/states.h"
#include "app/timing.h"
#include "app/window.h"
#include "render/overlay.h"
#include "support/glcontext.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;

std::string figure(int n) {
    char out[4];
    formatFramesPerSecond(n, out);
    return out;
}

TEST(FramesPerSecondFigure, AlwaysThreeDigits) {
    EXPECT_EQ(figure(7), "007");
    EXPECT_EQ(figure(60), "060");
    EXPECT_EQ(figure(123), "123");
    EXPECT_EQ(figure(0), "000");
    EXPECT_EQ(figure(999), "999");
}

TEST(FramesPerSecondFigure, FiguresBeyondThreeDigitsShowOnlyDigits) {
    for (int n : {1000, 1001, 4321, 123456, 2147483647, -1, -2147483647 - 1}) {
        const std::string s = figure(n);
        ASSERT_EQ(s.size(), 3u) << n;
        for (char c : s) EXPECT_TRUE(c >= '0' && c <= '9') << n << " gives " << s;
    }
    EXPECT_EQ(figure(1000), "999");
    EXPECT_EQ(figure(-5), "000");
}

class ScreenDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        windowWidth = WIDTH;
        windowHeight = HEIGHT;
        glViewport(0, 0, WIDTH, HEIGHT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }

    // The whole back buffer as RGB bytes, bottom row first.
    static std::vector<unsigned char> readWindow() {
        std::vector<unsigned char> pixels(WIDTH * HEIGHT * 3);
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // The program's projection outside the title: 90 degrees, aspect 1.
    static void sceneProjection() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(90.0, 1.0, 10.0, 800.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // Fills overlay texture 0 with one colour, or with `top` over its upper
    // half when given.
    static void fillOverlayTexture(const unsigned char rgb[3], const unsigned char* top = nullptr) {
        const int size = overlayTextureSize;
        std::vector<unsigned char> texels(size * size * 3);
        for (int row = 0; row < size; ++row)
            for (int col = 0; col < size; ++col) {
                const unsigned char* c = (top && row >= size / 2) ? top : rgb;
                std::memcpy(&texels[(row * size + col) * 3], c, 3);
            }
        glBindTexture(GL_TEXTURE_2D, overlayTextures[0]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE,
                        texels.data());
    }

    static void readOverlayTexel(int x, int y, unsigned char rgb[3]) {
        const int size = overlayTextureSize;
        std::vector<unsigned char> texels(size * size * 3);
        glBindTexture(GL_TEXTURE_2D, overlayTextures[0]);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        std::memcpy(rgb, &texels[(y * size + x) * 3], 3);
    }

    static void makeOverlayTexture() {
        if (overlayTextures[0] == 0)
            createEmptyTexture(overlayTextures, overlayTextureSize, 3, GL_RGB, 0);
    }
};

TEST_F(ScreenDrawing, FigureOfSevenIsDrawnAsThreeDigitsInRedAtUpperRight) {
    sceneProjection();
    framesPerSecond = 7;
    drawFramesPerSecond();
    const std::vector<unsigned char> drawn = readWindow();

    // The same text drawn directly, in the same place and colour.
    const bool litAfter = glIsEnabled(GL_LIGHTING);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(1, 0, 0);
    drawBitmapText(40, 40, -50, "007");
    const std::vector<unsigned char> expected = readWindow();
    EXPECT_TRUE(drawn == expected);

    glClear(GL_COLOR_BUFFER_BIT);
    drawBitmapText(40, 40, -50, "7");
    EXPECT_FALSE(drawn == readWindow()) << "a bare 7 would look the same";

    // Red pixels only, and all in the upper right quarter.
    int lit = 0;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const unsigned char* p = &drawn[(y * WIDTH + x) * 3];
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
            ++lit;
            EXPECT_EQ(p[1], 0);
            EXPECT_EQ(p[2], 0);
            EXPECT_GT(x, WIDTH / 2);
            EXPECT_GT(y, HEIGHT / 2);
        }
    EXPECT_GT(lit, 30);
    // The status line is drawn in the colour the figure leaves, with
    // lighting back on.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 0.0f);
    EXPECT_TRUE(litAfter);
}

TEST_F(ScreenDrawing, TextKeepsItsColourWhileTexturingIsOn) {
    // The scene draws its text with texturing on and some texture bound.
    sceneProjection();
    makeOverlayTexture();
    const unsigned char black[3] = {0, 0, 0};
    fillOverlayTexture(black);
    glEnable(GL_TEXTURE_2D);
    framesPerSecond = 888;
    drawFramesPerSecond();
    const std::vector<unsigned char> drawn = readWindow();
    int red = 0;
    for (size_t i = 0; i < drawn.size(); i += 3)
        if (drawn[i] == 255 && drawn[i + 1] == 0 && drawn[i + 2] == 0) ++red;
    EXPECT_GT(red, 30);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "texturing is left as it was";
}

TEST_F(ScreenDrawing, ScreenSpaceCountsPixelsFromTheTopLeft) {
    GLint depthBefore = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthBefore);
    beginScreenSpace(0, 0, WIDTH, HEIGHT);
    glColor3f(1, 1, 1);
    glBegin(GL_POINTS);
    glVertex2f(100.5f, 50.5f);
    glEnd();
    GLint depthInside = 0, mode = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthInside);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(depthInside, depthBefore + 1);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    unsigned char rgb[3];
    readPixel(100, HEIGHT - 51, rgb);  // glReadPixels counts from the bottom
    EXPECT_EQ(rgb[0], 255);
    readPixel(100, 50, rgb);
    EXPECT_EQ(rgb[0], 0);
}

TEST_F(ScreenDrawing, NewOverlayTextureIsBlackAndAddsNothing) {
    overlayTextures[0] = 0;
    createEmptyTexture(overlayTextures, 512, 3, GL_RGB, 0);
    ASSERT_NE(overlayTextures[0], 0u);
    GLint width = 0, filter = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(filter, GL_LINEAR);

    glClearColor(40 / 255.f, 20 / 255.f, 10 / 255.f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    drawOverlay(0);
    unsigned char rgb[3];
    readPixel(400, 300, rgb);
    EXPECT_NEAR(rgb[0], 40, 1);
    EXPECT_NEAR(rgb[1], 20, 1);
    EXPECT_NEAR(rgb[2], 10, 1);
}

TEST_F(ScreenDrawing, OverlayAddsNinetyPercentOfItsTextureEverywhere) {
    makeOverlayTexture();
    const unsigned char texel[3] = {100, 200, 50};
    fillOverlayTexture(texel);
    glClearColor(40 / 255.f, 20 / 255.f, 10 / 255.f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    drawOverlay(0);
    for (auto [x, y] : {std::pair{1, 1}, {400, 300}, {WIDTH - 2, HEIGHT - 2}}) {
        unsigned char rgb[3];
        readPixel(x, y, rgb);
        EXPECT_NEAR(rgb[0], 40 + 90, 2) << x << "," << y;
        EXPECT_NEAR(rgb[1], 20 + 180, 2) << x << "," << y;
        EXPECT_NEAR(rgb[2], 10 + 45, 2) << x << "," << y;
    }
    // What the scene expects afterwards.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(ScreenDrawing, OverlayShowsItsTextureUpright) {
    makeOverlayTexture();
    const unsigned char bottom[3] = {0, 0, 200};
    const unsigned char top[3] = {200, 0, 0};
    fillOverlayTexture(bottom, top);
    glEnable(GL_TEXTURE_2D);
    drawOverlay(0);
    unsigned char rgb[3];
    readPixel(400, HEIGHT - 20, rgb);  // near the top of the window
    EXPECT_NEAR(rgb[0], 180, 2);
    EXPECT_EQ(rgb[2], 0);
    readPixel(400, 20, rgb);
    EXPECT_EQ(rgb[0], 0);
    EXPECT_NEAR(rgb[2], 180, 2);
}

TEST_F(ScreenDrawing, EachCaptureFadesThePreviousByNineTenths) {
    makeOverlayTexture();
    const unsigned char grey[3] = {200, 200, 200};
    fillOverlayTexture(grey);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_STENCIL_TEST);
    glClearStencil(3);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glClearStencil(0);
    glDisable(GL_STENCIL_TEST);
    sceneProjection();

    // No characters or terrain exist here: the capture is the old texture.
    updateOverlayTexture();
    unsigned char rgb[3];
    readOverlayTexel(256, 256, rgb);
    EXPECT_NEAR(rgb[0], 180, 2);
    updateOverlayTexture();
    readOverlayTexel(10, 500, rgb);
    EXPECT_NEAR(rgb[1], 162, 2);

    // The capture clears colour away but keeps the stencil, and gives the
    // window its viewport back.
    readPixel(100, 100, rgb);
    EXPECT_EQ(rgb[0], 0);
    GLubyte stencil = 0;
    glReadPixels(100, 100, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
    EXPECT_EQ(stencil, 3);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], WIDTH);
    EXPECT_EQ(viewport[3], HEIGHT);
}

TEST_F(ScreenDrawing, OverlayWithAnUnknownIndexDrawsNothing) {
    glEnable(GL_TEXTURE_2D);
    drawOverlay(-1);
    drawOverlay(4);
    unsigned char rgb[3];
    readPixel(400, 300, rgb);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
}

}  // namespace
