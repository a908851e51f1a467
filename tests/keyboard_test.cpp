// The keyboard: every key of the table in the states where it matters, the
// three branches of d, Escape from every state, and the keys that touch the
// loaded objects before those exist.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "app/log.h"
#include "app/states.h"
#include "app/window.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "motion/splinepath.h"
#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"
#include "support/tempdir.h"

using namespace scenefixtures;

namespace {

constexpr unsigned char ESCAPE = 27;

// Everything a key may change, to prove that other keys change nothing.
struct Snapshot {
    int state;
    bool flags[9];
    int rate;
    bool cullingEnabled;

    static Snapshot take() {
        return {demoState,
                {showTerrain, showSky, cullFaces, overlayEffect, showShadows, showAxes, showPath, paused,
                 started},
                overlayRate,
                glIsEnabled(GL_CULL_FACE) == GL_TRUE};
    }
    bool operator==(const Snapshot& o) const {
        for (int i = 0; i < 9; ++i)
            if (flags[i] != o.flags[i]) return false;
        return state == o.state && rate == o.rate && cullingEnabled == o.cullingEnabled;
    }
};

std::string pressCapturingOutput(unsigned char key) {
    testing::internal::CaptureStdout();
    keyboard(key, 17, 23);
    return testing::internal::GetCapturedStdout();
}

// Runs first in this file (and alone under ctest), before any test or
// fixture has touched the globals.
TEST(KeyboardStart, StateAndFlagsStartAsTheProgramNeedsThem) {
    EXPECT_EQ(demoState, STATE_TITLE);
    EXPECT_TRUE(showTerrain);
    EXPECT_TRUE(showSky);
    EXPECT_TRUE(cullFaces);
    EXPECT_TRUE(overlayEffect);
    EXPECT_TRUE(showShadows);
    EXPECT_FALSE(showAxes);
    EXPECT_FALSE(showPath);
    EXPECT_FALSE(paused);
    EXPECT_FALSE(started);
    EXPECT_EQ(overlayRate, 50);
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
        ASSERT_TRUE(writeSquare("models/schrift/comingsoon.3DS", "comingsoon", 200, 10, 10, 20));
        ASSERT_TRUE(writeSquare("models/schrift/qz07.3DS", "qz07", 10, 200, 10, 20));

        demoState = STATE_TITLE;
        showTerrain = showSky = cullFaces = overlayEffect = showShadows = true;
        showAxes = showPath = paused = started = false;
        overlayRate = 50;
        sceneObjectsReady = false;
        // The title's OpenGL state: culling off although cullFaces is set.
        glDisable(GL_CULL_FACE);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    void TearDown() override {
        messageLog.reopen(nullptr);
        delete closingLettering;
        closingLettering = nullptr;
        delete titleLettering;
        titleLettering = nullptr;
        delete sceneLight;
        sceneLight = nullptr;
        delete plainCharacter;
        plainCharacter = nullptr;
        delete camera;
        camera = nullptr;
        delete cameraPath;
        cameraPath = nullptr;
        sceneObjectsReady = false;
    }

    // The loaded objects the keys touch, as the loader thread leaves them.
    void createSceneObjects() {
        plainCharacter = new Character(KIND_PLAIN, 10);
        camera = new Camera();
        const Vec3d points[2] = {{100, 5, -20}, {200, 5, -20}};
        cameraPath = new SplinePath(2, points, 10, 3, 0, 0);
    }

    TempDir dir;
};

// ---- Option keys -------------------------------------------------------

TEST_F(KeyboardTest, EachToggleKeyFlipsItsFlagInEitherCase) {
    struct Toggle {
        unsigned char lower;
        bool* flag;
    };
    const Toggle toggles[] = {{'t', &showTerrain}, {'h', &showSky},  {'p', &overlayEffect},
                              {'s', &showShadows}, {'o', &showAxes}, {'c', &showPath}, {'0', &paused}};
    for (int state : {STATE_TITLE, STATE_SCENE, STATE_LOADING1, STATE_CLOSING}) {
        demoState = state;
        for (const Toggle& t : toggles) {
            SCOPED_TRACE(std::string("key ") + char(t.lower) + " in state " + std::to_string(state));
            const bool initial = *t.flag;
            Snapshot others = Snapshot::take();
            keyboard(t.lower, 0, 0);
            EXPECT_EQ(*t.flag, !initial);
            keyboard(static_cast<unsigned char>(std::toupper(t.lower)), 0, 0);  // '0' has one code
            EXPECT_EQ(*t.flag, initial);
            EXPECT_TRUE(Snapshot::take() == others) << "another flag or the state changed";
        }
    }
}

TEST_F(KeyboardTest, LStepsTheOverlayRateByTenPrintsItAndWrapsToZeroAfter45Presses) {
    EXPECT_EQ(pressCapturingOutput('l'), "60");
    EXPECT_EQ(overlayRate, 60);
    EXPECT_EQ(pressCapturingOutput('L'), "70");
    std::string printed;
    for (int press = 3; press <= 45; ++press) printed += pressCapturingOutput(press % 2 ? 'l' : 'L');
    EXPECT_EQ(overlayRate, 0);
    EXPECT_EQ(printed.substr(printed.size() - 7), "4804900") << "no line ends between values";
    EXPECT_EQ(pressCapturingOutput('l'), "10");
    EXPECT_EQ(overlayRate, 10);
}

TEST_F(KeyboardTest, PlusPrintsOneFourLetterWordWithoutALineEnd) {
    const Snapshot before = Snapshot::take();
    const std::string printed = pressCapturingOutput('+');
    EXPECT_EQ(printed.size(), 4u);
    EXPECT_EQ(printed.find('\n'), std::string::npos);
    EXPECT_TRUE(Snapshot::take() == before);
}

TEST_F(KeyboardTest, BOnTheTitleFirstOnlyClearsTheFlagThenCullsAtOnce) {
    keyboard('b', 0, 0);
    EXPECT_FALSE(cullFaces);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << "the first press must not turn culling on";
    keyboard('B', 0, 0);
    EXPECT_TRUE(cullFaces);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    keyboard('b', 0, 0);
    EXPECT_FALSE(cullFaces);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(KeyboardTest, KeysOutsideTheTableChangeNothingAndPrintNothing) {
    const std::string table = "+0bcdhlmopstBCDHLMOPST";
    for (int key = 0; key < 256; ++key) {
        if (key == ESCAPE || table.find(static_cast<char>(key)) != std::string::npos) continue;
        const Snapshot before = Snapshot::take();
        const std::string printed = pressCapturingOutput(static_cast<unsigned char>(key));
        EXPECT_TRUE(Snapshot::take() == before) << "key " << key;
        EXPECT_EQ(printed, "") << "key " << key;
    }
    EXPECT_EQ(closingLettering, nullptr);
}

// ---- The d key ---------------------------------------------------------

TEST_F(KeyboardTest, DOnTheTitleOnlyRequestsLoading) {
    keyboard('d', 0, 0);
    EXPECT_EQ(demoState, STATE_LOAD_REQUESTED);
    EXPECT_FALSE(started);
}

TEST_F(KeyboardTest, DDuringTheFlyInRequestsLoadingWithoutTouchingTheWords) {
    titleLettering = new TitleLettering();  // word models missing: empty words
    titleLettering->items[0]->advance();
    titleLettering->items[0]->advance();
    const float x = titleLettering->items[0]->position[0];
    keyboard('D', 0, 0);
    EXPECT_EQ(demoState, STATE_LOAD_REQUESTED);
    EXPECT_EQ(titleLettering->items[0]->position[0], x);
    EXPECT_TRUE(titleLettering->items[0]->isMoving());
    EXPECT_EQ(titleLettering->loaderThread, nullptr) << "loading starts only after the sixth word";
}

TEST_F(KeyboardTest, DTwiceOnTheTitleRequestsLoadingThenSetsStarted) {
    keyboard('d', 0, 0);
    keyboard('d', 0, 0);
    EXPECT_EQ(demoState, STATE_LOAD_REQUESTED);
    EXPECT_TRUE(started);
}

TEST_F(KeyboardTest, DInLaterStatesSetsStarted) {
    for (int state : {STATE_SCENE, STATE_LOADING1, STATE_LOADING2, STATE_LOAD_REQUESTED, STATE_CLOSING}) {
        started = false;
        demoState = state;
        keyboard('D', 0, 0);
        EXPECT_TRUE(started) << "state " << state;
        EXPECT_EQ(demoState, state);
    }
}

TEST_F(KeyboardTest, DWhileStartedRestartsTheWalk) {
    createSceneObjects();
    sceneObjectsReady = true;
    demoState = STATE_SCENE;
    started = true;
    scenePhase = PHASE_FOLLOW;
    waiting = true;
    lapCount = 1;
    cameraPath->seek(6);
    cameraIndex = 6;

    keyboard('d', 0, 0);
    EXPECT_FALSE(started);
    EXPECT_EQ(scenePhase, PHASE_LOOPING);
    EXPECT_FALSE(waiting);
    EXPECT_EQ(lapCount, 0);
    EXPECT_EQ(cameraIndex, 0) << "the camera path starts over from sample 0";
    EXPECT_DOUBLE_EQ(cameraTarget[0], 100.0);
    EXPECT_DOUBLE_EQ(cameraTarget[1], 5.0);
    EXPECT_DOUBLE_EQ(cameraTarget[2], -20.0);
    EXPECT_EQ(demoState, STATE_SCENE);

    // The scene shows "Press d to start" again; the next d starts it.
    keyboard('d', 0, 0);
    EXPECT_TRUE(started);
}

TEST_F(KeyboardTest, RestartBeforeTheObjectsExistDoesNothing) {
    // During loading, with d pressed twice on the title already.
    demoState = STATE_LOADING2;
    started = true;
    scenePhase = PHASE_LOOPING;
    keyboard('d', 0, 0);
    EXPECT_TRUE(started);
    EXPECT_EQ(demoState, STATE_LOADING2);

    // Objects written by a loader thread that has not been seen to end yet
    // must not be touched either.
    createSceneObjects();
    scenePhase = PHASE_FOLLOW;
    lapCount = 1;
    keyboard('D', 0, 0);
    EXPECT_TRUE(started);
    EXPECT_EQ(scenePhase, PHASE_FOLLOW);
    EXPECT_EQ(lapCount, 1);
}

TEST_F(KeyboardTest, DAfterEscapeFromTheTitleNeverReachesTheMissingObjects) {
    keyboard(ESCAPE, 0, 0);
    ASSERT_EQ(demoState, STATE_CLOSING);
    keyboard('d', 0, 0);
    EXPECT_TRUE(started);
    keyboard('d', 0, 0);  // the restart branch: nothing to restart
    EXPECT_TRUE(started);
    keyboard('m', 0, 0);
    EXPECT_EQ(demoState, STATE_CLOSING);
}

// ---- The M key ---------------------------------------------------------

TEST_F(KeyboardTest, MPitchesThePlainCharacterOnceTheSceneIsLoaded) {
    createSceneObjects();
    sceneObjectsReady = true;
    demoState = STATE_SCENE;
    keyboard('M', 0, 0);
    EXPECT_EQ(plainCharacter->pitchState, 1);
    EXPECT_EQ(plainCharacter->pitchLimit, 10);
    EXPECT_EQ(plainCharacter->pitchCount, 1);

    // After Escape from the scene the objects still exist: M stays harmless.
    keyboard(ESCAPE, 0, 0);
    plainCharacter->pitchState = 0;
    keyboard('m', 0, 0);
    EXPECT_EQ(plainCharacter->pitchState, 1);
}

TEST_F(KeyboardTest, MBeforeTheObjectsExistDoesNothing) {
    for (int state : {STATE_TITLE, STATE_LOAD_REQUESTED, STATE_LOADING1, STATE_LOADING2}) {
        demoState = state;
        const Snapshot before = Snapshot::take();
        keyboard('m', 0, 0);
        EXPECT_TRUE(Snapshot::take() == before);
    }
    // Present but not yet handed over by the loader thread: untouched.
    createSceneObjects();
    demoState = STATE_LOADING1;
    keyboard('m', 0, 0);
    EXPECT_EQ(plainCharacter->pitchState, 0);
    EXPECT_EQ(plainCharacter->pitchLimit, 80);
}

// ---- Escape ------------------------------------------------------------

TEST_F(KeyboardTest, EscapeFromEveryStateShowsAFreshClosingScreen) {
    for (int state : {STATE_TITLE, STATE_SCENE, STATE_LOADING1, STATE_LOADING2, STATE_LOAD_REQUESTED,
                      STATE_CLOSING}) {
        SCOPED_TRACE(state);
        demoState = state;
        // Whatever the state left behind: a moved camera, the scene's switches.
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(10, 20, 30);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_NORMALIZE);
        const bool culling = cullFaces;

        keyboard(ESCAPE, 0, 0);

        EXPECT_EQ(demoState, STATE_CLOSING);
        ASSERT_NE(closingLettering, nullptr);
        for (LetteringItem* item : closingLettering->items) {
            ASSERT_NE(item, nullptr);
            EXPECT_TRUE(item->isMoving());
            EXPECT_EQ(item->position[0], item->startPoint[0]);
        }
        EXPECT_NE(closingLettering->textures[1], 0u);

        ASSERT_NE(sceneLight, nullptr);
        float at[3];
        sceneLight->getPosition(at);
        EXPECT_FLOAT_EQ(at[0], -55.0f);
        EXPECT_FLOAT_EQ(at[1], -55.0f);
        EXPECT_FLOAT_EQ(at[2], 50.0f);
        // Applied under the identity: eye coordinates equal the given ones.
        float eye[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, eye);
        EXPECT_FLOAT_EQ(eye[0], -55.0f);
        EXPECT_FLOAT_EQ(eye[1], -55.0f);
        EXPECT_FLOAT_EQ(eye[2], 50.0f);
        EXPECT_FLOAT_EQ(eye[3], 0.0f);
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0));

        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
        float clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        for (float c : clear) EXPECT_EQ(c, 0.0f);
        EXPECT_EQ(cullFaces, culling);
        cullFaces = !cullFaces;  // the next round checks the other value
    }
}

TEST_F(KeyboardTest, EscapeOnTheClosingScreenStartsTheWordsOver) {
    keyboard(ESCAPE, 0, 0);
    ClosingLettering* first = closingLettering;
    ASSERT_NE(first, nullptr);
    for (int i = 0; i < 50; ++i) first->items[0]->advance();
    EXPECT_FALSE(first->items[0]->isMoving());

    keyboard(ESCAPE, 0, 0);
    EXPECT_EQ(demoState, STATE_CLOSING);
    ASSERT_NE(closingLettering, nullptr);
    ASSERT_EQ(closingLettering->items[0]->model.materialCount, 1);
    EXPECT_STREQ(closingLettering->items[0]->model.materials[0].name, "comingsoon");
    EXPECT_TRUE(closingLettering->items[0]->isMoving());
    EXPECT_FLOAT_EQ(closingLettering->items[0]->position[0], -100.0f);
    EXPECT_FLOAT_EQ(closingLettering->items[1]->position[0], 50.0f);
}

}  // namespace
