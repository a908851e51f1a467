// Backdrop picture.
//
// A ray-traced view of the valley from beside road A: the two vehicles
// riding side by side past the street lamp (with the shadows the lamp
// throws), the terrain with its painted ground and roads, the sky with its
// low sun, distance haze, and a soft vignette that keeps the middle of the
// picture calm for the lettering drawn over it. The picture is drawn for a
// 4:3 window; its 1024 x 512 texels are stretched onto the window.
#include "backdrop.h"

#include <cmath>

#include "landscape.h"
#include "vehicle.h"
#include "world.h"

namespace {

const int WIDTH = 1024, HEIGHT = 512;
const V3 EYE{60, 12, 26};
const V3 TARGET{-4, 9, -38};
const V3 SUN = normalized(v3(-0.93, 0.2, -0.3));

Colour sampleGround(double x, double z) {
    const Image& g = groundImage();
    const double fx = (x + TERRAIN_HALF) / (2 * TERRAIN_HALF) * g.width - 0.5;
    const double fz = (z + TERRAIN_HALF) / (2 * TERRAIN_HALF) * g.height - 0.5;
    const int i = std::clamp(static_cast<int>(std::floor(fx)), 0, g.width - 2);
    const int j = std::clamp(static_cast<int>(std::floor(fz)), 0, g.height - 2);
    const double u = std::clamp(fx - i, 0.0, 1.0), v = std::clamp(fz - j, 0.0, 1.0);
    return mix(mix(g.get(i, j), g.get(i + 1, j), u), mix(g.get(i, j + 1), g.get(i + 1, j + 1), u), v);
}

// Distance along the ray to the ground, or a negative value for none.
double marchGround(V3 origin, V3 dir) {
    double t = 1, previous = 1;
    while (t < 950) {
        const V3 p = origin + dir * t;
        if (std::fabs(p.x) > TERRAIN_HALF || std::fabs(p.z) > TERRAIN_HALF) return -1;
        const double above = p.y - meshHeight(p.x, p.z);
        if (above < 0) {
            double lo = previous, hi = t;
            for (int i = 0; i < 20; ++i) {
                const double mid = (lo + hi) / 2;
                const V3 q = origin + dir * mid;
                if (q.y - meshHeight(q.x, q.z) < 0)
                    hi = mid;
                else
                    lo = mid;
            }
            return hi;
        }
        previous = t;
        t += std::max(0.25, above * 0.4);
    }
    return -1;
}

// Distance from the ray to a vertical segment (the lamp post), in the
// ground plane, at the height where the ray passes it; negative if missed.
bool hitsPost(V3 origin, V3 dir, V3 base, double height, double radius, double* distance) {
    const double dx = dir.x, dz = dir.z;
    const double horizontal = dx * dx + dz * dz;
    if (horizontal <= 0) return false;
    const double t = ((base.x - origin.x) * dx + (base.z - origin.z) * dz) / horizontal;
    if (t <= 0) return false;
    const V3 p = origin + dir * t;
    if (std::hypot(p.x - base.x, p.z - base.z) > radius || p.y < base.y || p.y > base.y + height) return false;
    *distance = t;
    return true;
}

// A vehicle placed in the world as the program places it: scaled by 0.03
// and turned by its heading (180: riding towards +z).
struct Bike {
    std::vector<ColouredTriangle> triangles;
    V3 centre;
    double radius = 7.5;
};

std::vector<Bike> placeBikes() {
    struct Place {
        bool red;
        V3 at;
    };
    std::vector<Bike> bikes;
    for (const Place p : {Place{false, v3(16, 0, -10)}, Place{true, v3(8, 0, -8.5)}}) {
        Bike b;
        for (ColouredTriangle t : vehicleTriangles(p.red)) {
            for (V3* v : {&t.a, &t.b, &t.c}) *v = p.at + v3(-v->x, v->y, -v->z) * 0.03;
            b.triangles.push_back(t);
        }
        b.centre = p.at + v3(0, 3.5, 2.9);
        bikes.push_back(b);
    }
    return bikes;
}

const std::vector<Bike>& bikes() {
    static const std::vector<Bike> all = placeBikes();
    return all;
}

// Nearest triangle hit along the ray within maxT; its index in `hit`.
double hitBikes(V3 origin, V3 dir, double maxT, const ColouredTriangle** hit) {
    double best = maxT;
    for (const Bike& b : bikes()) {
        const V3 oc = origin - b.centre;
        const double along = -dot(oc, dir);
        if (dot(oc, oc) - along * along > b.radius * b.radius) continue;
        for (const ColouredTriangle& t : b.triangles) {
            const V3 e1 = t.b - t.a, e2 = t.c - t.a;
            const V3 p = cross(dir, e2);
            const double det = dot(e1, p);
            if (std::fabs(det) < 1e-12) continue;
            const V3 s = origin - t.a;
            const double u = dot(s, p) / det;
            if (u < 0 || u > 1) continue;
            const V3 q = cross(s, e1);
            const double v = dot(dir, q) / det;
            if (v < 0 || u + v > 1) continue;
            const double d = dot(e2, q) / det;
            if (d > 1e-6 && d < best) {
                best = d;
                if (hit) *hit = &t;
            }
        }
    }
    return best;
}

Colour shade(V3 origin, V3 dir) {
    const Colour haze = skyColour(dir.x, 0.02, dir.z);
    Colour c = skyColour(dir.x, dir.y, dir.z);
    const double t = marchGround(origin, dir);
    double postDistance = 0;
    const bool post = hitsPost(origin, dir, v3(-3, 0, 0), LAMP_LIGHT.y + 1, 0.45, &postDistance);
    const ColouredTriangle* bike = nullptr;
    const double bikeDistance = hitBikes(origin, dir, t > 0 ? t : 1e9, &bike);
    if (bike && !(post && postDistance < bikeDistance)) {
        V3 n = normalized(cross(bike->b - bike->a, bike->c - bike->a));
        if (dot(n, dir) > 0) n = n * -1;
        const double light = 0.35 + 0.8 * std::max(0.0, dot(n, SUN)) + 0.25 * std::max(0.0, n.y);
        c = scale(bike->colour, light);
    } else if (t > 0 && !(post && postDistance < t)) {
        const V3 p = origin + dir * t;
        const double e = 1.5;
        const V3 n = normalized(v3(meshHeight(p.x - e, p.z) - meshHeight(p.x + e, p.z), 2 * e,
                                   meshHeight(p.x, p.z - e) - meshHeight(p.x, p.z + e)));
        double light = 0.5 + 0.7 * std::max(0.0, dot(n, SUN));
        // The lamp's shadows of the vehicles on the road.
        const V3 toLamp = LAMP_LIGHT - p;
        if (length(p - bikes()[0].centre) < 40 && hitBikes(p + v3(0, 0.05, 0), normalized(toLamp), length(toLamp), nullptr) < length(toLamp))
            light *= 0.45;
        c = scale(sampleGround(p.x, p.z), 1.3);  // undo the texture's darker tone
        c = {c.r * light * 1.05, c.g * light * 0.98, c.b * light * 0.9};
        c = mix(c, haze, 1 - std::exp(-t / 900.0));
    } else if (post) {
        c = mix(Colour{40, 44, 44}, haze, 1 - std::exp(-postDistance / 900.0));
    }
    // The lamp's bulb, glowing.
    const V3 toBulb = LAMP_LIGHT - origin;
    const double along = dot(toBulb, dir);
    if (along > 0) {
        const double miss = length(toBulb - dir * along) / along;  // angular distance
        c = mix(c, Colour{255, 240, 200}, 0.9 * std::exp(-std::pow(miss / 0.004, 2)));
        c = mix(c, Colour{255, 226, 160}, 0.25 * std::exp(-miss / 0.02));
    }
    return c;
}

}  // namespace

bool writeBackdrop(const std::string& dataDir, std::string* error) {
    const V3 forward = normalized(TARGET - EYE);
    const V3 right = normalized(cross(forward, v3(0, 1, 0)));
    const V3 up = cross(right, forward);
    const double halfWidth = std::tan(38.0 * M_PI / 180.0), halfHeight = halfWidth * 0.75;
    Image img(WIDTH, HEIGHT);
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const double sx = (x + 0.5) / WIDTH * 2 - 1, sy = (y + 0.5) / HEIGHT * 2 - 1;
            const V3 dir = normalized(forward + right * (sx * halfWidth) + up * (sy * halfHeight));
            Colour c = shade(EYE, dir);
            // Calm the middle for the lettering, darken the corners.
            const double vignette = 1 - 0.45 * std::pow(std::min(1.0, (sx * sx + sy * sy) / 2), 1.2);
            const double band = 1 - 0.22 * std::exp(-std::pow(sy / 0.45, 2));
            c = scale(c, 0.9 * vignette * band);
            img.set(x, y, c);
        }
    const std::string path = dataDir + "/models/screenshot.bmp";
    if (!writeImage(path, img)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}
