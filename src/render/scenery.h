// The terrain and sky passes: the pieces of either model that lie wholly
// outside the view, or (for the sky) wholly under the ground, are left out
// before OpenGL sees them; the picture is the one the whole model gives.
// GLUT thread only.
#pragma once
#include "render/shadowbounds.h"
#include "scene/skyterrain.h"

#include <vector>

// The view's six clip planes in world coordinates (a, b, c, d with a unit
// normal, inside where a x + b y + c z + d >= 0), from the projection and
// the camera's modelview.
struct ViewFrustum {
    double plane[6][4];
};

// From column-major projection and world-to-eye matrices; false when they
// are not finite or a plane is degenerate.
bool makeViewFrustum(const float projection[16], const float cameraModelview[16], ViewFrustum& out);

// True when the box lies wholly outside one of the planes, by more than the
// rounding of a vertex transform: none of it can be rasterized.
bool boxOutside(const ViewFrustum& frustum, const Vec3f& low, const Vec3f& high);

// The pieces flagged in `visible`, nearest first: ordered by how far the
// eye of the world-to-eye `cameraModelview` lies from each piece's box
// over the ground plan (x and z), ties by index.
std::vector<int> piecesNearToFar(const std::vector<SceneModel::Piece>& pieces, const std::vector<char>& visible,
                                 const float cameraModelview[16]);

// The terrain under the modelview in force (the camera): the pieces that
// may reach into the view, nearest first (a near hill hides what lies
// behind it, and the renderer skips the texturing of fragments that fail
// the depth test), or with `whole` its display list as before.
// The pieces are handed to the renderer in two halves, each flushed, so its
// threads rasterize the first while the second is submitted and the second
// while the caller goes on.
void drawTerrainPass(SceneModel& terrain, bool whole);

// The sky after the terrain. With `ground` (the terrain's, already in the
// depth buffer) the pieces in view that the ground does not wholly hide,
// scissored to the box outside which the ground hides everything (nothing
// when that is empty); without it the pieces in view. With `whole` the
// display list over the whole window, as before.
void drawSkyPass(SceneModel& sky, const GroundBounds* ground, bool whole);
