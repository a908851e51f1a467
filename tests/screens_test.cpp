// The title and loading screens as states over frames, each frame one idle
// call and one drawing, drawn for real from small generated lettering models
// and read back. Under the exact pace (a word-step per frame): words fly in
// one after another, the loader starts only after the sixth word has
// arrived, the loading words alternate every 15 frames, the end is seen in
// exactly one frame that shows only the backdrop, and the scene is entered
// once, in the call after it. Paced: the title lands at the same time at any
// frame rate. And a loader thread that cannot start loads on this thread.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>

#include "app/display.h"
#include "app/loader.h"
#include "app/shell.h"
#include "app/states.h"
#include "app/timing.h"
#include "app/window.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "render/light.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "motion/character.h"
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
std::atomic<bool> letLoaderEnd{false};
std::atomic<int> loaderStarts{0};
int (*entryGiven)(void*) = nullptr;

ThreadHandle* startHeldLoader(int (*entry)(void*), void*) {
    ++loaderStarts, entryGiven = entry;
    return startThread([](void*) { while (!letLoaderEnd.load()) sleepMilliseconds(1); return 0; }, nullptr);
}

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        makeDirs();
        ASSERT_TRUE(writeBackdrop(BACKDROP));
        for (const char* f : {"Just.3ds", "quelm.3ds", "it.3ds", "by.3ds", "tesk.3DS", "malv.3ds"}) word(f, TITLE_WORD);
        word("pressdtostart.3DS", PRESS_D), word("loading1.3DS", LOADING1), word("loading2.3DS", LOADING2);
        messageLog.reopen(dir.file("messages.log").c_str());
        letLoaderEnd = false, loaderStarts = 0, entryGiven = nullptr;
        ShellHooks hooks;
        hooks.startThread = startHeldLoader;
        savedHooks = setShellHooks(hooks);
        demo = Demo(), overlay = OverlayState(), windowSize = WindowSize(), frameClock = FrameClock();
        demo.exactPace = true;
        // The title's camera and OpenGL state, as the program sets them.
        setView(90.0, 10.0, 800.0), useLight(-55, -55, 50), applyScreenState();
        demo.titleLettering = title = new TitleLettering;
    }

    void TearDown() override {
        if (loaderStarts > 0 && entryGiven) endHeldLoader();  // before the test's globals go away
        delete title;
        demo.titleLettering = nullptr;
        setShellHooks(savedHooks);
        clearFakeClock();
        messageLog.reopen(nullptr);
    }

    // A flat 100 x 40 word facing the viewer, in one colour.
    static void word(const std::string& file, Colour c) {
        ASSERT_TRUE(writeQuad("models/schrift/" + file, "ink", c, 0, 0, 100, 40));
    }

    // One idle call and the frame display draws after it, left in the back
    // buffer; true when the state is the scene's.
    bool frame() {
        ::testing::internal::CaptureStdout();  // the figure's reports
        idle();
        ::testing::internal::GetCapturedStdout();
        drawFrame();
        return demo.demoState == STATE_SCENE;
    }

    // All words in and the prompt shown, loading asked for, and the first loading frame drawn.
    void startLoading() {
        for (int i = 0; i <= FLY_IN_FRAMES; ++i) frame();
        ASSERT_TRUE(shows(PRESS_D_AT, PRESS_D)) << "the prompt follows the sixth word";
        demo.demoState = STATE_LOAD_REQUESTED, frame();
        ASSERT_EQ(demo.demoState, STATE_LOADING1);
    }

    void endHeldLoader() { for (letLoaderEnd = true; !loaderFinished();) sleepMilliseconds(1); }

    TempDir dir;
    TitleLettering* title = nullptr;
    ShellHooks savedHooks;
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
    EXPECT_TRUE(!shows(LAST_WORD_AT, BACKDROP) && demo.demoState == STATE_LOAD_REQUESTED) << "the sixth word is drawn";
    frame();
    EXPECT_TRUE(demo.demoState == STATE_LOADING1 && loaderStarts == 1);
    for (int f = 0; f < 50; ++f) frame();
    EXPECT_EQ(loaderStarts, 1) << "started once, at most";
}

// The call after the end frame sets the scene up, once.
TEST_F(Screens, LoadingWordsAlternateEveryFifteenFramesAndTheEndIsOneFrameOfBackdrop) {
    startLoading();
    for (int f = 1; f <= 75; ++f) {
        EXPECT_TRUE(!frame() && shows(LOADING_AT, ((f - 1) / 15) % 2 == 0 ? LOADING1 : LOADING2) && !shows(PRESS_D_AT, PRESS_D) &&
                    demo.demoState == ((f / 15) % 2 == 0 ? STATE_LOADING1 : STATE_LOADING2)) << "frame " << f;
    }
    EXPECT_TRUE(!demo.sceneObjectsReady && overlay.textures[overlay.textureIndex] == 0u);
    endHeldLoader();
    EXPECT_TRUE(frame());
    for (auto at : {LOADING_AT, LAST_WORD_AT, {400, 300}}) EXPECT_TRUE(shows(at, BACKDROP));
    EXPECT_FALSE(demo.sceneObjectsReady) << "set up in the next call";
    frame();
    const unsigned int texture = overlay.textures[overlay.textureIndex];
    float position[3];
    sceneLight()->getPosition(position);
    EXPECT_TRUE(demo.sceneObjectsReady && texture != 0 && position[0] == 0.0f && position[1] == 30.0f &&
                glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE)) << "cullFaces is set";
    const Light* light = sceneLight();
    for (int f = 0; f < 5; ++f) frame();  // the held loader built nothing: scene frames cope with that
    EXPECT_TRUE(sceneLight() == light && overlay.textures[overlay.textureIndex] == texture);
}

// The words step 60 times a second of the clock, however many frames show
// them: the prompt (shown once all six words rest) comes at the same moment
// on a 15 and a 144 frames a second display, within a frame of it, and the
// word in flight is somewhere new in every frame.
TEST_F(Screens, PacedTitleLandsAtTheSameTimeAtAnyFrameRate) {
    demo.exactPace = false;
    for (int fps : {15, 144}) {
        SCOPED_TRACE(fps);
        delete title;
        demo.titleLettering = title = new TitleLettering;
        demo.demoState = STATE_TITLE, demo.titleExtraItem = -1, frameClock = FrameClock();
        float lastX = 0;
        int frames = 0;
        for (; demo.titleExtraItem != TitleLettering::PROMPT && frames < 20 * fps; ++frames) {
            setFakeClock(CLOCK_START_SECONDS + double(frames) / fps);
            frame();
            const LetteringItem* first = title->items[0];
            const float x = (1 - float(wordStepBlend(frameClock, false))) * first->previous[0] +
                            float(wordStepBlend(frameClock, false)) * first->position[0];
            // (Its first step hands out its start: it sets off with the second.)
            if (frames > 0 && first->isMoving() && lastX != first->startPoint[0]) {
                EXPECT_NE(x, lastX) << "frame " << frames << " repeats the word's place";
            }
            lastX = x;
        }
        // Word-step 401 finds all six at rest: 401/60 s after the first frame.
        const double landed = double(frames - 1) / fps;
        EXPECT_NEAR(landed, 401.0 / 60, 1.0 / fps) << frames;
        EXPECT_TRUE(shows(PRESS_D_AT, PRESS_D));
    }
}

void releaseSceneObjects() {
    delete sceneObjects.plainCharacter, delete sceneObjects.redCharacter, delete sceneObjects.camera;
    delete sceneObjects.terrain, delete sceneObjects.sky;
    sceneObjects = SceneObjects();
}

// The loader thread cannot start: the load runs on this thread at the
// second poll, and the scene follows as usual.
TEST_F(Screens, LoaderThatCannotStartLoadsOnThisThread) {
    ShellHooks hooks;
    hooks.startThread = [](int (*)(void*), void*) -> ThreadHandle* { return nullptr; };
    setShellHooks(hooks);
    startLoading();
    frame();
    EXPECT_TRUE(shows(LOADING_AT, LOADING1)) << "the loading word shows once";
    int frames = 0;
    while (!demo.sceneObjectsReady && frames++ < 5) frame();
    EXPECT_TRUE(demo.sceneObjectsReady && demo.demoState == STATE_SCENE) << "after " << frames << " more frames";
    EXPECT_TRUE(sceneObjects.plainCharacter && sceneObjects.camera) << "built here";
    std::ifstream log(dir.file("messages.log"));
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Error in startLoaderThread"), std::string::npos) << text;
    releaseSceneObjects();
}

}  // namespace
