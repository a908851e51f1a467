// Builds the scene's three paths from their point files (loader thread).
#pragma once
#include "motion/splinepath.h"

extern Vec3d* pathPoints;     // points of the last street file read
extern Vec3d* cameraPoints;   // points of the camera file
extern int pointCount;        // count of the last file read
extern SplinePath* plainPath;   // 250 samples, "street_2.ase"
extern SplinePath* redPath;     // 450 samples, "street.ase"
extern SplinePath* cameraPath;  // 700 samples, "cam.ASE"

void loadScene();
