#include "motion/character.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/log.h"
#include "assets/displaylists.h"
#include "assets/modelpath.h"
#include "assets/reader3ds.h"

namespace {

constexpr double PITCH_MAX_DEGREES = 80.0;

// The reader drops faces with corners outside the vertex list; a model
// filled by hand gets the same protection here.
bool cornersValid(const ModelObject& object, const Face& face) {
    for (int j = 0; j < 3; ++j) {
        const int32_t v = face.vertexIndex[j];
        if (v < 0 || static_cast<size_t>(v) >= object.vertices.size()) return false;
    }
    return true;
}

int faceSide(const Face& face, const float light[4]) {
    const double side = face.plane[0] * light[0] + face.plane[1] * light[1] +
                        face.plane[2] * light[2] + face.plane[3];
    return side > 0 ? 0 : 1;
}

// An edge as the unordered pair of its end points, the identity edgesEqual
// compares by. The points are stored in a fixed order so that both
// directions of an edge give the same key.
struct EdgeKey {
    Vec3f a, b;
};

bool pointLess(const Vec3f& p, const Vec3f& q) {
    if (p.x != q.x) return p.x < q.x;
    if (p.y != q.y) return p.y < q.y;
    return p.z < q.z;
}

bool pointEqual(const Vec3f& p, const Vec3f& q) { return p.x == q.x && p.y == q.y && p.z == q.z; }

bool hasNaN(const Vec3f& p) { return p.x != p.x || p.y != p.y || p.z != p.z; }

EdgeKey makeKey(const Vec3f& p, const Vec3f& q) {
    return pointLess(q, p) ? EdgeKey{q, p} : EdgeKey{p, q};
}

struct EdgeKeyEqual {
    bool operator()(const EdgeKey& l, const EdgeKey& r) const {
        return pointEqual(l.a, r.a) && pointEqual(l.b, r.b);
    }
};

struct EdgeKeyHash {
    static uint32_t bits(float f) {
        if (f == 0.0f) f = 0.0f;  // -0 and +0 are equal, so they must hash alike
        uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        return u;
    }
    size_t operator()(const EdgeKey& k) const {
        const float values[6] = {k.a.x, k.a.y, k.a.z, k.b.x, k.b.y, k.b.z};
        uint64_t h = 1469598103934665603ull;
        for (float v : values) {
            h ^= bits(v);
            h *= 1099511628211ull;
        }
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

// What the pairwise search needs to know about all the edges of one key,
// seen in search order (face by face, edge by edge).
struct EdgeGroup {
    int first = -1;      // first edge (face * 3 + j)
    int second = -1;     // first edge on a face other than the first's
    int lastFace = -1;   // face of the last edge
};

// Neighbours of one object. The pairwise search gives edge j of face i the
// first other face (in index order) with an equal edge and writes i back
// into that face, later faces overwriting earlier results. Worked out per
// group of equal edges, with F0 the face of the group's first edge, E1 the
// first edge on another face and FL the face of its last edge:
// - the first edge ends up with FL (the last face to find it), or -2 when
//   every edge of the group lies on F0;
// - other edges on F0 find E1 and nobody writes to them later: E1's face,
//   or -2 when there is none;
// - every edge on another face finds the first edge, whose face is F0, and
//   only F0's own search (which runs earlier) writes to them.
void buildObjectNeighbours(ModelObject& object) {
    const int faceCount = static_cast<int>(object.faces.size());
    std::unordered_map<EdgeKey, EdgeGroup, EdgeKeyHash, EdgeKeyEqual> groups;
    groups.reserve(static_cast<size_t>(faceCount) * 2);
    std::vector<EdgeGroup*> groupOf(static_cast<size_t>(faceCount) * 3, nullptr);

    for (int i = 0; i < faceCount; ++i) {
        Face& face = object.faces[i];
        face.facing = 3;
        if (!cornersValid(object, face)) continue;
        for (int j = 0; j < 3; ++j) {
            const Vec3f& p = object.vertices[face.vertexIndex[j]];
            const Vec3f& q = object.vertices[face.vertexIndex[(j + 1) % 3]];
            // A NaN coordinate equals nothing, not even itself.
            if (hasNaN(p) || hasNaN(q)) continue;
            EdgeGroup& group = groups[makeKey(p, q)];
            const int edge = i * 3 + j;
            if (group.first < 0) {
                group.first = edge;
            } else if (group.second < 0 && i != group.first / 3) {
                group.second = edge;
            }
            group.lastFace = i;
            groupOf[edge] = &group;
        }
    }

    for (int i = 0; i < faceCount; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int edge = i * 3 + j;
            const EdgeGroup* group = groupOf[edge];
            int neighbour = -2;
            if (group) {
                const int firstFace = group->first / 3;
                if (edge == group->first) {
                    if (group->lastFace != firstFace) neighbour = group->lastFace;
                } else if (i == firstFace) {
                    if (group->second >= 0) neighbour = group->second / 3;
                } else {
                    neighbour = firstFace;
                }
            }
            object.faces[i].neighbour[j] = neighbour;
        }
    }
}

}  // namespace

bool inShadowPart(int object, int part) {
    if (part == 0) return object == 3;
    if (part == 1) return object == 4;
    return object != 3 && object != 4;
}

double Character::pitchDegrees() const {
    return pitchState != 0 ? pitchCount * PITCH_MAX_DEGREES / pitchLimit : 0.0;
}

bool edgesEqual(const Vec3f& p, const Vec3f& q, const Vec3f& r, const Vec3f& s) {
    return (pointEqual(p, r) && pointEqual(q, s)) || (pointEqual(p, s) && pointEqual(q, r));
}

Character::Character(int kindValue, int) : kind(kindValue) {
    const char* file = nullptr;
    if (kind == KIND_RED) {
        file = "quelm_red.3DS";
    } else if (kind == KIND_PLAIN) {
        file = "quelm.3DS";
    } else {
        logError("quelm", "wrong quelm type");
    }
    if (file) {
        const std::string path = modelPath(file);
        Reader3DS reader;  // its scratch area lives only for this read
        reader.Import3DS(&model, path.c_str());
    }
    buildNeighbours();
    prepareArrays(model);
    computePlanes();
}

Character::~Character() {
    model.objects.clear();
    model.materials.clear();
    model.objectCount = 0;
    model.materialCount = 0;
}

void Character::buildNeighbours() {
    for (ModelObject& object : model.objects) buildObjectNeighbours(object);
}

void Character::computePlanes() {
    for (ModelObject& object : model.objects) {
        for (Face& face : object.faces) {
            if (!cornersValid(object, face)) continue;
            const Vec3f& v1 = object.vertices[face.vertexIndex[0]];
            const Vec3f& v2 = object.vertices[face.vertexIndex[1]];
            const Vec3f& v3 = object.vertices[face.vertexIndex[2]];
            const double x1 = v1.x, y1 = v1.y, z1 = v1.z;
            const double x2 = v2.x, y2 = v2.y, z2 = v2.z;
            const double x3 = v3.x, y3 = v3.y, z3 = v3.z;
            face.plane[0] = y1 * (z2 - z3) + y2 * (z3 - z1) + y3 * (z1 - z2);
            face.plane[1] = z1 * (x2 - x3) + z2 * (x3 - x1) + z3 * (x1 - x2);
            face.plane[2] = x1 * (y2 - y3) + x2 * (y3 - y1) + x3 * (y1 - y2);
            face.plane[3] = -(x1 * (y2 * z3 - y3 * z2) + x2 * (y3 * z1 - y1 * z3) +
                              x3 * (y1 * z2 - y2 * z1));
        }
    }
}

void Character::setPose(float px, float py, float pz, float h) {
    x = px;
    y = py;
    z = pz;
    heading = h;
    if (pitchCount == 0) pitchState = 0;
    if (pitchState == 1) ++pitchCount;
    else if (pitchState == 2) --pitchCount;
    if (pitchCount == pitchLimit) pitchState = 2;
    spinAngle = (spinAngle + 10) % 360;
}

void Character::startPitch(int limit) {
    pitchCount = 1;
    // Below 2 the count would never meet the limit and the pitch angle
    // (count / limit) would grow without end.
    pitchLimit = limit < 2 ? 2 : limit;
    pitchState = 1;
}

void visitSilhouette(ModelObject& object, const float light[4], bool resetAfter,
                     SilhouetteVisitor visit, void* context) {
    const int faceCount = static_cast<int>(object.faces.size());
    for (int i = 0; i < faceCount; ++i) {
        Face& face = object.faces[i];
        face.facing = faceSide(face, light);
        if (face.facing == 0 && cornersValid(object, face)) {
            for (int j = 0; j < 3; ++j) {
                const int n = face.neighbour[j];
                // -1 (never searched), -2 (none) or anything outside the
                // object: a border edge.
                const bool hasNeighbour = n >= 0 && n < faceCount;
                if (hasNeighbour && object.faces[n].facing == 3) {
                    object.faces[n].facing = faceSide(object.faces[n], light);
                }
                if (!hasNeighbour || object.faces[n].facing == 1) visit(object, i, j, light, context);
                if (resetAfter && hasNeighbour) object.faces[n].facing = 3;
            }
        }
        if (resetAfter) face.facing = 3;
    }
}
