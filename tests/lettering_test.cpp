// Lettering: a word's flight along its path, its eye-space drawing, missing
// word models, and the title and closing sets as built from their tables.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log.h"
#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"
#include "support/tempdir.h"

using namespace scenefixtures;

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;

// The title screen's projection: 90 degrees, aspect 1, near 10, far 800.
void setTitleView() {
    glViewport(0, 0, WIDTH, HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.0, 10.0, 800.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

std::vector<unsigned char> readFrame() {
    std::vector<unsigned char> frame(WIDTH * HEIGHT * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    return frame;
}

bool isRed(int x, int y) {
    unsigned char rgb[3];
    readPixel(x, y, rgb);
    return rgb[0] == 200 && rgb[1] == 10 && rgb[2] == 10;
}

bool isBlack(int x, int y) {
    unsigned char rgb[3];
    readPixel(x, y, rgb);
    return rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0;
}

struct Row {
    const char* file;
    const char* name;  // the material name written into that file
    float start[3];
    float end[3];
    int steps;
};

const Row TITLE_ROWS[9] = {
    {"models/schrift/Just.3ds", "Just", {-150, 20, 0}, {-30, 20, 0}, 70},
    {"models/schrift/quelm.3ds", "quelm", {-12, 50, 0}, {-12, 19.5f, 0}, 50},
    {"models/schrift/it.3ds", "it", {120, 20, 0}, {10, 20, 0}, 70},
    {"models/schrift/by.3ds", "by", {-150, 10, 0}, {-5, 10, 0}, 70},
    {"models/schrift/tesk.3DS", "tesk", {-150, 0, 0}, {-40, 0, 0}, 70},
    {"models/schrift/malv.3ds", "malv", {-150, -10, 0}, {-25, -10, 0}, 70},
    {"models/schrift/pressdtostart.3DS", "pressdtostart", {-15, -30, 0}, {-15, -30, 0}, 70},
    {"models/schrift/loading1.3DS", "loading1", {-25, -30, 0}, {-25, -30, 0}, 70},
    {"models/schrift/loading2.3DS", "loading2", {-25, -30, 0}, {-25, -30, 0}, 70},
};

const Row CLOSING_ROWS[2] = {
    {"models/schrift/comingsoon.3DS", "comingsoon", {-100, 10, 0}, {-35, 10, 0}, 50},
    {"models/schrift/qz07.3DS", "qz07", {50, -12, 0}, {-15, -12, 0}, 70},
};

class LetteringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGlContext(WIDTH, HEIGHT)) << "drawing tests need DISPLAY (run under Xvfb)";
        messageLog.reopen("messages.log");
        makeDirs();
        ASSERT_TRUE(writeBackdrop());
        setTitleView();
    }
    void TearDown() override { messageLog.reopen(nullptr); }

    // The log's file is buffered: reopening it writes out what it holds.
    std::string log() {
        messageLog.reopen("messages.log");
        return readTextFile(dir.file("messages.log"));
    }

    // Checks an item against a table row: points, steps and which file it read.
    static void expectRow(const LetteringItem& item, const Row& row) {
        SCOPED_TRACE(row.file);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(item.startPoint[i], row.start[i]);
            EXPECT_FLOAT_EQ(item.endPoint[i], row.end[i]);
            EXPECT_FLOAT_EQ(item.position[i], row.start[i]);
        }
        EXPECT_EQ(item.stepCount, row.steps);
        EXPECT_TRUE(item.isMoving());
        ASSERT_EQ(item.model.materialCount, 1);
        EXPECT_STREQ(item.model.materials[0].name, row.name);
        EXPECT_NE(item.displayList, 0u);
    }

    // The backdrop must sit in entry 1 and hold the picture's grey.
    static void expectBackdrop(const TextureTable& textures) {
        ASSERT_NE(textures[1], 0u);
        EXPECT_TRUE(glIsTexture(textures[1]));
        glBindTexture(GL_TEXTURE_2D, textures[1]);
        unsigned char texel[8 * 8 * 4] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
        EXPECT_EQ(texel[0], 90);
        EXPECT_EQ(texel[1], 90);
        EXPECT_EQ(texel[2], 90);
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    TempDir dir;
};

// ---- One item ----------------------------------------------------------

TEST_F(LetteringTest, ItemTakesOneSamplePerAdvanceAndRestsOneStepShortOfTheEnd) {
    ASSERT_TRUE(writeSquare("models/schrift/word.3DS", "word", 200, 10, 10, 50));
    const double start[3] = {-150, 20, 0};
    const double end[3] = {-30, 20, 0};
    LetteringItem item("models/schrift/word.3DS", start, end, 70);
    EXPECT_TRUE(item.isMoving());
    EXPECT_FLOAT_EQ(item.position[0], -150.0f);

    for (int call = 1; call <= 70; ++call) {
        item.advance();
        SCOPED_TRACE(call);
        // Call k hands out sample k-1 of 70 equal steps from start to end.
        EXPECT_NEAR(item.position[0], -150.0 + 120.0 * (call - 1) / 70.0, 1e-4);
        EXPECT_NEAR(item.position[1], 20.0, 1e-5);
        EXPECT_NEAR(item.position[2], 0.0, 1e-5);
        EXPECT_EQ(item.isMoving(), call < 70);
    }
    EXPECT_NEAR(item.position[0], -31.714286, 1e-4);

    const float rest[3] = {item.position[0], item.position[1], item.position[2]};
    for (int call = 0; call < 5; ++call) item.advance();
    EXPECT_FALSE(item.isMoving());
    EXPECT_EQ(item.position[0], rest[0]);
    EXPECT_EQ(item.position[1], rest[1]);
    EXPECT_EQ(item.position[2], rest[2]);
}

TEST_F(LetteringTest, ItemWithEqualPointsStaysPutButMovesForItsSteps) {
    const double at[3] = {-15, -30, 0};
    LetteringItem item("models/schrift/none.3DS", at, at, 70);
    for (int call = 1; call < 70; ++call) item.advance();
    EXPECT_TRUE(item.isMoving());
    item.advance();
    EXPECT_FALSE(item.isMoving());
    EXPECT_FLOAT_EQ(item.position[0], -15.0f);
    EXPECT_FLOAT_EQ(item.position[1], -30.0f);
    EXPECT_FLOAT_EQ(item.position[2], 0.0f);
}

TEST_F(LetteringTest, DrawIgnoresTheCamera) {
    ASSERT_TRUE(writeSquare("models/schrift/word.3DS", "word", 200, 10, 10, 50));
    const double at[3] = {5, -3, 0};
    LetteringItem item("models/schrift/word.3DS", at, at, 10);

    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    item.draw();
    const std::vector<unsigned char> plain = readFrame();
    EXPECT_TRUE(isRed(WIDTH / 2, HEIGHT / 2)) << "the word should cover the centre";

    // A camera far off to the side, looking elsewhere.
    glLoadIdentity();
    gluLookAt(300, 120, -40, 0, 500, 0, 0, 1, 0);
    glRotatef(37, 1, 1, 0);
    float before[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    glClear(GL_COLOR_BUFFER_BIT);
    item.draw();
    const std::vector<unsigned char> moved = readFrame();
    EXPECT_TRUE(plain == moved) << "the picture changed with the camera";

    float after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], before[i]) << "modelview not restored, entry " << i;
}

TEST_F(LetteringTest, DrawPlacesTheWordFiftyUnitsAheadAtOneFifthOfItsSize) {
    ASSERT_TRUE(writeSquare("models/schrift/word.3DS", "word", 200, 10, 10, 50));
    const double at[3] = {20, 0, 0};
    LetteringItem item("models/schrift/word.3DS", at, at, 10);
    item.draw();
    // Eye position (20, 0, -50) projects to x = 400 + 400 * 20/50 = 560. The
    // square's half-size 50 becomes 10 units, 80 pixels across, 60 up.
    EXPECT_TRUE(isRed(560, 300));
    EXPECT_TRUE(isRed(630, 300));
    EXPECT_TRUE(isBlack(650, 300));
    EXPECT_TRUE(isRed(560, 350));
    EXPECT_TRUE(isBlack(560, 370));
    EXPECT_TRUE(isBlack(400, 300));
}

TEST_F(LetteringTest, MissingWordModelLeavesAWorkingItemThatDrawsNothing) {
    const double start[3] = {0, 0, 0};
    const double end[3] = {10, 0, 0};
    LetteringItem item("models/schrift/missing.3DS", start, end, 5);
    EXPECT_EQ(item.model.objectCount, 0);
    EXPECT_EQ(countLines(log(), "Error in Import3DS: "), 1);

    for (int call = 0; call < 5; ++call) item.advance();
    EXPECT_FALSE(item.isMoving());
    EXPECT_NEAR(item.position[0], 8.0, 1e-5);

    item.draw();
    const std::vector<unsigned char> frame = readFrame();
    for (unsigned char c : frame) ASSERT_EQ(c, 0) << "an empty word drew something";
}

// ---- The two sets --------------------------------------------------------

TEST_F(LetteringTest, TitleSetHoldsItsNineWordsAndTheBackdrop) {
    for (const Row& row : TITLE_ROWS) ASSERT_TRUE(writeSquare(row.file, row.name, 200, 10, 10, 20));
    TitleLettering set;
    EXPECT_EQ(set.loadFrameCounter, 0);
    EXPECT_EQ(set.loaderThread, nullptr);
    for (int i = 0; i < 9; ++i) {
        ASSERT_NE(set.items[i], nullptr);
        expectRow(*set.items[i], TITLE_ROWS[i]);
    }
    expectBackdrop(set.textures);
    EXPECT_EQ(countLines(log(), "Error in"), 0);
}

TEST_F(LetteringTest, ClosingSetHoldsItsTwoWordsAndTheBackdrop) {
    for (const Row& row : CLOSING_ROWS) ASSERT_TRUE(writeSquare(row.file, row.name, 200, 10, 10, 20));
    ClosingLettering set;
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(set.items[i], nullptr);
        expectRow(*set.items[i], CLOSING_ROWS[i]);
    }
    expectBackdrop(set.textures);
    EXPECT_EQ(countLines(log(), "Error in"), 0);
}

TEST_F(LetteringTest, EachSetReadsItsOwnCopyOfTheBackdrop) {
    TitleLettering title;
    ClosingLettering closing;
    EXPECT_NE(title.textures[1], closing.textures[1]);
    expectBackdrop(title.textures);
    expectBackdrop(closing.textures);
}

}  // namespace
