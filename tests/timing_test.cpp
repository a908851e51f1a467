// The idle clock: frame counting, the once-a-second report and the fixed
// tick, driven by a settable clock with no window. simulationStep does
// nothing outside the scene state, so steps are observed through frameClock.lastTickTime.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/states.h"
#include "app/timing.h"
#include "platform/clock.h"

namespace {

int redisplayRequests = 0;

double secondsOf(uint32_t ms) { return ms / 1000.0; }

class IdleClock : public ::testing::Test {
protected:
    void SetUp() override {
        frameClock = FrameClock();
        demo = Demo();
        redisplayRequests = 0;
        requestRedisplay = [] { ++redisplayRequests; };
    }
    void TearDown() override { clearFakeClock(); }
    // One idle call at `ms` on the clock; returns what it printed.
    std::string idleAt(uint32_t ms) {
        setFakeClock(secondsOf(ms));
        ::testing::internal::CaptureStdout();
        idle();
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

// Each call: the clock, whether paused, the report it prints and the reference
// time of the last step afterwards. Every call that is not paused asks for one
// redisplay; a paused one changes nothing at all.
TEST_F(IdleClock, ReportsAfterMoreThanASecondStepsAtMostOncePerCallAndPauseFreezes) {
    ASSERT_EQ(secondsOf(5000) - secondsOf(4000), 1.0);  // the exact case below is exact
    const struct { uint32_t ms; bool paused; const char* printed; uint32_t tick; } calls[] = {
        {4000, false, "Current Frames Per Second: 1\n", 4000},   // the first call reports and steps at once
        {4500, false, "", 4500},
        {5000, false, "", 5000},                                 // exactly one second: no report
        {5001, false, "Current Frames Per Second: 3\n", 5000},   // the three frames since; 1 ms: no step
        {15001, false, "Current Frames Per Second: 1\n", 15001}, // ten seconds late: one step only
        {15002, false, "", 15001},                               // ... and nothing left to make up
        {15035, false, "", 15035},
        {16000, true, "", 15035},
        {30000, true, "", 15035},
        {40000, false, "Current Frames Per Second: 3\n", 40000}, // the frames before the pause and this one
        {40001, false, "", 40000},                               // one step after the pause, not more
    };
    int redisplays = 0;
    for (const auto& c : calls) {
        SCOPED_TRACE(c.ms);
        const double timeBefore = frameClock.currentTime;
        const int framesBefore = frameClock.frameCounter;
        demo.paused = c.paused;
        const std::string printed = idleAt(c.ms);
        EXPECT_EQ(printed, c.printed);
        EXPECT_EQ(frameClock.lastTickTime, secondsOf(c.tick));
        EXPECT_EQ(redisplayRequests, redisplays += !c.paused);
        EXPECT_TRUE(!c.paused || (frameClock.currentTime == timeBefore && frameClock.frameCounter == framesBefore));
        if (!printed.empty()) {
            EXPECT_EQ(printed, "Current Frames Per Second: " + std::to_string(frameClock.framesPerSecond) + "\n");
            EXPECT_TRUE(frameClock.frameCounter == 0 && frameClock.lastFpsTime == secondsOf(c.ms));
        }
    }
}

TEST_F(IdleClock, ExactlyATickDoesNotStep) {
    // A reading exactly the constant 1/30 from the reference.
    const double tick = 1.0 / 30.0;
    volatile double reference = secondsOf(40) - tick;
    ASSERT_EQ(secondsOf(40) - reference, tick);
    frameClock.lastTickTime = reference;
    frameClock.lastFpsTime = secondsOf(40);  // keep the report out of the way
    idleAt(40);
    EXPECT_EQ(frameClock.lastTickTime, reference);
    idleAt(41);
    EXPECT_EQ(frameClock.lastTickTime, secondsOf(41));
}

}  // namespace
