// Per-corner draw arrays and their compilation into display lists.
//
// While a list is compiled, the client-array calls (enable, disable,
// pointers) act at once and are not recorded, and the triangle draw is
// recorded with the arrays' contents of that moment; so the lists keep
// drawing what the arrays held when they were built.
#include "assets/displaylists.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstring>
#include <unordered_map>

// The arrays go to OpenGL as tightly packed floats and byte triples.
static_assert(sizeof(Vec3f) == 3 * sizeof(float), "Vec3f must be three packed floats");
static_assert(sizeof(Vec2f) == 2 * sizeof(float), "Vec2f must be two packed floats");
static_assert(sizeof(Rgb8) == 3, "Rgb8 must be three packed bytes");

namespace {

const Rgb8 WHITE{255, 255, 255};

size_t objectsToDraw(const Model& model) {
    const size_t listed = model.objects.size();
    const size_t counted = model.objectCount > 0 ? static_cast<size_t>(model.objectCount) : 0;
    return counted < listed ? counted : listed;
}

// The texture name for a textured object: its material's slot, or none when
// the object's material link points nowhere (a later group that named an
// unknown material leaves `textured` set and the index at -1).
unsigned int textureFor(const ModelObject& object, const TextureTable* textures) {
    if (!textures || object.materialIndex < 0 || object.materialIndex >= TextureTable::SIZE) return 0;
    return (*textures)[object.materialIndex];
}

// Step 1 of a batch: texturing on (with the bound texture, when a table is
// given) and white, or texturing off and white.
void beginObject(const ModelObject& object, const TextureTable* textures, bool bindTexture) {
    if (object.textured) {
        glEnable(GL_TEXTURE_2D);
        glColor3ub(255, 255, 255);
        if (bindTexture) glBindTexture(GL_TEXTURE_2D, textureFor(object, textures));
    } else {
        glDisable(GL_TEXTURE_2D);
        glColor3ub(255, 255, 255);
    }
}

// Corners to draw: all four arrays hold 3 * faceCount entries after
// prepareArrays; taking the shortest keeps a draw inside every array even
// for a model that was changed by hand afterwards.
GLsizei cornerCount(const ModelObject& object) {
    size_t n = object.drawVertices.size();
    if (object.drawNormals.size() < n) n = object.drawNormals.size();
    if (object.drawTexCoords.size() < n) n = object.drawTexCoords.size();
    if (object.drawColours.size() < n) n = object.drawColours.size();
    return static_cast<GLsizei>(n);
}

// One object with its own client-array switches: texture coordinates for a
// textured object, per-corner colours otherwise.
void emitObject(const ModelObject& object, const TextureTable* textures, bool bindTexture) {
    beginObject(object, textures, bindTexture);
    glEnableClientState(object.textured ? GL_TEXTURE_COORD_ARRAY : GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, object.drawVertices.data());
    if (object.textured)
        glTexCoordPointer(2, GL_FLOAT, 0, object.drawTexCoords.data());
    else
        glColorPointer(3, GL_UNSIGNED_BYTE, 0, object.drawColours.data());
    glNormalPointer(GL_FLOAT, 0, object.drawNormals.data());
    glDrawArrays(GL_TRIANGLES, 0, cornerCount(object));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(object.textured ? GL_TEXTURE_COORD_ARRAY : GL_COLOR_ARRAY);
}

// A new list holding the batches of every object for which `take` is true.
template <typename Take>
unsigned int compileObjects(const Model& model, const TextureTable* textures, bool bindTexture, Take take) {
    const unsigned int list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    const size_t count = objectsToDraw(model);
    for (size_t i = 0; i < count; ++i) {
        if (take(i)) emitObject(model.objects[i], textures, bindTexture);
    }
    glEndList();
    return list;
}

}  // namespace

void prepareArrays(Model& model) {
    const size_t count = objectsToDraw(model);
    for (size_t i = 0; i < count; ++i) {
        ModelObject& o = model.objects[i];
        const size_t corners = 3 * o.faces.size();
        const bool hasMaterial = o.materialIndex >= 0 && static_cast<size_t>(o.materialIndex) < model.materials.size();
        Rgb8 colour = WHITE;
        if (hasMaterial) {
            const uint8_t* c = model.materials[o.materialIndex].colour;
            colour = Rgb8{c[0], c[1], c[2]};
        }
        // Fresh arrays: entries the table below does not write are defined
        // anyway, texture coordinates (0, 0) and colours white.
        o.drawVertices.assign(corners, Vec3f{});
        o.drawNormals.assign(corners, Vec3f{});
        o.drawTexCoords.assign(corners, Vec2f{});
        o.drawColours.assign(corners, WHITE);
        const bool mapped = o.textured && !o.texCoords.empty();
        for (size_t f = 0; f < o.faces.size(); ++f) {
            for (int j = 0; j < 3; ++j) {
                const size_t c = 3 * f + j;
                const int32_t v = o.faces[f].vertexIndex[j];
                if (v < 0) continue;
                const size_t k = static_cast<size_t>(v);
                if (k < o.normals.size()) o.drawNormals[c] = o.normals[k];
                if (!o.textured) o.drawColours[c] = colour;
                if (mapped && k < o.texCoords.size()) o.drawTexCoords[c] = o.texCoords[k];
                if (k < o.vertices.size()) o.drawVertices[c] = o.vertices[k];
            }
        }
    }
}

CharacterLists buildCharacterLists(const Model& model, const TextureTable& textures) {
    CharacterLists lists;
    lists.bodyList = compileObjects(model, &textures, true, [](size_t i) { return i != 3 && i != 4; });
    lists.objectList3 = compileObjects(model, &textures, true, [](size_t i) { return i == 3; });
    lists.objectList4 = compileObjects(model, &textures, true, [](size_t i) { return i == 4; });
    return lists;
}

unsigned int buildSkyList(const Model& model, const TextureTable& textures) {
    return compileObjects(model, &textures, true, [](size_t) { return true; });
}

unsigned int buildLetteringList(const Model& model) {
    return compileObjects(model, nullptr, false, [](size_t) { return true; });
}

// The terrain keeps its three arrays enabled across all objects and uses no
// colour array: an untextured terrain object takes the current colour, white.
unsigned int buildTerrainList(const Model& model, const TextureTable& textures) {
    const unsigned int list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const size_t count = objectsToDraw(model);
    for (size_t i = 0; i < count; ++i) {
        const ModelObject& o = model.objects[i];
        beginObject(o, &textures, true);
        glVertexPointer(3, GL_FLOAT, 0, o.drawVertices.data());
        glNormalPointer(GL_FLOAT, 0, o.drawNormals.data());
        glTexCoordPointer(2, GL_FLOAT, 0, o.drawTexCoords.data());
        glDrawArrays(GL_TRIANGLES, 0, cornerCount(o));
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEndList();
    return list;
}

namespace {

// A corner's bytes, as the arrays hold them: equal keys draw alike.
struct CornerKey {
    unsigned char bytes[2 * sizeof(Vec3f) + sizeof(Vec2f) + sizeof(Rgb8)];
    bool operator==(const CornerKey& other) const { return std::memcmp(bytes, other.bytes, sizeof bytes) == 0; }
};

struct CornerHash {
    size_t operator()(const CornerKey& key) const {
        // FNV-1a over the bytes.
        uint64_t h = 1469598103934665603ull;
        for (unsigned char b : key.bytes) h = (h ^ b) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};

}  // namespace

IndexedCorners indexCorners(const ModelObject& object) {
    IndexedCorners out;
    const size_t corners = static_cast<size_t>(cornerCount(object)) / 3 * 3;
    std::unordered_map<CornerKey, uint32_t, CornerHash> seen;
    seen.reserve(corners);
    out.faces.reserve(corners);
    for (size_t c = 0; c < corners; ++c) {
        CornerKey key;
        unsigned char* p = key.bytes;
        std::memcpy(p, &object.drawVertices[c], sizeof(Vec3f)), p += sizeof(Vec3f);
        std::memcpy(p, &object.drawNormals[c], sizeof(Vec3f)), p += sizeof(Vec3f);
        std::memcpy(p, &object.drawTexCoords[c], sizeof(Vec2f)), p += sizeof(Vec2f);
        std::memcpy(p, &object.drawColours[c], sizeof(Rgb8));
        const auto found = seen.emplace(key, static_cast<uint32_t>(out.vertices.size()));
        if (found.second) {
            out.vertices.push_back(object.drawVertices[c]);
            out.normals.push_back(object.drawNormals[c]);
            out.texCoords.push_back(object.drawTexCoords[c]);
            out.colours.push_back(object.drawColours[c]);
        }
        out.faces.push_back(found.first->second);
    }
    return out;
}

void drawIndexedBatch(const ModelObject& object, const IndexedCorners& corners, const uint32_t* faceCorners,
                      size_t count, const TextureTable& textures, BatchArrays arrays) {
    if (count == 0 || corners.vertices.empty()) return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        beginObject(object, &textures, true);
        // The arrays each list has enabled when it draws: the terrain's
        // three for every object, or an object's own.
        const bool colourArray = arrays == BatchArrays::PerObject && !object.textured;
        const bool texCoordArray = arrays == BatchArrays::Terrain || object.textured;
        glDisableClientState(GL_INDEX_ARRAY);
        glDisableClientState(GL_EDGE_FLAG_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        if (colourArray)
            glEnableClientState(GL_COLOR_ARRAY);
        else
            glDisableClientState(GL_COLOR_ARRAY);
        if (texCoordArray)
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        else
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, corners.vertices.data());
        glNormalPointer(GL_FLOAT, 0, corners.normals.data());
        glTexCoordPointer(2, GL_FLOAT, 0, corners.texCoords.data());
        glColorPointer(3, GL_UNSIGNED_BYTE, 0, corners.colours.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT, faceCorners);
    glPopClientAttrib();
}
