// The scene's scripted walk on the fixed tick, and the camera.
#pragma once
#include "motion/pointfile.h"

enum : int {
    PHASE_LOOPING = 0,
    PHASE_RED_START = 1,
    PHASE_RED_FINISH = 2,
    PHASE_PARKED = 3,
    PHASE_PLAIN_START = 4,
    PHASE_FOLLOW = 5,
};

class Camera {
public:
    Camera();
    void reset();
    // Feeds the next target; returns true when the camera follows it.
    bool update(float x, float y, float z, float dx, float dy, float dz);
    // gluLookAt with eye, center, up (GLUT thread).
    void apply() const;

    Vec3d eye, center, up;
    double blendTime = 0.0;
    int mode = 1;
};

// Script globals (GLUT thread once the scene runs).
extern int scenePhase;
extern bool waiting;
extern bool cameraFollowing;   // true at program start
extern int cameraIndex;
extern int lapCount;
extern double cameraTarget[6]; // x, y, z, dx, dy, dz
extern int blinkCounter;       // +1 per step in the scene; display wraps it at 30
extern Camera* camera;         // created by the loader thread

// One tick of the script; does nothing outside the scene state.
void simulationStep();

// Restart of the walk (also the d key while started): camera reset, camera
// path from sample 0, started cleared, back to PHASE_LOOPING.
void restartWalk();
