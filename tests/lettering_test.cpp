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

struct Row {
    const char* file;  // under models/schrift; the word's material is named after it
    float start[3], end[3];
    int steps;
};
const Row ROWS[11] = {
    {"Just.3ds", {-150, 20, 0}, {-30, 20, 0}, 70},       {"quelm.3ds", {-12, 50, 0}, {-12, 19.5f, 0}, 50},
    {"it.3ds", {120, 20, 0}, {10, 20, 0}, 70},           {"by.3ds", {-150, 10, 0}, {-5, 10, 0}, 70},
    {"tesk.3DS", {-150, 0, 0}, {-40, 0, 0}, 70},         {"malv.3ds", {-150, -10, 0}, {-25, -10, 0}, 70},
    {"pressdtostart.3DS", {-15, -30, 0}, {-15, -30, 0}, 70}, {"loading1.3DS", {-25, -30, 0}, {-25, -30, 0}, 70},
    {"loading2.3DS", {-25, -30, 0}, {-25, -30, 0}, 70},  // the closing set's two words follow
    {"comingsoon.3DS", {-100, 10, 0}, {-35, 10, 0}, 50}, {"qz07.3DS", {50, -12, 0}, {-15, -12, 0}, 70},
};

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

    // Items [first, first + count) against the table, and the backdrop's grey in entry 1.
    static void expectSet(LetteringItem* const* items, int first, int count, const TextureTable& textures) {
        for (int i = 0; i < count; ++i) {
            const Row& row = ROWS[first + i];
            SCOPED_TRACE(row.file);
            ASSERT_NE(items[i], nullptr);
            const float* points[3] = {items[i]->startPoint, items[i]->endPoint, items[i]->position};
            for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::equal(points[k], points[k] + 3, k == 1 ? row.end : row.start)) << k;
            EXPECT_EQ(items[i]->stepCount, row.steps);
            EXPECT_TRUE(items[i]->isMoving());
            ASSERT_EQ(items[i]->model.materialCount, 1);
            EXPECT_EQ(std::string(items[i]->model.materials[0].name) + std::strchr(row.file, '.'), row.file);
            EXPECT_NE(items[i]->displayList, 0u);
        }
        ASSERT_TRUE(glIsTexture(textures[1]));
        unsigned char texel[8 * 8 * 4] = {};
        glBindTexture(GL_TEXTURE_2D, textures[1]);
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
    for (const Row& row : ROWS) {
        const std::string file = row.file;
        ASSERT_TRUE(writeSquare("models/schrift/" + file, file.substr(0, file.find('.')), RED, 20));
    }
    TitleLettering title;
    ClosingLettering closing;
    EXPECT_EQ(title.loadFrameCounter, 0);
    expectSet(title.items, 0, 9, title.textures);
    expectSet(closing.items, 9, 2, closing.textures);
    EXPECT_NE(title.textures[BACKDROP_SLOT], closing.textures[BACKDROP_SLOT]);
    EXPECT_EQ(countOf(flushedLog(dir), "Error in"), 0);
}

}  // namespace
