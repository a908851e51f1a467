// The idle clock: frame counting, the once-a-second report and the fixed
// tick, driven through the clock's seams with no window: at the program's
// start, and after days and weeks of the machine's or the program's uptime.
// simulationStep does nothing outside the scene state, so steps are
// observed through lastTickTime.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/states.h"
#include "app/timing.h"
#include "platform/clock.h"

namespace {

int redisplayRequests = 0;
constexpr uint64_t SECOND = 1000000000ull;  // nanoseconds
constexpr uint64_t DAY = 86400 * SECOND;

class IdleClock : public ::testing::Test {
protected:
    void SetUp() override {
        frameClock = FrameClock();
        demo = Demo();
        redisplayRequests = 0;
        requestRedisplay = [] { ++redisplayRequests; };
    }
    void TearDown() override {
        clearFakeClock();
        restartClock();
    }
    // One idle call at program time `t`; returns what it printed.
    static std::string idleAt(double t) {
        setFakeClock(t);
        ::testing::internal::CaptureStdout();
        idle();
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

    // Idle calls every `step` of the machine's clock from `from` for
    // `seconds`; counts the steps and the reports.
    struct Counts {
        int ticks = 0, reports = 0;
    };
    static Counts runSystemClock(uint64_t from, double seconds, uint64_t step = 100000) {
        Counts n;
        const uint64_t end = from + static_cast<uint64_t>(seconds * SECOND);
        for (uint64_t t = from; t < end; t += step) {
            setFakeSystemClock(t);
            const double tick = frameClock.lastTickTime;
            const int frames = frameClock.frameCounter;
            idle();
            n.ticks += frameClock.lastTickTime != tick;
            n.reports += frameClock.frameCounter < frames;
        }
        return n;
    }
};

// Each call: the clock, whether paused, the report it prints and the reference
// time of the last step afterwards. Every call that is not paused asks for one
// redisplay; a paused one changes nothing at all.
TEST_F(IdleClock, ReportsAfterMoreThanASecondStepsAtMostOncePerCallAndPauseFreezes) {
    const double S = CLOCK_START_SECONDS;
    const struct { double t; bool paused; const char* printed; double tick; } calls[] = {
        {S, false, "Current Frames Per Second: 1\n", S},             // the first call reports and steps at once
        {S + 0.5, false, "", S + 0.5},
        {S + 1, false, "", S + 1},                                   // exactly one second: no report
        {S + 1.001, false, "Current Frames Per Second: 3\n", S + 1}, // the three frames since; 1 ms: no step
        {S + 11, false, "Current Frames Per Second: 1\n", S + 11},   // ten seconds late: one step only
        {S + 11.001, false, "", S + 11},                             // ... and nothing left to make up
        {S + 11.034, false, "", S + 11.034},
        {S + 12, true, "", S + 11.034},
        {S + 36, false, "Current Frames Per Second: 3\n", S + 36},   // the frames before the pause and this one
        {S + 36.001, false, "", S + 36},                             // one step after the pause, not more
        {S + 36 + 1.0 / 30, false, "", S + 36},                      // exactly a tick: no step
    };
    int redisplays = 0;
    for (const auto& c : calls) {
        SCOPED_TRACE(c.t);
        demo.paused = c.paused;
        const std::string printed = idleAt(c.t);
        EXPECT_EQ(printed, c.printed);
        EXPECT_EQ(frameClock.lastTickTime, c.tick);
        EXPECT_EQ(redisplayRequests, redisplays += !c.paused);
    }
}

// Thirty ticks and one report a second at the program's start, whatever the
// machine's uptime (a fresh boot, days, just before the 32-bit millisecond
// count of a 49.7-day uptime wraps), and after a week of the program running.
TEST_F(IdleClock, KeepsItsPaceAtAnyUptimeAndAfterAWeekOfRunning) {
    const uint64_t WRAP = 4294967296ull * 1000000ull;  // 2^32 ms in nanoseconds
    for (uint64_t boot : {uint64_t{60} * SECOND, 6 * DAY, WRAP - 5 * SECOND, 40 * DAY}) {
        SCOPED_TRACE(boot / SECOND);
        frameClock = FrameClock();
        restartClock();
        const Counts first = runSystemClock(boot, 10.0);
        EXPECT_NEAR(first.ticks, 300, 3);
        EXPECT_NEAR(first.reports, 10, 1);
        const Counts week = runSystemClock(boot + 7 * DAY, 10.0);
        EXPECT_NEAR(week.ticks, 300, 3);
        EXPECT_NEAR(week.reports, 10, 1);
    }
}

}  // namespace
