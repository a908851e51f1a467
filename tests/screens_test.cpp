// The title, loading and closing screens as states over frames, drawn for
// real from small generated lettering models and read back: words fly in one
// after another, the loader starts only after the sixth word has arrived,
// the loading words alternate every 15 frames, the end is seen in exactly
// one frame that shows only the backdrop, and the scene is entered once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "app/display.h"
#include "app/loader.h"
#include "app/states.h"
#include "app/window.h"
#include "platform/thread.h"
#include "render/light.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "motion/splinepath.h"
#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

constexpr Colour BACKDROP = {30, 60, 90}, TITLE_WORD = {255, 0, 0}, PRESS_D = {255, 0, 255},
                 LOADING1 = {0, 255, 0}, LOADING2 = {255, 255, 0};

// Window pixels inside the words once at rest, for a 100 x 40 word at one
// fifth scale, 50 units ahead, 90-degree view.
constexpr std::pair<int, int> LOADING_AT = {280, 144}, PRESS_D_AT = {400, 144}, LAST_WORD_AT = {265, 264};

bool shows(std::pair<int, int> at, Colour c) { return pixelIs(at.first, at.second, c, 2); }

// Frames until all six title words have arrived: 70 + 50 + 4 x 70.
constexpr int FLY_IN_FRAMES = 400;

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

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        // Children of death tests start afresh: this process has GL threads.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        makeDirs();
        ASSERT_TRUE(writeBackdrop(BACKDROP));
        for (const char* f : {"Just.3ds", "quelm.3ds", "it.3ds", "by.3ds", "tesk.3DS", "malv.3ds"}) word(f, TITLE_WORD);
        word("pressdtostart.3DS", PRESS_D);
        word("loading1.3DS", LOADING1);
        word("loading2.3DS", LOADING2);
        messageLog.reopen(dir.file("messages.log").c_str());
        releaseLoader = false;
        loaderStarts = 0;
        entryGiven = nullptr;
        startLoaderThread = startHeldLoader;
        demo = Demo();
        overlay = OverlayState();

        // The title's camera and OpenGL state, as the program sets them.
        windowSize = WindowSize();
        setView(90.0, 10.0, 800.0);
        useLight(-55, -55, 50);
        applyScreenState();
        demo.titleLettering = title = new TitleLettering;
    }

    void TearDown() override {
        if (loaderStarts > 0 && entryGiven) endHeldLoader();  // before the test's globals go away
        demo.titleLettering = nullptr;
        delete title;
        startLoaderThread = startThread;
        messageLog.reopen(nullptr);
    }

    // A flat 100 x 40 word facing the viewer, in one colour.
    static void word(const std::string& file, Colour c) {
        ASSERT_TRUE(writeQuad("models/schrift/" + file, "ink", c, 0, 0, 100, 40));
    }

    // One title frame as display draws it, left in the back buffer; true
    // when it was the frame that entered the scene.
    bool frame() {
        drawFrame();
        return demo.demoState == STATE_SCENE;
    }

    // All words in and the prompt shown, loading asked for, and the first loading frame drawn.
    void startLoading() {
        for (int i = 0; i <= FLY_IN_FRAMES; ++i) frame();
        ASSERT_TRUE(shows(PRESS_D_AT, PRESS_D)) << "the prompt follows the sixth word";
        demo.demoState = STATE_LOAD_REQUESTED;
        frame();
        ASSERT_EQ(demo.demoState, STATE_LOADING1);
    }

    void endHeldLoader() {
        releaseLoader = true;
        while (!loaderFinished()) sleepMilliseconds(1);
    }

    TempDir dir;
    TitleLettering* title = nullptr;
};

TEST_F(Screens, TitleWordsFlyInOneAfterAnotherAndTheLoaderWaitsForTheSixthEvenWhenDComesEarly) {
    int lastStarted = 0;
    for (int f = 0; f < FLY_IN_FRAMES; ++f) {
        int firstMoving = -1;
        std::pair<int, bool> before[6];
        for (int i = 0; i < 6; ++i) {
            before[i] = {title->items[i]->path->cursor, title->items[i]->isMoving()};
            if (firstMoving < 0 && before[i].second) firstMoving = i;
        }
        ASSERT_GE(firstMoving, lastStarted) << "frame " << f << ": a word starts only after those before it rest";
        lastStarted = firstMoving;
        frame();
        // Exactly the first moving word took a step (the last step only brings it to rest).
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(std::make_pair(title->items[i]->path->cursor, title->items[i]->isMoving()) != before[i],
                      i == firstMoving) << "frame " << f << " word " << i;
        EXPECT_TRUE(shows(PRESS_D_AT, BACKDROP)) << "frame " << f << ": no prompt before the words, nor once asked";
        for (auto at : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}, {400, 300}})
            EXPECT_TRUE(f > 0 || shows(at, BACKDROP)) << "the backdrop fills the window";
        if (f == 0) keyboard('d', 0, 0);
        ASSERT_EQ(loaderStarts, 0) << "frame " << f;
    }
    EXPECT_FALSE(shows(LAST_WORD_AT, BACKDROP)) << "the sixth word is drawn";
    EXPECT_EQ(demo.demoState, STATE_LOAD_REQUESTED);
    frame();
    EXPECT_EQ(demo.demoState, STATE_LOADING1);
    EXPECT_TRUE(entryGiven == loaderThreadMain);
    for (int f = 0; f < 50; ++f) frame();
    EXPECT_EQ(loaderStarts, 1) << "started once, at most";
}

// The end frame also sets the scene up, once.
TEST_F(Screens, LoadingWordsAlternateEveryFifteenFramesAndTheEndIsOneFrameOfBackdrop) {
    startLoading();
    for (int f = 1; f <= 75; ++f) {
        EXPECT_FALSE(frame());
        EXPECT_TRUE(shows(LOADING_AT, ((f - 1) / 15) % 2 == 0 ? LOADING1 : LOADING2)) << "frame " << f;
        EXPECT_FALSE(shows(PRESS_D_AT, PRESS_D)) << "frame " << f;
        EXPECT_EQ(demo.demoState, (f / 15) % 2 == 0 ? STATE_LOADING1 : STATE_LOADING2) << "frame " << f;
    }
    EXPECT_TRUE(!demo.sceneObjectsReady && overlay.textures[overlay.textureIndex] == 0u);
    endHeldLoader();
    EXPECT_TRUE(frame());
    EXPECT_EQ(demo.demoState, STATE_SCENE);
    for (auto at : {LOADING_AT, LAST_WORD_AT, {400, 300}}) EXPECT_TRUE(shows(at, BACKDROP));
    EXPECT_TRUE(demo.sceneObjectsReady);
    const unsigned int texture = overlay.textures[overlay.textureIndex];
    EXPECT_NE(texture, 0u);
    float position[3];
    sceneLight()->getPosition(position);
    EXPECT_EQ(std::make_pair(position[0], position[1]), std::make_pair(0.0f, 30.0f));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE)) << "cullFaces is set";
    const Light* light = sceneLight();
    for (int f = 0; f < 5; ++f) frame();  // the held loader built nothing: scene frames cope with that
    EXPECT_TRUE(sceneLight() == light && overlay.textures[overlay.textureIndex] == texture);
}

TEST_F(Screens, FailedThreadStartLoadsOnThisThreadAfterOneLoadingFrame) {
    startLoaderThread = [](int (*)(void*), void*) -> ThreadHandle* { return ++loaderStarts, nullptr; };
    startLoading();
    // One loading frame is shown before the window holds still to load.
    EXPECT_FALSE(frame());
    EXPECT_TRUE(shows(LOADING_AT, LOADING1));
    EXPECT_EQ(sceneObjects.plainCharacter, nullptr);
    EXPECT_TRUE(frame());
    EXPECT_EQ(demo.demoState, STATE_SCENE);
    const SceneObjects& s = sceneObjects;
    for (const void* made : {(void*)s.plainCharacter, (void*)s.redCharacter, (void*)s.terrain, (void*)s.sky,
                             (void*)s.camera, (void*)s.cameraPath})
        EXPECT_NE(made, nullptr);
    messageLog.reopen(nullptr);  // flush
    const std::string log = readTextFile(dir.file("messages.log"));
    EXPECT_NE(log.find("Error in startLoaderThread: "), std::string::npos) << log;
    EXPECT_EQ(loaderStarts, 1) << "no second attempt";
}

// ---- The closing screen ---------------------------------------------------

// Draws closing frames as display does, reporting after each whether each word still moves and
// whether the second has left its start.
void runClosingScreen() {
    demo.demoState = STATE_CLOSING;
    enterClosing();
    LetteringItem* const* words = demo.closingLettering->items;
    const float secondStart = words[1]->position[0];
    for (int f = 1; f <= 200; ++f) {
        drawFrame();
        std::fprintf(stderr, "%d%d%d\n", words[0]->isMoving(), words[1]->isMoving(), words[1]->position[0] != secondStart);
    }
    std::exit(3);  // not reached when the screen ends the process
}

TEST_F(Screens, ClosingWordsArriveOneAfterAnotherAndTheProcessEndsFiveSecondsLater) {
    word("comingsoon.3DS", TITLE_WORD);
    word("qz07.3DS", LOADING1);
    // 50 frames for the first word, then 70 for the second; the 121st
    // waits and ends the process before drawing anything further.
    std::string frames;
    for (int f = 1; f <= 120; ++f) frames += std::to_string(f < 50) + std::to_string(f < 120) + std::to_string(f > 51) + "\n";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(runClosingScreen(), ::testing::ExitedWithCode(0), frames + "$");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 30.0);
}

// ---- Exit while the loader still runs --------------------------------------

constexpr int CHATTY_LINES = 300;

// Stands in for a slow load that reports as it goes.
int chattyLoader(void*) {
    sleepMilliseconds(100);
    for (int i = 0; i < CHATTY_LINES; ++i) logInfo("chatty", ("line " + std::to_string(i)).c_str());
    return 0;
}

void exitWhileLoading(TitleLettering* title, const char* logPath) {
    demo.titleLettering = title;
    messageLog.reopen(logPath);
    for (int i = 0; i < 6; ++i) title->items[i]->moving = false;
    startLoaderThread = [](int (*)(void*), void*) { return startThread(chattyLoader, nullptr); };
    demo.demoState = STATE_LOAD_REQUESTED;
    drawFrame();
    endProgram();  // as the closing screen does: static destruction closes the log next
}

TEST_F(Screens, ExitWhileTheLoaderWritesLeavesTheLogWhole) {
    // The child re-runs this test; it must write where the parent reads.
    if (!std::getenv("QUELM_EXIT_TEST_LOG")) setenv("QUELM_EXIT_TEST_LOG", dir.file("exit.log").c_str(), 1);
    const std::string logPath = std::getenv("QUELM_EXIT_TEST_LOG");
    EXPECT_EXIT(exitWhileLoading(title, logPath.c_str()), ::testing::ExitedWithCode(0), "");
    unsetenv("QUELM_EXIT_TEST_LOG");
    std::string expected;
    for (int i = 0; i < CHATTY_LINES; ++i) expected += "Info in chatty: line " + std::to_string(i) + "\n";
    EXPECT_EQ(readTextFile(logPath), expected) << "every line whole, none lost, no partial line";
}

}  // namespace
