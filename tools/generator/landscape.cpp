// Terrain and sky.
//
// Sections: textures (ground, roads, props palette, sky), the terrain model
// (ground grid, road strips, lamp, tunnel mouths, trees), the sky model.
#include "landscape.h"

#include <cmath>

#include "image.h"
#include "mesh.h"
#include "pointfiles.h"
#include "world.h"

namespace {

const int GROUND_TEXELS = 1024;  // the ground texture spans the whole terrain
const double GROUND_TONE = 0.74;  // brightness of the ground texture

// ============================================================================
// Textures
// ============================================================================

// Swatches of the props palette: a 4 x 4 grid of flat colours (with a
// little grain), each object part samples the middle of one.
enum Swatch { STONE, MOUTH, POST, HOUSING, TRUNK, LEAVES, LEAVES_DARK, CONCRETE, STRIPE, SWATCH_COUNT };
const Colour SWATCH_COLOURS[SWATCH_COUNT] = {
    {148, 142, 132}, {10, 10, 12},   {52, 62, 60},   {38, 38, 42},  {92, 64, 40},
    {54, 102, 44},   {40, 80, 36},   {188, 184, 172}, {222, 178, 36},
};
UvFunction swatchUv(Swatch s) { return swatch(((s % 4) + 0.5) / 4.0, ((s / 4) + 0.5) / 4.0); }

Image propsTexture() {
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int s = (y / 16) * 4 + x / 16;
            const Colour base = s < SWATCH_COUNT ? SWATCH_COLOURS[s] : Colour{128, 128, 128};
            img.set(x, y, scale(base, 0.94 + 0.12 * valueNoise(x * 0.9, y * 0.9, 3)));
        }
    return img;
}

// Asphalt with white edge lines and, for two-lane roads, a dashed middle.
Image roadTexture(bool dashed) {
    const int w = 128, h = 512;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            const double grain = fractalNoise(x * 0.35, y * 0.35, 21, 3);
            Colour c = scale(Colour{72, 74, 78}, 0.82 + 0.36 * grain);
            const double edge = std::min(std::fabs(u - 0.06), std::fabs(u - 0.94));
            if (edge < 0.018) c = mix(c, Colour{226, 226, 218}, 0.9);
            if (dashed && std::fabs(u - 0.5) < 0.012 && std::fmod(v * 2, 1.0) < 0.55) c = mix(c, Colour{236, 206, 90}, 0.9);
            if (u < 0.015 || u > 0.985) c = scale(c, 0.7);
            img.set(x, y, c);
        }
    return img;
}

struct RoadMasks {
    std::vector<float> asphalt, verge;
};

// Marks the texels under the roads and their gravel verges.
RoadMasks roadMasks() {
    RoadMasks m;
    const size_t n = static_cast<size_t>(GROUND_TEXELS) * GROUND_TEXELS;
    m.asphalt.assign(n, 0);
    m.verge.assign(n, 0);
    const double texel = 2 * TERRAIN_HALF / GROUND_TEXELS;
    for (const Road& road : roads()) {
        const double rAsphalt = road.width / 2, rVerge = road.width / 2 + 2.5;
        const int reach = static_cast<int>(std::ceil(rVerge / texel)) + 1;
        for (size_t k = 0; k < road.centre.size(); k += 2) {
            const V3 p = road.centre[k];
            const int cx = static_cast<int>((p.x + TERRAIN_HALF) / texel), cz = static_cast<int>((p.z + TERRAIN_HALF) / texel);
            for (int j = cz - reach; j <= cz + reach; ++j)
                for (int i = cx - reach; i <= cx + reach; ++i) {
                    if (i < 0 || j < 0 || i >= GROUND_TEXELS || j >= GROUND_TEXELS) continue;
                    const double x = -TERRAIN_HALF + (i + 0.5) * texel, z = -TERRAIN_HALF + (j + 0.5) * texel;
                    const double d = std::hypot(x - p.x, z - p.z);
                    const size_t at = static_cast<size_t>(j) * GROUND_TEXELS + i;
                    m.asphalt[at] = std::max(m.asphalt[at], static_cast<float>(std::clamp(rAsphalt - d + 0.5, 0.0, 1.0)));
                    m.verge[at] = std::max(m.verge[at], static_cast<float>(std::clamp(rVerge - d + 0.5, 0.0, 1.0)));
                }
        }
    }
    return m;
}

}  // namespace

Colour groundColour(double x, double z) {
    const double h = meshHeight(x, z);
    const double e = 1.0;
    const double sx = (meshHeight(x + e, z) - meshHeight(x - e, z)) / (2 * e);
    const double sz = (meshHeight(x, z + e) - meshHeight(x, z - e)) / (2 * e);
    const double slope = std::sqrt(sx * sx + sz * sz);
    const double patch = fractalNoise(x / 40.0, z / 40.0, 31, 4);
    const double fine = valueNoise(x * 1.3, z * 1.3, 32);
    Colour grass = mix(Colour{58, 92, 38}, Colour{104, 132, 54}, patch);
    grass = mix(grass, Colour{150, 136, 82}, smoothstep(0.62, 0.78, fractalNoise(x / 70.0, z / 70.0, 33, 3)) * 0.7);
    grass = scale(grass, 0.88 + 0.24 * fine);
    // Rock shows on the mountains' steep upper parts, with bands of
    // lighter and darker stone; the valley's hills stay green.
    const double strata = 0.5 + 0.5 * std::sin(h * 0.45 + 3 * patch);
    const Colour rock = scale(mix(Colour{96, 88, 80}, Colour{150, 138, 122}, 0.6 * patch + 0.4 * strata), 0.85 + 0.3 * fine);
    const double mountain = smoothstep(220, 250, std::pow(std::pow(std::fabs(x), 4) + std::pow(std::fabs(z), 4), 0.25));
    Colour c = mix(grass, scale(grass, 0.8), smoothstep(0.2, 0.6, slope));
    c = mix(c, rock, mountain * smoothstep(0.35, 0.8, slope * 0.8 + h / 70.0));
    c = mix(c, Colour{236, 238, 244}, smoothstep(0.6, 0.75, h / 110.0 + 0.25 * fine - 0.3 * smoothstep(1.2, 2.0, slope)));
    return c;
}

namespace {

Image groundTexture() {
    Image img(GROUND_TEXELS, GROUND_TEXELS);
    const RoadMasks masks = roadMasks();
    const double texel = 2 * TERRAIN_HALF / GROUND_TEXELS;
    for (int j = 0; j < GROUND_TEXELS; ++j)
        for (int i = 0; i < GROUND_TEXELS; ++i) {
            const double x = -TERRAIN_HALF + (i + 0.5) * texel, z = -TERRAIN_HALF + (j + 0.5) * texel;
            Colour c = groundColour(x, z);
            const size_t at = static_cast<size_t>(j) * GROUND_TEXELS + i;
            const double grain = valueNoise(x * 2.1, z * 2.1, 41);
            c = mix(c, scale(Colour{156, 144, 120}, 0.85 + 0.3 * grain), masks.verge[at]);
            c = mix(c, scale(Colour{72, 74, 78}, 0.9 + 0.2 * grain), masks.asphalt[at]);
            // Kept a little dark: once the walk has started, the scene's
            // glow adds most of the terrain's colour a second time.
            img.set(i, j, scale(c, GROUND_TONE));
        }
    return img;
}

}  // namespace

const Image& groundImage() {
    static const Image image = groundTexture();
    return image;
}

// A late-afternoon sky: deep blue overhead, warm haze at the horizon, a low
// sun in the west and thin clouds.
Colour skyColour(double dx, double dy, double dz) {
    const double elevation = std::asin(std::clamp(dy, -1.0, 1.0));
    const double up = std::clamp(elevation / (M_PI / 2), -1.0, 1.0);
    const Colour zenith{34, 74, 150}, mid{92, 140, 204}, horizon{236, 196, 158}, below{150, 136, 128};
    Colour c;
    if (up >= 0)
        c = up < 0.25 ? mix(horizon, mid, smoothstep(0, 0.25, up)) : mix(mid, zenith, smoothstep(0.25, 1, up));
    else
        c = mix(horizon, below, smoothstep(0, 0.15, -up));
    // The sun, low in the west (towards -x), with a wide glow.
    const V3 sun = normalized(v3(-0.93, 0.2, -0.3));
    const double toward = dot(normalized(v3(dx, dy, dz)), sun);
    c = mix(c, Colour{255, 226, 170}, 0.55 * std::pow(std::max(0.0, toward), 24));
    c = mix(c, Colour{255, 250, 236}, smoothstep(0.9993, 0.9997, toward));
    // Clouds on a plane far above, thinning towards the horizon.
    if (dy > 0.02) {
        const double px = dx / dy, pz = dz / dy;
        const double cloud = fractalNoise(px * 1.6 + 7, pz * 3.2 + 3, 51, 5);
        const double amount = smoothstep(0.5, 0.78, cloud) * smoothstep(0.02, 0.25, dy) * 0.8;
        const Colour lit = mix(Colour{255, 240, 226}, Colour{255, 214, 170}, std::max(0.0, toward));
        c = mix(c, lit, amount);
    }
    return c;
}

namespace {

Image skyTexture() {
    const int w = 1024, h = 512;
    Image img(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const double u = (i + 0.5) / w, v = (j + 0.5) / h;
            const double theta = 2 * M_PI * u, phi = M_PI * (1 - v);
            const V3 onDome = v3(SKY_RADIUS * std::sin(phi) * std::cos(theta), SKY_CENTRE_Y + SKY_HEIGHT * std::cos(phi),
                                 SKY_RADIUS * std::sin(phi) * std::sin(theta));
            const V3 d = normalized(onDome - v3(0, 20, 0));
            img.set(i, j, skyColour(d.x, d.y, d.z));
        }
    return img;
}

// ============================================================================
// Terrain model
// ============================================================================

// The ground as drawn: the terrain's adaptive triangles over the height
// grid, with only the grid vertices they use.
Mesh groundMesh() {
    Mesh m;
    const int n = gridSize();
    std::vector<uint32_t> vertexOf(static_cast<size_t>(n) * n, UINT32_MAX);
    const std::vector<uint32_t>& triangles = terrainTriangles();
    for (size_t k = 0; k < triangles.size(); k += 3) {
        uint32_t corner[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t g = triangles[k + c];
            if (vertexOf[g] == UINT32_MAX) {
                const int i = static_cast<int>(g % n), j = static_cast<int>(g / n);
                const double x = -TERRAIN_HALF + i * TERRAIN_STEP, z = -TERRAIN_HALF + j * TERRAIN_STEP;
                vertexOf[g] = m.add(v3(x, gridHeight(i, j), z), (x + TERRAIN_HALF) / (2 * TERRAIN_HALF),
                                    (z + TERRAIN_HALF) / (2 * TERRAIN_HALF));
            }
            corner[c] = vertexOf[g];
        }
        m.tri(corner[0], corner[1], corner[2]);
    }
    return m;
}

// A strip over a road's centre line, a little above the ground, with the
// texture running along it.
Mesh roadStrip(const Road& road) {
    Mesh m;
    const std::vector<V3>& c = road.centre;
    const size_t stride = 8;
    double along = 0;
    uint32_t prevLeft = 0, prevRight = 0;
    for (size_t k = 0;; k += stride) {
        if (k >= c.size()) k = c.size() - 1;
        const V3 p = c[k];
        const V3 dir = normalized(c[std::min(k + 1, c.size() - 1)] - c[k > 0 ? k - 1 : 0]);
        const V3 right = v3(-dir.z, 0, dir.x);
        if (k > 0) along += length(p - c[k >= stride ? k - stride : 0]);
        const uint32_t left = m.add(p - right * (road.width / 2) + v3(0, road.surface, 0), 0, along / 24.0);
        const uint32_t rgt = m.add(p + right * (road.width / 2) + v3(0, road.surface, 0), 1, along / 24.0);
        if (k > 0) {
            m.tri(prevLeft, left, rgt);
            m.tri(prevLeft, rgt, prevRight);
            // Keep them facing up whatever the direction of travel.
            for (size_t f = m.faceCount() - 2; f < m.faceCount(); ++f) {
                const Vec3f& a = m.vertices[m.indices[3 * f]];
                const Vec3f& b = m.vertices[m.indices[3 * f + 1]];
                const Vec3f& cc = m.vertices[m.indices[3 * f + 2]];
                const double ny = (b.z - a.z) * (cc.x - a.x) - (b.x - a.x) * (cc.z - a.z);
                if (ny < 0) std::swap(m.indices[3 * f + 1], m.indices[3 * f + 2]);
            }
        }
        prevLeft = left;
        prevRight = rgt;
        if (k == c.size() - 1) break;
    }
    return m;
}

// The street lamp whose bulb sits exactly where the shadows are cast from;
// its post stands beside road A.
Mesh lampMesh() {
    Mesh m;
    const double top = LAMP_LIGHT.y + 1.2;
    addBox(m, v3(-4.2, 0, -1.2), v3(-1.8, 1.0, 1.2), swatchUv(CONCRETE));
    addRod(m, v3(-3, 0.5, 0), v3(-3, top, 0), 0.5, 0.32, 10, swatchUv(POST));
    addPipe(m, {v3(-3, top - 0.4, 0), v3(-2.2, top + 0.3, 0), v3(-1.0, top + 0.45, 0), v3(0, top + 0.3, 0)}, 0.2, 8,
            swatchUv(POST));
    addBox(m, v3(-1.3, LAMP_LIGHT.y + 0.55, -0.9), v3(1.3, LAMP_LIGHT.y + 1.25, 0.9), swatchUv(HOUSING));
    return m;
}

// Tunnel mouths: a concrete facade with a frame and the dark opening the
// vehicles disappear into.
Mesh portalMesh() {
    Mesh m;
    for (const Portal& p : portals()) {
        const V3 o = p.outward;
        const V3 r = v3(-o.z, 0, o.x);
        const double half = p.width / 2;
        auto box = [&](double across0, double across1, double back0, double back1, double y0, double y1, Swatch s) {
            const V3 a = p.position + r * across0 - o * back0;
            const V3 b = p.position + r * across1 - o * back1;
            addBox(m, v3(std::min(a.x, b.x), y0, std::min(a.z, b.z)), v3(std::max(a.x, b.x), y1, std::max(a.z, b.z)),
                   swatchUv(s));
        };
        box(-half - 14, half + 14, 1.0, 5.0, 0, 17, CONCRETE);         // facade
        box(-half - 2.5, -half, -0.6, 1.2, 0, 15.5, STONE);             // left pillar
        box(half, half + 2.5, -0.6, 1.2, 0, 15.5, STONE);               // right pillar
        box(-half - 2.5, half + 2.5, -0.6, 1.2, 13, 15.5, STONE);       // lintel
        box(-half, half, 0.2, 0.9, 0, 13, MOUTH);                       // the dark opening
        box(-half - 2.5, half + 2.5, -0.8, 1.2, 15.5, 16.2, STRIPE);    // warning band
    }
    return m;
}

// An open cone standing on `base` with its tip at height `top`: only its
// sides (the camera always looks down on the trees). The faces share their
// vertices, so the cone is shaded round.
void addCone(Mesh& m, V3 base, double radius, double top, int sides, Swatch s) {
    const Vec2f uv = swatchUv(s)(base, 0, 0);
    const uint32_t tip = m.add(v3(base.x, top, base.z), uv.u, uv.v), first = tip + 1;
    for (int k = 0; k < sides; ++k) {
        const double a = 2 * M_PI * k / sides;
        m.add(base + v3(radius * std::cos(a), 0, radius * std::sin(a)), uv.u, uv.v);
    }
    for (int k = 0; k < sides; ++k) m.tri(first + k, tip, first + (k + 1) % sides);  // counter-clockwise seen from outside
}

// Patches of conifers across the valley: never on a road, by the lamp, on
// the mountains, or where the camera flies low past them.
Mesh treeMesh() {
    Mesh m;
    const std::vector<V3> flight = cameraPathPoints();
    auto clearOfFlight = [&](double x, double z, double top) {
        for (size_t i = 0; i < flight.size() && i <= 570; ++i) {
            const V3& c = flight[i];
            if (std::hypot(c.x - x, c.z - z) < 24 && c.y - top < 16) return false;
        }
        return true;
    };
    auto clearOfRoads = [&](double x, double z) {
        for (const Road& road : roads())
            for (size_t k = 0; k < road.centre.size(); k += 16)
                if (std::hypot(road.centre[k].x - x, road.centre[k].z - z) < road.width / 2 + 12) return false;
        return true;
    };
    const double STEP = 15;
    int index = 0;
    for (double gz = -210; gz <= 210; gz += STEP)
        for (double gx = -210; gx <= 210; gx += STEP) {
            const double x = gx + (valueNoise(gx * 0.37, gz * 0.37, 62) - 0.5) * STEP;
            const double z = gz + (valueNoise(gx * 0.37, gz * 0.37, 63) - 0.5) * STEP;
            if (std::pow(std::pow(std::fabs(x), 4) + std::pow(std::fabs(z), 4), 0.25) > 212) continue;
            if (fractalNoise(x / 80.0 + 3, z / 80.0 + 5, 71, 2) < 0.56) continue;  // forest patches
            if (std::hypot(x, z) < 20 || !clearOfRoads(x, z)) continue;
            const double y = meshHeight(x, z);
            const double height = 7 + 5 * valueNoise(x * 0.3, z * 0.3, 61);
            if (!clearOfFlight(x, z, y + height)) continue;
            addCone(m, v3(x, y - 0.5, z), 0.45, y + height * 0.35, 4, TRUNK);
            addCone(m, v3(x, y + height * 0.25, z), height * 0.3, y + height, 7, index++ % 2 ? LEAVES : LEAVES_DARK);
        }
    return m;
}

// ============================================================================
// Sky model
// ============================================================================

Mesh skyMesh() {
    Mesh m;
    addSphere(m, v3(0, SKY_CENTRE_Y, 0), v3(SKY_RADIUS, SKY_HEIGHT, SKY_RADIUS), 48, 24,
              [](V3 p, double around, double) {
                  const double c = std::clamp((p.y - SKY_CENTRE_Y) / SKY_HEIGHT, -1.0, 1.0);
                  return Vec2f{static_cast<float>(around), static_cast<float>(1 - std::acos(c) / M_PI)};
              });
    // The dome is seen from inside: turn it to face inwards.
    for (size_t f = 0; f < m.faceCount(); ++f) std::swap(m.indices[3 * f + 1], m.indices[3 * f + 2]);
    return m;
}

bool writeModel(const std::string& path, const std::vector<MaterialSpec>& materials,
                const std::vector<ObjectSpec>& objects, std::string* error) {
    if (writeFileBytes(path, write3ds(materials, objects))) return true;
    *error = "cannot write " + path;
    return false;
}

bool writeTexture(const std::string& path, const Image& image, std::string* error) {
    if (writeImage(path, image)) return true;
    *error = "cannot write " + path;
    return false;
}

}  // namespace

bool writeLandscape(const std::string& dataDir, std::string* error) {
    const std::string dir = dataDir + "/models/";
    if (!writeTexture(dir + "ground.bmp", groundImage(), error) ||
        !writeTexture(dir + "road.bmp", roadTexture(true), error) ||
        !writeTexture(dir + "road_ramp.bmp", roadTexture(false), error) ||
        !writeTexture(dir + "props.bmp", propsTexture(), error) ||
        !writeTexture(dir + "sky.bmp", skyTexture(), error))
        return false;

    const std::vector<MaterialSpec> terrainMaterials = {
        {"ground", 255, 255, 255, "ground.bmp"},
        {"asphalt", 255, 255, 255, "road.bmp"},
        {"ramp", 255, 255, 255, "road_ramp.bmp"},
        {"props", 255, 255, 255, "props.bmp"},
    };
    std::vector<ObjectSpec> terrainObjects = toObjects(groundMesh(), "ground", "ground", true);
    for (ObjectSpec& o : toObjects(roadStrip(roads()[0]), "road_a", "asphalt", true)) terrainObjects.push_back(o);
    for (ObjectSpec& o : toObjects(roadStrip(roads()[1]), "road_c", "ramp", true)) terrainObjects.push_back(o);
    for (ObjectSpec& o : toObjects(lampMesh(), "lamp", "props", true)) terrainObjects.push_back(o);
    for (ObjectSpec& o : toObjects(portalMesh(), "tunnels", "props", true)) terrainObjects.push_back(o);
    for (ObjectSpec& o : toObjects(treeMesh(), "trees", "props", true)) terrainObjects.push_back(o);
    if (!writeModel(dir + "terrain.3DS", terrainMaterials, terrainObjects, error)) return false;

    const std::vector<MaterialSpec> skyMaterials = {
        {"sky", 255, 255, 255, "sky.bmp"},
        {"bulb", 255, 246, 214, ""},
    };
    std::vector<ObjectSpec> skyObjects = toObjects(skyMesh(), "dome", "sky", true);
    Mesh bulb;
    addSphere(bulb, LAMP_LIGHT, v3(0.75, 0.55, 0.75), 12, 8, swatch(0, 0));
    for (ObjectSpec& o : toObjects(bulb, "bulb", "bulb", false)) skyObjects.push_back(o);
    return writeModel(dir + "sky.3ds", skyMaterials, skyObjects, error);
}
