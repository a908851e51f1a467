// Poses at one moment: where the vehicles and the camera are drawn. The
// script moves them in steps of 1/30 s; a frame between two steps shows
// them blended from the poses before the last step to the poses after it,
// so motion is as smooth as the display allows. No OpenGL; GLUT thread.
#pragma once
#include "motion/pointfile.h"

class Character;
class Camera;
struct SceneActors;

// A vehicle as drawn: the transform of its body and its spinning parts.
struct VehiclePose {
    float x = 0.0f, y = 0.0f, z = 0.0f;  // position, scene units
    float heading = 0.0f;                // degrees about the vertical axis
    bool pitching = false;               // a wheelie runs (its rotation is applied)
    double pitch = 0.0;                  // degrees about the model's x axis, 0 unless pitching
    float spin = 0.0f;                   // degrees the spinning parts have turned, 0..360
    int jumps = 0;                       // the vehicle's jump count: poses of different counts are not blended
};

// The camera's look-at.
struct CameraPose {
    Vec3d eye, center, up;  // scene units
    int jumps = 0;          // as VehiclePose::jumps
};

// Everything a scene frame draws in motion; an actor that is missing keeps
// a default pose nobody draws.
struct ScenePoses {
    VehiclePose plain, red;
    CameraPose camera;
};

VehiclePose poseOf(const Character& character);
CameraPose poseOf(const Camera& camera);
ScenePoses posesOf(const SceneActors& actors);

// What a frame at fraction `t` (0..1) of the way to the next step shows,
// given the poses after the last three steps, oldest first. Frames run one
// step behind the clock, blending `previous` to `latest` (positions and
// vectors linearly, angles the short way round; t <= 0 gives `previous`
// exactly, t >= 1 `latest` exactly). When the last
// step jumped, the motion before it (`older` to `previous`) goes on
// instead until the next step, so the jump shows at its place in that
// timeline and no frame stands still; with no motion before it (the first
// pose, two jumps in a row), `latest`. For t >= 1: `latest` exactly.
VehiclePose framePose(const VehiclePose& older, const VehiclePose& previous, const VehiclePose& latest, double t);
CameraPose framePose(const CameraPose& older, const CameraPose& previous, const CameraPose& latest, double t);
ScenePoses framePoses(const ScenePoses& older, const ScenePoses& previous, const ScenePoses& latest, double t);
