#include "motion/sceneloader.h"

#include <string>

#include "assets/modelpath.h"

namespace {

// The only construction the scene's paths use: evenly sampled segments.
constexpr int PATH_TYPE = 3;

SplinePath* loadPath(Vec3d** points, int& pointCount, const char* fileName, int samples) {
    const std::string path = modelPath(fileName);
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

void loadScene(SceneActors& a) {
    a.plainPath = loadPath(&a.pathPoints, a.pointCount, "street_2.ase", 250);
    a.redPath = loadPath(&a.pathPoints, a.pointCount, "street.ase", 450);
    a.cameraPath = loadPath(&a.cameraPoints, a.pointCount, "cam.ASE", 700);
}
