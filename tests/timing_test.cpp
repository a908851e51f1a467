// The idle clock: frame counting, the once-a-second report and the fixed
// tick, driven by a settable clock with no window. simulationStep does
// nothing outside the scene state, so steps are observed through lastTickTime.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/states.h"
#include "app/timing.h"
#include "platform/clock.h"

namespace {

int redisplayRequests = 0;
void countRedisplay() { ++redisplayRequests; }

float secondsOf(uint32_t ms) {
    volatile float seconds = static_cast<float>(ms) * 0.001f;  // as idle computes it
    return seconds;
}

class IdleClock : public ::testing::Test {
protected:
    void SetUp() override {
        currentTime = frameCounter = lastFpsTime = lastTickTime = 0.0f;
        framesPerSecond = 0;
        paused = false;
        demoState = STATE_TITLE;
        redisplayRequests = 0;
        requestRedisplay = countRedisplay;
    }
    void TearDown() override {
        clearFakeClock();
        paused = false;
    }

    // One idle call at `ms` on the clock; returns what it printed.
    std::string idleAt(uint32_t ms) {
        setFakeClock(ms);
        ::testing::internal::CaptureStdout();
        idle();
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(IdleClock, FirstCallReportsOneFrameAndStepsAtOnce) {
    EXPECT_EQ(idleAt(5000), "Current Frames Per Second: 1\n");
    EXPECT_EQ(framesPerSecond, 1);
    EXPECT_EQ(frameCounter, 0.0f);
    EXPECT_EQ(lastFpsTime, secondsOf(5000));
    EXPECT_EQ(lastTickTime, secondsOf(5000));
    EXPECT_EQ(redisplayRequests, 1);
}

TEST_F(IdleClock, ReportsOnlyAfterStrictlyMoreThanOneSecond) {
    idleAt(4000);
    ASSERT_EQ(secondsOf(5000) - secondsOf(4000), 1.0f);  // the case under test is exact
    EXPECT_EQ(idleAt(4500), "");
    EXPECT_EQ(idleAt(5000), "") << "exactly one second must not report";
    EXPECT_EQ(framesPerSecond, 1);
    // Printed and stored figure are the same: the three frames since the last report.
    EXPECT_EQ(idleAt(5001), "Current Frames Per Second: 3\n");
    EXPECT_EQ(framesPerSecond, 3);
    EXPECT_EQ(frameCounter, 0.0f);
    EXPECT_EQ(lastFpsTime, secondsOf(5001));
    EXPECT_EQ(redisplayRequests, 4);
}

TEST_F(IdleClock, StepsOnlyAfterStrictlyMoreThanATick) {
    // A clock reading whose distance to the reference is exactly the float
    // constant 1/30; only small readings have such a float partner.
    const float tick = 1.0f / 30.0f;
    const float now = secondsOf(40);
    volatile float reference = now - tick;
    ASSERT_EQ(now - reference, tick);
    lastTickTime = reference;
    lastFpsTime = now;  // keep the report out of the way

    idleAt(40);
    EXPECT_EQ(lastTickTime, reference) << "exactly 1/30 s must not step";
    idleAt(41);
    EXPECT_EQ(lastTickTime, secondsOf(41));
}

TEST_F(IdleClock, LateStepsAreNotMadeUp) {
    idleAt(10000);
    // Ten seconds without a call: one step, and the new reference is now, so
    // the next call a millisecond later has nothing left to catch up.
    idleAt(20000);
    EXPECT_EQ(lastTickTime, secondsOf(20000));
    idleAt(20001);
    EXPECT_EQ(lastTickTime, secondsOf(20000));
    idleAt(20034);
    EXPECT_EQ(lastTickTime, secondsOf(20034));
}

TEST_F(IdleClock, EveryCallRequestsOneRedisplay) {
    for (uint32_t ms = 3000; ms < 3010; ++ms) idleAt(ms);
    EXPECT_EQ(redisplayRequests, 10);
    EXPECT_EQ(frameCounter, 9.0f);  // the first call reported and reset the count
}

TEST_F(IdleClock, PauseFreezesEverythingAndTheNextCallCatchesUpOnce) {
    idleAt(10000);
    idleAt(10100);
    idleAt(10200);
    const float timeBefore = currentTime;
    const float tickBefore = lastTickTime;

    paused = true;
    for (uint32_t ms = 11000; ms < 30000; ms += 1000) EXPECT_EQ(idleAt(ms), "");
    EXPECT_EQ(currentTime, timeBefore);
    EXPECT_EQ(frameCounter, 2.0f);
    EXPECT_EQ(lastTickTime, tickBefore);
    EXPECT_EQ(framesPerSecond, 1);
    EXPECT_EQ(redisplayRequests, 3);

    paused = false;
    // The frames before the pause plus this one, reported at once; one step.
    EXPECT_EQ(idleAt(40000), "Current Frames Per Second: 3\n");
    EXPECT_EQ(lastTickTime, secondsOf(40000));
    EXPECT_EQ(redisplayRequests, 4);
    idleAt(40001);
    EXPECT_EQ(lastTickTime, secondsOf(40000));
}

}  // namespace
