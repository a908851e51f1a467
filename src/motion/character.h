// The two vehicles of the scene: model, pose, wheel spin, wheelie (pitch)
// and the silhouette their shadow volumes are extruded from. Drawing them
// (textures, display lists, volumes) is render/vehicles.h's.
//
// A character is built on the loader thread (model, neighbours, draw arrays,
// planes: no OpenGL) and afterwards used only on the GLUT thread (poses,
// drawing). Model objects 3 and 4 are the two parts that spin; every other
// object is the body. A model with fewer objects simply has no such part:
// its list is empty and its shadow is skipped.
#pragma once
#include "assets/model.h"
#include "assets/texture.h"

enum CharacterKind : int { KIND_RED = 1, KIND_PLAIN = 2 };

class Character {
public:
    // Reads its model (kind 1 "models/quelm_red.3DS", kind 2
    // "models/quelm.3DS"), finds the neighbours, prepares the draw arrays and
    // the face planes. Another kind logs "wrong quelm type" under "quelm" and
    // leaves the character empty. `unused` is kept for the callers' shape.
    Character(int kind, int unused);
    virtual ~Character();

    // Stores the pose and advances the animations by one tick: the spin by
    // 10 degrees, a running pitch by one step.
    void setPose(float x, float y, float z, float heading);
    // Starts the pitch: up over limit - 1 ticks, back down, then idle.
    // A limit below 2 is taken as 2.
    void startPitch(int limit);
    // The wheelie's angle about the model's x axis in degrees: positive
    // lifts the front; 0 while no pitch runs.
    double pitchDegrees() const;

    // For every face: facing 3, and neighbour j = the face across edge j
    // (-2 none), found by vertex positions. Gives the same neighbours as a
    // search of every other face in index order would, including which face
    // wins where more than two faces share an edge, in time linear in the
    // faces.
    void buildNeighbours();
    // Plane (a, b, c, d) of every face; (a, b, c) points out of a
    // counter-clockwise face.
    void computePlanes();
    int kind;                 // KIND_RED or KIND_PLAIN (another value: empty)
    float x = 0, y = 0, z = 0; // position, scene units
    float heading = 0;        // rotation about the vertical axis, degrees
    Model model;
    TextureTable textures;    // slot i: texture of material i; written by uploadCharacter
    unsigned int bodyList = 0, objectList3 = 0, objectList4 = 0;  // display lists, likewise
    int pitchState = 0;       // 0 idle, 1 rising, 2 falling
    int pitchLimit = 80;      // steps of the rising half
    int pitchCount = 1;       // current step of the pitch
    int spinAngle = 0;        // degrees, 0..350 in steps of 10
    // Written by the script (motion/simulation.h): the path sample the pose
    // came from (or SAMPLE_PARKED, SAMPLE_NONE), and how many poses so far
    // did not follow on from the one before, which a frame must not blend
    // across (0: never posed).
    static constexpr int SAMPLE_NONE = -2;    // never posed
    static constexpr int SAMPLE_PARKED = -1;  // out of sight below the terrain
    int pathSample = SAMPLE_NONE;
    int jumps = 0;

    Character(const Character&) = delete;
    Character& operator=(const Character&) = delete;
};

// Which model objects shadow part `part` covers: part 0 is object 3, part 1
// object 4, part 2 every other object.
bool inShadowPart(int object, int part);

// True when the edges p-q and r-s join the same two points (either way
// round), compared coordinate by coordinate with exact equality.
bool edgesEqual(const Vec3f& p, const Vec3f& q, const Vec3f& r, const Vec3f& s);

// The silhouette of `object` seen from `light` (object space, w in [3]):
// updates the faces' `facing` (0 lit, 1 unlit, 3 unknown; all back to 3
// afterwards when resetAfter) and calls `visit` for every edge between a lit
// face and an unlit neighbour or none (face index, edge j from corner j to
// corner (j + 1) mod 3), in drawing order.
using SilhouetteVisitor = void (*)(const ModelObject& object, int face, int edge,
                                   const float light[4], void* context);
void visitSilhouette(ModelObject& object, const float light[4], bool resetAfter,
                     SilhouetteVisitor visit, void* context);
