// Frame composition: the status line's text and blinking, the overlay's
// capture timing, and scene frames whose loaded objects are missing.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>

#include "app/states.h"
#include "app/window.h"
#include "motion/simulation.h"
#include "platform/clock.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "support/glcontext.h"

namespace {

std::string status(bool walkStarted, int blink, int phase, bool cameraWaiting) {
    const char* text = chooseStatusText(walkStarted, blink, phase, cameraWaiting);
    return text ? text : "(none)";
}

TEST(StatusLine, PromptShowsSteadilyUntilTheWalkIsStarted) {
    for (int blink = 0; blink < 30; ++blink)
        EXPECT_EQ(status(false, blink, PHASE_FOLLOW, true), "Press d to start") << blink;
}

TEST(StatusLine, PhaseTextShowsOnlyWhileTheCounterIsAboveFifteen) {
    for (int blink = 0; blink <= 15; ++blink)
        EXPECT_EQ(status(true, blink, PHASE_LOOPING, false), "(none)") << blink;
    for (int blink = 16; blink <= 29; ++blink)
        EXPECT_EQ(status(true, blink, PHASE_LOOPING, false), "Synchronize...") << blink;
}

TEST(StatusLine, TextFollowsThePhaseAndTheCamera) {
    for (int phase : {PHASE_LOOPING, PHASE_RED_START, PHASE_RED_FINISH, PHASE_PARKED,
                      PHASE_PLAIN_START})
        EXPECT_EQ(status(true, 20, phase, true), "Synchronize...") << phase;
    EXPECT_EQ(status(true, 20, PHASE_FOLLOW, false), "Following...");
    EXPECT_EQ(status(true, 20, PHASE_FOLLOW, true), "Waiting...");
}

class SceneFrame : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        windowWidth = 800;
        windowHeight = 600;
        demoState = STATE_SCENE;
        if (!sceneLight) sceneLight = new Light(0, 30, 0);
        if (overlayTextures[0] == 0)
            createEmptyTexture(overlayTextures, overlayTextureSize, 3, GL_RGB, 0);
    }
    void TearDown() override { clearFakeClock(); }
};

// Before the loader has built anything (or when a load stopped half-way)
// every object is null; a scene frame must draw what exists and go on.
TEST_F(SceneFrame, DrawsWithoutAnyLoadedObject) {
    showAxes = true;
    showPath = true;
    display();
    display();
    showAxes = false;
    showPath = false;
    SUCCEED();
}

TEST_F(SceneFrame, BlinkCounterWrapsAtThirty) {
    blinkCounter = 30;
    display();
    EXPECT_EQ(blinkCounter, 0);
    blinkCounter = 29;
    display();
    EXPECT_EQ(blinkCounter, 29);
}

TEST_F(SceneFrame, CapturesAtMostOverlayRateTimesASecond) {
    overlayEffect = true;
    overlayRate = 50;
    lastOverlayTime = 0.0f;
    setFakeClock(100000);
    display();
    EXPECT_FLOAT_EQ(lastOverlayTime, 100.0f);
    setFakeClock(100020);  // 20 ms: exactly the interval, not more
    display();
    EXPECT_FLOAT_EQ(lastOverlayTime, 100.0f);
    setFakeClock(100021);
    display();
    EXPECT_FLOAT_EQ(lastOverlayTime, 100.021f);
}

TEST_F(SceneFrame, NoCapturesWithTheOverlayOffOrARateOfZero) {
    lastOverlayTime = 5.0f;
    setFakeClock(900000);
    overlayEffect = false;
    display();
    EXPECT_FLOAT_EQ(lastOverlayTime, 5.0f);
    overlayEffect = true;
    overlayRate = 0;
    display();
    EXPECT_FLOAT_EQ(lastOverlayTime, 5.0f);
    overlayRate = 50;
    display();
    EXPECT_FLOAT_EQ(lastOverlayTime, 900.0f);
}

}  // namespace
