// The offscreen OpenGL context with no display at all: it clears, keeps a
// stencil and draws the demo's bitmap text without GLUT. (Read back into a
// video: record_test's recordings without a display.)
#include "render/bitmapfont.h"
#include "capture/offscreen.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int WIDTH = 160, HEIGHT = 120;

std::vector<int> pixelAt(int x, int y) {
    unsigned char rgb[3] = {};
    glReadBuffer(GL_BACK), glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

TEST(Offscreen, ClearsAndKeepsEightStencilAndTwentyFourDepthBitsWithoutADisplay) {
    unsetenv("DISPLAY");
    OffscreenContext context;
    ASSERT_TRUE(context.create(WIDTH, HEIGHT)) << context.error();
    glViewport(0, 0, WIDTH, HEIGHT);
    GLint stencilBits = 0, depthBits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits), glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_TRUE(stencilBits >= 8 && depthBits >= 24) << stencilBits << " " << depthBits;
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Mark the left half in the stencil only, then paint where it is marked.
    glEnable(GL_STENCIL_TEST), glStencilFunc(GL_ALWAYS, 1, 0xff), glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE), glRectf(-1, -1, 0, 1);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE), glStencilFunc(GL_EQUAL, 1, 0xff);
    glColor3f(1, 1, 0), glRectf(-1, -1, 1, 1), glDisable(GL_STENCIL_TEST);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(pixelAt(WIDTH / 4, HEIGHT / 2), (std::vector<int>{255, 255, 0}));
    EXPECT_EQ(pixelAt(3 * WIDTH / 4, HEIGHT / 2), (std::vector<int>{51, 102, 153}));
}

// Pixel identity with GLUT's own text is checked in a window
// (render_bitmapfont_test); here only that it draws where GLUT cannot.
TEST(Offscreen, DrawsTheBitmapTextInTheCurrentColourWithoutGlut) {
    unsetenv("DISPLAY");
    OffscreenContext context;
    ASSERT_TRUE(context.create(WIDTH, HEIGHT)) << context.error();
    glViewport(0, 0, WIDTH, HEIGHT), glClearColor(0, 0, 0, 1), glClear(GL_COLOR_BUFFER_BIT);
    glOrtho(0, WIDTH, 0, HEIGHT, -1, 1), glColor3f(1, 0, 0);
    drawBitmapString(10, 50, 0, "Waiting...");
    std::vector<unsigned char> rgb(WIDTH * HEIGHT * 3);
    glReadBuffer(GL_BACK), glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int red = 0, right = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        if (rgb[i] == 255) ++red, right = std::max(right, int(i / 3 % WIDTH));
        ASSERT_EQ(rgb[i + 1] + rgb[i + 2], 0);
    }
    EXPECT_GT(red, 150);
    EXPECT_GT(right, 10 + 60);  // ten glyphs of 18-point text
}

TEST(Offscreen, RefusesImpossibleSizesWithAReason) {
    OffscreenContext context;
    EXPECT_FALSE(context.create(0, 100));
    EXPECT_NE(context.error().find("0x100"), std::string::npos) << context.error();
    EXPECT_FALSE(context.makeCurrent());
}

}  // namespace
