// The frame clock without a window: the once-a-second figure and both
// paces. The exact pace's thresholds call by call, at the program's start
// and after days and weeks of uptime; the paced clock's 30 steps and 60
// word-steps a second at any frame rate, never ahead of the clock, with a
// bounded catch-up and a blend that stays between the last two steps.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/timing.h"
#include "platform/clock.h"

namespace {

constexpr uint64_t SECOND = 1000000000ull;  // nanoseconds
constexpr uint64_t DAY = 86400 * SECOND;
constexpr double S = CLOCK_START_SECONDS;

// Each reading: the clock, the report it gives (0: none) and the reference
// time of the last step afterwards.
TEST(ExactPace, ReportsAfterMoreThanASecondAndStepsAtMostOncePerReading) {
    const struct { double t; int reported; double tick; } calls[] = {
        {S, 1, S},             // the first reading reports and steps at once
        {S + 0.5, 0, S + 0.5},
        {S + 1, 0, S + 1},             // exactly one second: no report
        {S + 1.001, 3, S + 1},         // the three frames since; 1 ms: no step
        {S + 11, 1, S + 11},           // ten seconds late: one step only
        {S + 11.001, 0, S + 11},       // ... and nothing left to make up
        {S + 11.034, 0, S + 11.034},
        {S + 11.034 + 1.0 / 30, 0, S + 11.034},  // exactly a step: no step
    };
    FrameClock c;
    for (const auto& call : calls) {
        SCOPED_TRACE(call.t);
        const double before = c.lastTickTime;
        const ClockAdvance a = advanceFrameClock(c, call.t, true, true);
        EXPECT_EQ(a.reported ? c.framesPerSecond : 0, call.reported);
        EXPECT_EQ(c.lastTickTime, call.tick);
        EXPECT_EQ(a.steps, c.lastTickTime != before ? 1 : 0);
        EXPECT_EQ(a.wordSteps, 1) << "one word-step per drawn frame";
        EXPECT_EQ(stepBlend(c, true), 1.0);
    }
    EXPECT_EQ(advanceFrameClock(c, S + 20, false, true).wordSteps, 0) << "none between frames";
}

// Thirty steps and one report a second at the program's start, whatever the
// machine's uptime (a fresh boot, days, just before the 32-bit millisecond
// count of a 49.7-day uptime wraps), and after a week of the program
// running: the program's clock, read through the machine's.
TEST(ExactPace, KeepsItsPaceAtAnyUptimeAndAfterAWeekOfRunning) {
    const uint64_t WRAP = 4294967296ull * 1000000ull;  // 2^32 ms in nanoseconds
    auto run = [](FrameClock& c, uint64_t from, int& steps, int& reports) {
        steps = reports = 0;
        for (uint64_t t = from; t < from + 10 * SECOND; t += 100000) {
            setFakeSystemClock(t);
            const ClockAdvance a = advanceFrameClock(c, clockSeconds(), true, true);
            steps += a.steps, reports += a.reported;
        }
    };
    for (uint64_t boot : {uint64_t{60} * SECOND, 6 * DAY, WRAP - 5 * SECOND, 40 * DAY}) {
        SCOPED_TRACE(boot / SECOND);
        FrameClock c;
        restartClock();
        int steps, reports;
        run(c, boot, steps, reports);
        EXPECT_NEAR(steps, 300, 3);
        EXPECT_NEAR(reports, 10, 1);
        run(c, boot + 7 * DAY, steps, reports);
        EXPECT_NEAR(steps, 300, 3);
        EXPECT_NEAR(reports, 10, 1);
    }
    clearFakeClock();
    restartClock();
}

// Frames at `interval` seconds (plus `jitter` times a repeating pattern)
// for `seconds`; the steps and word-steps made, checked at every reading
// against the clock: never ahead, never more than a step behind.
struct Paced {
    int steps = 0, wordSteps = 0;
    double elapsed = 0;  // seconds from the first frame to the last
};
Paced runPaced(double interval, double seconds, double jitter = 0.0) {
    FrameClock c;
    Paced p;
    const double start = S + 3.7;
    double t = start;
    for (int frame = 0; t < start + seconds; ++frame) {
        const ClockAdvance a = advanceFrameClock(c, t, true, false);
        p.steps += a.steps, p.wordSteps += a.wordSteps;
        const double elapsed = p.elapsed = t - start;
        EXPECT_LE(p.steps, elapsed * 30 + 1e-6) << "ahead of the clock at " << elapsed;
        EXPECT_GE(p.steps, elapsed * 30 - 1) << "behind at " << elapsed;
        EXPECT_LE(p.wordSteps, elapsed * 60 + 1e-6);
        const double blend = stepBlend(c, false);
        EXPECT_TRUE(blend >= 0.0 && blend < 1.0) << blend;
        t += interval + jitter * std::sin(frame * 1.7);
    }
    return p;
}

TEST(PacedClock, ThirtyStepsAndSixtyWordStepsASecondAtAnyFrameRate) {
    for (double fps : {15.0, 24.0, 59.94, 60.0, 144.0, 270.0}) {
        SCOPED_TRACE(fps);
        const Paced p = runPaced(1.0 / fps, 10.0);
        EXPECT_GT(p.elapsed, 9.9);
        EXPECT_NEAR(p.steps, 30 * p.elapsed, 1);
        EXPECT_NEAR(p.wordSteps, 60 * p.elapsed, 1);
    }
    // Frames that come unevenly, as a busy machine delivers them.
    const Paced uneven = runPaced(1.0 / 50, 10.0, 0.015);
    EXPECT_NEAR(uneven.steps, 30 * uneven.elapsed, 1);
    EXPECT_NEAR(uneven.wordSteps, 60 * uneven.elapsed, 1);
}

TEST(PacedClock, SlowFramesCatchUpAQuarterSecondAtMostAndThenSlowDown) {
    FrameClock c;
    advanceFrameClock(c, S, true, false);
    const ClockAdvance frame = advanceFrameClock(c, S + 0.2, true, false);
    EXPECT_EQ(frame.steps, 6) << "a fifth of a second's steps in one frame";
    EXPECT_EQ(frame.wordSteps, 12);
    const ClockAdvance stall = advanceFrameClock(c, S + 5.2, true, false);
    EXPECT_EQ(stall.steps, 7) << "five seconds' stall: a quarter second's steps, not 150";
    EXPECT_EQ(stall.wordSteps, 15);
    EXPECT_NEAR(stepBlend(c, false), 0.5, 1e-6) << "the rest of the quarter second";
    EXPECT_EQ(advanceFrameClock(c, S + 5.2 + 1.0 / 60, true, false).steps, 1) << "and on from there";
}

// A clock read at exact multiples of a frame (a recording's) steps on time:
// at 60 frames a second every other frame, a step's worth of blend apart.
TEST(PacedClock, SixtyFramesASecondAlternateAStepAndAHalfStep) {
    FrameClock c;
    std::vector<int> steps;
    std::vector<double> blends;
    for (int frame = 0; frame <= 600; ++frame) {
        steps.push_back(advanceFrameClock(c, S + frame / 60.0, true, false).steps);
        blends.push_back(stepBlend(c, false));
    }
    for (int frame = 1; frame <= 600; ++frame) {
        EXPECT_EQ(steps[frame], frame % 2 == 0 ? 1 : 0) << frame;
        EXPECT_NEAR(blends[frame], frame % 2 == 0 ? 0.0 : 0.5, 1e-6) << frame;
    }
}

}  // namespace
