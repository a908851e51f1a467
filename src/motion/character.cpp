#include "motion/character.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/log.h"
#include "assets/displaylists.h"
#include "assets/reader3ds.h"

Character* plainCharacter = nullptr;
Character* redCharacter = nullptr;

namespace {

// Pivots of the two spinning parts, in model units.
constexpr float PART3_PIVOT_Y = 49.92f;
constexpr float PART3_PIVOT_Z = -236.217f;
constexpr float PART4_PIVOT_Y = 51.0f;
// Models are authored 1/0.03 times the scene's size.
constexpr float MODEL_SCALE = 0.03f;
constexpr float MODEL_UNSCALE = 33.333332f;
constexpr double PITCH_MAX_DEGREES = 80.0;
// How far the shadow volume's far edge is pushed away from the light,
// in multiples of the vertex's distance to the light.
constexpr float EXTRUDE_LENGTH = 50.0f;

// Which objects a shadow part covers.
bool inPart(int object, int part) {
    if (part == 0) return object == 3;
    if (part == 1) return object == 4;
    return object != 3 && object != 4;
}

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

void extrudeEdge(const ModelObject& object, int faceIndex, int edge, const float light[4], void*) {
    const Face& face = object.faces[faceIndex];
    const Vec3f& a = object.vertices[face.vertexIndex[edge]];
    const Vec3f& b = object.vertices[face.vertexIndex[(edge + 1) % 3]];
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(a.x + (a.x - light[0]) * EXTRUDE_LENGTH, a.y + (a.y - light[1]) * EXTRUDE_LENGTH,
               a.z + (a.z - light[2]) * EXTRUDE_LENGTH);
    glVertex3f(b.x, b.y, b.z);
    glVertex3f(b.x + (b.x - light[0]) * EXTRUDE_LENGTH, b.y + (b.y - light[1]) * EXTRUDE_LENGTH,
               b.z + (b.z - light[2]) * EXTRUDE_LENGTH);
    glEnd();
}

// The same four corners as extrudeEdge's strip, as its two triangles in the
// strip's winding, appended to the float vector behind `context`.
void collectExtrudedEdge(const ModelObject& object, int faceIndex, int edge, const float light[4],
                         void* context) {
    std::vector<float>& out = *static_cast<std::vector<float>*>(context);
    const Face& face = object.faces[faceIndex];
    const Vec3f& a = object.vertices[face.vertexIndex[edge]];
    const Vec3f& b = object.vertices[face.vertexIndex[(edge + 1) % 3]];
    const float farA[3] = {a.x + (a.x - light[0]) * EXTRUDE_LENGTH,
                           a.y + (a.y - light[1]) * EXTRUDE_LENGTH,
                           a.z + (a.z - light[2]) * EXTRUDE_LENGTH};
    const float farB[3] = {b.x + (b.x - light[0]) * EXTRUDE_LENGTH,
                           b.y + (b.y - light[1]) * EXTRUDE_LENGTH,
                           b.z + (b.z - light[2]) * EXTRUDE_LENGTH};
    const float corners[18] = {a.x,     a.y,     a.z,     farA[0], farA[1], farA[2],
                               b.x,     b.y,     b.z,     b.x,     b.y,     b.z,
                               farA[0], farA[1], farA[2], farB[0], farB[1], farB[2]};
    out.insert(out.end(), corners, corners + 18);
}

}  // namespace

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
        const std::string path = std::string("models/") + file;
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

void Character::loadTextures() { ::loadTextures(model, textures); }

void Character::buildDisplayList() {
    const CharacterLists lists = buildCharacterLists(model, textures);
    bodyList = lists.bodyList;
    objectList3 = lists.objectList3;
    objectList4 = lists.objectList4;
}

void Character::draw(float light[4], bool castShadows) {
    const double pitch = pitchCount * PITCH_MAX_DEGREES / pitchLimit;

    // The light in a part's object space: the part's transform undone in
    // reverse order, built on the matrix stack and read back. `pivotY`,
    // `pivotZ` locate the part's spin axis; the body has none.
    auto lightInPart = [&](bool spins, float pivotY, float pivotZ, float local[4]) {
        glPushMatrix();
        glLoadIdentity();
        if (spins) {
            glTranslatef(0.0f, pivotY, pivotZ);
            glRotatef(static_cast<float>(-spinAngle), 1.0f, 0.0f, 0.0f);
            glTranslatef(0.0f, -pivotY, -pivotZ);
        }
        if (pitchState != 0) {
            glRotatef(static_cast<float>(pitchCount * -PITCH_MAX_DEGREES / pitchLimit), 1.0f, 0.0f,
                      0.0f);
        }
        glRotatef(-heading, 0.0f, 1.0f, 0.0f);
        glScalef(MODEL_UNSCALE, MODEL_UNSCALE, MODEL_UNSCALE);
        glTranslatef(-x, -y, -z);
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glPopMatrix();
        for (int r = 0; r < 4; ++r) {
            local[r] = m[r] * light[0] + m[4 + r] * light[1] + m[8 + r] * light[2] +
                       m[12 + r] * light[3];
        }
    };

    glPushMatrix();
    glPushAttrib(0xFFFFF);
        glTranslatef(x, y, z);
        glScalef(MODEL_SCALE, MODEL_SCALE, MODEL_SCALE);
        glRotatef(heading, 0.0f, 1.0f, 0.0f);
        if (pitchState != 0) glRotatef(static_cast<float>(pitch), 1.0f, 0.0f, 0.0f);
        glCallList(bodyList);

        glPushMatrix();
            glTranslatef(0.0f, PART3_PIVOT_Y, PART3_PIVOT_Z);
            glRotatef(static_cast<float>(spinAngle), 1.0f, 0.0f, 0.0f);
            glTranslatef(0.0f, -PART3_PIVOT_Y, -PART3_PIVOT_Z);
            glCallList(objectList3);
            if (castShadows) {
                light[3] = 1.0f;
                float local[4];
                lightInPart(true, PART3_PIVOT_Y, PART3_PIVOT_Z, local);
                drawShadowVolumes(local, 0);
            }
        glPopMatrix();

        glPushMatrix();
            glTranslatef(0.0f, PART4_PIVOT_Y, 0.0f);
            glRotatef(static_cast<float>(spinAngle), 1.0f, 0.0f, 0.0f);
            glTranslatef(0.0f, -PART4_PIVOT_Y, 0.0f);
            glCallList(objectList4);
            if (castShadows) {
                light[3] = 1.0f;
                float local[4];
                lightInPart(true, PART4_PIVOT_Y, 0.0f, local);
                drawShadowVolumes(local, 1);
            }
        glPopMatrix();

        if (castShadows) {
            light[3] = 1.0f;
            float local[4];
            lightInPart(false, 0.0f, 0.0f, local);
            drawShadowVolumes(local, 2);
        }
    glPopAttrib();
    glPopMatrix();
}

void Character::drawShadowVolumes(const float light[4], int part) {
    // Both counting passes extrude the same silhouette (one light, one
    // object), so it is collected once into a vertex array and drawn twice:
    // one draw call per pass instead of a strip per edge.
    static std::vector<float> volume;  // GLUT thread only; reused every frame
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glDisable(GL_LIGHTING);
        glDepthMask(GL_FALSE);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_STENCIL_TEST);
        // Only positions are read; any other array left enabled would be
        // read past its end.
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_INDEX_ARRAY);
        glDisableClientState(GL_EDGE_FLAG_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        for (size_t i = 0; i < model.objects.size(); ++i) {
            if (!inPart(static_cast<int>(i), part)) continue;
            ModelObject& object = model.objects[i];
            volume.clear();
            visitSilhouette(object, light, true, collectExtrudedEdge, &volume);
            const GLsizei vertexCount = static_cast<GLsizei>(volume.size() / 3);
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFFu);
            if (vertexCount == 0) continue;
            glVertexPointer(3, GL_FLOAT, 0, volume.data());
            // Front faces of the volume count up, back faces down: what is
            // left non-zero lies inside a volume.
            glFrontFace(GL_CCW);
            glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
            glDrawArrays(GL_TRIANGLES, 0, vertexCount);
            glFrontFace(GL_CW);
            glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
            glDrawArrays(GL_TRIANGLES, 0, vertexCount);
        }
    glPopClientAttrib();
    glPopAttrib();
}

void Character::extrudeSilhouette(ModelObject& object, const float light[4], bool resetAfter) {
    visitSilhouette(object, light, resetAfter, extrudeEdge, nullptr);
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
