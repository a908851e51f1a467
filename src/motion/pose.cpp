#include "motion/pose.h"

#include <cmath>

#include "motion/character.h"
#include "motion/simulation.h"

namespace {

double mix(double a, double b, double t) { return (1.0 - t) * a + t * b; }

float mix(float a, float b, double t) { return static_cast<float>(mix(static_cast<double>(a), static_cast<double>(b), t)); }

Vec3d mix(const Vec3d& a, const Vec3d& b, double t) {
    Vec3d v;
    v.x = mix(a.x, b.x, t);
    v.y = mix(a.y, b.y, t);
    v.z = mix(a.z, b.z, t);
    return v;
}

// Degrees, the short way round: the wheels turn 350 -> 0 through 355.
float mixAngle(float a, float b, double t) {
    double d = std::fmod(static_cast<double>(b) - a, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return static_cast<float>(a + d * t);
}

}  // namespace

VehiclePose poseOf(const Character& c) {
    VehiclePose p;
    p.x = c.x;
    p.y = c.y;
    p.z = c.z;
    p.heading = c.heading;
    p.pitching = c.pitchState != 0;
    p.pitch = c.pitchDegrees();
    p.spin = static_cast<float>(c.spinAngle);
    p.jumps = c.jumps;
    return p;
}

CameraPose poseOf(const Camera& c) {
    CameraPose p;
    p.eye = c.eye;
    p.center = c.center;
    p.up = c.up;
    p.jumps = c.jumps;
    return p;
}

ScenePoses posesOf(const SceneActors& a) {
    ScenePoses p;
    if (a.plainCharacter) p.plain = poseOf(*a.plainCharacter);
    if (a.redCharacter) p.red = poseOf(*a.redCharacter);
    if (a.camera) p.camera = poseOf(*a.camera);
    return p;
}

VehiclePose blendPoses(const VehiclePose& from, const VehiclePose& to, double t) {
    if (t >= 1.0 || from.jumps != to.jumps) return to;
    if (t <= 0.0) return from;
    VehiclePose p = to;
    p.x = mix(from.x, to.x, t);
    p.y = mix(from.y, to.y, t);
    p.z = mix(from.z, to.z, t);
    p.heading = mixAngle(from.heading, to.heading, t);
    // A wheelie starting or ending blends from or to no pitch at all.
    p.pitching = from.pitching || to.pitching;
    p.pitch = mix(from.pitching ? from.pitch : 0.0, to.pitching ? to.pitch : 0.0, t);
    p.spin = mixAngle(from.spin, to.spin, t);
    if (p.spin < 0.0f) p.spin += 360.0f;
    return p;
}

CameraPose blendPoses(const CameraPose& from, const CameraPose& to, double t) {
    if (t >= 1.0 || from.jumps != to.jumps) return to;
    if (t <= 0.0) return from;
    CameraPose p = to;
    p.eye = mix(from.eye, to.eye, t);
    p.center = mix(from.center, to.center, t);
    p.up = mix(from.up, to.up, t);
    return p;
}

ScenePoses blendPoses(const ScenePoses& from, const ScenePoses& to, double t) {
    ScenePoses p;
    p.plain = blendPoses(from.plain, to.plain, t);
    p.red = blendPoses(from.red, to.red, t);
    p.camera = blendPoses(from.camera, to.camera, t);
    return p;
}
