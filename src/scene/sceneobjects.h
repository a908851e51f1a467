// Everything the loader thread builds for the scene.
#pragma once
#include "motion/simulation.h"
#include "scene/skyterrain.h"

// The actors plus the two static models. Written by the loader thread until
// the GLUT thread has seen that thread end; from then on the GLUT thread's
// alone. Objects are created with new and live until the process ends; any
// may be null (a load stopped at exit, or no loader started yet).
struct SceneObjects : SceneActors {
    Terrain* terrain = nullptr;
    Sky* sky = nullptr;
};
