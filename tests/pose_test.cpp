// What a frame between two steps shows: the ends exactly, angles the short
// way round, a wheelie blended from and to no pitch, and at a jump the
// motion before it going on, never a blend across it.
#include "motion/pose.h"

#include <gtest/gtest.h>

namespace {

VehiclePose vehicle(float x, float heading, float spin, bool pitching = false, double pitch = 0, int jumps = 1) {
    VehiclePose p;
    p.x = x, p.y = 2 * x, p.z = -x, p.heading = heading, p.spin = spin, p.pitching = pitching, p.pitch = pitch;
    p.jumps = jumps;
    return p;
}

bool same(const VehiclePose& a, const VehiclePose& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.heading == b.heading && a.spin == b.spin &&
           a.pitching == b.pitching && a.pitch == b.pitch && a.jumps == b.jumps;
}

TEST(Poses, AFrameBlendsTheLastStepAndGivesItsEndsExactly) {
    const VehiclePose older = vehicle(-0.5f, 160, 340), from = vehicle(0.1f, 170.3f, 350.0f),
                      to = vehicle(0.7f, 190.9f, 0.0f, true, 8.0);
    EXPECT_TRUE(same(framePose(older, from, to, 0.0), from));
    EXPECT_TRUE(same(framePose(older, from, to, 1.0), to)) << "the last step's pose, bit for bit";
    const VehiclePose half = framePose(older, from, to, 0.5);
    EXPECT_FLOAT_EQ(half.x, 0.4f);
    EXPECT_FLOAT_EQ(half.z, -0.4f);
    EXPECT_FLOAT_EQ(half.heading, 180.6f);
    EXPECT_FLOAT_EQ(half.spin, 355.0f) << "350 -> 0 turns on through 355";
    EXPECT_TRUE(half.pitching && half.pitch == 4.0) << "a wheelie rises from no pitch";
    EXPECT_FLOAT_EQ(framePose(older, vehicle(0, 0, 10), vehicle(0, 0, 350), 0.25).spin, 5.0f) << "and back the short way";
}

TEST(Poses, AtAJumpTheMotionBeforeItGoesOnUntilTheNextStep) {
    // 0 -> 1 -> (jump) 150: frames go on to 1.5, then the next step shows 150.
    const VehiclePose older = vehicle(0, 90, 0), previous = vehicle(1, 90, 10), landed = vehicle(150, 270, 20, false, 0, 2);
    EXPECT_TRUE(same(framePose(older, previous, landed, 0.0), previous));
    const VehiclePose on = framePose(older, previous, landed, 0.5);
    EXPECT_FLOAT_EQ(on.x, 1.5f);
    EXPECT_FLOAT_EQ(on.spin, 15.0f);
    EXPECT_TRUE(same(framePose(older, previous, landed, 1.0), landed));
    // No motion before it (the first pose, or a jump after a jump): where it lands.
    EXPECT_TRUE(same(framePose(vehicle(0, 0, 0, false, 0, 0), vehicle(0, 0, 0, false, 0, 0), landed, 0.5), landed));
    EXPECT_TRUE(same(framePose(vehicle(9, 0, 0, false, 0, 0), previous, landed, 0.5), landed));
    // A wheelie that has just ended does not dip below level.
    EXPECT_EQ(framePose(vehicle(0, 0, 0, true, 2), vehicle(1, 0, 0), landed, 0.9).pitch, 0.0);
    CameraPose eye, moved, reset;
    moved.eye = {100, 0, 0}, reset.eye = {-50, 0, 0}, reset.jumps = 1;
    EXPECT_EQ(framePose(eye, eye, moved, 0.25).eye.x, 25.0);
    EXPECT_EQ(framePose(eye, moved, reset, 0.5).eye.x, 150.0);
}

}  // namespace
