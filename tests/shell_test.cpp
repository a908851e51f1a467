// The shell's one acting place, idle, on a fake clock: keys act in the call
// after they were pressed, in order; a pause is not made up; the overlay
// captures at its rate; and the closing screen's last picture is held to
// its end whatever is pressed meanwhile. Only the closing screen needs a
// window.
#include "app/shell.h"

#include <gtest/gtest.h>

#include "app/states.h"
#include "app/timing.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "scene/lettering.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using namespace scenefixtures;

namespace {

int redisplays = 0;
int closingEnds = 0;

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        messageLog.reopen(nullptr);
        demo = Demo(), script = Script(), frameClock = FrameClock();
        redisplays = closingEnds = 0;
        ShellHooks hooks;
        hooks.requestRedisplay = [] { ++redisplays; };
        saved = setShellHooks(hooks);
    }
    void TearDown() override {
        setShellHooks(saved);
        clearFakeClock();
    }
    // One idle call at `seconds` after the clock's start; what it printed is dropped.
    static void idleAt(double seconds) {
        setFakeClock(CLOCK_START_SECONDS + seconds);
        ::testing::internal::CaptureStdout();
        idle();
        ::testing::internal::GetCapturedStdout();
    }
    // Idle calls 60 times a second from `from` to `to` seconds.
    static void framesFrom(double from, double to) {
        for (int k = 0; from + k / 60.0 <= to + 1e-9; ++k) idleAt(from + k / 60.0);
    }
    ShellHooks saved;
};

TEST_F(Shell, KeysActInTheNextIdleCallInTheOrderPressed) {
    keyboard('t', 0, 0), keyboard('S', 0, 0), keyboard('s', 0, 0), keyboard('l', 0, 0);
    EXPECT_TRUE(demo.options.showTerrain && demo.options.showShadows && demo.options.overlayRate == 50)
        << "the callback only records";
    idleAt(0);
    EXPECT_TRUE(!demo.options.showTerrain && demo.options.showShadows && demo.options.overlayRate == 60);
    EXPECT_EQ(demo.pendingKeys.count, 0);
    EXPECT_EQ(redisplays, 1);
}

TEST_F(Shell, APauseIsNotMadeUp) {
    framesFrom(0, 1);
    EXPECT_EQ(frameClock.stepCount, 30);
    framesFrom(1 + 1 / 60.0, 1.5);
    keyboard('0', 0, 0), idleAt(1.5 + 1 / 60.0);
    EXPECT_TRUE(demo.paused);
    EXPECT_EQ(frameClock.stepCount, 45);
    const int drawn = redisplays;
    for (double t = 2; t < 60; t += 1) idleAt(t);
    EXPECT_EQ(frameClock.stepCount, 45);
    EXPECT_EQ(redisplays, drawn) << "nothing is drawn while paused";
    keyboard('0', 0, 0), framesFrom(60, 61);
    EXPECT_EQ(frameClock.stepCount, 75) << "a second after the pause, a second's steps";
}

TEST_F(Shell, TheOverlayCapturesAtItsRateInTheSceneOnly) {
    demo.demoState = STATE_SCENE, demo.sceneObjectsReady = true;
    // Seconds, overlay on, rate, and whether the frame captures (20 ms is not more than the interval).
    const struct { double t; bool effect; int rate; bool captures; } frames[] = {
        {100, true, 50, true}, {100.02, true, 50, false}, {100.021, true, 50, true},
        {900, false, 50, false}, {900, true, 0, false}, {900, true, 50, true}};
    for (const auto& f : frames) {
        demo.options.overlayEffect = f.effect, demo.options.overlayRate = f.rate;
        decideOverlayCapture(f.t);
        EXPECT_EQ(demo.captureOverlay, f.captures) << f.t << " s, overlay " << f.effect << ", rate " << f.rate;
    }
    demo.sceneObjectsReady = false;
    decideOverlayCapture(2000);
    EXPECT_FALSE(demo.captureOverlay) << "nothing to capture before the scene is set up";
}

// The closing words take two seconds at 60 word-steps a second; the last
// picture is then held, and an Escape meanwhile does not start them over.
TEST_F(Shell, TheClosingPictureIsHeldWhateverIsPressed) {
    // The program's end is seen from a fresh process that runs the test
    // again up to that point: a forked copy would share the renderer's
    // threads' locks.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!ensureGlContext()) GTEST_SKIP() << "no display";
    TempDir dir;
    makeDirs();
    ASSERT_TRUE(writeBackdrop() && writeSquare("models/schrift/comingsoon.3DS", "comingsoon", {200, 10, 10}, 20) &&
                writeSquare("models/schrift/qz07.3DS", "qz07", {10, 200, 10}, 20));
    idleAt(0);
    keyboard(27, 0, 0), idleAt(0.01);
    ASSERT_TRUE(demo.demoState == STATE_CLOSING && demo.closingLettering);
    double t = 0.01;
    while (demo.closingHoldStart < 0 && t < 5) idleAt(t += 1.0 / 60);
    EXPECT_NEAR(t, 0.01 + 121.0 / 60, 1.5 / 60) << "both words rest after 120 word-steps";
    const ClosingLettering* closing = demo.closingLettering;
    const int drawn = redisplays;
    keyboard(27, 0, 0), keyboard('0', 0, 0), idleAt(t + 4.9);
    EXPECT_TRUE(demo.closingLettering == closing && !demo.paused && demo.pendingKeys.count == 0);
    EXPECT_EQ(redisplays, drawn) << "the held picture is not drawn again";
    EXPECT_EXIT(idleAt(t + 5.0), ::testing::ExitedWithCode(0), "") << "and the program ends five seconds on";
    delete demo.closingLettering;
    demo.closingLettering = nullptr;
}

}  // namespace
