#include "world.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// ============================================================================
// Noise and small helpers
// ============================================================================

double smoothstep(double a, double b, double x) {
    const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

static uint32_t hash3(int32_t x, int32_t y, int32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(seed) * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

static double lattice(int32_t x, int32_t y, int seed) { return (hash3(x, y, seed) & 0xffffff) / 16777216.0; }

double valueNoise(double x, double y, int seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    const double tx = x - fx, ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const double c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

double fractalNoise(double x, double y, int seed, int octaves) {
    double sum = 0, weight = 0, amplitude = 1;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(x, y, seed + 17 * i);
        weight += amplitude;
        amplitude *= 0.5;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / weight;
}

// ============================================================================
// Routes
// ============================================================================

Route::Route(V3 start, double headingX, double headingZ) : position(start), hx(headingX), hz(headingZ) {
    dense.push_back(position);
    rights.push_back(v3(-hz, 0, hx));
}

void Route::straight(double length) {
    const int steps = std::max(1, static_cast<int>(std::lround(length / ROUTE_STEP)));
    const V3 start = position;
    const V3 end = start + v3(hx, 0, hz) * length;
    for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        // Interpolate so that a coordinate that does not change stays the
        // same bits: sideways and straight stretches keep exact x or z.
        V3 p = start;
        if (end.x != start.x) p.x = start.x + (end.x - start.x) * t;
        if (end.z != start.z) p.z = start.z + (end.z - start.z) * t;
        dense.push_back(p);
        rights.push_back(v3(-hz, 0, hx));
    }
    position = end;
    dense.back() = end;
}

void Route::straightToZ(double z) { straight(std::fabs(z - position.z)); }
void Route::straightToX(double x) { straight(std::fabs(x - position.x)); }

void Route::turn(double radius, double degrees, double side) {
    // side +1 turns right, -1 left. right = (-hz, hx).
    const V3 right = v3(-hz, 0, hx);
    const V3 centre = position + right * (radius * side);
    const V3 fromCentre = position - centre;
    const double total = degrees * M_PI / 180.0;
    const int steps = std::max(2, static_cast<int>(std::lround(radius * total / ROUTE_STEP)));
    double ex = hx, ez = hz;
    for (int i = 1; i <= steps; ++i) {
        // (x, z) turned by angle a: positive a turns the heading towards
        // its right-hand side (-hz, hx).
        const double a = total * i / steps * side;
        const double c = std::cos(a), s = std::sin(a);
        const V3 r = v3(fromCentre.x * c - fromCentre.z * s, 0, fromCentre.x * s + fromCentre.z * c);
        ex = hx * c - hz * s;
        ez = hx * s + hz * c;
        dense.push_back(centre + r);
        rights.push_back(v3(-ez, 0, ex));
    }
    // Snap quarter turns to exact axes so the next straight keeps exact
    // coordinates.
    auto snap = [](double v) { return std::fabs(v) < 1e-9 ? 0.0 : (std::fabs(std::fabs(v) - 1) < 1e-9 ? std::copysign(1.0, v) : v); };
    hx = snap(ex);
    hz = snap(ez);
    position = dense.back();
    if (hx == 0) position.x = std::round(position.x * 1e6) / 1e6;
    if (hz == 0) position.z = std::round(position.z * 1e6) / 1e6;
    dense.back() = position;
    rights.back() = v3(-hz, 0, hx);
}

void Route::turnLeft(double radius, double degrees) { turn(radius, degrees, -1); }
void Route::turnRight(double radius, double degrees) { turn(radius, degrees, 1); }

std::vector<V3> Route::offsetRight(double offset) const {
    std::vector<V3> out;
    out.reserve(dense.size());
    for (size_t i = 0; i < dense.size(); ++i) {
        V3 p = dense[i] + rights[i] * offset;
        // Keep axis-aligned stretches exactly aligned.
        if (rights[i].x == 0) p.x = dense[i].x;
        if (rights[i].z == 0) p.z = dense[i].z;
        out.push_back(p);
    }
    return out;
}

double polylineLength(const std::vector<V3>& line) {
    double total = 0;
    for (size_t i = 1; i < line.size(); ++i) total += length(line[i] - line[i - 1]);
    return total;
}

std::vector<V3> equalChords(const std::vector<V3>& line, double step, int count) {
    std::vector<V3> out;
    if (line.empty() || count <= 0) return out;
    out.push_back(line[0]);
    size_t segment = 0;  // the next point lies on or after line[segment] -> line[segment + 1]
    while (static_cast<int>(out.size()) < count) {
        const V3 from = out.back();
        bool found = false;
        while (segment + 1 < line.size()) {
            const V3 a = line[segment], b = line[segment + 1];
            if (length(b - from) >= step) {
                // Solve |a + (b - a) t - from| = step for the t in [0, 1]
                // where the distance first reaches the step.
                const V3 d = b - a, f = a - from;
                const double qa = dot(d, d), qb = 2 * dot(f, d), qc = dot(f, f) - step * step;
                const double disc = std::max(0.0, qb * qb - 4 * qa * qc);
                double t = (-qb + std::sqrt(disc)) / (2 * qa);
                t = std::clamp(t, 0.0, 1.0);
                V3 p = a + d * t;
                if (a.x == b.x) p.x = a.x;
                if (a.y == b.y) p.y = a.y;
                if (a.z == b.z) p.z = a.z;
                out.push_back(p);
                found = true;
                break;
            }
            ++segment;
        }
        if (!found) {
            // Ran out: carry on along the last direction.
            const V3 dir = line.size() > 1 ? normalized(line.back() - line[line.size() - 2]) : v3(0, 0, 1);
            out.push_back(from + dir * step);
        }
    }
    return out;
}

// ============================================================================
// Roads and portals
// ============================================================================

const std::vector<Road>& roads() {
    static const std::vector<Road> all = [] {
        std::vector<Road> r;
        Route a(v3(12, 0, -265), 0, 1);  // from the south tunnel
        a.straightToZ(60);
        a.turnLeft(50, 90);
        a.straightToX(200);
        a.turnRight(40, 90);
        a.straightToZ(235);              // into the north-east tunnel
        r.push_back(Road{a.points(), 20, true, true, 0.12});
        Route c(v3(-255, 0, -210), 1, 0);  // from the west tunnel
        c.straightToX(-22);
        c.turnRight(30, 90);             // joins road A's western lane
        r.push_back(Road{c.points(), 10, true, false, 0.06});
        return r;
    }();
    return all;
}

const std::vector<Portal>& portals() {
    static const std::vector<Portal> all = [] {
        std::vector<Portal> p;
        for (const Road& road : roads()) {
            const std::vector<V3>& c = road.centre;
            if (road.tunnelAtStart) p.push_back(Portal{c.front(), normalized(c[1] - c[0]), road.width + 4});
            if (road.tunnelAtEnd)
                p.push_back(Portal{c.back(), normalized(c[c.size() - 2] - c.back()), road.width + 4});
        }
        return p;
    }();
    return all;
}

// ============================================================================
// Ground
// ============================================================================

// Distance in the ground plane from (x, z) to a road's centre line. Past a
// tunnel end the distance grows twelve times faster, so the mountain closes
// right behind the tunnel mouth instead of around a round clearing.
static double roadDistance(const Road& road, double x, double z) {
    const std::vector<V3>& c = road.centre;
    const V3 q = v3(x, 0, z);
    double best = 1e30;
    const size_t stride = 8;  // every 2 units is plenty for the terrain grid
    for (size_t i = 0; i + 1 < c.size(); i += stride) {
        const V3 a = c[i], b = c[std::min(i + stride, c.size() - 1)];
        const V3 d = b - a;
        const double len2 = dot(d, d);
        double t = len2 > 0 ? dot(q - a, d) / len2 : 0;
        const bool first = i == 0, last = i + stride >= c.size() - 1;
        double distance;
        if (t < 0 && first && road.tunnelAtStart) {
            const double along = -t * std::sqrt(len2);
            const V3 lateral = (q - a) + d * (-t);
            distance = std::sqrt(dot(lateral, lateral) + 144 * along * along);
        } else if (t > 1 && last && road.tunnelAtEnd) {
            const double along = (t - 1) * std::sqrt(len2);
            const V3 lateral = (q - b) - d * (t - 1);
            distance = std::sqrt(dot(lateral, lateral) + 144 * along * along);
        } else {
            t = std::clamp(t, 0.0, 1.0);
            distance = length(q - (a + d * t));
        }
        best = std::min(best, distance);
    }
    return best;
}

double groundHeight(double x, double z) {
    // Mountains: a rounded square ring, rough along its crest, falling a
    // little towards the outer edge so the edge hides behind the crest.
    const double s = std::pow(std::pow(std::fabs(x), 4) + std::pow(std::fabs(z), 4), 0.25);
    // Peaks and saddles along the ring: a slow swell times a ridged detail.
    const double swell = fractalNoise(x / 120.0 + 40, z / 120.0 + 40, 11, 2);
    const double fold = 2 * fractalNoise(x / 45.0 + 9, z / 45.0 + 9, 12, 3) - 1;
    const double ridge = 1 - std::sqrt(fold * fold + 0.01);  // crests a little rounded
    const double crest = 28 + 58 * swell * swell + 22 * ridge;
    const double mountain = crest * smoothstep(226, 298, s) * (1 - 0.3 * smoothstep(302, 322, s));
    double h = mountain;
    // Rolling hills inside the valley.
    auto hill = [&](double cx, double cz, double radius, double height) {
        const double d2 = (x - cx) * (x - cx) + (z - cz) * (z - cz);
        return height * std::exp(-d2 / (2 * radius * radius));
    };
    h += hill(-135, 95, 38, 24) + hill(-60, 185, 30, 14) + hill(125, -150, 32, 18) + hill(-150, -70, 28, 12) +
         hill(105, 235, 30, 10) + hill(78, -88, 30, 30);  // the last hides road A's south end from the opening view
    h += 5 * (fractalNoise(x / 30.0, z / 30.0, 5, 2) - 0.5) * smoothstep(0, 60, s);
    // Roads run on flat ground at y = 0. Where one cuts through a mountain
    // the bank widens with the mountain's height, so the cut has sloping
    // rock sides (about 45 degrees at most) rather than sheer walls.
    // Near a tunnel mouth the mountain closes steeply over the road again,
    // so the mouth stands in a rock face.
    double mouth = 0;
    for (const Portal& p : portals()) {
        const V3 q = v3(x, 0, z) - p.position;
        const double behind = -dot(q, p.outward), across = std::fabs(dot(q, v3(-p.outward.z, 0, p.outward.x)));
        mouth = std::max(mouth, smoothstep(-45, -10, behind) * (1 - smoothstep(40, 80, across)));
    }
    const double bank = 23 + 1.2 * mountain * (1 - 0.85 * mouth);
    double flat = 1;
    for (const Road& road : roads())
        flat = std::min(flat, smoothstep(road.width / 2 + 3, road.width / 2 + 3 + bank, roadDistance(road, x, z)));
    return std::max(0.0, h * flat);
}

namespace {
struct HeightGrid {
    int n = 0;
    std::vector<double> h;
    std::vector<char> nearRoad;  // within a grid step of a road's flattened ground
    HeightGrid() {
        n = static_cast<int>(std::lround(2 * TERRAIN_HALF / TERRAIN_STEP)) + 1;
        h.resize(static_cast<size_t>(n) * n);
        nearRoad.resize(h.size());
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const double x = -TERRAIN_HALF + i * TERRAIN_STEP, z = -TERRAIN_HALF + j * TERRAIN_STEP;
                h[static_cast<size_t>(j) * n + i] = groundHeight(x, z);
                for (const Road& road : roads())
                    if (roadDistance(road, x, z) < road.width / 2 + 3 + TERRAIN_STEP) nearRoad[static_cast<size_t>(j) * n + i] = 1;
            }
    }
    double at(int i, int j) const {
        i = std::clamp(i, 0, n - 1);
        j = std::clamp(j, 0, n - 1);
        return h[static_cast<size_t>(j) * n + i];
    }
};
const HeightGrid& grid() {
    static const HeightGrid g;
    return g;
}
}  // namespace

double gridHeight(int i, int j) { return grid().at(i, j); }
int gridSize() { return grid().n; }

// ============================================================================
// The drawn terrain: a restricted quadtree over the height grid
// ============================================================================
//
// Flat valley floor needs few triangles, the mountains' ridges and the
// roads' banks many. Leaves are squares of 1, 2, 4, ... grid cells; a leaf
// is split while the surface it draws strays from the grid heights it
// covers by more than a tolerance (a hair's breadth beside the roads, so
// they keep lying on it). Neighbouring leaves differ by one size at most,
// and a leaf next to smaller ones is drawn as a fan around its centre that
// takes in their corner on the shared edge, so the surface has no cracks.
namespace {

const int MAX_LEAF = 16;             // cells per side of the largest leaf
const double TOLERANCE = 1.2;        // units of height the surface may stray
const double HIGH_TOLERANCE = 0.03;  // more per unit of height
const double FLAT_TOLERANCE = 0.02;  // the same beside the roads

struct LeafMesh {
    int cells = 0;                 // grid cells per side
    std::vector<int> size;         // per cell: the size of the leaf covering it
    std::vector<int> originI, originJ;
    std::vector<uint32_t> triangles;  // grid vertex indices, three per face, facing up

    int sizeAt(int i, int j) const {
        if (i < 0 || j < 0 || i >= cells || j >= cells) return MAX_LEAF * 2;  // no neighbour: never finer
        return size[static_cast<size_t>(j) * cells + i];
    }
    void setLeaf(int i0, int j0, int s) {
        for (int j = j0; j < j0 + s; ++j)
            for (int i = i0; i < i0 + s; ++i) {
                const size_t at = static_cast<size_t>(j) * cells + i;
                size[at] = s;
                originI[at] = i0;
                originJ[at] = j0;
            }
    }
    // The leaf's outline in order around it, as grid vertices; midpoints
    // only where the neighbour across that edge is finer. Empty for a leaf
    // drawn as two triangles.
    std::vector<std::pair<int, int>> fanOutline(int i0, int j0, int s) const {
        std::vector<std::pair<int, int>> out;
        if (s == 1) return out;
        const int h = s / 2;
        const bool low = sizeAt(i0, j0 - 1) < s, right = sizeAt(i0 + s, j0) < s;
        const bool high = sizeAt(i0, j0 + s) < s, left = sizeAt(i0 - 1, j0) < s;
        if (!low && !right && !high && !left) return out;
        out.push_back({i0, j0});
        if (low) out.push_back({i0 + h, j0});
        out.push_back({i0 + s, j0});
        if (right) out.push_back({i0 + s, j0 + h});
        out.push_back({i0 + s, j0 + s});
        if (high) out.push_back({i0 + h, j0 + s});
        out.push_back({i0, j0 + s});
        if (left) out.push_back({i0, j0 + h});
        return out;
    }
    // Height of the drawn surface at grid coordinates (gx, gz).
    double height(double gx, double gz) const {
        const HeightGrid& g = grid();
        const int ci = std::clamp(static_cast<int>(std::floor(gx)), 0, cells - 1);
        const int cj = std::clamp(static_cast<int>(std::floor(gz)), 0, cells - 1);
        const size_t at = static_cast<size_t>(cj) * cells + ci;
        const int i0 = originI[at], j0 = originJ[at], s = size[at];
        const double u = std::clamp((gx - i0) / s, 0.0, 1.0), v = std::clamp((gz - j0) / s, 0.0, 1.0);
        const std::vector<std::pair<int, int>> outline = fanOutline(i0, j0, s);
        if (outline.empty()) {
            // Split along the (i0, j0)-(i0+s, j0+s) diagonal.
            const double h00 = g.at(i0, j0), h10 = g.at(i0 + s, j0), h01 = g.at(i0, j0 + s), h11 = g.at(i0 + s, j0 + s);
            if (u >= v) return h00 + (h10 - h00) * u + (h11 - h10) * v;
            return h00 + (h11 - h01) * u + (h01 - h00) * v;
        }
        const double cx = i0 + s / 2.0, cz = j0 + s / 2.0, hc = g.at(i0 + s / 2, j0 + s / 2);
        const double px = i0 + u * s, pz = j0 + v * s;
        for (size_t k = 0; k < outline.size(); ++k) {
            const auto [ai, aj] = outline[k];
            const auto [bi, bj] = outline[(k + 1) % outline.size()];
            // Barycentric weights of a, the centre and b.
            const double d = (cz - bj) * (ai - bi) + (bi - cx) * (aj - bj);
            const double la = ((cz - bj) * (px - bi) + (bi - cx) * (pz - bj)) / d;
            const double lc = ((bj - aj) * (px - bi) + (ai - bi) * (pz - bj)) / d;
            const double lb = 1 - la - lc;
            if (la >= -1e-9 && lb >= -1e-9 && lc >= -1e-9) return la * g.at(ai, aj) + lc * hc + lb * g.at(bi, bj);
        }
        return hc;  // not reached: the fan covers the leaf
    }
    // Largest excess of the drawn leaf over the tolerance at the grid
    // vertices it covers; positive means the leaf must be split.
    double excess(int i0, int j0, int s) const {
        const HeightGrid& g = grid();
        double worst = -1;
        for (int j = j0; j <= j0 + s; ++j)
            for (int i = i0; i <= i0 + s; ++i) {
                const double h = g.at(i, j);
                // High up (far from the valley floor the camera keeps to)
                // a little more is allowed.
                const double allowed = g.nearRoad[static_cast<size_t>(j) * g.n + i] ? FLAT_TOLERANCE : TOLERANCE + HIGH_TOLERANCE * h;
                worst = std::max(worst, std::fabs(height(i, j) - h) - allowed);
            }
        return worst;
    }
};

LeafMesh buildLeaves() {
    LeafMesh m;
    m.cells = grid().n - 1;
    const size_t count = static_cast<size_t>(m.cells) * m.cells;
    m.size.assign(count, 1);
    m.originI.assign(count, 0);
    m.originJ.assign(count, 0);
    const int start = m.cells % MAX_LEAF == 0 ? MAX_LEAF : 1;  // the grid has 128 cells a side
    for (int j = 0; j < m.cells; j += start)
        for (int i = 0; i < m.cells; i += start) m.setLeaf(i, j, start);
    // Split until every leaf is close enough and no neighbour is more than
    // one size finer; each pass only splits, so this ends.
    for (bool changed = true; changed;) {
        changed = false;
        for (int j = 0; j < m.cells; ++j)
            for (int i = 0; i < m.cells; ++i) {
                const size_t at = static_cast<size_t>(j) * m.cells + i;
                const int s = m.size[at];
                if (s == 1 || m.originI[at] != i || m.originJ[at] != j) continue;
                bool split = false;
                for (int k = 0; k < s && !split; ++k)
                    split = m.sizeAt(i + k, j - 1) < s / 2 || m.sizeAt(i + k, j + s) < s / 2 ||
                            m.sizeAt(i - 1, j + k) < s / 2 || m.sizeAt(i + s, j + k) < s / 2;
                if (!split) split = m.excess(i, j, s) > 0;
                if (!split) continue;
                const int h = s / 2;
                for (int q = 0; q < 4; ++q) m.setLeaf(i + (q % 2) * h, j + (q / 2) * h, h);
                changed = true;
            }
    }
    const int n = grid().n;
    auto index = [n](int i, int j) { return static_cast<uint32_t>(j * n + i); };
    auto face = [&](std::pair<int, int> a, std::pair<int, int> b, std::pair<int, int> c) {
        // Wound to face up.
        const double ny = (b.second - a.second) * (c.first - a.first) - (b.first - a.first) * (c.second - a.second);
        if (ny < 0) std::swap(b, c);
        for (const auto& p : {a, b, c}) m.triangles.push_back(index(p.first, p.second));
    };
    for (int j = 0; j < m.cells; ++j)
        for (int i = 0; i < m.cells; ++i) {
            const size_t at = static_cast<size_t>(j) * m.cells + i;
            const int s = m.size[at];
            if (m.originI[at] != i || m.originJ[at] != j) continue;
            const std::vector<std::pair<int, int>> outline = m.fanOutline(i, j, s);
            if (outline.empty()) {
                face({i, j}, {i + s, j + s}, {i + s, j});
                face({i, j}, {i, j + s}, {i + s, j + s});
            } else {
                for (size_t k = 0; k < outline.size(); ++k)
                    face({i + s / 2, j + s / 2}, outline[k], outline[(k + 1) % outline.size()]);
            }
        }
    return m;
}

const LeafMesh& leaves() {
    static const LeafMesh m = buildLeaves();
    return m;
}

}  // namespace

const std::vector<uint32_t>& terrainTriangles() { return leaves().triangles; }

double meshHeight(double x, double z) {
    return leaves().height((x + TERRAIN_HALF) / TERRAIN_STEP, (z + TERRAIN_HALF) / TERRAIN_STEP);
}
