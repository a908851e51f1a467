// A recording's clock through the real idle(): 30 steps per second of video
// at any frame rate, the figure counting drawn frames only; and the default
// viewer's keys, fed the states a run goes through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/recordclock.h"
#include "app/states.h"
#include "app/timing.h"
#include "platform/clock.h"

namespace {

int steps = 0;
double lastStep = 0;
void countStep() {
    if (frameClock.lastTickTime != lastStep) ++steps;
    lastStep = frameClock.lastTickTime;
}
void idleBetweenCounted() { idleBetweenFrames(); countStep(); }
void idleCounted() { idle(); countStep(); }

TEST(RecordClock, TenSecondsOfVideoMakeThreeHundredStepsAtAnyRate) {
    for (int fps : {24, 30, 60, 144}) {
        SCOPED_TRACE(fps);
        frameClock = FrameClock();
        demo = Demo();
        requestRedisplay = [] {};
        steps = 0;
        lastStep = 0;
        RecordClock clock(fps);
        std::vector<int> figures;
        ::testing::internal::CaptureStdout();
        for (int64_t frame = 0; frame < 10 * fps; ++frame) {
            clock.advanceTo(frame, idleBetweenCounted, idleCounted);
            // Ten seconds at 30 a second, and never two steps without a frame
            // between them being due.
            EXPECT_EQ(steps, ticksDueBy(frame, fps)) << "frame " << frame;
            if (figures.empty() || figures.back() != frameClock.framesPerSecond)
                figures.push_back(frameClock.framesPerSecond);
        }
        // Ten seconds of frames end a frame short of 10 s (at 24 fps tick
        // 299 is not due yet); the frame at 10 s has ticks 0..299, and tick
        // 300 falls just after it.
        EXPECT_NEAR(steps, 300, 1);
        clock.advanceTo(10 * fps, idleBetweenCounted, idleCounted);
        ::testing::internal::GetCapturedStdout();
        clearFakeClock();
        EXPECT_EQ(steps, 300);
        // The figure: 1 after the first frame, then the video's rate (one
        // frame more when a report falls a frame late on the boundary).
        ASSERT_GE(figures.size(), 2u);
        EXPECT_EQ(figures[0], 1);
        for (size_t i = 1; i < figures.size(); ++i) EXPECT_NEAR(figures[i], fps, 1);
    }
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
