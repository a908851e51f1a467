// What each key does once idle applies it: every key of the table in the
// states where it matters, the three branches of d, Escape from every state,
// and the keys that touch the loaded objects before those exist. Only B and
// Escape need a window. (When keys act is the shell's: shell_test.)
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>

#include "app/loader.h"
#include "app/states.h"
#include "motion/character.h"
#include "motion/splinepath.h"
#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

const int EVERY_STATE[] = {STATE_TITLE, STATE_SCENE, STATE_LOADING1, STATE_LOADING2, STATE_LOAD_REQUESTED, STATE_CLOSING};

// Everything a key may change, to prove that other keys change nothing.
auto snapshot() {
    const DrawOptions& o = demo.options;
    return std::make_tuple(demo.demoState, o.showTerrain, o.showSky, o.cullFaces, o.overlayEffect, o.showShadows,
                           o.showAxes, o.showPath, demo.paused, script.started, o.overlayRate);
}

std::string press(unsigned char key) {
    testing::internal::CaptureStdout();
    applyKey(key);
    return testing::internal::GetCapturedStdout();
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override { messageLog.reopen(nullptr), demo = Demo(), script = Script(); }
    void TearDown() override {
        delete demo.closingLettering, delete demo.titleLettering, delete sceneObjects.plainCharacter;
        delete sceneObjects.camera, delete sceneObjects.cameraPath, sceneObjects = SceneObjects(), demo = Demo();
    }

    // The loaded objects the keys touch, as the loader thread leaves them.
    static void createSceneObjects() {
        const Vec3d points[2] = {{100, 5, -20}, {200, 5, -20}};
        sceneObjects.plainCharacter = new Character(KIND_PLAIN, 10);
        sceneObjects.camera = new Camera(), sceneObjects.cameraPath = new SplinePath(2, points, 10, 3, 0, 0);
    }

    TempDir dir;
};

TEST_F(Keys, EachToggleFlipsOnlyItsFlagInEitherCaseInEveryState) {
    DrawOptions& o = demo.options;
    const std::pair<unsigned char, bool*> toggles[] = {{'t', &o.showTerrain}, {'h', &o.showSky},  {'p', &o.overlayEffect},
                                                       {'s', &o.showShadows}, {'o', &o.showAxes}, {'c', &o.showPath},
                                                       {'0', &demo.paused}};
    for (int state : EVERY_STATE) {
        demo.demoState = state;
        for (auto [key, flag] : toggles) {
            SCOPED_TRACE(std::string("key ") + char(key) + " in state " + std::to_string(state));
            const auto before = snapshot();
            applyKey(key), *flag = !*flag;  // undone by hand: nothing else may differ now
            EXPECT_EQ(snapshot(), before) << "the flag did not flip, or something else changed";
            *flag = !*flag, applyKey(static_cast<unsigned char>(std::toupper(key)));  // '0' has one code
            EXPECT_EQ(snapshot(), before);
        }
    }
}

TEST_F(Keys, LStepsTheRateByTenWithoutLineEndsAndWrapsToZero_PlusPrintsOneWord_OthersDoNothing) {
    std::string printed;
    for (int n = 1; n <= 45; ++n) printed += press(n % 2 ? 'l' : 'L');
    EXPECT_TRUE(demo.options.overlayRate == 0 && printed.substr(0, 4) == "6070" && printed.substr(printed.size() - 7) == "4804900") << printed;
    const auto before = snapshot();
    const std::string word = press('+');
    EXPECT_TRUE(word.size() == 4 && word.find('\n') == std::string::npos) << word;
    for (unsigned char key : {'a', 'Z', '1', ' ', '\r', '\x7f'}) EXPECT_EQ(press(key), "") << int(key);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Keys, DWhileStartedRestartsTheWalkAndMPitchesThePlainCharacterOnceTheSceneIsReady) {
    createSceneObjects();
    // Objects written by a loader that has not been seen to end are not touched.
    demo.demoState = STATE_LOADING2, script.started = true, script.scenePhase = PHASE_FOLLOW;
    applyKey('m'), applyKey('D');
    EXPECT_EQ(std::make_tuple(script.started, script.scenePhase, sceneObjects.plainCharacter->pitchState),
              std::make_tuple(true, int(PHASE_FOLLOW), 0));

    demo.sceneObjectsReady = true, demo.demoState = STATE_SCENE;
    script.waiting = true, script.lapCount = 1, script.cameraIndex = 6, sceneObjects.cameraPath->seek(6);
    applyKey('d');
    EXPECT_EQ(std::make_tuple(script.started, script.scenePhase, script.waiting, script.lapCount, script.cameraIndex),
              std::make_tuple(false, int(PHASE_LOOPING), false, 0, 0));
    EXPECT_EQ(script.cameraTarget[0], 100.0) << "the camera path starts over from sample 0";
    applyKey('d');  // the scene shows "Press d to start" again; the next d starts it
    EXPECT_TRUE(script.started);
    applyKey('M');
    const Character& plain = *sceneObjects.plainCharacter;
    EXPECT_EQ(std::make_tuple(plain.pitchState, plain.pitchLimit, plain.pitchCount), std::make_tuple(1, 10, 1));
}

// B and Escape change the OpenGL state at once.
class KeysWithWindow : public Keys {
protected:
    void SetUp() override {
        Keys::SetUp();
        ASSERT_TRUE(ensureGlContext()) << "needs DISPLAY (run under Xvfb)";
        makeDirs();
        ASSERT_TRUE(writeBackdrop() && writeSquare("models/schrift/comingsoon.3DS", "comingsoon", {200, 10, 10}, 20) &&
                    writeSquare("models/schrift/qz07.3DS", "qz07", {10, 200, 10}, 20));
        glDisable(GL_CULL_FACE);  // the title's state: culling off although cullFaces is set
    }
};

TEST_F(KeysWithWindow, BOnTheTitleFirstOnlyClearsTheFlagThenCullsAtOnce) {
    for (unsigned char key : {'b', 'B', 'b'}) {
        applyKey(key);
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE) == GL_TRUE, demo.options.cullFaces) << "the first press must not cull";
    }
    EXPECT_FALSE(demo.options.cullFaces);
}

TEST_F(KeysWithWindow, EscapeFromEveryStateShowsAFreshClosingScreen) {
    for (int state : EVERY_STATE) {
        SCOPED_TRACE(state);
        demo.demoState = state, demo.paused = true;
        glTranslatef(10, 20, 30);  // a camera the state left behind
        if (demo.closingLettering)  // words that arrived
            for (int i = 0; i < 70; ++i) demo.closingLettering->items[0]->advance();

        applyKey(27);  // Escape
        ASSERT_TRUE(demo.demoState == STATE_CLOSING && demo.closingLettering && !demo.paused);
        for (LetteringItem* item : demo.closingLettering->items)
            EXPECT_TRUE(item->isMoving() && item->model.materialCount == 1 &&
                        item->position[0] == (item == demo.closingLettering->items[0] ? -100.0f : 50.0f)) << "the words start over";
        EXPECT_NE(demo.closingLettering->textures[BACKDROP_SLOT], 0u);
        // The light at (-55, -55, 50), applied under the identity: eye coordinates equal the given ones.
        float eye[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, eye);
        EXPECT_EQ(std::make_tuple(eye[0], eye[1], eye[2], eye[3]), std::make_tuple(-55.0f, -55.0f, 50.0f, 0.0f));
    }
}

}  // namespace
