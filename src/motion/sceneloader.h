// Builds the scene's three paths from their point files (loader thread).
//
// The globals are written once by loadScene on the loader thread and read
// by the GLUT thread only after it has seen that thread end.
#pragma once
#include "motion/splinepath.h"

extern Vec3d* pathPoints;       // points of the last street file read (the earlier array is freed)
extern Vec3d* cameraPoints;     // points of the camera file; kept for the run
extern int pointCount;          // count returned by the last file read
extern SplinePath* plainPath;   // 250 samples from "street_2.ase"; null until loaded
extern SplinePath* redPath;     // 450 samples from "street.ase"; null until loaded
extern SplinePath* cameraPath;  // 700 samples from "cam.ASE"; null until loaded

// Reads "models/street_2.ase", "models/street.ase" and "models/cam.ASE" and
// builds the three paths. A file that cannot be read is logged by the
// reader and gives a path of zero points; loading goes on.
void loadScene();
