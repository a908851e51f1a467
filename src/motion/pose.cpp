#include "motion/pose.h"

#include <cmath>

#include "motion/character.h"
#include "motion/simulation.h"

namespace {

// At t = 1 exactly `b`, at t = 0 exactly `a`, and `a` wherever a == b (a
// thing at rest does not wobble by rounding); beyond 1, on along the line.
double mix(double a, double b, double t) { return a == b ? a : (1.0 - t) * a + t * b; }

float mix(float a, float b, double t) { return static_cast<float>(mix(static_cast<double>(a), static_cast<double>(b), t)); }

Vec3d mix(const Vec3d& a, const Vec3d& b, double t) {
    Vec3d v;
    v.x = mix(a.x, b.x, t);
    v.y = mix(a.y, b.y, t);
    v.z = mix(a.z, b.z, t);
    return v;
}

// Degrees, the short way round: the wheels turn 350 -> 0 through 355.
double angleStep(float a, float b) {
    double d = std::fmod(static_cast<double>(b) - a, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return d;
}

float mixAngle(float a, float b, double t) { return static_cast<float>(a + angleStep(a, b) * t); }

// `from` to `to` at any t, jumps not looked at.
VehiclePose mixVehicles(const VehiclePose& from, const VehiclePose& to, double t) {
    VehiclePose p = to;
    p.x = mix(from.x, to.x, t);
    p.y = mix(from.y, to.y, t);
    p.z = mix(from.z, to.z, t);
    p.heading = mixAngle(from.heading, to.heading, t);
    // A wheelie starting or ending blends from or to no pitch at all.
    p.pitching = from.pitching || to.pitching;
    p.pitch = std::max(0.0, mix(from.pitching ? from.pitch : 0.0, to.pitching ? to.pitch : 0.0, t));
    p.spin = std::fmod(mixAngle(from.spin, to.spin, t) + 360.0f, 360.0f);
    return p;
}

CameraPose mixCameras(const CameraPose& from, const CameraPose& to, double t) {
    CameraPose p = to;
    p.eye = mix(from.eye, to.eye, t);
    p.center = mix(from.center, to.center, t);
    p.up = mix(from.up, to.up, t);
    return p;
}

// The one rule for both kinds of pose; `posed` says whether `previous` is
// a real pose (a vehicle before its first step is not).
template <typename Pose, typename Mix>
Pose poseAt(const Pose& older, const Pose& previous, const Pose& latest, double t, bool posed, Mix mixPoses) {
    if (t >= 1.0) return latest;
    if (previous.jumps == latest.jumps) return t <= 0.0 ? previous : mixPoses(previous, latest, t);
    if (posed && older.jumps == previous.jumps) return mixPoses(older, previous, 1.0 + (t < 0.0 ? 0.0 : t));
    return latest;
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

VehiclePose framePose(const VehiclePose& older, const VehiclePose& previous, const VehiclePose& latest, double t) {
    return poseAt(older, previous, latest, t, previous.jumps > 0, mixVehicles);
}

CameraPose framePose(const CameraPose& older, const CameraPose& previous, const CameraPose& latest, double t) {
    return poseAt(older, previous, latest, t, true, mixCameras);
}

ScenePoses framePoses(const ScenePoses& older, const ScenePoses& previous, const ScenePoses& latest, double t) {
    ScenePoses p;
    p.plain = framePose(older.plain, previous.plain, latest.plain, t);
    p.red = framePose(older.red, previous.red, latest.red, t);
    p.camera = framePose(older.camera, previous.camera, latest.camera, t);
    return p;
}
