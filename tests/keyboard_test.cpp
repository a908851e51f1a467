// The keyboard: every key of the table in the states where it matters, the
// three branches of d, Escape from every state, and the keys that touch the
// loaded objects before those exist.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>

#include "app/states.h"
#include "app/window.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "motion/splinepath.h"
#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

constexpr unsigned char ESCAPE = 27;
const int EVERY_STATE[] = {STATE_TITLE, STATE_SCENE, STATE_LOADING1, STATE_LOADING2, STATE_LOAD_REQUESTED, STATE_CLOSING};

auto flags() {
    return std::make_tuple(demoState, showTerrain, showSky, cullFaces, overlayEffect, showShadows, showAxes, showPath,
                           paused, started, overlayRate);
}
const auto INITIAL = std::make_tuple(int(STATE_TITLE), true, true, true, true, true, false, false, false, false, 50);

// Everything a key may change, to prove that other keys change nothing.
auto snapshot() { return std::tuple_cat(flags(), std::make_tuple(glIsEnabled(GL_CULL_FACE))); }

template <class T> void drop(T*& object) {
    delete object;
    object = nullptr;
}

std::string press(unsigned char key) {
    testing::internal::CaptureStdout();
    keyboard(key, 17, 23);
    return testing::internal::GetCapturedStdout();
}

// Runs first in this file (and alone under ctest), before anything has touched the globals.
TEST(KeyboardStart, StateAndFlagsStartAsTheProgramNeedsThem) {
    EXPECT_EQ(flags(), INITIAL);
    EXPECT_FALSE(sceneObjectsReady);
    EXPECT_EQ(closingLettering, nullptr);
}

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGlContext()) << "key tests need DISPLAY (run under Xvfb)";
        messageLog.reopen("messages.log");
        makeDirs();
        ASSERT_TRUE(writeBackdrop());
        ASSERT_TRUE(writeSquare("models/schrift/comingsoon.3DS", "comingsoon", {200, 10, 10}, 20));
        ASSERT_TRUE(writeSquare("models/schrift/qz07.3DS", "qz07", {10, 200, 10}, 20));
        std::tie(demoState, showTerrain, showSky, cullFaces, overlayEffect, showShadows, showAxes, showPath, paused,
                 started, overlayRate) = INITIAL;
        sceneObjectsReady = false;
        glDisable(GL_CULL_FACE);  // the title's state: culling off although cullFaces is set
    }
    void TearDown() override {
        messageLog.reopen(nullptr);
        drop(closingLettering), drop(titleLettering), drop(sceneLight), drop(plainCharacter), drop(camera);
        drop(cameraPath);
        sceneObjectsReady = false;
    }

    // The loaded objects the keys touch, as the loader thread leaves them.
    static void createSceneObjects() {
        plainCharacter = new Character(KIND_PLAIN, 10);
        camera = new Camera();
        const Vec3d points[2] = {{100, 5, -20}, {200, 5, -20}};
        cameraPath = new SplinePath(2, points, 10, 3, 0, 0);
    }

    TempDir dir;
};

TEST_F(KeyboardTest, EachToggleKeyFlipsOnlyItsFlagInEitherCaseInEveryState) {
    const std::pair<unsigned char, bool*> toggles[] = {{'t', &showTerrain}, {'h', &showSky},  {'p', &overlayEffect},
                                                       {'s', &showShadows}, {'o', &showAxes}, {'c', &showPath},
                                                       {'0', &paused}};
    for (int state : EVERY_STATE) {
        demoState = state;
        for (auto [key, flag] : toggles) {
            SCOPED_TRACE(std::string("key ") + char(key) + " in state " + std::to_string(state));
            const auto before = snapshot();
            keyboard(key, 0, 0);
            *flag = !*flag;  // undone by hand: nothing else may differ now
            EXPECT_EQ(snapshot(), before) << "the flag did not flip, or something else changed";
            *flag = !*flag;
            keyboard(static_cast<unsigned char>(std::toupper(key)), 0, 0);  // '0' has one code
            EXPECT_EQ(snapshot(), before);
        }
    }
}

TEST_F(KeyboardTest, LStepsTheOverlayRateByTenPrintingItAndWrapsToZeroAfter45Presses) {
    std::string printed;
    for (int press_ = 1; press_ <= 45; ++press_) printed += press(press_ % 2 ? 'l' : 'L');
    EXPECT_EQ(overlayRate, 0);
    EXPECT_EQ(printed.substr(0, 4), "6070") << "no line ends between values";
    EXPECT_EQ(printed.substr(printed.size() - 7), "4804900");
    EXPECT_EQ(press('l'), "10");
}

TEST_F(KeyboardTest, PlusPrintsOneFourLetterWordAndKeysOutsideTheTableDoNothing) {
    const auto before = snapshot();
    const std::string word = press('+');
    EXPECT_EQ(word.size(), 4u);
    EXPECT_EQ(word.find('\n'), std::string::npos);
    const std::string table = "+0bcdhlmopstBCDHLMOPST";
    for (int key = 0; key < 256; ++key)
        EXPECT_TRUE(key == ESCAPE || table.find(char(key)) != std::string::npos || press(key).empty()) << key;
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(closingLettering, nullptr);
}

TEST_F(KeyboardTest, BOnTheTitleFirstOnlyClearsTheFlagThenCullsAtOnce) {
    for (unsigned char key : {'b', 'B', 'b'}) {
        keyboard(key, 0, 0);
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE) == GL_TRUE, cullFaces) << "the first press must not cull";
    }
    EXPECT_FALSE(cullFaces);
}

TEST_F(KeyboardTest, DOnTheTitleRequestsLoadingWithoutTouchingTheWordsThenSetsStarted) {
    titleLettering = new TitleLettering();  // word models missing: empty words in mid-flight
    titleLettering->items[0]->advance();
    titleLettering->items[0]->advance();
    const float x = titleLettering->items[0]->position[0];
    keyboard('D', 0, 0);
    EXPECT_EQ(demoState, STATE_LOAD_REQUESTED);
    EXPECT_FALSE(started);
    EXPECT_EQ(titleLettering->items[0]->position[0], x);
    EXPECT_TRUE(titleLettering->items[0]->isMoving());
    EXPECT_EQ(titleLettering->loaderThread, nullptr) << "loading starts only after the sixth word";
    keyboard('d', 0, 0);
    EXPECT_EQ(demoState, STATE_LOAD_REQUESTED);
    EXPECT_TRUE(started);
    for (int state : EVERY_STATE) {
        started = false;
        demoState = state;
        keyboard('d', 0, 0);
        EXPECT_EQ(started, state != STATE_TITLE) << "state " << state;
        EXPECT_EQ(demoState, state == STATE_TITLE ? STATE_LOAD_REQUESTED : state);
    }
}

TEST_F(KeyboardTest, DWhileStartedRestartsTheWalkAndMPitchesThePlainCharacter) {
    createSceneObjects();
    sceneObjectsReady = true;
    demoState = STATE_SCENE;
    started = waiting = true;
    scenePhase = PHASE_FOLLOW;
    lapCount = 1;
    cameraPath->seek(6);
    cameraIndex = 6;
    keyboard('d', 0, 0);
    EXPECT_EQ(std::make_tuple(started, scenePhase, waiting, lapCount, cameraIndex, demoState),
              std::make_tuple(false, int(PHASE_LOOPING), false, 0, 0, int(STATE_SCENE)));
    EXPECT_EQ(std::make_tuple(cameraTarget[0], cameraTarget[1], cameraTarget[2]), std::make_tuple(100.0, 5.0, -20.0))
        << "the camera path starts over from sample 0";
    keyboard('d', 0, 0);  // the scene shows "Press d to start" again; the next d starts it
    EXPECT_TRUE(started);

    keyboard('M', 0, 0);
    EXPECT_EQ(std::make_tuple(plainCharacter->pitchState, plainCharacter->pitchLimit, plainCharacter->pitchCount),
              std::make_tuple(1, 10, 1));
    keyboard(ESCAPE, 0, 0);  // after Escape from the scene the objects still exist
    plainCharacter->pitchState = 0;
    keyboard('m', 0, 0);
    EXPECT_EQ(plainCharacter->pitchState, 1);
}

TEST_F(KeyboardTest, MAndDBeforeTheObjectsExistDoNothing) {
    started = true;
    scenePhase = PHASE_LOOPING;
    for (int state : {STATE_TITLE, STATE_LOAD_REQUESTED, STATE_LOADING1, STATE_LOADING2}) {
        demoState = state;
        const auto before = snapshot();
        keyboard('m', 0, 0);
        if (state != STATE_TITLE) keyboard('d', 0, 0);
        EXPECT_EQ(snapshot(), before) << "state " << state;
    }
    // After Escape from the title they never will exist.
    demoState = STATE_TITLE;
    keyboard(ESCAPE, 0, 0);
    started = false;
    for (unsigned char key : {'d', 'd', 'm'}) keyboard(key, 0, 0);  // the second d would restart
    EXPECT_TRUE(started);
    EXPECT_EQ(demoState, STATE_CLOSING);
    // Objects written by a loader thread that has not been seen to end yet are not touched either.
    createSceneObjects();
    demoState = STATE_LOADING2;
    scenePhase = PHASE_FOLLOW;
    keyboard('m', 0, 0);
    keyboard('D', 0, 0);
    EXPECT_EQ(std::make_tuple(started, scenePhase, plainCharacter->pitchState), std::make_tuple(true, int(PHASE_FOLLOW), 0));
}

TEST_F(KeyboardTest, EscapeFromEveryStateShowsAFreshClosingScreen) {
    const GLenum onAfter[] = {GL_LIGHT0, GL_COLOR_MATERIAL, GL_TEXTURE_2D, GL_NORMALIZE};
    const GLenum offAfter[] = {GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING};
    for (int state : EVERY_STATE) {
        SCOPED_TRACE(state);
        demoState = state;
        // Whatever the state left behind: a moved camera, the scene's switches, words that arrived.
        glLoadIdentity();
        glTranslatef(10, 20, 30);
        glClearColor(1, 1, 1, 1);
        for (GLenum cap : offAfter) glEnable(cap);
        for (GLenum cap : onAfter) glDisable(cap);
        if (closingLettering)
            for (int i = 0; i < 70; ++i) closingLettering->items[0]->advance();
        const bool culling = cullFaces;

        keyboard(ESCAPE, 0, 0);

        EXPECT_EQ(demoState, STATE_CLOSING);
        ASSERT_NE(closingLettering, nullptr);
        for (LetteringItem* item : closingLettering->items) {
            EXPECT_TRUE(item->isMoving() && item->model.materialCount == 1);
            EXPECT_EQ(item->position[0], item == closingLettering->items[0] ? -100.0f : 50.0f) << "the words start over";
        }
        EXPECT_NE(closingLettering->textures[1], 0u);
        // The light at (-55, -55, 50), applied under the identity: eye coordinates equal the given ones.
        ASSERT_NE(sceneLight, nullptr);
        float eye[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, eye);
        EXPECT_EQ(std::make_tuple(eye[0], eye[1], eye[2], eye[3]), std::make_tuple(-55.0f, -55.0f, 50.0f, 0.0f));
        for (GLenum cap : onAfter) EXPECT_TRUE(glIsEnabled(cap)) << cap;
        for (GLenum cap : offAfter) EXPECT_FALSE(glIsEnabled(cap)) << cap;
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_TRUE(pixelIs(400, 300, {0, 0, 0})) << "cleared to black";
        EXPECT_EQ(cullFaces, culling);
        cullFaces = !cullFaces;  // the next round checks the other value
    }
}

}  // namespace
