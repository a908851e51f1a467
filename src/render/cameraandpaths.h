// Drawing what the motion layer computes: the camera's view and the debug
// lines of a path. GLUT thread.
#pragma once
#include "motion/pose.h"
#include "motion/simulation.h"
#include "motion/splinepath.h"

// gluLookAt with the camera's eye, centre and up.
void applyCamera(const CameraPose& camera);
void applyCamera(const Camera& camera);

// Yellow line strip through the samples, cyan through the control points
// (which leaves the colour cyan).
void drawPathLines(const SplinePath& path);
