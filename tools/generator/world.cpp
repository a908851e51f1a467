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
// tunnel end the distance grows six times faster, so the mountain closes
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
            distance = std::sqrt(dot(lateral, lateral) + 36 * along * along);
        } else if (t > 1 && last && road.tunnelAtEnd) {
            const double along = (t - 1) * std::sqrt(len2);
            const V3 lateral = (q - b) - d * (t - 1);
            distance = std::sqrt(dot(lateral, lateral) + 36 * along * along);
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
    const double ridge = 1 - std::fabs(2 * fractalNoise(x / 45.0 + 9, z / 45.0 + 9, 12, 4) - 1);
    const double crest = 28 + 58 * swell * swell + 22 * ridge;
    double h = crest * smoothstep(226, 298, s) * (1 - 0.3 * smoothstep(302, 322, s));
    // Rolling hills inside the valley.
    auto hill = [&](double cx, double cz, double radius, double height) {
        const double d2 = (x - cx) * (x - cx) + (z - cz) * (z - cz);
        return height * std::exp(-d2 / (2 * radius * radius));
    };
    h += hill(-135, 95, 38, 24) + hill(-60, 185, 30, 14) + hill(125, -150, 32, 18) + hill(-150, -70, 28, 12) +
         hill(105, 235, 30, 10) + hill(78, -88, 30, 30);  // the last hides road A's south end from the opening view
    h += 5 * (fractalNoise(x / 30.0, z / 30.0, 5, 3) - 0.5) * smoothstep(0, 60, s);
    // Roads run on flat ground at y = 0.
    double flat = 1;
    for (const Road& road : roads())
        flat = std::min(flat, smoothstep(road.width / 2 + 3, road.width / 2 + 26, roadDistance(road, x, z)));
    return std::max(0.0, h * flat);
}

namespace {
struct HeightGrid {
    int n = 0;
    std::vector<double> h;
    HeightGrid() {
        n = static_cast<int>(std::lround(2 * TERRAIN_HALF / TERRAIN_STEP)) + 1;
        h.resize(static_cast<size_t>(n) * n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                h[static_cast<size_t>(j) * n + i] =
                    groundHeight(-TERRAIN_HALF + i * TERRAIN_STEP, -TERRAIN_HALF + j * TERRAIN_STEP);
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

double meshHeight(double x, double z) {
    const HeightGrid& g = grid();
    const double gx = (x + TERRAIN_HALF) / TERRAIN_STEP, gz = (z + TERRAIN_HALF) / TERRAIN_STEP;
    const int i = std::clamp(static_cast<int>(std::floor(gx)), 0, g.n - 2);
    const int j = std::clamp(static_cast<int>(std::floor(gz)), 0, g.n - 2);
    const double u = std::clamp(gx - i, 0.0, 1.0), v = std::clamp(gz - j, 0.0, 1.0);
    // Each cell is split along its (i, j)-(i+1, j+1) diagonal.
    const double h00 = g.at(i, j), h10 = g.at(i + 1, j), h01 = g.at(i, j + 1), h11 = g.at(i + 1, j + 1);
    if (u >= v) return h00 + (h10 - h00) * u + (h11 - h10) * v;
    return h00 + (h11 - h01) * u + (h01 - h00) * v;
}
