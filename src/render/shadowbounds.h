// Where the characters' shadow volumes can still change a pixel.
//
// The volumes are extruded far beyond the characters (render/vehicles.h),
// and almost all of that length runs under the ground, where every fragment
// fails the depth test against the terrain drawn before it: it costs
// rasterization and changes no stencil value. These functions bound, on
// screen, the part of a volume that is not provably under the ground, so
// the counting passes can be scissored to it. The scissor only drops
// fragments; the ones it keeps are rasterized exactly as without it, so the
// stencil (and the picture) comes out the same.
//
// The proof, for a volume point X outside the rectangle: X lies more than
// GROUND_MARGIN below the lowest point of the ground, and either over the
// ground's square or beyond one of its sides below the line from the eye
// over that side's lowest edge point. The eye is over the ground with room
// to spare (nothing of the ground within the near plane's reach), so the
// eye's ray to X enters the ground first, at a point the terrain pass has
// drawn; X is farther, by more than the depth buffer's resolution, and
// fails GL_LEQUAL. Where any premise is missing (no terrain drawn, no
// height-field ground, eye under or too close to the ground, a projection
// that is not a perspective one) the volumes are drawn whole.
#pragma once
#include <vector>

#include "assets/model.h"

// What the shadow bounds know of the terrain: its ground, the one object
// that is a height field over its square (every face looks up, and the
// faces' areas seen from above fill the square). Built once per scene from
// the terrain's model (scene set-up), read every frame.
struct GroundBounds {
    bool valid = false;                // false: no such object, draw volumes whole
    float minX = 0, maxX = 0;          // the square, scene units
    float minZ = 0, maxZ = 0;
    float floorY = 0;                  // lowest point of the ground
    float edgeY[4] = {0, 0, 0, 0};     // lowest point on the side x = minX, x = maxX, z = minZ, z = maxZ
    int cells = 0;                     // grid cells per side of highY
    std::vector<float> highY;          // highest ground point over each cell, row by row in z
};

// The depth buffer the ground's margin is worked out for. With fewer bits
// the ground no longer hides what lies a margin behind it for certain.
constexpr int GROUND_DEPTH_BITS = 24;

// The bounds of the first height-field object of `terrain` (see above),
// for a depth buffer of `depthBits`; not valid when there is no such
// object or fewer than GROUND_DEPTH_BITS bits (volumes and sky drawn whole).
GroundBounds measureGround(const Model& terrain, int depthBits = GROUND_DEPTH_BITS);

// The scene's ground, measured from its terrain by the scene set-up
// (render/screens.h setUpScene), its only writer; not valid before or
// without a terrain, nor with fewer than GROUND_DEPTH_BITS depth bits.
extern GroundBounds shadowGround;

// One frame's view, for the scissor rectangles: what is needed to take a
// volume from its object space to the window, and the regions that may be
// visible. Built by prepareVolumeView from the matrices in force when the
// characters are drawn.
struct VolumeView {
    double worldToClip[16];            // projection x camera, column-major
    double eyeToWorld[16];             // the camera undone
    double eye[3];                     // the eye in world coordinates
    int viewport[4];                   // x, y, width, height
    const GroundBounds* ground = nullptr;
    // Beyond side k, points on or above plane k (through the eye and the
    // side's lowest edge line) may be seen over the side.
    double sidePlane[4][4];
};

// False when the volumes must be drawn whole: the ground is not valid, the
// projection is not a perspective one, or the eye is not clear above the
// ground (outside its square, under it, or so close that the near plane
// could cut the ground away). `cameraModelview` is the world-to-eye matrix
// (the modelview of the scene's world origin), column-major.
bool prepareVolumeView(const GroundBounds& ground, const float cameraModelview[16],
                       const float projection[16], const int viewport[4], VolumeView& view);

// A window rectangle in pixels; empty when width or height is 0.
struct ScissorBox {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// The smallest box holding both (an empty one adds nothing).
ScissorBox unite(const ScissorBox& a, const ScissorBox& b);

// True when every point of the box lies under the ground's floor, less its
// margin, over the ground's square: wherever the eye clears the ground
// (prepareVolumeView), the terrain hides all of it.
bool boxUnderGround(const GroundBounds& ground, const Vec3f& low, const Vec3f& high);

// The window rectangle outside which no fragment of the triangles can pass
// the depth test: `triangles` holds vertexCount points (x, y, z floats) in
// the object space of `objectModelview` (object-to-eye, column-major).
// With `kept`, the triangles that may change a pixel are appended to it in
// their order (nine floats each): the others would only fail the depth
// test, so drawing the kept ones alone counts the same. With `edgeQuads`
// the triangles come in the pairs of an extruded edge (a, far a, b; b,
// far a, far b), each pair one flat quad, tested and kept as one.
ScissorBox volumeScissor(const VolumeView& view, const float objectModelview[16],
                         const float* triangles, int vertexCount, std::vector<float>* kept = nullptr,
                         bool edgeQuads = false);
