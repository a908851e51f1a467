// The layout of the demo's world, shared by the terrain, the paths, the
// camera flight and the backdrop picture.
//
// A flat valley (ground at y = 0) inside a ring of mountains. Road A runs
// north (+z) past the street lamp at the origin, bends east into road B and
// north again into road D; road C brings the red vehicle in from the west.
// The roads start and end in tunnels, so a vehicle that is re-placed by the
// script does so inside a mountain. Units are scene units, y up.
#pragma once
#include <cstdint>
#include <vector>

#include "mesh.h"

// ---- extents -------------------------------------------------------------
const double TERRAIN_HALF = 320;      // the terrain covers -320..320 in x and z
const double TERRAIN_STEP = 5;        // grid spacing of the terrain mesh
const double SKY_RADIUS = 490;        // horizontal radius of the sky dome
const double SKY_HEIGHT = 330;        // vertical radius of the sky dome
const double SKY_CENTRE_Y = -40;      // the dome's centre lies below the ground
const V3 LAMP_LIGHT{0, 30, 0};        // the point the shadows are cast from

// ---- routes --------------------------------------------------------------
// A centre line drawn like a pen in the ground plane: straights and arcs,
// recorded densely (every ROUTE_STEP units). Heading is a unit (x, z).
const double ROUTE_STEP = 0.25;
class Route {
public:
    Route(V3 start, double headingX, double headingZ);
    void straight(double length);
    void straightToZ(double z);   // heading must be along +z or -z
    void straightToX(double x);   // heading must be along +x or -x
    void turnLeft(double radius, double degrees);
    void turnRight(double radius, double degrees);
    const std::vector<V3>& points() const { return dense; }
    // The line `offset` units to the right of this one (negative: left).
    std::vector<V3> offsetRight(double offset) const;

private:
    void turn(double radius, double degrees, double side);
    std::vector<V3> dense;
    std::vector<V3> rights;  // unit right-hand normal at each dense point
    V3 position;
    double hx, hz;
};

// Length of a polyline.
double polylineLength(const std::vector<V3>& line);
// Points along `line` whose straight-line distances from one to the next
// are all `step` (the first point is the line's start), `count` of them; the
// line is extended along its last direction if it runs out.
std::vector<V3> equalChords(const std::vector<V3>& line, double step, int count);

// ---- roads ---------------------------------------------------------------
// One open road: its centre line (dense, y = 0), its width, and whether its
// ends run into a tunnel.
struct Road {
    std::vector<V3> centre;
    double width;
    bool tunnelAtStart, tunnelAtEnd;
    double surface;  // height of the road strip above the ground
};
const std::vector<Road>& roads();

// A tunnel mouth: where an open road meets a mountain.
struct Portal {
    V3 position;    // on the centre line, at the foot of the mountain
    V3 outward;     // unit direction from the mountain into the valley
    double width;
};
const std::vector<Portal>& portals();

// ---- ground --------------------------------------------------------------
// The terrain surface as modelled (mountains, hills, roads flattened).
double groundHeight(double x, double z);
// The same sampled on the terrain grid and interpolated across the drawn
// terrain's triangles, i.e. exactly the surface that is drawn.
double meshHeight(double x, double z);
// Height of terrain grid vertex (i, j): x = -TERRAIN_HALF + i * TERRAIN_STEP,
// z likewise with j. Indices are clamped to the grid.
double gridHeight(int i, int j);
int gridSize();  // vertices per side
// The drawn terrain's triangles as grid vertex indices (j * gridSize() + i),
// three per face, facing up: fine where the ground bends, coarse where flat.
const std::vector<uint32_t>& terrainTriangles();

// ---- helpers shared by the generator's parts ------------------------------
double smoothstep(double a, double b, double x);
// Smooth value noise in [0, 1), a pure function of its arguments.
double valueNoise(double x, double y, int seed);
double fractalNoise(double x, double y, int seed, int octaves);
