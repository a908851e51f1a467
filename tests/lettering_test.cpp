// Lettering: a word's flight along its path, its eye-space drawing and a
// missing word model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

constexpr Colour RED = {200, 10, 10}, BLACK = {0, 0, 0};

class LetteringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGlContext()) << "drawing tests need DISPLAY (run under Xvfb)";
        messageLog.reopen("messages.log"), makeDirs();
        setView(90.0, 10.0, 800.0);  // the title screen's camera
        for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D}) glDisable(cap);
    }
    void TearDown() override { messageLog.reopen(nullptr); }

    TempDir dir;
};

TEST_F(LetteringTest, ItemWithoutItsModelTakesOneSamplePerAdvanceRestsOneStepShortAndDrawsNothing) {
    const double start[3] = {-150, 20, 0}, end[3] = {-30, 20, 0};
    LetteringItem item("models/schrift/missing.3DS", start, end, 70);
    EXPECT_TRUE(countOf(flushedLog(dir), "Error in Import3DS: ") == 1 && item.isMoving());
    for (int call = 1; call <= 75; ++call) {
        item.advance();
        // Call k hands out sample k-1 of 70 equal steps; from the 70th on it rests.
        EXPECT_NEAR(item.position[0], -150.0 + 120.0 * (std::min(call, 70) - 1) / 70.0, 1e-4) << call;
        EXPECT_TRUE(std::fabs(item.position[1] - 20) < 1e-5 && std::fabs(item.position[2]) < 1e-5 && item.isMoving() == (call < 70)) << call;
    }
    item.draw();
    EXPECT_EQ(readFrame(), std::vector<unsigned char>(800 * 600 * 3, 0)) << "an empty word drew something";
}

TEST_F(LetteringTest, DrawPlacesTheWordFiftyUnitsAheadAtOneFifthSizeWhateverTheCamera) {
    ASSERT_TRUE(writeSquare("models/schrift/word.3DS", "word", RED, 50));
    const double at[3] = {20, 0, 0};
    LetteringItem item("models/schrift/word.3DS", at, at, 10);
    item.draw();
    // Eye position (20, 0, -50) projects to x = 400 + 400 * 20/50 = 560; the
    // square's half-size 50 becomes 10 units, 80 pixels across and 60 up.
    for (auto [x, y, c] : {std::tuple{560, 300, RED}, {630, 300, RED}, {650, 300, BLACK}, {560, 350, RED},
                           {560, 370, BLACK}, {400, 300, BLACK}})
        EXPECT_TRUE(pixelIs(x, y, c)) << x << "," << y;
    const std::vector<unsigned char> plain = readFrame();

    gluLookAt(300, 120, -40, 0, 500, 0, 0, 1, 0);  // a camera far off to the side, looking elsewhere
    glRotatef(37, 1, 1, 0);
    const std::vector<float> before = glStateOf({GL_LIGHTING, GL_TEXTURE_2D});
    glClear(GL_COLOR_BUFFER_BIT);
    item.draw();
    EXPECT_TRUE(readFrame() == plain) << "the picture changed with the camera";
    EXPECT_EQ(glStateOf({GL_LIGHTING, GL_TEXTURE_2D}), before);
}

}  // namespace
