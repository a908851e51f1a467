// Vehicles.
//
// Every object is built from closed shells wound counter-clockwise seen
// from outside, with each shared edge made of the very same float
// positions, because the program extrudes shadow volumes from the edges
// between lit and unlit faces and finds those edges by exact comparison.
//
// Objects, in file order (the program draws 3 and 4 spinning about their
// pivots and everything else as the body):
//   0 body (textured livery)   1 rider          2 engine, exhaust, swingarm
//   3 front wheel (textured)   4 rear wheel     5 fork and handlebar
//   6 headlight                7 tail light     8 helmet     9 visor
#include "vehicle.h"

#include <algorithm>
#include <cmath>

#include "image.h"

namespace {

// ============================================================================
// Textures
// ============================================================================

struct Livery {
    const char* prefix;  // file name stem
    Colour base, stripe, pin, helmet;
};

const Livery PLAIN{"quelm", {228, 230, 236}, {34, 66, 160}, {246, 140, 30}, {236, 236, 240}};
const Livery RED{"quelm_red", {196, 26, 30}, {246, 244, 240}, {24, 24, 28}, {206, 28, 32}};

// Side-projected paint: u runs from tail (0) to nose (1), v from the body's
// bottom (0) to its top (1).
Image liveryTexture(const Livery& l) {
    const int w = 256, h = 128;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            Colour c = l.base;
            // A stripe that sweeps up from the tail to the tank and down to
            // the nose, with a thin pin-stripe above it.
            const double centre = 0.42 + 0.16 * std::sin(u * M_PI * 1.1);
            const double d = v - centre;
            if (std::fabs(d) < 0.09) c = l.stripe;
            if (std::fabs(d - 0.13) < 0.018) c = l.pin;
            // Darker belly and a soft sheen along the top.
            c = scale(c, 0.72 + 0.28 * std::min(1.0, v * 2.2));
            c = mix(c, Colour{255, 255, 255}, 0.12 * std::exp(-std::pow((v - 0.8) / 0.08, 2)));
            img.set(x, y, c);
        }
    return img;
}

enum Part { RUBBER, RIM, SPOKE, HUB, DISC, PART_COUNT };
const Colour PART_COLOURS[PART_COUNT] = {{30, 30, 33}, {206, 210, 218}, {214, 216, 222}, {168, 172, 178}, {140, 138, 146}};
UvFunction partUv(Part p) { return swatch((p + 0.5) / 8.0, 0.5); }

Image partsTexture() {
    Image img(64, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) {
            const int p = x / 8;
            img.set(x, y, p < PART_COUNT ? PART_COLOURS[p] : Colour{128, 128, 128});
        }
    return img;
}

// ============================================================================
// Shapes
// ============================================================================

// A rounded-rectangle section (superellipse) in the plane spanned by `side`
// and `upward` around `centre`.
std::vector<V3> section(V3 centre, V3 side, V3 upward, double halfWidth, double halfHeight, double power, int n) {
    std::vector<V3> ring;
    for (int j = 0; j < n; ++j) {
        const double a = 2 * M_PI * j / n;
        const double c = std::cos(a), s = std::sin(a);
        const double x = halfWidth * std::copysign(std::pow(std::fabs(c), 2 / power), c);
        const double y = halfHeight * std::copysign(std::pow(std::fabs(s), 2 / power), s);
        ring.push_back(centre + side * x + upward * y);
    }
    return ring;
}

Mesh bodyMesh() {
    struct Station {
        double z, bottom, top, halfWidth;
    };
    const Station stations[] = {
        {48, 120, 128, 3},   {40, 112, 136, 9},   {20, 106, 142, 14},  {0, 104, 138, 16},   {-30, 104, 128, 18},
        {-60, 100, 126, 19}, {-90, 98, 140, 21},  {-120, 96, 162, 26}, {-150, 98, 168, 26}, {-175, 104, 170, 22},
        {-200, 114, 176, 18}, {-222, 128, 172, 12}, {-238, 142, 164, 5},
    };
    std::vector<std::vector<V3>> rings;
    for (const Station& s : stations)
        rings.push_back(section(v3(0, (s.bottom + s.top) / 2, s.z), v3(1, 0, 0), v3(0, 1, 0), s.halfWidth,
                                (s.top - s.bottom) / 2, 2.6, 16));
    Mesh m;
    const UvFunction side = [](V3 p, double, double) {
        return Vec2f{static_cast<float>((48 - p.z) / 286.0), static_cast<float>((p.y - 96) / 80.0)};
    };
    addShell(m, rings, v3(0, 124, 51), v3(0, 153, -241), false, false, side);
    return m;
}

// A wheel about the x axis through `c`: tyre, rim, spokes, hub and, for the
// front, a brake disc.
Mesh wheelMesh(V3 c, double radius, bool brake) {
    Mesh m;
    auto torus = [&](double ringRadius, double radial, double axial, int around, int tube, Part part) {
        std::vector<std::vector<V3>> rings;
        for (int i = 0; i < around; ++i) {
            const double a = 2 * M_PI * i / around;
            const V3 out = v3(0, std::cos(a), std::sin(a));
            std::vector<V3> ring;
            for (int j = 0; j < tube; ++j) {
                const double b = 2 * M_PI * j / tube;
                ring.push_back(c + out * (ringRadius + radial * std::cos(b)) + v3(axial * std::sin(b), 0, 0));
            }
            rings.push_back(ring);
        }
        addClosedTube(m, rings, partUv(part));
    };
    torus(radius - 9, 9, 8, 32, 8, RUBBER);
    torus(radius - 19.5, 2.6, 4.2, 32, 4, RIM);
    // Wire spokes, laced tangentially from both sides of the hub. The
    // program turns a wheel by 10 degrees a tick; with 24 spokes (15 degrees
    // apart) that reads as 5 degrees the other way, so the wheels appear to
    // roll forwards although they are turned the way that rolls backwards.
    for (int k = 0; k < 24; ++k) {
        const double a = 2 * M_PI * k / 24;
        const double lace = k % 2 ? 0.55 : -0.55;
        const double side = k % 2 ? 3.5 : -3.5;
        const V3 atHub = v3(side, 7 * std::cos(a + lace), 7 * std::sin(a + lace));
        const V3 atRim = v3(side * 0.35, (radius - 18.5) * std::cos(a), (radius - 18.5) * std::sin(a));
        addRod(m, c + atHub, c + atRim, 0.9, 0.9, 4, partUv(SPOKE));
    }
    addRod(m, c + v3(-9, 0, 0), c + v3(9, 0, 0), 7.5, 7.5, 10, partUv(HUB));
    if (brake) addRod(m, c + v3(5.5, 0, 0), c + v3(7, 0, 0), 21, 21, 16, partUv(DISC));
    return m;
}

Mesh engineMesh() {
    Mesh m;
    const UvFunction none = swatch(0, 0);
    std::vector<std::vector<V3>> block;
    for (double z : {-58.0, -70.0, -160.0, -172.0}) {
        const double inset = (z == -58.0 || z == -172.0) ? 3 : 0;
        block.push_back(section(v3(0, 74, z), v3(1, 0, 0), v3(0, 1, 0), 17 - inset, 26 - inset, 5, 16));
    }
    addShell(m, block, v3(0, 74, -56), v3(0, 74, -174), false, false, none);
    // Two cylinders in a V, finned heads.
    addRod(m, v3(0, 92, -100), v3(0, 124, -76), 12, 11, 14, none);
    addRod(m, v3(0, 92, -136), v3(0, 126, -160), 12, 11, 14, none);
    // Exhaust sweeping back under the seat to a muffler by the tail.
    addPipe(m, {v3(10, 96, -160), v3(16, 70, -176), v3(19, 42, -150), v3(20, 40, -100), v3(21, 46, -40),
                v3(22, 64, 6), v3(22, 80, 26)},
            3.6, 10, none);
    addRod(m, v3(22, 76, 16), v3(22, 96, 56), 7, 6, 14, none);
    // Swingarm from the rear axle to the engine.
    for (double x : {-12.0, 12.0}) addRod(m, v3(x, 51, 4), v3(x, 72, -66), 4.5, 4.5, 8, none);
    addRod(m, v3(-15, 51, 0), v3(15, 51, 0), 2.6, 2.6, 8, none);  // rear axle
    return m;
}

Mesh forkMesh() {
    Mesh m;
    const UvFunction none = swatch(0, 0);
    const V3 f = FRONT_WHEEL_PIVOT;
    for (double x : {-13.0, 13.0}) {
        addRod(m, f + v3(x, 0, 0), v3(x * 0.9, 130, -208), 4.2, 4.2, 10, none);
        addRod(m, v3(x * 0.9, 126, -207), v3(x * 0.85, 174, -194), 3.2, 3.2, 10, none);
    }
    addRod(m, f + v3(-16, 0, 0), f + v3(16, 0, 0), 2.6, 2.6, 8, none);  // front axle
    addRod(m, v3(-15, 166, -197), v3(15, 166, -197), 3.4, 3.4, 8, none);
    addPipe(m, {v3(-42, 184, -176), v3(-18, 180, -190), v3(18, 180, -190), v3(42, 184, -176)}, 2.4, 8, none);
    return m;
}

Mesh riderMesh() {
    Mesh m;
    const UvFunction none = swatch(0, 0);
    // Torso leaning forward over the tank, built along its spine.
    const V3 hip = v3(0, 136, -46), shoulder = v3(0, 204, -128);
    const V3 spine = normalized(shoulder - hip);
    const V3 across = v3(1, 0, 0);
    const V3 chest = cross(spine, across);  // points up and back
    struct Slice {
        double t, halfWidth, halfDepth;
    };
    const Slice slices[] = {{0, 16, 11}, {0.3, 18, 12}, {0.6, 19, 12.5}, {0.88, 20, 11}, {1.0, 14, 9}};
    std::vector<std::vector<V3>> rings;
    for (const Slice& s : slices)
        rings.push_back(section(hip + (shoulder - hip) * s.t, across, chest, s.halfWidth, s.halfDepth, 2.4, 14));
    addShell(m, rings, hip - spine * 6, shoulder + spine * 6, false, false, none);
    addRod(m, shoulder - spine * 2, shoulder + spine * 16, 6.5, 6, 10, none);  // neck
    for (double x : {-1.0, 1.0}) {
        addPipe(m, {v3(17 * x, 198, -124), v3(25 * x, 182, -150), v3(36 * x, 184, -176)}, 5.2, 10, none);
        addPipe(m, {v3(13 * x, 134, -50), v3(23 * x, 132, -98), v3(19 * x, 90, -80), v3(18 * x, 70, -66)}, 7, 10,
                none);
        addBox(m, v3(x < 0 ? -24 : 12, 58, -80), v3(x < 0 ? -12 : 24, 70, -52), none);  // boots on the pegs
    }
    return m;
}

struct VehicleParts {
    Mesh body, rider, engine, front, rear, fork, headlight, taillight, helmet, visor;
};

VehicleParts buildParts() {
    VehicleParts p;
    p.body = bodyMesh();
    p.rider = riderMesh();
    p.engine = engineMesh();
    p.front = wheelMesh(FRONT_WHEEL_PIVOT, FRONT_WHEEL_PIVOT.y, true);
    p.rear = wheelMesh(REAR_WHEEL_PIVOT, REAR_WHEEL_PIVOT.y, false);
    p.fork = forkMesh();
    addSphere(p.headlight, v3(0, 152, -238), v3(8, 7, 5), 14, 8, swatch(0, 0));
    addSphere(p.taillight, v3(0, 126, 48), v3(6, 3.5, 3), 12, 6, swatch(0, 0));
    addSphere(p.helmet, v3(0, 228, -146), v3(14, 15, 17), 16, 10, swatch(0, 0));
    addSphere(p.visor, v3(0, 226, -160), v3(11.5, 6.5, 6), 14, 8, swatch(0, 0));
    return p;
}

std::vector<MaterialSpec> vehicleMaterials(const Livery& l) {
    const std::string livery = std::string(l.prefix) + "_paint.bmp";
    auto rgb = [](const std::string& name, Colour c, const std::string& texture) {
        return MaterialSpec{name, Image::channel(c.r), Image::channel(c.g), Image::channel(c.b), texture};
    };
    return {
        rgb("paint", {255, 255, 255}, livery),
        rgb("parts", {255, 255, 255}, "quelm_parts.bmp"),
        rgb("suit", {46, 48, 58}, ""),
        rgb("metal", {72, 74, 82}, ""),
        rgb("chrome", {200, 204, 212}, ""),
        rgb("lamp", {255, 242, 196}, ""),
        rgb("tail", {226, 24, 20}, ""),
        rgb("helmet", l.helmet, ""),
        rgb("visor", {28, 34, 46}, ""),
    };
}

struct Entry {
    const Mesh* mesh;
    const char* name;
    const char* material;
};

// The objects in file order: 3 and 4 are the wheels.
std::vector<Entry> vehicleEntries(const VehicleParts& p) {
    return {
        {&p.body, "body", "paint"},      {&p.rider, "rider", "suit"},      {&p.engine, "engine", "metal"},
        {&p.front, "front_wheel", "parts"}, {&p.rear, "rear_wheel", "parts"}, {&p.fork, "fork", "chrome"},
        {&p.headlight, "headlight", "lamp"}, {&p.taillight, "taillight", "tail"}, {&p.helmet, "helmet", "helmet"},
        {&p.visor, "visor", "visor"},
    };
}

bool writeVehicle(const std::string& dir, const Livery& l, const VehicleParts& p, std::string* error) {
    const std::string livery = std::string(l.prefix) + "_paint.bmp";
    if (!writeImage(dir + livery, liveryTexture(l))) {
        *error = "cannot write " + dir + livery;
        return false;
    }
    const std::vector<MaterialSpec> materials = vehicleMaterials(l);
    std::vector<ObjectSpec> objects;
    for (const Entry& e : vehicleEntries(p)) {
        const bool textured = std::string(e.material) == "paint" || std::string(e.material) == "parts";
        std::vector<ObjectSpec> parts = toObjects(*e.mesh, e.name, e.material, textured);
        if (parts.size() != 1) {
            *error = std::string("the vehicle part ") + e.name + " is too large for one object";
            return false;
        }
        objects.push_back(parts[0]);
    }
    const std::string path = dir + l.prefix + ".3DS";
    if (!writeFileBytes(path, write3ds(materials, objects))) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

std::vector<ColouredTriangle> vehicleTriangles(bool red) {
    const Livery& l = red ? RED : PLAIN;
    const VehicleParts parts = buildParts();
    const Image paint = liveryTexture(l), palette = partsTexture();
    std::vector<ColouredTriangle> out;
    for (const Entry& e : vehicleEntries(parts)) {
        Colour flat{255, 255, 255};
        for (const MaterialSpec& m : vehicleMaterials(l))
            if (m.name == e.material) flat = {static_cast<double>(m.r), static_cast<double>(m.g), static_cast<double>(m.b)};
        const Image* texture = std::string(e.material) == "paint" ? &paint
                             : std::string(e.material) == "parts" ? &palette
                                                                  : nullptr;
        const Mesh& m = *e.mesh;
        for (size_t f = 0; f < m.faceCount(); ++f) {
            ColouredTriangle t;
            const uint32_t i0 = m.indices[3 * f], i1 = m.indices[3 * f + 1], i2 = m.indices[3 * f + 2];
            auto at = [&](uint32_t i) { return v3(m.vertices[i].x, m.vertices[i].y, m.vertices[i].z); };
            t.a = at(i0), t.b = at(i1), t.c = at(i2);
            t.colour = flat;
            if (texture) {
                const double u = (m.uvs[i0].u + m.uvs[i1].u + m.uvs[i2].u) / 3, v = (m.uvs[i0].v + m.uvs[i1].v + m.uvs[i2].v) / 3;
                const int x = std::clamp(static_cast<int>(u * texture->width), 0, texture->width - 1);
                const int y = std::clamp(static_cast<int>(v * texture->height), 0, texture->height - 1);
                t.colour = texture->get(x, y);
            }
            out.push_back(t);
        }
    }
    return out;
}

bool writeVehicles(const std::string& dataDir, std::string* error) {
    const std::string dir = dataDir + "/models/";
    if (!writeImage(dir + "quelm_parts.bmp", partsTexture())) {
        *error = "cannot write " + dir + "quelm_parts.bmp";
        return false;
    }
    const VehicleParts parts = buildParts();
    return writeVehicle(dir, PLAIN, parts, error) && writeVehicle(dir, RED, parts, error);
}
