// Scissor rectangles for the shadow volumes: the ground measured once per
// scene, the frame's view checked once per character, each volume clipped
// to the regions that may be seen and projected to the window.
#include "render/shadowbounds.h"

#include <algorithm>
#include <cmath>
#include <cstddef>


GroundBounds shadowGround;

namespace {

// How far below the ground's lowest point a volume point must lie to count
// as hidden: far more than the depth buffer resolves at the distances the
// ground is seen from (24 bits with the scene's near plane of 1 resolve
// about 0.06 units at 1000), so the terrain in front of it always wins.
constexpr double GROUND_MARGIN = 1.0;
// Grid cells per side of the ground's height grid.
constexpr int GROUND_CELLS = 256;
// Pixels added around a projected rectangle, for rounding in the
// projection; the scissor never has to be tight.
constexpr int PIXEL_MARGIN = 2;

struct Point4 {
    double v[4];
};

// Column-major 4 x 4 products and transforms, in double.
void multiply(const double a[16], const double b[16], double out[16]) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
    }
}

void transform(const double m[16], const double in[4], double out[4]) {
    for (int r = 0; r < 4; ++r)
        out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
}

// The inverse of a general 4 x 4 matrix by cofactors; false when singular.
bool invert(const double m[16], double out[16]) {
    double inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
             m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
             m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
             m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
              m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
             m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
             m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
             m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
              m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] +
             m[5] * m[3] * m[14] + m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
             m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
              m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
              m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
             m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] +
             m[4] * m[3] * m[10] + m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] -
              m[4] * m[3] * m[9] - m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] +
              m[4] * m[2] * m[9] + m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (!(std::fabs(det) > 1e-300)) return false;
    for (int i = 0; i < 16; ++i) out[i] = inv[i] / det;
    return true;
}

void toDouble(const float in[16], double out[16]) {
    for (int i = 0; i < 16; ++i) out[i] = in[i];
}

bool allFinite(const double m[16]) {
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m[i])) return false;
    return true;
}

// Twice the signed area of a face seen from above (positive: it looks up).
double upwardArea2(const Vec3f& a, const Vec3f& b, const Vec3f& c) {
    return static_cast<double>(b.z - a.z) * (c.x - a.x) - static_cast<double>(b.x - a.x) * (c.z - a.z);
}

bool faceCorners(const ModelObject& o, const Face& f, const Vec3f* out[3]) {
    for (int j = 0; j < 3; ++j) {
        const int32_t v = f.vertexIndex[j];
        if (v < 0 || static_cast<size_t>(v) >= o.vertices.size()) return false;
        out[j] = &o.vertices[static_cast<size_t>(v)];
    }
    return true;
}

// True when every face of `o` looks up and their areas seen from above add
// up to the object's square: a height field over that square. Faces that
// overlapped would have to leave a hole of the same area, which a terrain
// does not.
bool isHeightField(const ModelObject& o, float minX, float maxX, float minZ, float maxZ) {
    if (o.faces.empty() || !(maxX > minX) || !(maxZ > minZ)) return false;
    double area2 = 0;
    for (const Face& f : o.faces) {
        const Vec3f* c[3];
        if (!faceCorners(o, f, c)) return false;
        const double a = upwardArea2(*c[0], *c[1], *c[2]);
        if (!(a > 0)) return false;
        area2 += a;
    }
    const double square = static_cast<double>(maxX - minX) * (maxZ - minZ);
    return std::fabs(area2 * 0.5 - square) <= square * 1e-5;
}

int cellOf(double value, double low, double cellSize, int cells) {
    const double i = std::floor((value - low) / cellSize);
    if (!(i >= 0)) return 0;  // NaN lands here too
    if (i >= cells - 1) return cells - 1;
    return static_cast<int>(i);
}

// Sutherland-Hodgman against one half-space plane . (x, y, z, 1) >= 0.
int clipPolygon(const Point4* in, int count, const double plane[4], Point4* out) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const Point4& a = in[i];
        const Point4& b = in[(i + 1) % count];
        const double da = plane[0] * a.v[0] + plane[1] * a.v[1] + plane[2] * a.v[2] + plane[3] * a.v[3];
        const double db = plane[0] * b.v[0] + plane[1] * b.v[1] + plane[2] * b.v[2] + plane[3] * b.v[3];
        if (da >= 0) out[n++] = a;
        if ((da >= 0) != (db >= 0)) {
            const double t = da / (da - db);
            Point4 p;
            for (int k = 0; k < 4; ++k) p.v[k] = a.v[k] + (b.v[k] - a.v[k]) * t;
            out[n++] = p;
        }
    }
    return n;
}

struct Extent {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
};

// Widens `extent` by the window positions of `count` world points in front
// of the near plane.
void addProjected(const VolumeView& view, const Point4* points, int count, Extent& extent) {
    for (int i = 0; i < count; ++i) {
        double clip[4];
        transform(view.worldToClip, points[i].v, clip);
        if (!(clip[3] > 0)) clip[3] = 1e-12;  // on the near plane, w > 0 but rounding
        const double wx = view.viewport[0] + (clip[0] / clip[3] + 1.0) * 0.5 * view.viewport[2];
        const double wy = view.viewport[1] + (clip[1] / clip[3] + 1.0) * 0.5 * view.viewport[3];
        extent.minX = std::min(extent.minX, wx);
        extent.maxX = std::max(extent.maxX, wx);
        extent.minY = std::min(extent.minY, wy);
        extent.maxY = std::max(extent.maxY, wy);
    }
}

// A convex polygon of at most 16 corners (a quad gains at most one corner
// per clipping plane).
struct Polygon {
    Point4 corner[16];
    int count = 0;
};

double distance(const double plane[4], const Point4& p) {
    return plane[0] * p.v[0] + plane[1] * p.v[1] + plane[2] * p.v[2] + plane[3] * p.v[3];
}

// Clips `poly` to the half-spaces `planes`, skipping the planes it lies
// wholly inside; false when nothing is left.
bool clipTo(Polygon& poly, const double (*planes)[4], int planeCount) {
    Polygon out;
    for (int p = 0; p < planeCount && poly.count > 0; ++p) {
        bool allInside = true;
        for (int i = 0; i < poly.count && allInside; ++i) allInside = distance(planes[p], poly.corner[i]) >= 0;
        if (allInside) continue;
        out.count = clipPolygon(poly.corner, poly.count, planes[p], out.corner);
        poly = out;
    }
    return poly.count > 0;
}

// The planes a volume polygon is tested against, in world coordinates.
struct SeenRegions {
    double frustum[5][4];   // near, left, right, bottom, top: outside is never rasterized
    double floor[1][4];     // above the ground's lowest point, less the margin
    double square[4][4];    // over the ground's square grown by the margin
    double beyond[4][2][4]; // beyond side k, and on or over its plane through the eye
};

// What of the convex polygon `poly` may be seen (inside the frustum, and
// above the floor over the square or beyond a side over its plane), added
// to `extent`; false when nothing is.
bool addSeen(const VolumeView& view, const SeenRegions& r, const Polygon& poly, Extent& extent) {
    // Wholly outside one frustum plane: nothing to clip.
    for (const auto& plane : r.frustum) {
        bool allOutside = true;
        for (int i = 0; i < poly.count && allOutside; ++i) allOutside = distance(plane, poly.corner[i]) < 0;
        if (allOutside) return false;
    }
    bool seen = false;
    // Above the floor first: that plane leaves little of a volume's side.
    Polygon above = poly;
    if (clipTo(above, r.floor, 1) && clipTo(above, r.square, 4) && clipTo(above, r.frustum, 5)) {
        addProjected(view, above.corner, above.count, extent);
        seen = true;
    }
    for (const auto& side : r.beyond) {
        // Most volumes never leave the square: nothing beyond this side.
        bool reaches = false;
        for (int i = 0; i < poly.count && !reaches; ++i) reaches = distance(side[0], poly.corner[i]) >= 0;
        if (!reaches) continue;
        Polygon part = poly;
        if (clipTo(part, side, 2) && clipTo(part, r.frustum, 5)) {
            addProjected(view, part.corner, part.count, extent);
            seen = true;
        }
    }
    return seen;
}

}  // namespace

GroundBounds measureGround(const Model& terrain, int depthBits) {
    GroundBounds g;
    if (depthBits < GROUND_DEPTH_BITS) return g;
    for (const ModelObject& o : terrain.objects) {
        if (o.vertices.empty()) continue;
        float minX = o.vertices[0].x, maxX = minX, minZ = o.vertices[0].z, maxZ = minZ;
        float floorY = o.vertices[0].y;
        for (const Vec3f& v : o.vertices) {
            minX = std::min(minX, v.x);
            maxX = std::max(maxX, v.x);
            minZ = std::min(minZ, v.z);
            maxZ = std::max(maxZ, v.z);
            floorY = std::min(floorY, v.y);
        }
        if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minZ) ||
            !std::isfinite(maxZ) || !std::isfinite(floorY))
            continue;
        if (!isHeightField(o, minX, maxX, minZ, maxZ)) continue;

        g.minX = minX;
        g.maxX = maxX;
        g.minZ = minZ;
        g.maxZ = maxZ;
        g.floorY = floorY;
        // The sides are straight lines between the vertices on them, so
        // their lowest points are vertices.
        for (float& e : g.edgeY) e = 1e30f;
        for (const Vec3f& v : o.vertices) {
            if (v.x == minX) g.edgeY[0] = std::min(g.edgeY[0], v.y);
            if (v.x == maxX) g.edgeY[1] = std::min(g.edgeY[1], v.y);
            if (v.z == minZ) g.edgeY[2] = std::min(g.edgeY[2], v.y);
            if (v.z == maxZ) g.edgeY[3] = std::min(g.edgeY[3], v.y);
        }
        g.cells = GROUND_CELLS;
        g.highY.assign(static_cast<size_t>(g.cells) * g.cells, -1e30f);
        const double sizeX = (static_cast<double>(maxX) - minX) / g.cells;
        const double sizeZ = (static_cast<double>(maxZ) - minZ) / g.cells;
        for (const Face& f : o.faces) {
            const Vec3f* c[3];
            if (!faceCorners(o, f, c)) continue;  // checked by isHeightField already
            const int i0 = cellOf(std::min({c[0]->x, c[1]->x, c[2]->x}), minX, sizeX, g.cells);
            const int i1 = cellOf(std::max({c[0]->x, c[1]->x, c[2]->x}), minX, sizeX, g.cells);
            const int k0 = cellOf(std::min({c[0]->z, c[1]->z, c[2]->z}), minZ, sizeZ, g.cells);
            const int k1 = cellOf(std::max({c[0]->z, c[1]->z, c[2]->z}), minZ, sizeZ, g.cells);
            for (int k = k0; k <= k1; ++k)
                for (int i = i0; i <= i1; ++i) {
                    // The face's highest point over the cell (grown a little,
                    // so faces that only touch it count): large faces of a
                    // flat plain stay low where they are low.
                    const double grow = 1e-4 * std::max(sizeX, sizeZ);
                    const double x0 = minX + i * sizeX - grow, x1 = minX + (i + 1) * sizeX + grow;
                    const double z0 = minZ + k * sizeZ - grow, z1 = minZ + (k + 1) * sizeZ + grow;
                    const double cell[4][4] = {{1, 0, 0, -x0}, {-1, 0, 0, x1}, {0, 0, 1, -z0}, {0, 0, -1, z1}};
                    Polygon part;
                    part.count = 3;
                    for (int j = 0; j < 3; ++j) part.corner[j] = Point4{{c[j]->x, c[j]->y, c[j]->z, 1.0}};
                    if (!clipTo(part, cell, 4)) continue;
                    float& high = g.highY[static_cast<size_t>(k) * g.cells + i];
                    for (int j = 0; j < part.count; ++j) high = std::max(high, static_cast<float>(part.corner[j].v[1]));
                }
        }
        g.valid = true;
        return g;
    }
    return g;
}

bool prepareVolumeView(const GroundBounds& ground, const float cameraModelview[16],
                       const float projection[16], const int viewport[4], VolumeView& view) {
    if (!ground.valid || ground.cells <= 0 ||
        ground.highY.size() != static_cast<size_t>(ground.cells) * ground.cells)
        return false;
    if (viewport[2] <= 0 || viewport[3] <= 0) return false;
    double p[16], camera[16];
    toDouble(projection, p);
    toDouble(cameraModelview, camera);
    if (!allFinite(p) || !allFinite(camera)) return false;
    // A symmetric perspective projection (gluPerspective's shape): its near
    // distance and the widest corner of the near rectangle follow from it.
    if (p[1] != 0 || p[2] != 0 || p[3] != 0 || p[4] != 0 || p[6] != 0 || p[7] != 0 ||
        p[8] != 0 || p[9] != 0 || p[11] != -1 || p[12] != 0 || p[13] != 0 || p[15] != 0 ||
        !(p[0] > 0) || !(p[5] > 0) || !(p[10] < -1))
        return false;
    const double nearDistance = p[14] / (p[10] - 1.0);
    if (!(nearDistance > 0)) return false;

    if (!invert(camera, view.eyeToWorld)) return false;
    multiply(p, camera, view.worldToClip);
    for (int i = 0; i < 3; ++i) view.eye[i] = view.eyeToWorld[12 + i] / view.eyeToWorld[15];
    for (int i = 0; i < 4; ++i) view.viewport[i] = viewport[i];
    view.ground = &ground;

    // Clear above the ground: no ground point inside the pyramid between
    // the eye and the near rectangle (the only part of the view the near
    // plane cuts away), so the ground an eye ray meets is drawn. The
    // pyramid's lowest point must lie above the ground under its ground
    // plan, by the margin.
    const double ex = view.eye[0], ey = view.eye[1], ez = view.eye[2];
    if (!(ex > ground.minX && ex < ground.maxX && ez > ground.minZ && ez < ground.maxZ)) return false;
    double lowX = ex, highX = ex, lowY = ey, lowZ = ez, highZ = ez;
    for (int corner = 0; corner < 4; ++corner) {
        const double inEye[4] = {(corner & 1 ? 1.0 : -1.0) * nearDistance / p[0],
                                 (corner & 2 ? 1.0 : -1.0) * nearDistance / p[5], -nearDistance, 1.0};
        double world[4];
        transform(view.eyeToWorld, inEye, world);
        if (!(world[3] != 0)) return false;
        const double x = world[0] / world[3], y = world[1] / world[3], z = world[2] / world[3];
        lowX = std::min(lowX, x), highX = std::max(highX, x);
        lowZ = std::min(lowZ, z), highZ = std::max(highZ, z);
        lowY = std::min(lowY, y);
    }
    const double sizeX = (static_cast<double>(ground.maxX) - ground.minX) / ground.cells;
    const double sizeZ = (static_cast<double>(ground.maxZ) - ground.minZ) / ground.cells;
    const int i0 = cellOf(lowX - GROUND_MARGIN, ground.minX, sizeX, ground.cells);
    const int i1 = cellOf(highX + GROUND_MARGIN, ground.minX, sizeX, ground.cells);
    const int k0 = cellOf(lowZ - GROUND_MARGIN, ground.minZ, sizeZ, ground.cells);
    const int k1 = cellOf(highZ + GROUND_MARGIN, ground.minZ, sizeZ, ground.cells);
    for (int k = k0; k <= k1; ++k)
        for (int i = i0; i <= i1; ++i)
            if (!(ground.highY[static_cast<size_t>(k) * ground.cells + i] < lowY - GROUND_MARGIN)) return false;

    // Side k's plane holds the eye and the side's lowest line; its normal
    // points up. A point beyond side k and under this plane is seen (if at
    // all) through that side below the ground's edge.
    const double lineX[2] = {ground.minX, ground.maxX};
    const double lineZ[2] = {ground.minZ, ground.maxZ};
    for (int k = 0; k < 4; ++k) {
        double n[3];
        if (k < 2) {
            // Line along z at x = lineX[k]: (d) x (0, 0, 1) = (dy, -dx, 0).
            const double dx = lineX[k] - ex, dy = ground.edgeY[k] - ey;
            n[0] = dy;
            n[1] = -dx;
            n[2] = 0;
        } else {
            // Line along x at z = lineZ[k - 2]: (d) x (1, 0, 0) = (0, dz, -dy).
            const double dz = lineZ[k - 2] - ez, dy = ground.edgeY[k] - ey;
            n[0] = 0;
            n[1] = dz;
            n[2] = -dy;
        }
        if (n[1] < 0)
            for (double& c : n) c = -c;
        view.sidePlane[k][0] = n[0];
        view.sidePlane[k][1] = n[1];
        view.sidePlane[k][2] = n[2];
        view.sidePlane[k][3] = -(n[0] * ex + n[1] * ey + n[2] * ez);
    }
    return true;
}

ScissorBox volumeScissor(const VolumeView& view, const float objectModelview[16],
                         const float* triangles, int vertexCount, std::vector<float>* kept, bool edgeQuads) {
    ScissorBox box;
    if (!view.ground || !triangles || vertexCount < 3) return box;
    const GroundBounds& g = *view.ground;
    double modelview[16], objectToWorld[16];
    toDouble(objectModelview, modelview);
    multiply(view.eyeToWorld, modelview, objectToWorld);

    const double low = g.floorY - GROUND_MARGIN;
    SeenRegions r;
    // The frustum as world-space planes (rows of worldToClip): near, then
    // left, right, bottom, top; points outside are never rasterized.
    const double* m = view.worldToClip;
    const int rowOf[5] = {2, 0, 0, 1, 1};
    const double sign[5] = {1, 1, -1, 1, -1};
    for (int p = 0; p < 5; ++p)
        for (int c = 0; c < 4; ++c) r.frustum[p][c] = m[c * 4 + 3] + sign[p] * m[c * 4 + rowOf[p]];
    // The regions that may be seen: above the floor over the square grown
    // by the margin (points outside it are at least that far from the
    // ground), or beyond a side and on or over its plane.
    const double margin = GROUND_MARGIN;
    const double floorPlane[4] = {0, 1, 0, -low};
    const double square[4][4] = {{1, 0, 0, -(g.minX - margin)},
                                 {-1, 0, 0, g.maxX + margin},
                                 {0, 0, 1, -(g.minZ - margin)},
                                 {0, 0, -1, g.maxZ + margin}};
    const double outside[4][4] = {{-1, 0, 0, g.minX}, {1, 0, 0, -g.maxX}, {0, 0, -1, g.minZ}, {0, 0, 1, -g.maxZ}};
    std::copy(floorPlane, floorPlane + 4, r.floor[0]);
    for (int k = 0; k < 4; ++k) {
        std::copy(square[k], square[k] + 4, r.square[k]);
        std::copy(outside[k], outside[k] + 4, r.beyond[k][0]);
        std::copy(view.sidePlane[k], view.sidePlane[k] + 4, r.beyond[k][1]);
    }

    // Object-space point i in world coordinates; false when it cannot be
    // placed (then the whole viewport is the box).
    auto toWorld = [&](int i, Point4& out) {
        const float* v = triangles + 3 * i;
        const double in[4] = {v[0], v[1], v[2], 1.0};
        transform(objectToWorld, in, out.v);
        const double w = out.v[3];
        if (!(w != 0) || !std::isfinite(w)) return false;
        for (double& c : out.v) c /= w;
        return true;
    };
    auto same = [triangles](int i, int j) {
        const float* a = triangles + 3 * i;
        const float* b = triangles + 3 * j;
        return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
    };

    Extent extent;
    for (int t = 0; t + 2 < vertexCount;) {
        // The two triangles of an extruded edge (a, far a, b; b, far a,
        // far b) are one flat quad: a, b, far b, far a.
        const bool quad = edgeQuads && t + 5 < vertexCount && same(t + 3, t + 2) && same(t + 4, t + 1);
        const int order[4] = {t, t + 2, t + 5, t + 1};
        Polygon poly;
        poly.count = quad ? 4 : 3;
        for (int j = 0; j < poly.count; ++j)
            if (!toWorld(quad ? order[j] : t + j, poly.corner[j]))
                return ScissorBox{view.viewport[0], view.viewport[1], view.viewport[2], view.viewport[3]};
        const int floats = quad ? 18 : 9;
        // Under the floor and over the square: the hidden region is convex,
        // so a polygon with all corners in it lies in it.
        bool allHidden = true;
        for (int j = 0; j < poly.count && allHidden; ++j) {
            const double x = poly.corner[j].v[0], y = poly.corner[j].v[1], z = poly.corner[j].v[2];
            allHidden = y < low && x >= g.minX && x <= g.maxX && z >= g.minZ && z <= g.maxZ;
        }
        // A polygon with nothing left in any region has no fragment that
        // can pass the depth test: it is left out, the rest keep their order.
        if (!allHidden && addSeen(view, r, poly, extent) && kept)
            kept->insert(kept->end(), triangles + 3 * t, triangles + 3 * t + floats);
        t += quad ? 6 : 3;
    }
    if (!(extent.maxX >= extent.minX) || !(extent.maxY >= extent.minY)) return box;
    const double vx0 = view.viewport[0], vy0 = view.viewport[1];
    const double vx1 = vx0 + view.viewport[2], vy1 = vy0 + view.viewport[3];
    const double x0 = std::max(vx0, std::floor(extent.minX) - PIXEL_MARGIN);
    const double x1 = std::min(vx1, std::ceil(extent.maxX) + PIXEL_MARGIN);
    const double y0 = std::max(vy0, std::floor(extent.minY) - PIXEL_MARGIN);
    const double y1 = std::min(vy1, std::ceil(extent.maxY) + PIXEL_MARGIN);
    if (!(x1 > x0) || !(y1 > y0)) return box;
    box.x = static_cast<int>(x0);
    box.y = static_cast<int>(y0);
    box.width = static_cast<int>(x1 - x0);
    box.height = static_cast<int>(y1 - y0);
    return box;
}

ScissorBox unite(const ScissorBox& a, const ScissorBox& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    ScissorBox u;
    u.x = std::min(a.x, b.x);
    u.y = std::min(a.y, b.y);
    u.width = std::max(a.x + a.width, b.x + b.width) - u.x;
    u.height = std::max(a.y + a.height, b.y + b.height) - u.y;
    return u;
}

bool boxUnderGround(const GroundBounds& ground, const Vec3f& low, const Vec3f& high) {
    if (!ground.valid) return false;
    // The same region volumeScissor drops triangles in: convex, so a box
    // with all its corners in it lies in it.
    return high.y < ground.floorY - GROUND_MARGIN && low.x >= ground.minX && high.x <= ground.maxX &&
           low.z >= ground.minZ && high.z <= ground.maxZ;
}
