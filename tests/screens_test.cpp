// The title, loading and closing screens as states over frames, drawn for
// real from small generated lettering models and read back: words fly in one
// after another, the loader starts only after the sixth word has arrived,
// the loading words alternate every 15 frames, the end is seen in exactly
// one frame that shows only the backdrop, and the scene is entered once.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/log.h"
#include "app/states.h"
#include "app/window.h"
#include "assets/writer3ds.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "motion/splinepath.h"
#include "platform/thread.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "scene/lettering.h"
#include "scene/skyterrain.h"
#include "support/glcontext.h"
#include "support/tempdir.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;

struct Colour {
    unsigned char r, g, b;
};
constexpr Colour BACKDROP = {30, 60, 90};
constexpr Colour TITLE_WORD = {255, 0, 0};
constexpr Colour PRESS_D = {255, 0, 255};
constexpr Colour LOADING1 = {0, 255, 0};
constexpr Colour LOADING2 = {255, 255, 0};

// Window pixels (from the bottom left) inside the words once at rest, for
// a 100 x 40 word at one fifth scale, 50 units ahead, 90-degree view.
constexpr int LOADING_X = 280, LOADING_Y = 144;  // both loading words
constexpr int PRESS_D_X = 400, PRESS_D_Y = 144;  // the prompt only
constexpr int LAST_WORD_X = 265, LAST_WORD_Y = 264;  // sixth title word at rest

// Frames until all six title words have arrived: 70 + 50 + 4 x 70.
constexpr int FLY_IN_FRAMES = 400;

// A flat 100 x 40 word facing the viewer, in one colour.
void writeWord(const std::string& file, Colour c) {
    MaterialSpec material;
    material.name = "ink";
    material.r = c.r;
    material.g = c.g;
    material.b = c.b;
    ObjectSpec word;
    word.name = "word";
    word.vertices = {{0, 0, 0}, {100, 0, 0}, {100, 40, 0}, {0, 40, 0}};
    word.indices = {0, 1, 2, 0, 2, 3};
    word.material = "ink";
    ASSERT_TRUE(writeFileBytes("models/schrift/" + file, write3ds({material}, {word})));
}

void writeBackdrop() {
    std::vector<uint8_t> rgb(8 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = BACKDROP.r;
        rgb[i + 1] = BACKDROP.g;
        rgb[i + 2] = BACKDROP.b;
    }
    ASSERT_TRUE(writeFileBytes("models/screenshot.bmp", writeBmp24(8, 8, rgb.data())));
}

// The held loader: runs until the test lets it end.
std::atomic<bool> releaseLoader{false};
std::atomic<int> loaderStarts{0};
int (*entryGiven)(void*) = nullptr;

int heldLoader(void*) {
    while (!releaseLoader.load()) sleepMilliseconds(1);
    return 0;
}

ThreadHandle* startHeldLoader(int (*entry)(void*), void*) {
    ++loaderStarts;
    entryGiven = entry;
    return startThread(heldLoader, nullptr);
}

ThreadHandle* failToStart(int (*)(void*), void*) {
    ++loaderStarts;
    return nullptr;
}

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        // Children of death tests start afresh: this process has GL threads.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        mkdir("models", 0755);
        mkdir("models/schrift", 0755);
        writeBackdrop();
        const char* titleFiles[6] = {"Just.3ds", "quelm.3ds", "it.3ds",
                                     "by.3ds",   "tesk.3DS",  "malv.3ds"};
        for (const char* f : titleFiles) writeWord(f, TITLE_WORD);
        writeWord("pressdtostart.3DS", PRESS_D);
        writeWord("loading1.3DS", LOADING1);
        writeWord("loading2.3DS", LOADING2);
        messageLog.reopen(dir.file("messages.log").c_str());

        releaseLoader = false;
        loaderStarts = 0;
        entryGiven = nullptr;
        startLoaderThread = startHeldLoader;
        demoState = STATE_TITLE;
        sceneObjectsReady = false;

        // The title's projection and OpenGL state, as the program sets them.
        windowWidth = WIDTH;
        windowHeight = HEIGHT;
        glViewport(0, 0, WIDTH, HEIGHT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(90.0, 1.0, 10.0, 800.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        delete sceneLight;
        sceneLight = new Light(-55, -55, 50);
        sceneLight->apply();
        glClearColor(0, 0, 0, 0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glEnable(GL_COLOR_MATERIAL);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_NORMALIZE);

        title = new TitleLettering;
        titleLettering = title;
    }

    void TearDown() override {
        releaseLoader = true;
        // The held loader must end before the test's globals go away.
        if (title && title->loaderThread)
            while (pollThreadExit(title->loaderThread) == STILL_ACTIVE) sleepMilliseconds(1);
        titleLettering = nullptr;
        delete title;
        startLoaderThread = startThread;
        messageLog.reopen(nullptr);
    }

    // One title frame as display draws it, left in the back buffer.
    bool frame() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glLoadIdentity();
        applyDefaultView();
        const bool ended = title->drawTitleFrame(&demoState);
        glFinish();
        return ended;
    }

    void flyAllWordsIn() {
        for (int i = 0; i < FLY_IN_FRAMES; ++i) frame();
        ASSERT_FALSE(title->items[5]->isMoving());
    }

    static bool pixelIs(int x, int y, Colour c) {
        unsigned char rgb[3];
        readPixel(x, y, rgb);
        return std::abs(rgb[0] - c.r) <= 2 && std::abs(rgb[1] - c.g) <= 2 &&
               std::abs(rgb[2] - c.b) <= 2;
    }

    void waitForHeldLoaderEnd() {
        releaseLoader = true;
        ASSERT_NE(title->loaderThread, nullptr);
        while (pollThreadExit(title->loaderThread) == STILL_ACTIVE) sleepMilliseconds(1);
    }

    TempDir dir;
    TitleLettering* title = nullptr;
};

TEST_F(Screens, TitleWordsFlyInOneAfterAnother) {
    int lastStarted = 0;
    for (int f = 0; f < FLY_IN_FRAMES; ++f) {
        int firstMoving = -1;
        std::pair<int, bool> before[6];
        for (int i = 0; i < 6; ++i) {
            before[i] = {title->items[i]->path->cursor, title->items[i]->isMoving()};
            if (firstMoving < 0 && title->items[i]->isMoving()) firstMoving = i;
        }
        ASSERT_GE(firstMoving, 0) << "frame " << f;
        frame();
        // Exactly the first moving word took a step (the last step only
        // brings it to rest).
        for (int i = 0; i < 6; ++i) {
            const std::pair<int, bool> after{title->items[i]->path->cursor,
                                             title->items[i]->isMoving()};
            EXPECT_EQ(after != before[i], i == firstMoving) << "frame " << f << " word " << i;
        }
        // A word starts only after every word before it has come to rest.
        EXPECT_GE(firstMoving, lastStarted);
        lastStarted = firstMoving;
        // The prompt waits for the words.
        EXPECT_TRUE(pixelIs(PRESS_D_X, PRESS_D_Y, BACKDROP)) << "frame " << f;
    }
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(title->items[i]->isMoving()) << i;
    frame();
    EXPECT_TRUE(pixelIs(PRESS_D_X, PRESS_D_Y, PRESS_D));
    EXPECT_FALSE(pixelIs(LAST_WORD_X, LAST_WORD_Y, BACKDROP)) << "the sixth word is drawn";
    EXPECT_EQ(demoState, STATE_TITLE);
    EXPECT_EQ(loaderStarts, 0);
}

TEST_F(Screens, BackdropFillsTheWindow) {
    frame();
    for (auto [x, y] : {std::pair{0, 0}, {WIDTH - 1, 0}, {0, HEIGHT - 1}, {WIDTH - 1, HEIGHT - 1},
                        {WIDTH / 2, HEIGHT / 2}})
        EXPECT_TRUE(pixelIs(x, y, BACKDROP)) << x << "," << y;
}

TEST_F(Screens, LoaderStartsOnlyAfterTheSixthWordEvenWhenDComesEarly) {
    frame();
    keyboard('d', 0, 0);
    ASSERT_EQ(demoState, STATE_LOAD_REQUESTED);
    for (int f = 1; f < FLY_IN_FRAMES; ++f) {
        frame();
        ASSERT_EQ(loaderStarts, 0) << "frame " << f;
        ASSERT_EQ(demoState, STATE_LOAD_REQUESTED);
        // Once asked, the prompt is no longer shown.
        ASSERT_TRUE(pixelIs(PRESS_D_X, PRESS_D_Y, BACKDROP)) << "frame " << f;
    }
    EXPECT_FALSE(title->items[5]->isMoving());
    frame();
    EXPECT_EQ(loaderStarts, 1);
    EXPECT_EQ(demoState, STATE_LOADING1);
    EXPECT_TRUE(entryGiven == loaderThreadMain);
    for (int f = 0; f < 50; ++f) frame();
    EXPECT_EQ(loaderStarts, 1) << "started at most once";
}

TEST_F(Screens, LoadingWordsAlternateEveryFifteenFrames) {
    flyAllWordsIn();
    demoState = STATE_LOAD_REQUESTED;
    frame();
    ASSERT_EQ(demoState, STATE_LOADING1);
    for (int f = 1; f <= 75; ++f) {
        frame();
        const bool firstWord = ((f - 1) / 15) % 2 == 0;
        EXPECT_TRUE(pixelIs(LOADING_X, LOADING_Y, firstWord ? LOADING1 : LOADING2))
            << "frame " << f;
        EXPECT_FALSE(pixelIs(PRESS_D_X, PRESS_D_Y, PRESS_D)) << "frame " << f;
        const bool nextFirst = (f / 15) % 2 == 0;
        EXPECT_EQ(demoState, nextFirst ? STATE_LOADING1 : STATE_LOADING2) << "frame " << f;
        EXPECT_EQ(title->loadFrameCounter, f % 15);
    }
}

TEST_F(Screens, EndIsSeenInExactlyOneFrameThatDrawsOnlyTheBackdrop) {
    flyAllWordsIn();
    demoState = STATE_LOAD_REQUESTED;
    frame();
    for (int f = 0; f < 20; ++f) EXPECT_FALSE(frame());
    waitForHeldLoaderEnd();

    EXPECT_TRUE(frame());
    EXPECT_EQ(demoState, STATE_SCENE);
    EXPECT_TRUE(pixelIs(LOADING_X, LOADING_Y, BACKDROP));
    EXPECT_TRUE(pixelIs(LAST_WORD_X, LAST_WORD_Y, BACKDROP));
    EXPECT_TRUE(pixelIs(WIDTH / 2, HEIGHT / 2, BACKDROP));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST_F(Screens, DisplayEntersTheSceneOnceInTheEndFrame) {
    flyAllWordsIn();
    demoState = STATE_LOAD_REQUESTED;
    display();
    display();
    ASSERT_EQ(demoState, STATE_LOADING1);
    EXPECT_FALSE(sceneObjectsReady);
    EXPECT_EQ(overlayTextures[overlayTextureIndex], 0u);
    waitForHeldLoaderEnd();

    display();
    EXPECT_EQ(demoState, STATE_SCENE);
    EXPECT_TRUE(sceneObjectsReady);
    const unsigned int overlay = overlayTextures[overlayTextureIndex];
    EXPECT_NE(overlay, 0u);
    float position[3];
    sceneLight->getPosition(position);
    EXPECT_EQ(position[0], 0.0f);
    EXPECT_EQ(position[1], 30.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << "cullFaces is set";

    // The held loader built nothing: scene frames must cope with that.
    for (int f = 0; f < 5; ++f) display();
    sceneLight->position[0] = 123.0f;  // a fresh light would not carry this
    enterScene();
    sceneLight->getPosition(position);
    EXPECT_EQ(position[0], 123.0f);
    EXPECT_EQ(overlayTextures[overlayTextureIndex], overlay);
}

TEST_F(Screens, FailedThreadStartLoadsOnThisThreadAfterOneLoadingFrame) {
    startLoaderThread = failToStart;
    flyAllWordsIn();
    demoState = STATE_LOAD_REQUESTED;
    frame();
    EXPECT_EQ(loaderStarts, 1);
    EXPECT_EQ(demoState, STATE_LOADING1);
    EXPECT_EQ(title->loaderThread, nullptr);

    // One loading frame is shown before the window holds still to load.
    EXPECT_FALSE(frame());
    EXPECT_TRUE(pixelIs(LOADING_X, LOADING_Y, LOADING1));
    EXPECT_EQ(plainCharacter, nullptr);

    EXPECT_TRUE(frame());
    EXPECT_EQ(demoState, STATE_SCENE);
    EXPECT_NE(plainCharacter, nullptr);
    EXPECT_NE(redCharacter, nullptr);
    EXPECT_NE(terrain, nullptr);
    EXPECT_NE(sky, nullptr);
    EXPECT_NE(camera, nullptr);
    EXPECT_NE(cameraPath, nullptr);

    messageLog.reopen(nullptr);  // flush
    const std::string log = readTextFile(dir.file("messages.log"));
    EXPECT_NE(log.find("Error in startLoaderThread: "), std::string::npos) << log;
    EXPECT_EQ(loaderStarts, 1) << "no second attempt";
}

// ---- The closing screen ---------------------------------------------------

class ClosingScreen : public Screens {};

void runClosingScreen() {
    demoState = STATE_CLOSING;
    enterClosing();
    for (int f = 1;; ++f) {
        std::fprintf(stderr, "frame %d\n", f);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        applyDefaultView();
        closingLettering->drawClosingFrame(&demoState);
        if (f > 200) break;
    }
    std::exit(3);  // not reached when the screen ends the process
}

TEST_F(ClosingScreen, EndsTheProcessWithStatusZeroFiveSecondsAfterBothWordsArrived) {
    writeWord("comingsoon.3DS", TITLE_WORD);
    writeWord("qz07.3DS", LOADING1);
    const auto start = std::chrono::steady_clock::now();
    // 50 frames for the first word, 70 for the second; the 121st waits and
    // ends the process before drawing anything further.
    EXPECT_EXIT(runClosingScreen(), ::testing::ExitedWithCode(0), "frame 121\n$");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 30.0);
}

TEST_F(ClosingScreen, WordsArriveOneAfterAnother) {
    writeWord("comingsoon.3DS", TITLE_WORD);
    writeWord("qz07.3DS", LOADING1);
    enterClosing();
    ClosingLettering* closing = closingLettering;
    const float secondStart = closing->items[1]->position[0];
    for (int f = 1; f <= 120; ++f) {
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        applyDefaultView();
        EXPECT_FALSE(closing->drawClosingFrame(&demoState));
        EXPECT_EQ(closing->items[0]->isMoving(), f < 50) << f;
        EXPECT_EQ(closing->items[1]->isMoving(), f < 120) << f;
        if (f <= 51) {
            EXPECT_EQ(closing->items[1]->position[0], secondStart) << f;
        }
    }
    EXPECT_NE(closing->items[1]->position[0], secondStart);
}

// ---- Exit while the loader still runs --------------------------------------

constexpr int CHATTY_LINES = 300;

// Stands in for a slow load that reports as it goes.
int chattyLoader(void*) {
    sleepMilliseconds(100);
    char message[32];
    for (int i = 0; i < CHATTY_LINES; ++i) {
        std::snprintf(message, sizeof message, "line %d", i);
        logInfo("chatty", message);
    }
    return 0;
}

ThreadHandle* startChattyLoader(int (*)(void*), void*) { return startThread(chattyLoader, nullptr); }

void exitWhileLoading(TitleLettering* title, const char* logPath) {
    messageLog.reopen(logPath);
    for (int i = 0; i < 6; ++i) title->items[i]->moving = false;
    startLoaderThread = startChattyLoader;
    demoState = STATE_LOAD_REQUESTED;
    title->drawTitleFrame(&demoState);
    // As the closing screen does: static destruction closes the log next.
    std::exit(0);
}

TEST_F(Screens, ExitWhileTheLoaderWritesLeavesTheLogWhole) {
    // The child re-runs this test; it must write where the parent reads.
    if (!std::getenv("QUELM_EXIT_TEST_LOG"))
        setenv("QUELM_EXIT_TEST_LOG", dir.file("exit.log").c_str(), 1);
    const std::string logPath = std::getenv("QUELM_EXIT_TEST_LOG");
    EXPECT_EXIT(exitWhileLoading(title, logPath.c_str()), ::testing::ExitedWithCode(0), "");
    unsetenv("QUELM_EXIT_TEST_LOG");

    const std::string log = readTextFile(logPath);
    int lines = 0;
    size_t at = 0;
    for (size_t end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
        char expected[48];
        std::snprintf(expected, sizeof expected, "Info in chatty: line %d", lines);
        EXPECT_EQ(log.substr(at, end - at), expected);
        ++lines;
    }
    EXPECT_EQ(lines, CHATTY_LINES);
    EXPECT_EQ(at, log.size()) << "no partial line";
}

}  // namespace
