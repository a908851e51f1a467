// The offscreen OpenGL context with no display at all: it clears, keeps a
// stencil, reads back into a video, and draws the demo's bitmap text without
// GLUT.
#include "render/bitmapfont.h"
#include "capture/offscreen.h"
#include "capture/videowriter.h"

#include "support/tempdir.h"
#include "support/videofile.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int WIDTH = 160, HEIGHT = 120;

std::vector<unsigned char> readBack() {
    std::vector<unsigned char> rgb(WIDTH * HEIGHT * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

const unsigned char* pixel(const std::vector<unsigned char>& rgb, int x, int y) { return &rgb[(y * WIDTH + x) * 3]; }

class Offscreen : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("DISPLAY");
        ASSERT_TRUE(context.create(WIDTH, HEIGHT)) << context.error();
        glViewport(0, 0, WIDTH, HEIGHT);
    }
    OffscreenContext context;
};

TEST_F(Offscreen, ClearsAndKeepsEightStencilAndTwentyFourDepthBitsWithoutADisplay) {
    GLint stencilBits = 0, depthBits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(stencilBits, 8);
    EXPECT_GE(depthBits, 24);

    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Mark the left half in the stencil only, then paint where it is marked.
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glRectf(-1.0f, -1.0f, 0.0f, 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_EQUAL, 1, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glColor3f(1.0f, 1.0f, 0.0f);
    glRectf(-1.0f, -1.0f, 1.0f, 1.0f);
    glDisable(GL_STENCIL_TEST);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::vector<unsigned char> rgb = readBack();
    const unsigned char* left = pixel(rgb, WIDTH / 4, HEIGHT / 2);
    const unsigned char* right = pixel(rgb, 3 * WIDTH / 4, HEIGHT / 2);
    EXPECT_EQ((std::vector<int>{left[0], left[1], left[2]}), (std::vector<int>{255, 255, 0}));
    EXPECT_NEAR(right[0], 51, 1);
    EXPECT_NEAR(right[1], 102, 1);
    EXPECT_NEAR(right[2], 153, 1);
}

// Pixel identity with GLUT's own text is checked in a window
// (render_bitmapfont_test); here only that it draws where GLUT cannot.
TEST_F(Offscreen, DrawsTheBitmapTextInTheCurrentColourWithoutGlut) {
    ASSERT_TRUE(bitmapFontAvailable());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glOrtho(0, WIDTH, 0, HEIGHT, -1, 1);
    glColor3f(1, 0, 0);
    drawBitmapString(10, 50, 0, "Waiting...");
    const std::vector<unsigned char> rgb = readBack();
    int red = 0, right = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        red += rgb[i] == 255;
        if (rgb[i] == 255) right = std::max(right, static_cast<int>(i / 3 % WIDTH));
        ASSERT_EQ(rgb[i + 1] + rgb[i + 2], 0);
    }
    EXPECT_GT(red, 150);
    EXPECT_GT(right, 10 + 60);  // ten glyphs of 18-point text
}

// The way a recording uses the pieces: draw offscreen, read back with GL's
// default row alignment (322 pixels make 966 bytes, padded to 968), encode.
TEST(OffscreenRecording, FramesReadBackWithPaddedRowsEncodeUprightAndInOrder) {
    constexpr int W = 322, H = 240, FRAMES = 12, STRIDE = (W * 3 + 3) / 4 * 4;
    unsetenv("DISPLAY");
    TempDir dir;
    OffscreenContext context;
    ASSERT_TRUE(context.create(W, H)) << context.error();
    VideoSettings settings;
    settings.width = W;
    settings.height = H;
    settings.audioChannels = 0;
    VideoWriter writer;
    ASSERT_TRUE(writer.open(dir.file("drawn.mkv"), settings)) << writer.error();
    std::vector<unsigned char> rgb(STRIDE * H);
    glOrtho(0, W, 0, H, -1, 1);
    for (int k = 0; k < FRAMES; ++k) {
        glClearColor(0, 0, 0.8f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glRecti(k * 20, H / 2, k * 20 + 20, H);  // a white square moving right along the top half
        glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        ASSERT_TRUE(writer.addFrame(rgb.data(), STRIDE)) << writer.error();
    }
    ASSERT_TRUE(writer.finish()) << writer.error();

    const DecodedVideo video = decodeVideoFile(dir.file("drawn.mkv"));
    ASSERT_EQ(video.frames.size(), static_cast<size_t>(FRAMES));
    for (int k = 0; k < FRAMES; ++k) {
        const unsigned char* top = &video.frames[k][(H / 4 * W + k * 20 + 10) * 3];  // rows top first
        const unsigned char* bottom = &video.frames[k][(3 * H / 4 * W + k * 20 + 10) * 3];
        EXPECT_GT(top[0] + top[1] + top[2], 3 * 230) << "frame " << k;
        EXPECT_LT(bottom[0] + bottom[1], 2 * 25) << "frame " << k;
    }
}

TEST(OffscreenContext, RefusesImpossibleSizesWithAReason) {
    OffscreenContext context;
    EXPECT_FALSE(context.create(0, 100));
    EXPECT_NE(context.error().find("0x100"), std::string::npos) << context.error();
    EXPECT_FALSE(context.makeCurrent());
}

}  // namespace
