// Builds the scene's three paths from their point files (loader thread).
#pragma once
#include "motion/simulation.h"
#include "motion/splinepath.h"

// Reads "models/street_2.ase", "models/street.ase" and "models/cam.ASE" and
// builds the three paths into `actors` (plainPath, redPath, cameraPath and
// the point arrays). A file that cannot be read is logged by the reader and
// gives a path of zero points; loading goes on. No OpenGL.
void loadScene(SceneActors& actors);
