// The two vehicles: a sports motorbike with its rider, plain (pearl white
// and blue) and red. Front towards -z, ground at y = 0; object 3 is the
// front wheel and object 4 the rear wheel, each centred on the pivot the
// program spins it about.
#pragma once
#include <string>

#include "mesh.h"

const V3 FRONT_WHEEL_PIVOT{0, 49.92, -236.217};
const V3 REAR_WHEEL_PIVOT{0, 51, 0};

// Writes models/quelm.3DS, models/quelm_red.3DS and their textures.
bool writeVehicles(const std::string& dataDir, std::string* error);
