// The scene's scripted walk on the fixed tick, and the camera.
//
// Everything here runs on the GLUT thread (idle, keyboard and display
// callbacks); the camera object itself is created by the loader thread.
// Time is counted in ticks and path samples, never in seconds.
#pragma once
#include "motion/pointfile.h"

class Character;
class SplinePath;

// Phases of the script, in the order the scene goes through them:
// LOOPING -> RED_FINISH -> PARKED -> RED_START -> PLAIN_START -> FOLLOW.
enum : int {
    PHASE_LOOPING = 0,      // both characters loop their opening stretch
    PHASE_RED_START = 1,    // red walks from sample 0, plain parked
    PHASE_RED_FINISH = 2,   // plain parked, red finishes its stretch
    PHASE_PARKED = 3,       // both parked for one tick
    PHASE_PLAIN_START = 4,  // plain walks from sample 0 too
    PHASE_FOLLOW = 5,       // the camera flies its path past them
};

// The scene's look-at: an opening pan of 50 ticks that turns the view
// towards the first target, then a camera that sits on its targets.
class Camera {
public:
    Camera();
    // Back to the starting eye, centre and up and the opening pan;
    // blendTime keeps its value.
    void reset();
    // Feeds the next target (position x, y, z and direction dx, dy, dz).
    // During the pan the centre moves towards the direction and false is
    // returned; once following, the eye sits on the target, looks along
    // the direction and true is returned.
    bool update(float x, float y, float z, float dx, float dy, float dz);

    Vec3d eye;              // camera position, scene units
    Vec3d center;           // point looked at, scene units
    Vec3d up;               // up direction
    double blendTime = 0.0; // ticks of the opening pan so far
    int mode = 1;           // 1 opening pan, 2 following
    // Moves that are no motion: reset, and the eye leaving the pan for its
    // first target; a frame must not blend across them.
    int jumps = 0;
    bool onTarget = false;  // the eye sits on the targets (mode 2 after its first update)
};

// The loaded objects the script moves (not owned). Filled by the loader
// thread; the GLUT thread uses them only after it has seen that thread end.
// Any of them may be null when its file could not be read or the load was
// stopped.
struct SceneActors {
    Character* plainCharacter = nullptr;  // kind 2, rides plainPath
    Character* redCharacter = nullptr;    // kind 1, rides redPath
    Camera* camera = nullptr;
    SplinePath* plainPath = nullptr;      // 250 samples from "street_2.ase"
    SplinePath* redPath = nullptr;        // 450 samples from "street.ase"
    SplinePath* cameraPath = nullptr;     // 700 samples from "cam.ASE"
    Vec3d* pathPoints = nullptr;          // points of the last street file read (the earlier array is freed)
    Vec3d* cameraPoints = nullptr;        // points of the camera file; kept for the run
    int pointCount = 0;                   // count returned by the last file read
};

// Simulation steps per blink cycle of the status line.
constexpr int BLINK_PERIOD = 30;

// Where the script stands. Written only by the functions below, on the GLUT
// thread; everything else reads it.
struct Script {
    int scenePhase = PHASE_LOOPING;    // one of the PHASE_ values
    bool started = false;              // the walk was started (d); cleared by the restart
    bool waiting = false;              // the camera path has ended; waiting for the restart
    bool cameraFollowing = true;       // result of the last Camera::update
    int cameraIndex = 0;               // index of the last camera-path sample taken
    int lapCount = 0;                  // red laps counted while waiting (0..2)
    double cameraTarget[6] = {};       // camera inputs: x, y, z, dx, dy, dz (scene units)
    int blinkCounter = 0;              // steps in the scene, modulo BLINK_PERIOD
};

// One tick of the script; does nothing unless `inScene` (and nothing but the
// blink count while one of the actors is still missing).
void simulationStep(Script& script, const SceneActors& actors, bool inScene);

// The d key once the scene runs: the walk starts at the script's next turn.
void startWalk(Script& script);

// Restart of the walk (the script's end, and the d key while started):
// lapCount 0, camera reset, camera path from sample 0 into cameraTarget and
// cameraIndex, started cleared, back to PHASE_LOOPING, waiting cleared.
// The two path seeks the script adds after it are not part of it. Actors
// not yet loaded (camera, cameraPath) are left out.
void restartWalk(Script& script, const SceneActors& actors);
