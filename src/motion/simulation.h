// The scene's scripted walk on the fixed tick, and the camera.
//
// Everything here runs on the GLUT thread (idle, keyboard and display
// callbacks); the camera object itself is created by the loader thread.
// Time is counted in ticks and path samples, never in seconds.
#pragma once
#include "motion/pointfile.h"

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
    // gluLookAt with eye, center, up (GLUT thread).
    void apply() const;

    Vec3d eye;              // camera position, scene units
    Vec3d center;           // point looked at, scene units
    Vec3d up;               // up direction
    double blendTime = 0.0; // ticks of the opening pan so far
    int mode = 1;           // 1 opening pan, 2 following
};

// Script globals, written by simulationStep and restartWalk (GLUT thread).
extern int scenePhase;         // one of the PHASE_ values; PHASE_LOOPING at start
extern bool waiting;           // the camera path has ended; waiting for the restart
extern bool cameraFollowing;   // result of the last Camera::update; true at start
extern int cameraIndex;        // index of the last camera-path sample taken
extern int lapCount;           // red laps counted while waiting (0..2)
extern double cameraTarget[6]; // camera inputs: x, y, z, dx, dy, dz (scene units)
extern int blinkCounter;       // +1 per step in the scene; the frame wraps it at 30
extern Camera* camera;         // created by the loader thread; null until then

// One tick of the script; does nothing outside the scene state (and
// nothing but the blink count while a scene object is still missing).
void simulationStep();

// Restart of the walk (the script's end, and the d key while started):
// lapCount 0, camera reset, camera path from sample 0 into cameraTarget and
// cameraIndex, started cleared, back to PHASE_LOOPING, waiting cleared.
// The two path seeks the script adds after it are not part of it. Objects
// not yet loaded (camera, cameraPath) are left out.
void restartWalk();
