// A recording's clock through the real idle(): 30 steps per second of video
// at any frame rate under either pace, the figure counting drawn frames only;
// and the default viewer's keys, fed the states a run goes through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/recordclock.h"
#include "app/shell.h"
#include "app/states.h"
#include "app/timing.h"
#include "platform/clock.h"

namespace {

// The steps a recording's clock makes through the real shell, with no window.
void noRedisplay() {}

TEST(RecordClock, TenSecondsOfVideoMakeThreeHundredStepsAtAnyRateUnderEitherPace) {
    ShellHooks hooks;
    hooks.requestRedisplay = noRedisplay;
    const ShellHooks saved = setShellHooks(hooks);
    for (bool exact : {true, false}) {
        for (int fps : {24, 30, 60, 144}) {
            SCOPED_TRACE(std::to_string(fps) + (exact ? " fps, exact" : " fps, paced"));
            frameClock = FrameClock();
            demo = Demo();
            demo.exactPace = exact;
            RecordClock clock(fps, exact);
            std::vector<int> figures;
            ::testing::internal::CaptureStdout();
            for (int64_t frame = 0; frame < 10 * fps; ++frame) {
                clock.advanceTo(frame, idleBetweenFrames);
                idle();
                // Never a step ahead of the video's time, never one behind.
                if (exact) {
                    EXPECT_EQ(frameClock.stepCount, ticksDueBy(frame, fps)) << "frame " << frame;
                }
                EXPECT_NEAR(frameClock.stepCount, 30.0 * frame / fps, 1.0) << "frame " << frame;
                if (figures.empty() || figures.back() != frameClock.framesPerSecond)
                    figures.push_back(frameClock.framesPerSecond);
            }
            clock.advanceTo(10 * fps, idleBetweenFrames);
            idle();
            ::testing::internal::GetCapturedStdout();
            clearFakeClock();
            // The frame at 10 s has steps 0..299 (the paced clock starts one
            // step later and has made 300 by then).
            EXPECT_EQ(frameClock.stepCount, 300);
            // The figure: 1 after the first frame, then the video's rate (one
            // frame more when a report falls a frame late on the boundary).
            ASSERT_GE(figures.size(), 2u);
            EXPECT_EQ(figures[0], 1);
            for (size_t i = 1; i < figures.size(); ++i) EXPECT_NEAR(figures[i], fps, 1);
        }
    }
    setShellHooks(saved);
}

TEST(DefaultViewer, WatchesTheWholeDemoOnce) {
    const int fps = 10;
    DefaultViewer viewer(fps);
    SeenState seen;
    // What each frame left, from frame 1 on, and the keys before the next.
    struct Step { int64_t frame; int state; bool landed; int phase; std::string keys; };
    const Step steps[] = {
        {1, STATE_TITLE, false, PHASE_LOOPING, ""},
        {400, STATE_TITLE, true, PHASE_LOOPING, ""},       // landed: 1.5 s more
        {414, STATE_TITLE, true, PHASE_LOOPING, ""},
        {415, STATE_TITLE, true, PHASE_LOOPING, "d"},
        {430, STATE_SCENE, true, PHASE_LOOPING, ""},       // shown: a second more
        {439, STATE_SCENE, true, PHASE_LOOPING, ""},
        {440, STATE_SCENE, true, PHASE_LOOPING, "d"},
        {441, STATE_SCENE, true, PHASE_LOOPING, ""},       // the walk has not begun yet
        {900, STATE_SCENE, true, PHASE_FOLLOW, ""},
        {901, STATE_SCENE, true, PHASE_LOOPING, "\x1b"},   // it starts over
        {902, STATE_CLOSING, true, PHASE_LOOPING, ""},
    };
    for (const Step& s : steps) {
        seen.demoState = s.state;
        seen.titleWordsLanded = s.landed;
        seen.scenePhase = s.phase;
        const std::vector<unsigned char> keys = viewer.keysBefore(s.frame, seen);
        EXPECT_EQ(std::string(keys.begin(), keys.end()), s.keys) << "frame " << s.frame;
    }
}

}  // namespace
