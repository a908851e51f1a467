// The two vehicles: a sports motorbike with its rider, plain (pearl white
// and blue) and red. Front towards -z, ground at y = 0; object 3 is the
// front wheel and object 4 the rear wheel, each centred on the pivot the
// program spins it about.
#pragma once
#include <string>

#include <vector>

#include "image.h"
#include "mesh.h"

const V3 FRONT_WHEEL_PIVOT{0, 49.92, -236.217};
const V3 REAR_WHEEL_PIVOT{0, 51, 0};

struct ColouredTriangle {
    V3 a, b, c;  // model units, counter-clockwise seen from outside
    Colour colour;
};
// The vehicle's triangles, each with the colour it shows (material colour,
// or its texture at the triangle's middle); for pictures of the vehicle.
std::vector<ColouredTriangle> vehicleTriangles(bool red);

// Writes models/quelm.3DS, models/quelm_red.3DS and their textures.
bool writeVehicles(const std::string& dataDir, std::string* error);
