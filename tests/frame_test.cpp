// Frame composition: the status line's text and blinking, the overlay's
// capture timing, and scene frames whose loaded objects are missing.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/states.h"
#include "app/window.h"
#include "motion/simulation.h"
#include "platform/clock.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "support/glcontext.h"

namespace {

TEST(StatusLine, PromptIsSteadyAndPhaseTextsBlinkAboveFifteen) {
    for (int blink = 0; blink < 30; ++blink) {
        const char* prompt = chooseStatusText(false, blink, PHASE_FOLLOW, true);
        EXPECT_STREQ(prompt ? prompt : "", "Press d to start") << blink;
        for (int phase : {PHASE_LOOPING, PHASE_RED_START, PHASE_RED_FINISH, PHASE_PARKED, PHASE_PLAIN_START,
                          PHASE_FOLLOW}) {
            for (bool waiting : {false, true}) {
                const char* text = chooseStatusText(true, blink, phase, waiting);
                const char* shown = phase != PHASE_FOLLOW ? "Synchronize..." : waiting ? "Waiting..." : "Following...";
                EXPECT_STREQ(text ? text : "(none)", blink > 15 ? shown : "(none)") << blink << " " << phase;
            }
        }
    }
}

class SceneFrame : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        windowWidth = 800;
        windowHeight = 600;
        demoState = STATE_SCENE;
        if (!sceneLight) sceneLight = new Light(0, 30, 0);
        if (overlayTextures[0] == 0) createEmptyTexture(overlayTextures, overlayTextureSize, 3, GL_RGB, 0);
    }
    void TearDown() override { clearFakeClock(); }
};

// Before the loader has built anything (or when a load stopped half-way)
// every object is null; a scene frame draws what exists and wraps the blink counter at 30.
TEST_F(SceneFrame, DrawsWithoutAnyLoadedObjectAndWrapsTheBlinkCounter) {
    showAxes = showPath = true;
    blinkCounter = 30;
    display();
    EXPECT_EQ(blinkCounter, 0);
    blinkCounter = 29;
    display();
    EXPECT_EQ(blinkCounter, 29);
    showAxes = showPath = false;
}

TEST_F(SceneFrame, CapturesAtMostOverlayRateTimesASecondAndOnlyWhileTheOverlayIsOn) {
    overlayEffect = true;
    overlayRate = 50;
    lastOverlayTime = 0.0f;
    // Milliseconds on the clock, and the capture time each frame should leave (20 ms is not more than the interval).
    const std::tuple<int, bool, int, float> frames[] = {
        {100000, true, 50, 100.0f}, {100020, true, 50, 100.0f},  {100021, true, 50, 100.021f},
        {900000, false, 50, 100.021f}, {900000, true, 0, 100.021f}, {900000, true, 50, 900.0f}};
    for (auto [ms, effect, rate, expected] : frames) {
        setFakeClock(ms);
        overlayEffect = effect;
        overlayRate = rate;
        display();
        EXPECT_FLOAT_EQ(lastOverlayTime, expected) << ms << " ms, overlay " << effect << ", rate " << rate;
    }
}

}  // namespace
