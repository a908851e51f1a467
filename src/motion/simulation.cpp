#include "motion/simulation.h"

#include "motion/character.h"
#include "motion/splinepath.h"

namespace {

// Script indices, in path samples.
constexpr int PLAIN_LOOP_END = 150;   // plain index after which it loops (or parks)
constexpr int RED_LOOP_END = 300;     // red index after which it loops (or parks)
constexpr int RED_HEAD_START = 100;   // red index at which the plain one sets off
constexpr int RED_FOLLOW_START = 140; // red index at which the camera takes over
constexpr int CAMERA_LAST = 570;      // last camera sample flown
constexpr int CAMERA_PLAIN_REWIND = 370;
constexpr int PLAIN_SKIP_TO = 120;    // where the first waiting lap puts them
constexpr int RED_SKIP_TO = 280;
constexpr int PAN_TICKS = 50;

Vec3d vec(double x, double y, double z) {
    Vec3d v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

// One sample of `path` as position and heading; returns its index.
int takeStep(SplinePath* path, Vec3d* position, double* heading) {
    int index = 0;
    path->nextSample(position, heading, nullptr, nullptr, false, false, &index);
    return index;
}

void pose(Character* character, const Vec3d& p, double heading) {
    character->setPose(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z),
                       static_cast<float>(heading));
}

// A pose from sample `index` of the character's path: motion when it is the
// sample after the last one, else a jump (a rewind, a seek, leaving a park).
void poseFromPath(Character* character, const Vec3d& p, double heading, int index) {
    if (character->pathSample < 0 || index != character->pathSample + 1) ++character->jumps;
    character->pathSample = index;
    pose(character, p, heading);
}

int walk(SplinePath* path, Character* character) {
    Vec3d p;
    double heading = 0.0;
    const int index = takeStep(path, &p, &heading);
    poseFromPath(character, p, heading, index);
    return index;
}

// Out of sight below the terrain.
void park(Character* character) {
    if (character->pathSample != Character::SAMPLE_PARKED) ++character->jumps;
    character->pathSample = Character::SAMPLE_PARKED;
    character->setPose(0.0f, -50.0f, 0.0f, 0.0f);
}

void takeCameraSample(Script& s, SplinePath* cameraPath) {
    double* cameraTarget = s.cameraTarget;
    Vec3d p;
    cameraPath->nextSample(&p, &cameraTarget[3], &cameraTarget[4], &cameraTarget[5], true, false,
                           &s.cameraIndex);
    cameraTarget[0] = p.x;
    cameraTarget[1] = p.y;
    cameraTarget[2] = p.z;
}

void followStep(Script& s, const SceneActors& a) {
    Character* const redCharacter = a.redCharacter;
    Character* const plainCharacter = a.plainCharacter;
    SplinePath* const plainPath = a.plainPath;
    SplinePath* const redPath = a.redPath;
    Vec3d redPosition;
    double redHeading = 0.0;
    const int iR = takeStep(redPath, &redPosition, &redHeading);
    if (iR == RED_FOLLOW_START) redCharacter->startPitch(40);
    poseFromPath(redCharacter, redPosition, redHeading, iR);

    const int iP = walk(plainPath, plainCharacter);
    if (iP == 1) plainCharacter->startPitch(30);

    if (s.cameraFollowing) {
        if (s.cameraIndex < CAMERA_LAST) {
            takeCameraSample(s, a.cameraPath);
            if (s.cameraIndex == CAMERA_PLAIN_REWIND) plainPath->rewind();
        } else {
            s.waiting = true;
            if (iR == 1) {
                ++s.lapCount;
                if (s.lapCount == 2) {
                    restartWalk(s, a);
                    plainPath->seek(0);
                    redPath->seek(0);
                } else {
                    plainPath->seek(PLAIN_SKIP_TO);
                    redPath->seek(RED_SKIP_TO);
                }
            }
            if (s.lapCount == 1) {
                if (iR == RED_LOOP_END) redCharacter->startPitch(40);
                if (iP == 140) plainCharacter->startPitch(30);
            }
        }
    }
    const double* t = s.cameraTarget;
    s.cameraFollowing = a.camera->update(static_cast<float>(t[0]), static_cast<float>(t[1]),
                                         static_cast<float>(t[2]), static_cast<float>(t[3]),
                                         static_cast<float>(t[4]), static_cast<float>(t[5]));
}

}  // namespace

Camera::Camera() { reset(); }

void Camera::reset() {
    eye = vec(164.7720184326, 41.4443855286, 45.1201820374);
    center = vec(0.0, 0.0, 0.0);
    up = vec(0.0, 1.0, 0.0);
    mode = 1;
    onTarget = false;
    ++jumps;
}

bool Camera::update(float x, float y, float z, float dx, float dy, float dz) {
    if (mode == 1) {
        blendTime += 1.0;
        center.x += dx * blendTime * 0.02;
        center.y += dy * blendTime * 0.02;
        center.z += dz * blendTime * 0.02;
        if (blendTime == PAN_TICKS) {
            mode = 2;
            blendTime = 0.0;
        }
        return false;
    }
    if (!onTarget) {
        onTarget = true;
        ++jumps;
    }
    eye = vec(x, y, z);
    center = vec(static_cast<double>(x) + dx, static_cast<double>(y) + dy,
                 static_cast<double>(z) + dz);
    return true;
}

void startWalk(Script& script) { script.started = true; }

void restartWalk(Script& s, const SceneActors& a) {
    s.lapCount = 0;
    if (a.camera) a.camera->reset();
    if (a.cameraPath) {
        a.cameraPath->rewind();
        takeCameraSample(s, a.cameraPath);
    }
    s.started = false;
    s.scenePhase = PHASE_LOOPING;
    s.waiting = false;
}

void simulationStep(Script& s, const SceneActors& a, bool inScene) {
    if (!inScene) return;
    // Wrapped here, not where it is shown: steps keep coming while the
    // window is hidden and no frame is drawn.
    s.blinkCounter = (s.blinkCounter + 1) % BLINK_PERIOD;
    if (!a.plainPath || !a.redPath || !a.cameraPath || !a.plainCharacter || !a.redCharacter ||
        !a.camera)
        return;
    Character* const plainCharacter = a.plainCharacter;
    Character* const redCharacter = a.redCharacter;
    SplinePath* const plainPath = a.plainPath;
    SplinePath* const redPath = a.redPath;
    const bool started = s.started;

    switch (s.scenePhase) {
    case PHASE_LOOPING: {
        const int iP = walk(plainPath, plainCharacter);
        if (iP > PLAIN_LOOP_END) {
            if (started) {
                park(plainCharacter);
                s.scenePhase = PHASE_RED_FINISH;
            }
            plainPath->rewind();
        }
        const int iR = walk(redPath, redCharacter);
        if (iR > RED_LOOP_END) redPath->rewind();
        break;
    }
    case PHASE_RED_FINISH: {
        park(plainCharacter);
        const int iR = walk(redPath, redCharacter);
        if (started && iR > RED_LOOP_END) {
            redPath->rewind();
            park(redCharacter);
            s.scenePhase = PHASE_PARKED;
        }
        break;
    }
    case PHASE_PARKED:
        park(redCharacter);
        park(plainCharacter);
        s.scenePhase = PHASE_RED_START;
        break;
    case PHASE_RED_START: {
        const int iR = walk(redPath, redCharacter);
        park(plainCharacter);
        if (iR == RED_HEAD_START) s.scenePhase = PHASE_PLAIN_START;
        break;
    }
    case PHASE_PLAIN_START: {
        const int iR = walk(redPath, redCharacter);
        if (iR == RED_FOLLOW_START) s.scenePhase = PHASE_FOLLOW;
        walk(plainPath, plainCharacter);
        break;
    }
    case PHASE_FOLLOW:
        followStep(s, a);
        break;
    default:
        break;
    }
}
