#include "motion/sceneloader.h"

#include <string>

Vec3d* pathPoints = nullptr;
Vec3d* cameraPoints = nullptr;
int pointCount = 0;
SplinePath* plainPath = nullptr;
SplinePath* redPath = nullptr;
SplinePath* cameraPath = nullptr;

namespace {

// The only construction the scene's paths use: evenly sampled segments.
constexpr int PATH_TYPE = 3;

SplinePath* loadPath(Vec3d** points, const char* fileName, int samples) {
    const std::string path = std::string("models/") + fileName;
    Vec3d* const previous = *points;
    pointCount = initAnimations(points, path.c_str());
    // The paths keep no pointer into the arrays, so an array that a later
    // file replaces (the first street file's) is no longer needed.
    if (previous && *points != previous) delete[] previous;
    // A file that failed to open leaves the array pointer as it was; the
    // path must then read no point from it.
    const int usable = pointCount > 0 ? pointCount : 0;
    return new SplinePath(usable, usable > 0 ? *points : nullptr, samples, PATH_TYPE, 0, 0);
}

}  // namespace

void loadScene() {
    plainPath = loadPath(&pathPoints, "street_2.ase", 250);
    redPath = loadPath(&pathPoints, "street.ase", 450);
    cameraPath = loadPath(&cameraPoints, "cam.ASE", 700);
}
