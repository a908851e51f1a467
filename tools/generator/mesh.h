// Mesh building for the generated models: closed shells (lofts, tubes,
// spheres, tori) with outward counter-clockwise winding, and the conversion
// of a mesh into 3DS objects of at most 65535 vertices each.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "assets/writer3ds.h"

struct V3 {
    double x = 0, y = 0, z = 0;
};

inline V3 v3(double x, double y, double z) { return V3{x, y, z}; }
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(V3 a);
V3 normalized(V3 a);

// Vertices are stored as floats at once, so a position used by two faces is
// the same bits in both: the shadow volumes match edges by exact equality.
struct Mesh {
    std::vector<Vec3f> vertices;
    std::vector<Vec2f> uvs;          // one per vertex
    std::vector<uint32_t> indices;   // three per face

    uint32_t add(V3 p, double u = 0, double v = 0);
    void tri(uint32_t a, uint32_t b, uint32_t c);
    void quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);  // a b c d in order
    size_t faceCount() const { return indices.size() / 3; }
    // Appends another mesh (indices shifted).
    void append(const Mesh& other);
};

// Maps a shell vertex (its position and its place around / along the shell)
// to texture coordinates.
using UvFunction = std::function<Vec2f(V3 position, double around, double along)>;

// A closed shell through rings of equal size, each ring a closed loop.
// `startApex`/`endApex` close the ends with fans (pass the ring's centre for
// a flat cap or a pole for a rounded one). `hardCaps` gives the caps their
// own vertices (flat shading across the rim); `hardSides` gives every side
// quad its own vertices (faceted, for boxes). The finished shell is turned
// so that it winds counter-clockwise seen from outside.
void addShell(Mesh& mesh, const std::vector<std::vector<V3>>& rings, V3 startApex, V3 endApex,
              bool hardCaps, bool hardSides, const UvFunction& uv);

// A torus-like closed ring of rings (no caps): ring i joins ring i+1 and the
// last joins the first.
void addClosedTube(Mesh& mesh, const std::vector<std::vector<V3>>& rings, const UvFunction& uv);

// Conveniences built on addShell.
void addBox(Mesh& mesh, V3 lo, V3 hi, const UvFunction& uv);
// A round tube from a to b with the given radii at each end, capped flat.
void addRod(Mesh& mesh, V3 a, V3 b, double ra, double rb, int sides, const UvFunction& uv);
// A round tube along a polyline, constant radius, capped round.
void addPipe(Mesh& mesh, const std::vector<V3>& points, double radius, int sides, const UvFunction& uv);
void addSphere(Mesh& mesh, V3 centre, V3 radii, int segments, int rings, const UvFunction& uv);

// Constant texture coordinates (a swatch of a palette texture).
UvFunction swatch(double u, double v);

// Turns the winding of faces [firstFace, end) so the enclosed volume is
// positive (outward normals). For closed shells only.
void orientOutward(Mesh& mesh, size_t firstFace);

// Splits a mesh into 3DS objects named name, name_2, ... each with at most
// 65535 vertices, keeping the face order.
std::vector<ObjectSpec> toObjects(const Mesh& mesh, const std::string& name,
                                  const std::string& material, bool withUvs);
