// Blending two poses: the ends exactly, angles the short way round, a
// wheelie blended from and to no pitch, nothing blended across a jump.
#include "motion/pose.h"

#include <gtest/gtest.h>

namespace {

VehiclePose vehicle(float x, float heading, float spin, bool pitching = false, double pitch = 0, int jumps = 0) {
    VehiclePose p;
    p.x = x, p.y = 2 * x, p.z = -x, p.heading = heading, p.spin = spin, p.pitching = pitching, p.pitch = pitch;
    p.jumps = jumps;
    return p;
}

bool same(const VehiclePose& a, const VehiclePose& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.heading == b.heading && a.spin == b.spin &&
           a.pitching == b.pitching && a.pitch == b.pitch && a.jumps == b.jumps;
}

TEST(Poses, BlendBetweenTheirEndsAndGiveTheEndsExactly) {
    const VehiclePose from = vehicle(0.1f, 170.3f, 350.0f), to = vehicle(0.7f, 190.9f, 0.0f, true, 8.0);
    EXPECT_TRUE(same(blendPoses(from, to, 0.0), from));
    EXPECT_TRUE(same(blendPoses(from, to, 1.0), to)) << "the last step's pose, bit for bit";
    const VehiclePose half = blendPoses(from, to, 0.5);
    EXPECT_FLOAT_EQ(half.x, 0.4f);
    EXPECT_FLOAT_EQ(half.z, -0.4f);
    EXPECT_FLOAT_EQ(half.heading, 180.6f);
    EXPECT_FLOAT_EQ(half.spin, 355.0f) << "350 -> 0 turns on through 355";
    EXPECT_TRUE(half.pitching && half.pitch == 4.0) << "a wheelie rises from no pitch";
    EXPECT_FLOAT_EQ(blendPoses(vehicle(0, 0, 10), vehicle(0, 0, 350), 0.25).spin, 5.0f) << "and back the short way";
}

TEST(Poses, AreNotBlendedAcrossAJump) {
    const VehiclePose from = vehicle(0, 90, 0, false, 0, 3), to = vehicle(150, 270, 10, false, 0, 4);
    EXPECT_TRUE(same(blendPoses(from, to, 0.5), to));
    CameraPose eye, moved;
    moved.eye = {100, 0, 0}, moved.jumps = 1;
    EXPECT_EQ(blendPoses(eye, moved, 0.5).eye.x, 100.0);
    moved.jumps = 0;
    EXPECT_EQ(blendPoses(eye, moved, 0.25).eye.x, 25.0);
}

}  // namespace
