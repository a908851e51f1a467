// The three point files: the plain vehicle's street, the red vehicle's
// street and the camera's flight.
#pragma once
#include <string>
#include <vector>

#include "mesh.h"

// Sample counts the program builds the paths with, and the points each file
// holds (one segment per two samples for the streets, one per sample for
// the flight, so every segment is walked at the same speed).
const int PLAIN_SAMPLES = 250, RED_SAMPLES = 450, CAMERA_SAMPLES = 700;
const int PLAIN_POINTS = 126, RED_POINTS = 226, CAMERA_POINTS = 701;

// The points in scene axes (y up), as the files will hold them.
std::vector<V3> plainPathPoints();
std::vector<V3> redPathPoints();
std::vector<V3> cameraPathPoints();

// Writes models/street_2.ase, models/street.ase and models/cam.ASE.
bool writePointFiles(const std::string& dataDir, std::string* error);
