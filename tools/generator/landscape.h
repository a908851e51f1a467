// The terrain (valley, mountains, roads, tunnel mouths, the street lamp,
// trees) and the sky dome (with the lamp's glowing bulb, which must be drawn
// unlit), with their textures.
#pragma once
#include <string>

#include "image.h"

// Writes models/terrain.3DS, models/sky.3ds and their BMP textures.
bool writeLandscape(const std::string& dataDir, std::string* error);

// Sky colour seen in a direction (unit vector, y up); shared with the
// backdrop so the picture matches the dome.
Colour skyColour(double dx, double dy, double dz);
// Ground colour at a point of the ground plane, before the roads.
Colour groundColour(double x, double z);
// The terrain's ground texture (roads painted in), made once and kept.
const Image& groundImage();
