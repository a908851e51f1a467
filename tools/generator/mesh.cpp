#include "mesh.h"

#include <cmath>
#include <map>

double length(V3 a) { return std::sqrt(dot(a, a)); }

V3 normalized(V3 a) {
    const double l = length(a);
    return l > 0 ? a * (1.0 / l) : a;
}

uint32_t Mesh::add(V3 p, double u, double v) {
    vertices.push_back(Vec3f{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    uvs.push_back(Vec2f{static_cast<float>(u), static_cast<float>(v)});
    return static_cast<uint32_t>(vertices.size() - 1);
}

void Mesh::tri(uint32_t a, uint32_t b, uint32_t c) {
    indices.push_back(a);
    indices.push_back(b);
    indices.push_back(c);
}

void Mesh::quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    tri(a, b, c);
    tri(a, c, d);
}

void Mesh::append(const Mesh& other) {
    const uint32_t base = static_cast<uint32_t>(vertices.size());
    vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
    uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
    for (uint32_t i : other.indices) indices.push_back(base + i);
}

static V3 toV3(const Vec3f& v) { return {v.x, v.y, v.z}; }

void orientOutward(Mesh& mesh, size_t firstFace) {
    const size_t faces = mesh.faceCount();
    if (firstFace >= faces) return;
    V3 centre;
    size_t corners = 0;
    for (size_t f = firstFace; f < faces; ++f)
        for (int k = 0; k < 3; ++k) {
            centre = centre + toV3(mesh.vertices[mesh.indices[3 * f + k]]);
            ++corners;
        }
    centre = centre * (1.0 / static_cast<double>(corners));
    double volume = 0;
    for (size_t f = firstFace; f < faces; ++f) {
        const V3 a = toV3(mesh.vertices[mesh.indices[3 * f]]) - centre;
        const V3 b = toV3(mesh.vertices[mesh.indices[3 * f + 1]]) - centre;
        const V3 c = toV3(mesh.vertices[mesh.indices[3 * f + 2]]) - centre;
        volume += dot(a, cross(b, c));
    }
    if (volume >= 0) return;
    for (size_t f = firstFace; f < faces; ++f) std::swap(mesh.indices[3 * f + 1], mesh.indices[3 * f + 2]);
}

void addShell(Mesh& mesh, const std::vector<std::vector<V3>>& rings, V3 startApex, V3 endApex,
              bool hardCaps, bool hardSides, const UvFunction& uv) {
    if (rings.size() < 2 || rings[0].size() < 3) return;
    const size_t firstFace = mesh.faceCount();
    const size_t n = rings[0].size();
    const size_t last = rings.size() - 1;
    auto put = [&](V3 p, double around, double along) {
        const Vec2f t = uv(p, around, along);
        return mesh.add(p, t.u, t.v);
    };
    // Side vertices: (n + 1) per ring so the texture seam can close at 1.
    std::vector<std::vector<uint32_t>> ids(rings.size());
    if (!hardSides) {
        for (size_t i = 0; i < rings.size(); ++i) {
            const double along = static_cast<double>(i) / static_cast<double>(last);
            for (size_t j = 0; j <= n; ++j)
                ids[i].push_back(put(rings[i][j % n], static_cast<double>(j) / n, along));
        }
        for (size_t i = 0; i < last; ++i)
            for (size_t j = 0; j < n; ++j)
                mesh.quad(ids[i][j], ids[i][j + 1], ids[i + 1][j + 1], ids[i + 1][j]);
    } else {
        for (size_t i = 0; i < last; ++i) {
            const double a0 = static_cast<double>(i) / last, a1 = static_cast<double>(i + 1) / last;
            for (size_t j = 0; j < n; ++j) {
                const double u0 = static_cast<double>(j) / n, u1 = static_cast<double>(j + 1) / n;
                const uint32_t a = put(rings[i][j], u0, a0);
                const uint32_t b = put(rings[i][(j + 1) % n], u1, a0);
                const uint32_t c = put(rings[i + 1][(j + 1) % n], u1, a1);
                const uint32_t d = put(rings[i + 1][j], u0, a1);
                mesh.quad(a, b, c, d);
            }
        }
    }
    auto cap = [&](size_t ringIndex, V3 apex, bool atStart) {
        const double along = atStart ? 0.0 : 1.0;
        const uint32_t centre = put(apex, 0.5, along);
        std::vector<uint32_t> rim(n);
        for (size_t j = 0; j < n; ++j)
            rim[j] = (hardCaps || hardSides) ? put(rings[ringIndex][j], static_cast<double>(j) / n, along)
                                             : ids[ringIndex][j];
        for (size_t j = 0; j < n; ++j) {
            const uint32_t a = rim[j], b = rim[(j + 1) % n];
            if (atStart)
                mesh.tri(centre, b, a);
            else
                mesh.tri(centre, a, b);
        }
    };
    cap(0, startApex, true);
    cap(last, endApex, false);
    orientOutward(mesh, firstFace);
}

void addClosedTube(Mesh& mesh, const std::vector<std::vector<V3>>& rings, const UvFunction& uv) {
    if (rings.size() < 3 || rings[0].size() < 3) return;
    const size_t firstFace = mesh.faceCount();
    const size_t n = rings[0].size(), m = rings.size();
    std::vector<std::vector<uint32_t>> ids(m + 1);
    for (size_t i = 0; i <= m; ++i)
        for (size_t j = 0; j <= n; ++j) {
            const V3 p = rings[i % m][j % n];
            const Vec2f t = uv(p, static_cast<double>(j) / n, static_cast<double>(i) / m);
            ids[i].push_back(mesh.add(p, t.u, t.v));
        }
    for (size_t i = 0; i < m; ++i)
        for (size_t j = 0; j < n; ++j) mesh.quad(ids[i][j], ids[i][j + 1], ids[i + 1][j + 1], ids[i + 1][j]);
    orientOutward(mesh, firstFace);
}

void addBox(Mesh& mesh, V3 lo, V3 hi, const UvFunction& uv) {
    const std::vector<std::vector<V3>> rings = {
        {v3(lo.x, lo.y, lo.z), v3(hi.x, lo.y, lo.z), v3(hi.x, hi.y, lo.z), v3(lo.x, hi.y, lo.z)},
        {v3(lo.x, lo.y, hi.z), v3(hi.x, lo.y, hi.z), v3(hi.x, hi.y, hi.z), v3(lo.x, hi.y, hi.z)},
    };
    const double mx = (lo.x + hi.x) / 2, my = (lo.y + hi.y) / 2;
    addShell(mesh, rings, v3(mx, my, lo.z), v3(mx, my, hi.z), true, true, uv);
}

// Two unit vectors perpendicular to `axis` and to each other.
static void basis(V3 axis, V3& s, V3& t) {
    const V3 a = normalized(axis);
    const V3 helper = std::fabs(a.y) < 0.9 ? v3(0, 1, 0) : v3(1, 0, 0);
    s = normalized(cross(a, helper));
    t = cross(a, s);
}

static std::vector<V3> circle(V3 centre, V3 s, V3 t, double r, int sides) {
    std::vector<V3> ring;
    for (int j = 0; j < sides; ++j) {
        const double a = 2 * M_PI * j / sides;
        ring.push_back(centre + s * (r * std::cos(a)) + t * (r * std::sin(a)));
    }
    return ring;
}

void addRod(Mesh& mesh, V3 a, V3 b, double ra, double rb, int sides, const UvFunction& uv) {
    V3 s, t;
    basis(b - a, s, t);
    addShell(mesh, {circle(a, s, t, ra, sides), circle(b, s, t, rb, sides)}, a, b, true, false, uv);
}

void addPipe(Mesh& mesh, const std::vector<V3>& points, double radius, int sides, const UvFunction& uv) {
    if (points.size() < 2) return;
    std::vector<std::vector<V3>> rings;
    V3 s, t;
    basis(points[1] - points[0], s, t);
    for (size_t i = 0; i < points.size(); ++i) {
        const V3 dir = i == 0 ? points[1] - points[0]
                     : i + 1 == points.size() ? points[i] - points[i - 1]
                                              : points[i + 1] - points[i - 1];
        // Carry the frame along the pipe so the rings do not twist.
        const V3 a = normalized(dir);
        s = normalized(s - a * dot(s, a));
        t = cross(a, s);
        rings.push_back(circle(points[i], s, t, radius, sides));
    }
    const V3 startDir = normalized(points[1] - points[0]);
    const V3 endDir = normalized(points.back() - points[points.size() - 2]);
    addShell(mesh, rings, points.front() - startDir * (radius * 0.6), points.back() + endDir * (radius * 0.6),
             false, false, uv);
}

void addSphere(Mesh& mesh, V3 centre, V3 radii, int segments, int rings, const UvFunction& uv) {
    std::vector<std::vector<V3>> loops;
    for (int i = 1; i < rings; ++i) {
        const double phi = M_PI * i / rings;  // from the top pole down
        std::vector<V3> loop;
        for (int j = 0; j < segments; ++j) {
            const double a = 2 * M_PI * j / segments;
            loop.push_back(centre + v3(radii.x * std::sin(phi) * std::cos(a), radii.y * std::cos(phi),
                                       radii.z * std::sin(phi) * std::sin(a)));
        }
        loops.push_back(loop);
    }
    addShell(mesh, loops, centre + v3(0, radii.y, 0), centre - v3(0, radii.y, 0), false, false, uv);
}

UvFunction swatch(double u, double v) {
    return [u, v](V3, double, double) { return Vec2f{static_cast<float>(u), static_cast<float>(v)}; };
}

std::vector<ObjectSpec> toObjects(const Mesh& mesh, const std::string& name, const std::string& material,
                                  bool withUvs) {
    std::vector<ObjectSpec> objects;
    ObjectSpec current;
    std::map<uint32_t, uint16_t> remap;
    auto flush = [&]() {
        if (current.indices.empty()) return;
        current.name = objects.empty() ? name : name + "_" + std::to_string(objects.size() + 1);
        current.material = material;
        objects.push_back(current);
        current = ObjectSpec{};
        remap.clear();
    };
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
        if (current.vertices.size() + 3 > 65535) flush();
        for (int k = 0; k < 3; ++k) {
            const uint32_t i = mesh.indices[3 * f + k];
            auto found = remap.find(i);
            if (found == remap.end()) {
                found = remap.emplace(i, static_cast<uint16_t>(current.vertices.size())).first;
                current.vertices.push_back(mesh.vertices[i]);
                if (withUvs) current.texCoords.push_back(mesh.uvs[i]);
            }
            current.indices.push_back(found->second);
        }
    }
    flush();
    if (objects.empty()) {
        ObjectSpec empty;
        empty.name = name;
        empty.material = material;
        objects.push_back(empty);
    }
    return objects;
}
