// Lettering: a word's flight along its path, its eye-space drawing, missing
// word models, and the title and closing sets as built from their tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

constexpr Colour RED = {200, 10, 10}, BLACK = {0, 0, 0};

// The words' files under models/schrift, in the order of the sets' items;
// each word's material is named after its file.
const char* const WORDS[11] = {"Just.3ds", "quelm.3ds", "it.3ds", "by.3ds", "tesk.3DS", "malv.3ds",
                               "pressdtostart.3DS", "loading1.3DS", "loading2.3DS", "comingsoon.3DS", "qz07.3DS"};

class LetteringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGlContext()) << "drawing tests need DISPLAY (run under Xvfb)";
        messageLog.reopen("messages.log");
        makeDirs();
        ASSERT_TRUE(writeBackdrop());
        setView(90.0, 10.0, 800.0);  // the title screen's camera
        for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D}) glDisable(cap);
    }
    void TearDown() override { messageLog.reopen(nullptr); }

    // Items [first, first + count) in their words' order, and the backdrop's grey in entry 1.
    static void expectSet(LetteringItem* const* items, int first, int count, const TextureTable& textures) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(items[i] && items[i]->model.materialCount == 1) << WORDS[first + i];
            EXPECT_EQ(std::string(items[i]->model.materials[0].name) + std::strchr(WORDS[first + i], '.'), WORDS[first + i]);
            EXPECT_TRUE(items[i]->isMoving() && items[i]->displayList != 0u);
        }
        unsigned char texel[8 * 8 * 4] = {};
        glBindTexture(GL_TEXTURE_2D, textures[BACKDROP_SLOT]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_TRUE(texel[0] == 90 && texel[1] == 90 && texel[2] == 90);
    }

    TempDir dir;
};

TEST_F(LetteringTest, ItemWithoutItsModelTakesOneSamplePerAdvanceRestsOneStepShortAndDrawsNothing) {
    const double start[3] = {-150, 20, 0}, end[3] = {-30, 20, 0};
    LetteringItem item("models/schrift/missing.3DS", start, end, 70);
    EXPECT_EQ(countOf(flushedLog(dir), "Error in Import3DS: "), 1);
    EXPECT_TRUE(item.isMoving());
    for (int call = 1; call <= 75; ++call) {
        item.advance();
        SCOPED_TRACE(call);
        // Call k hands out sample k-1 of 70 equal steps; from the 70th on it rests.
        EXPECT_NEAR(item.position[0], -150.0 + 120.0 * (std::min(call, 70) - 1) / 70.0, 1e-4);
        EXPECT_NEAR(item.position[1], 20.0, 1e-5);
        EXPECT_NEAR(item.position[2], 0.0, 1e-5);
        EXPECT_EQ(item.isMoving(), call < 70);
    }
    item.draw();
    for (unsigned char c : readFrame()) ASSERT_EQ(c, 0) << "an empty word drew something";
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

TEST_F(LetteringTest, TitleAndClosingSetsHoldTheirWordsAndEachItsOwnBackdrop) {
    for (const std::string file : WORDS)
        ASSERT_TRUE(writeSquare("models/schrift/" + file, file.substr(0, file.find('.')), RED, 20));
    TitleLettering title;
    ClosingLettering closing;
    expectSet(title.items, 0, 9, title.textures);
    expectSet(closing.items, 9, 2, closing.textures);
    EXPECT_NE(title.textures[BACKDROP_SLOT], closing.textures[BACKDROP_SLOT]);
    EXPECT_EQ(countOf(flushedLog(dir), "Error in"), 0);
}

}  // namespace
